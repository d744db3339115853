// kelnt-usagegen SOURCE PACKAGE VERSION HEADER MANPAGE: turns a program's usage source (host/cvadmin.usage,
// agent/kelnt-agent.usage) into the header its --help, --version and usage-after-a-mistake print from, and
// into its man page, so that the two can never tell a person different things. A mistake in the source stops
// the build with its line.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kSeparator = "::";
// Forms longer than this do not push every other line of their section to the right.
constexpr std::size_t kWidestColumn = 34;

struct Item {
    std::string form;
    std::string text;
};

struct Section {
    std::string title;
    std::vector<Item> items;
    // A topic is read at length in the man page only; its paragraphs come before its items.
    bool topic = false;
    std::vector<std::string> paragraphs;
};

struct Example {
    std::string text;                  // what the lines do
    std::vector<std::string> commands; // as typed, leading spaces kept
};

struct UsageSource {
    std::string name;
    std::string summary;
    std::vector<std::string> usage;
    std::vector<std::string> notes;
    std::vector<std::string> about;
    std::vector<Section> sections;
    // The man page's closing sections, in its order; --help lists the first three as sections of its own.
    Section exitStatus{"Exit status", {}, false, {}};
    Section environment{"Environment", {}, false, {}};
    Section files{"Files", {}, false, {}};
    std::vector<Example> examples;
    std::vector<std::string> seeAlso;
};

std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// FORM :: TEXT, or "" with `item` filled in.
std::string SplitItem(const std::string& rest, Item& item) {
    std::size_t split = rest.find(kSeparator);
    if (split == std::string::npos)
        return "is written FORM :: WHAT IT DOES";
    item = Item{Trim(rest.substr(0, split)), Trim(rest.substr(split + kSeparator.size()))};
    if (item.form.empty() || item.text.empty())
        return "needs both its form and what it does";
    return {};
}

// Answers "" when the source is good, otherwise ":LINE: what is wrong", or ": what is wrong" for a
// mistake of the whole file, to follow the file's name.
std::string Parse(std::istream& in, UsageSource& source) {
    std::string line;
    int number = 0;
    // Built by appending: GCC 12 at -O3 warns wrongly (-Wrestrict) on a literal + std::string chain here.
    auto failure = [&number](const std::string& text) {
        std::string message = ":";
        message += std::to_string(number);
        message += ": ";
        message += text;
        return message;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find('\t') != std::string::npos)
            return failure("a tab; line up with spaces, since --help and the man page count columns");
        if (Trim(line).empty() || line[0] == '#')
            continue;
        std::size_t space = line.find(' ');
        std::string keyword = line.substr(0, space);
        // Synopsis and example lines keep their own leading spaces: continuation lines line up under the
        // first.
        std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (keyword != "usage" && keyword != "command")
            rest = Trim(rest);
        if (Trim(rest).empty())
            return failure(keyword + " needs its text");
        if (keyword == "name") {
            source.name = rest;
        } else if (keyword == "summary") {
            source.summary = rest;
        } else if (keyword == "usage") {
            source.usage.push_back(rest);
        } else if (keyword == "note") {
            source.notes.push_back(rest);
        } else if (keyword == "about") {
            source.about.push_back(rest);
        } else if (keyword == "section" || keyword == "topic") {
            source.sections.push_back({rest, {}, keyword == "topic", {}});
        } else if (keyword == "text") {
            if (source.sections.empty() || !source.sections.back().topic)
                return failure("text belongs to a topic: write it after its topic line");
            if (!source.sections.back().items.empty())
                return failure("a topic's text comes before its items");
            source.sections.back().paragraphs.push_back(rest);
        } else if (keyword == "item" || keyword == "exit" || keyword == "environment" || keyword == "file") {
            Section* section = keyword == "exit"          ? &source.exitStatus
                               : keyword == "environment" ? &source.environment
                               : keyword == "file"        ? &source.files
                               : source.sections.empty()  ? nullptr
                                                          : &source.sections.back();
            if (section == nullptr)
                return failure("an item before the first section");
            Item item;
            if (std::string wrong = SplitItem(rest, item); !wrong.empty())
                return failure((keyword == "item" ? std::string("an item") : "an " + keyword + " line") +
                               " " + wrong);
            section->items.push_back(item);
        } else if (keyword == "example") {
            source.examples.push_back({rest, {}});
        } else if (keyword == "command") {
            if (source.examples.empty())
                return failure("a command belongs to an example: write it after its example line");
            source.examples.back().commands.push_back(rest);
        } else if (keyword == "see") {
            source.seeAlso.push_back(rest);
        } else {
            return failure(
                "unknown keyword " + keyword +
                " (name, summary, usage, note, about, section, item, topic, text, exit, environment,"
                " file, example, command or see)");
        }
    }
    if (source.name.empty() || source.summary.empty() || source.usage.empty())
        return ": the source needs a name, a summary and at least one usage line";
    for (const Section& section : source.sections)
        if (section.items.empty() && (!section.topic || section.paragraphs.empty()))
            return ": the " + std::string(section.topic ? "topic " : "section ") + section.title +
                   (section.topic ? " has neither text nor items" : " has no items");
    for (const Example& example : source.examples)
        if (example.commands.empty())
            return ": the example \"" + example.text + "\" has no command lines";
    return {};
}

std::string UsageText(const UsageSource& source) {
    std::string out;
    for (std::size_t i = 0; i < source.usage.size(); ++i)
        out += (i == 0 ? "usage: " : "       ") + source.usage[i] + "\n";
    for (const std::string& note : source.notes)
        out += note + "\n";
    return out;
}

void AppendHelpSection(std::string& out, const Section& section) {
    std::size_t column = 0;
    for (const Item& item : section.items)
        if (item.form.size() <= kWidestColumn && item.form.size() > column)
            column = item.form.size();
    out += "\n" + section.title + ":\n";
    for (const Item& item : section.items) {
        std::string form = item.form;
        if (form.size() < column)
            form.append(column - form.size(), ' ');
        out += "  " + form + "  " + item.text + "\n";
    }
}

std::string HelpText(const UsageSource& source) {
    std::string out = source.name + " - " + source.summary + "\n\n" + UsageText(source);
    for (const Section& section : source.sections)
        if (!section.topic)
            AppendHelpSection(out, section);
    for (const Section* section : {&source.exitStatus, &source.environment, &source.files})
        if (!section->items.empty())
            AppendHelpSection(out, *section);
    // What only the man page holds is named, so that a person knows to look there.
    std::vector<std::string> more;
    for (const Section& section : source.sections)
        if (section.topic)
            more.push_back(section.title);
    if (!source.examples.empty())
        more.emplace_back("Examples");
    if (!source.seeAlso.empty())
        more.emplace_back("See also");
    if (!more.empty()) {
        out += "\nMore in the man page (man " + source.name + "): ";
        for (std::size_t i = 0; i < more.size(); ++i)
            out += (i == 0 ? "" : ", ") + more[i];
        out += ".\n";
    }
    return out;
}

std::string CString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n') {
            // One literal a line keeps the generated header readable.
            out += i + 1 < text.size() ? "\\n\"\n    \"" : "\\n";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    out += "\"";
    return out;
}

std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    // A line that starts with a dot or an apostrophe would be read as a request.
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string ManPage(const UsageSource& source, const std::string& package, const std::string& version,
                    const std::string& origin) {
    std::ostringstream out;
    out << ".\\\" Made from " << origin << " by kelnt-usagegen: edit that file, not this one.\n";
    out << ".TH " << Upper(Roff(source.name)) << " 1 \"\" \"" << Roff(package + " " + version) << "\" \""
        << Roff(package) << " manual\"\n";
    out << ".SH NAME\n" << Roff(source.name) << " \\- " << Roff(source.summary) << "\n";
    out << ".SH SYNOPSIS\n.nf\n";
    for (const std::string& line : source.usage)
        out << Roff(line) << "\n";
    out << ".fi\n.SH DESCRIPTION\n";
    bool first = true;
    for (const std::string& paragraph : source.about) {
        out << (first ? "" : ".PP\n") << Roff(paragraph) << "\n";
        first = false;
    }
    if (!source.notes.empty()) {
        out << (first ? "" : ".PP\n");
        for (const std::string& note : source.notes)
            out << Roff(note) << "\n";
    }
    auto items = [&out](const Section& section) {
        for (const Item& item : section.items)
            out << ".TP\n\\fB" << Roff(item.form) << "\\fR\n" << Roff(item.text) << "\n";
    };
    // The sections of --help, then the topics, then the closing sections in the order man pages keep.
    for (bool topics : {false, true}) {
        for (const Section& section : source.sections) {
            if (section.topic != topics)
                continue;
            out << ".SH " << Upper(Roff(section.title)) << "\n";
            for (std::size_t i = 0; i < section.paragraphs.size(); ++i)
                out << (i == 0 ? "" : ".PP\n") << Roff(section.paragraphs[i]) << "\n";
            items(section);
        }
    }
    for (const Section* section : {&source.exitStatus, &source.environment, &source.files}) {
        if (section->items.empty())
            continue;
        out << ".SH " << Upper(Roff(section->title)) << "\n";
        items(*section);
    }
    if (!source.examples.empty()) {
        out << ".SH EXAMPLES\n";
        bool firstExample = true;
        for (const Example& example : source.examples) {
            out << (firstExample ? "" : ".PP\n") << Roff(example.text) << "\n.PP\n.RS 4\n.nf\n";
            for (const std::string& command : example.commands)
                out << Roff(command) << "\n";
            out << ".fi\n.RE\n";
            firstExample = false;
        }
    }
    if (!source.seeAlso.empty()) {
        out << ".SH SEE ALSO\n";
        for (std::size_t i = 0; i < source.seeAlso.size(); ++i) {
            const std::string& see = source.seeAlso[i];
            const std::string comma = i + 1 < source.seeAlso.size() ? "," : "";
            // NAME(SECTION) is a man page: its name in bold, as man pages name each other.
            std::size_t open = see.find('(');
            if (open != std::string::npos && open > 0 && see.back() == ')' &&
                see.find(' ') == std::string::npos)
                out << ".BR " << Roff(see.substr(0, open)) << " " << Roff(see.substr(open)) << comma << "\n";
            else
                out << Roff(see) << comma << "\n";
        }
    }
    return out.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        std::cerr << path << ": cannot be written\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: kelnt-usagegen SOURCE PACKAGE VERSION HEADER MANPAGE\n";
        return 2;
    }
    const std::string origin = argv[1];
    const std::string package = argv[2];
    const std::string version = argv[3];
    std::ifstream in(origin, std::ios::binary);
    if (!in) {
        std::cerr << origin << ": cannot be read\n";
        return 1;
    }
    UsageSource source;
    if (std::string error = Parse(in, source); !error.empty()) {
        std::cerr << origin << error << "\n";
        return 1;
    }
    std::string shownOrigin = origin.substr(origin.find_last_of('/') + 1);
    std::string header = "// Made from " + shownOrigin +
                         " by kelnt-usagegen: edit that file, not this one.\n"
                         "#pragma once\n\n"
                         "namespace usage_text {\n\n"
                         "// What a bad command line prints after its error.\n"
                         "inline constexpr const char* kUsage =\n    " +
                         CString(UsageText(source)) +
                         ";\n\n"
                         "// --help: the usage, then every option and command with one line each.\n"
                         "inline constexpr const char* kHelp =\n    " +
                         CString(HelpText(source)) +
                         ";\n\n"
                         "inline constexpr const char* kVersion = " +
                         CString(source.name + " (" + package + ") " + version + "\n") +
                         ";\n\n"
                         "} // namespace usage_text\n";
    if (!WriteFile(argv[4], header) || !WriteFile(argv[5], ManPage(source, package, version, shownOrigin)))
        return 1;
    return 0;
}
