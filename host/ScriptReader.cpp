#include "host/ScriptReader.h"

namespace cvadmin {

SplitResult SplitScript(std::string_view text, int firstLine, bool commandsAsLines) {
    SplitResult result;
    ScriptCommand current;
    std::string word;
    bool inWord = false;
    int line = firstLine;
    int commandNumber = firstLine;
    current.line = commandsAsLines ? commandNumber : line;

    auto endWord = [&] {
        if (inWord) {
            current.words.push_back(std::move(word));
            word.clear();
            inWord = false;
        }
    };
    auto endCommand = [&] {
        endWord();
        if (!current.words.empty()) {
            result.commands.push_back(std::move(current));
            ++commandNumber;
        }
        current = ScriptCommand{};
        current.line = commandsAsLines ? commandNumber : line;
    };
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        result.errorLine = commandsAsLines ? commandNumber : line;
        return result;
    };

    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n') {
            endCommand();
            ++line;
            if (!commandsAsLines)
                current.line = line;
            continue;
        }
        if (c == ';') {
            endCommand();
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            endWord();
            continue;
        }
        if (c == '#' && !inWord) {
            while (i + 1 < text.size() && text[i + 1] != '\n')
                ++i;
            continue;
        }
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i; // a line continuation joins two lines into one command
            ++line;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (i + 1 >= text.size())
                return fail("a backslash ends the text");
            ++i;
            word += text[i];
        } else if (c == '\'') {
            std::size_t close = text.find('\'', i + 1);
            if (close == std::string_view::npos)
                return fail("a single quote is not closed");
            for (std::size_t k = i + 1; k < close; ++k)
                line += text[k] == '\n';
            word.append(text.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '"') {
            ++i;
            for (;; ++i) {
                if (i >= text.size())
                    return fail("a double quote is not closed");
                char d = text[i];
                if (d == '"')
                    break;
                if (d == '\\' && i + 1 < text.size()) {
                    char e = text[i + 1];
                    if (e == '"' || e == '\\' || e == '$' || e == '`') {
                        word += e;
                        ++i;
                        continue;
                    }
                    if (e == '\n') {
                        ++i;
                        ++line;
                        continue;
                    }
                }
                line += d == '\n';
                word += d;
            }
        } else {
            word += c;
        }
    }
    endCommand();
    return result;
}

} // namespace cvadmin
