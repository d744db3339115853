#include "resources/HelpText.h"

#include <charconv>
#include <fstream>
#include <regex>
#include <sstream>

namespace kelnt::rc {

namespace {

// Calls `each(line, number)` for every line of `source`, without its line end.
template <typename Each> void ForEachLine(std::string_view source, Each each) {
    int number = 0;
    while (!source.empty()) {
        size_t end = source.find('\n');
        std::string_view line = source.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        each(line, ++number);
        if (end == std::string_view::npos) {
            break;
        }
        source.remove_prefix(end + 1);
    }
}

// A whole decimal number at the front of `text`; `rest` gets what follows it.
bool LeadingNumber(std::string_view text, uint32_t& number, std::string_view& rest) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end == text.data()) {
        return false;
    }
    rest = text.substr(static_cast<size_t>(end - text.data()));
    return true;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

bool ReadWhole(const std::filesystem::path& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::stringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

HelpText ParseHelpText(std::string_view source) {
    HelpText help;
    HelpTextSection* current = nullptr;
    auto close = [&]() {
        if (current == nullptr) {
            return;
        }
        while (!current->text.empty() && current->text.back() == '\n') {
            current->text.pop_back();
        }
        if (current->text.empty()) {
            help.errors.push_back("line " + std::to_string(current->line) + ": the section has no text");
        }
    };
    ForEachLine(source, [&](std::string_view line, int number) {
        if (!line.empty() && line[0] == '#') {
            return;
        }
        if (!line.empty() && line[0] == '@') {
            close();
            current = nullptr;
            uint32_t context = 0;
            std::string_view rest;
            if (!LeadingNumber(line.substr(1), context, rest) || (!rest.empty() && rest[0] != ' ')) {
                help.errors.push_back("line " + std::to_string(number) + ": \"" + std::string(line) +
                                      "\" names no context number");
                return;
            }
            std::string_view title = Trim(rest);
            if (title.empty()) {
                help.errors.push_back("line " + std::to_string(number) + ": section " +
                                      std::to_string(context) + " has no title");
            }
            auto [it, added] =
                help.sections.try_emplace(context, HelpTextSection{std::string(title), "", number});
            if (!added) {
                help.errors.push_back("line " + std::to_string(number) + ": section " +
                                      std::to_string(context) + " is already on line " +
                                      std::to_string(it->second.line));
                return;
            }
            current = &it->second;
            return;
        }
        if (current != nullptr && !(current->text.empty() && line.empty())) {
            current->text += current->text.empty() ? std::string(line) : "\n" + std::string(line);
        }
    });
    close();
    return help;
}

std::vector<HelpContext> ParseHelpContexts(std::string_view source, std::vector<std::string>& errors) {
    std::vector<HelpContext> contexts;
    ForEachLine(source, [&](std::string_view line, int number) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') {
            return;
        }
        uint32_t context = 0;
        std::string_view rest;
        std::string_view opener;
        if (!LeadingNumber(line, context, rest) || rest.empty() || (opener = Trim(rest)).empty() ||
            (rest[0] != ' ' && rest[0] != '\t')) {
            errors.push_back("line " + std::to_string(number) + ": expected \"NUMBER  WHAT OPENS IT\"");
            return;
        }
        for (const HelpContext& earlier : contexts) {
            if (earlier.number == context) {
                errors.push_back("line " + std::to_string(number) + ": context " + std::to_string(context) +
                                 " is already on line " + std::to_string(earlier.line));
                return;
            }
        }
        contexts.push_back(HelpContext{context, std::string(opener), number});
    });
    return contexts;
}

std::vector<HelpContextUse> FindHelpContextUses(std::string_view source, const std::string& file) {
    // A named constant is how the module gives a page or dialog its context; a literal in a help call is
    // caught as well, so that no context escapes the list.
    static const std::regex constant(R"(\bkHelp\w*\s*=\s*([0-9]+)\s*;)");
    static const std::regex literal(R"(\b(?:WinHelp|ShowHelp)\s*\(\s*([0-9]+)\b)");
    std::vector<HelpContextUse> uses;
    ForEachLine(source, [&](std::string_view line, int number) {
        std::string text(line);
        for (const std::regex* pattern : {&constant, &literal}) {
            for (auto it = std::sregex_iterator(text.begin(), text.end(), *pattern);
                 it != std::sregex_iterator(); ++it) {
                uses.push_back(HelpContextUse{static_cast<uint32_t>(std::stoul((*it)[1].str())),
                                              file + ":" + std::to_string(number)});
            }
        }
    });
    return uses;
}

} // namespace kelnt::rc
