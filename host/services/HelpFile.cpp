#include "host/services/HelpFile.h"

#include <charconv>
#include <fstream>

std::optional<HelpSection> ReadHelpSection(const std::string& path, uint32_t context) {
    std::ifstream in(path);
    if (!in) {
        return std::nullopt;
    }
    std::optional<HelpSection> found;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '#') {
            continue;
        }
        if (!line.empty() && line[0] == '@') {
            if (found) {
                break;
            }
            uint32_t number = 0;
            auto [end, ec] = std::from_chars(line.data() + 1, line.data() + line.size(), number);
            if (ec == std::errc() && number == context && (end == line.data() + line.size() || *end == ' ')) {
                found = HelpSection{end == line.data() + line.size() ? "" : std::string(end + 1), ""};
            }
            continue;
        }
        if (found) {
            found->text += found->text.empty() ? line : "\n" + line;
        }
    }
    if (found) {
        while (!found->text.empty() && found->text.back() == '\n') {
            found->text.pop_back();
        }
    }
    return found;
}

std::vector<uint32_t> ReadHelpContexts(const std::string& path) {
    std::vector<uint32_t> contexts;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] != '@') {
            continue;
        }
        uint32_t number = 0;
        auto [end, ec] = std::from_chars(line.data() + 1, line.data() + line.size(), number);
        if (ec == std::errc() && (end == line.data() + line.size() || *end == ' ' || *end == '\r')) {
            contexts.push_back(number);
        }
    }
    return contexts;
}
