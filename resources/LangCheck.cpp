// langcheck REFERENCE_DIR LANGUAGE_DIR: stops the build when a translated resource library does not hold
// what the module relies on: the same string ids, dialog ids, control ids, kinds and initial styles,
// bitmaps and icons, help sections, and, in every string, the same format placeholders in the same order.
// The module fills a format with the arguments the reference's format takes, so a translation that drops,
// adds, swaps or retypes a placeholder would print garbage or read past its arguments.
#include "resources/HelpText.h"
#include "resources/ResourceTable.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;
using namespace kelnt::rc;

namespace {

// The placeholders of a format, each written in a normal form: printf conversions as '%' with their
// length and conversion letter ("%s", "%d", "%lu"; a '*' width or precision is an int argument of its
// own, written "%*"), the platform's numbered inserts as "%1" ... "%99". A '%' that starts neither is
// written "%?" so that it is compared too.
std::vector<std::string> Placeholders(std::string_view text) {
    std::vector<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            continue;
        }
        size_t j = i + 1;
        if (j < text.size() && text[j] == '%') {
            i = j;
            continue;
        }
        if (j < text.size() && text[j] >= '1' && text[j] <= '9') {
            size_t end = j;
            while (end < text.size() && end < j + 2 && text[end] >= '0' && text[end] <= '9') {
                ++end;
            }
            found.push_back("%" + std::string(text.substr(j, end - j)));
            i = end - 1;
            continue;
        }
        while (j < text.size() && std::string_view("-+ #0").find(text[j]) != std::string_view::npos) {
            ++j;
        }
        auto number = [&](bool& star) {
            if (j < text.size() && text[j] == '*') {
                star = true;
                ++j;
                return;
            }
            while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
                ++j;
            }
        };
        bool widthStar = false;
        bool precisionStar = false;
        number(widthStar);
        if (j < text.size() && text[j] == '.') {
            ++j;
            number(precisionStar);
        }
        size_t lengthStart = j;
        while (j < text.size() && std::string_view("hlLzjt").find(text[j]) != std::string_view::npos) {
            ++j;
        }
        std::string length(text.substr(lengthStart, j - lengthStart));
        if (j < text.size() &&
            std::string_view("diouxXcsfFeEgGaApn").find(text[j]) != std::string_view::npos) {
            if (widthStar) {
                found.push_back("%*");
            }
            if (precisionStar) {
                found.push_back("%*");
            }
            found.push_back("%" + length + text[j]);
            i = j;
        } else {
            found.push_back("%?");
        }
    }
    return found;
}

std::string Joined(const std::vector<std::string>& words) {
    if (words.empty()) {
        return "(none)";
    }
    std::string out;
    for (const std::string& word : words) {
        out += out.empty() ? word : " " + word;
    }
    return out;
}

std::string DialogName(const RcDialog& dialog) {
    return dialog.name != nullptr ? std::string(dialog.name) : std::to_string(dialog.id);
}

const RcDialog* Counterpart(const ResourceTable& table, const RcDialog& dialog) {
    return dialog.name != nullptr ? table.FindDialog(std::string_view(dialog.name))
                                  : table.FindDialog(dialog.id);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: langcheck REFERENCE_DIR LANGUAGE_DIR\n";
        return 2;
    }
    const fs::path referenceDir = argv[1];
    const fs::path languageDir = argv[2];
    const std::string ref = referenceDir.filename().string();
    int problems = 0;
    auto report = [&problems](const std::string& text) {
        std::cerr << text << "\n";
        ++problems;
    };

    std::string referenceSource;
    std::string languageSource;
    const fs::path referenceRc = referenceDir / "rckelnt.rc";
    const fs::path languageRc = languageDir / "rckelnt.rc";
    if (!ReadWhole(referenceRc, referenceSource) || !ReadWhole(languageRc, languageSource)) {
        std::cerr << "langcheck: cannot read " << referenceRc.string() << " and " << languageRc.string()
                  << "\n";
        return 1;
    }
    auto reference = ResourceTable::Parse(referenceSource);
    auto language = ResourceTable::Parse(languageSource);
    for (const auto& [path, table] :
         {std::pair{referenceRc, reference.get()}, std::pair{languageRc, language.get()}}) {
        if (!table->Error().empty()) {
            std::cerr << path.string() << ": " << table->Error() << "\n";
            return 1;
        }
    }
    const std::string at = languageRc.string() + ": ";

    for (const auto& [id, text] : reference->Strings()) {
        const std::string* translated = language->FindString(id);
        if (translated == nullptr) {
            report(at + "string " + std::to_string(id) + " is missing (" + ref + " has it)");
            continue;
        }
        std::vector<std::string> expected = Placeholders(text);
        std::vector<std::string> got = Placeholders(*translated);
        if (expected != got) {
            report(at + "string " + std::to_string(id) + " has the placeholders " + Joined(got) + ", " + ref +
                   " has " + Joined(expected));
        }
    }
    for (const auto& [id, text] : language->Strings()) {
        if (reference->FindString(id) == nullptr) {
            report(at + "string " + std::to_string(id) + " is not in " + ref);
        }
    }

    for (const RcDialog* dialog : reference->Dialogs()) {
        const RcDialog* other = Counterpart(*language, *dialog);
        const std::string name = "dialog " + DialogName(*dialog);
        if (other == nullptr) {
            report(at + name + " is missing (" + ref + " has it)");
            continue;
        }
        if (other->controlCount != dialog->controlCount) {
            report(at + name + " has " + std::to_string(other->controlCount) + " controls, " + ref + " has " +
                   std::to_string(dialog->controlCount));
            continue;
        }
        for (uint32_t i = 0; i < dialog->controlCount; ++i) {
            const RcControl& mine = other->controls[i];
            const RcControl& theirs = dialog->controls[i];
            const std::string control = name + " control " + std::to_string(i + 1) + " (id " +
                                        std::to_string(theirs.id) + " in " + ref + ")";
            if (mine.id != theirs.id) {
                report(at + control + " has id " + std::to_string(mine.id));
            } else if (mine.kind != theirs.kind) {
                report(at + control + " is of another kind");
            } else if (mine.styles != theirs.styles) {
                report(at + control + " has other styles");
            } else if (Placeholders(mine.text) != Placeholders(theirs.text)) {
                report(at + control + " has the placeholders " + Joined(Placeholders(mine.text)) + ", " +
                       ref + " has " + Joined(Placeholders(theirs.text)));
            }
        }
    }
    for (const RcDialog* dialog : language->Dialogs()) {
        if (Counterpart(*reference, *dialog) == nullptr) {
            report(at + "dialog " + DialogName(*dialog) + " is not in " + ref);
        }
    }

    auto compareImages = [&](const char* what, const std::vector<const RcBitmap*>& images, auto find) {
        for (const RcBitmap* image : images) {
            const RcBitmap* other =
                image->name != nullptr ? find(std::string_view(image->name)) : find(image->id);
            if (other == nullptr) {
                report(at + what + " " + (image->name != nullptr ? image->name : std::to_string(image->id)) +
                       " is missing (" + ref + " has it)");
            }
        }
    };
    compareImages("bitmap", reference->Bitmaps(), [&](auto key) { return language->FindBitmap(key); });
    compareImages("icon", reference->Icons(), [&](auto key) { return language->FindIcon(key); });

    std::string referenceHelp;
    std::string languageHelp;
    const fs::path referenceHlp = referenceDir / "qor.hlp";
    const fs::path languageHlp = languageDir / "qor.hlp";
    if (!ReadWhole(referenceHlp, referenceHelp) || !ReadWhole(languageHlp, languageHelp)) {
        report("langcheck: cannot read " + referenceHlp.string() + " and " + languageHlp.string());
    } else {
        HelpText theirs = ParseHelpText(referenceHelp);
        HelpText mine = ParseHelpText(languageHelp);
        for (const auto& [context, section] : theirs.sections) {
            if (mine.sections.count(context) == 0) {
                report(languageHlp.string() + ": help section " + std::to_string(context) + " is missing (" +
                       ref + " has it)");
            }
        }
        for (const auto& [context, section] : mine.sections) {
            if (theirs.sections.count(context) == 0) {
                report(languageHlp.string() + ": help section " + std::to_string(context) + " is not in " +
                       ref);
            }
        }
    }
    return problems == 0 ? 0 : 1;
}
