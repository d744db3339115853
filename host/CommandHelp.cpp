#include "host/CommandHelp.h"

#include <algorithm>
#include <sstream>
#include <string_view>

#include "CvadminUsage.h"

namespace cvadmin {

namespace {

constexpr std::string_view kSectionTitle = "Script commands:";

// The section's item lines as --help prints them ("  FORM  WHAT IT DOES", the forms padded to one column).
std::vector<std::string> SectionLines() {
    std::vector<std::string> lines;
    std::istringstream help(usage_text::kHelp);
    bool inSection = false;
    for (std::string line; std::getline(help, line);) {
        if (line == kSectionTitle) {
            inSection = true;
        } else if (inSection) {
            // Items are indented; the blank line before the next section's title ends this one.
            if (line.rfind("  ", 0) != 0)
                break;
            lines.push_back(line);
        }
    }
    return lines;
}

// A form never holds two blanks in a row: they separate it from its text.
struct Item {
    std::string form;
    std::string text;
};

Item SplitItem(const std::string& line) {
    const std::size_t formEnd = line.find("  ", 2);
    if (formEnd == std::string::npos)
        return {line.substr(2), {}};
    const std::size_t textStart = line.find_first_not_of(' ', formEnd);
    return {line.substr(2, formEnd - 2),
            textStart == std::string::npos ? std::string() : line.substr(textStart)};
}

std::vector<std::string> Words(const std::string& form) {
    std::vector<std::string> words;
    std::istringstream in(form);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::vector<std::string> Alternatives(const std::string& word) {
    std::vector<std::string> names;
    std::istringstream in(word);
    for (std::string name; std::getline(in, name, '|');)
        names.push_back(name);
    return names;
}

bool FormBeginsWith(const std::string& form, const std::vector<std::string>& words) {
    const std::vector<std::string> formWords = Words(form);
    if (words.empty() || formWords.size() < words.size())
        return false;
    bool named = false;
    for (const std::string& name : Alternatives(formWords[0]))
        named = named || name == words[0];
    if (!named)
        return false;
    for (std::size_t i = 1; i < words.size(); ++i)
        if (formWords[i] != words[i])
            return false;
    return true;
}

} // namespace

std::string ScriptCommandsHelp() {
    std::string text = std::string(kSectionTitle) + "\n";
    for (const std::string& line : SectionLines())
        text += line + "\n";
    return text;
}

std::vector<std::string> CommandHelpLines(const std::vector<std::string>& words) {
    std::vector<Item> items;
    std::size_t column = 0;
    for (const std::string& line : SectionLines()) {
        Item item = SplitItem(line);
        if (FormBeginsWith(item.form, words)) {
            column = std::max(column, item.form.size());
            items.push_back(std::move(item));
        }
    }
    std::vector<std::string> lines;
    for (Item& item : items) {
        item.form.resize(column, ' ');
        lines.push_back(item.form + "  " + item.text);
    }
    return lines;
}

} // namespace cvadmin
