#include "host/ScriptReader.h"

#include <cstdio>

namespace cvadmin {

std::size_t FirstInvalidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        // The smallest and largest second byte keep out overlong forms, surrogates and values past U+10FFFF.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return i;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= text.size())
                return i;
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

namespace {

// The first byte that no script may hold, and why; npos when there is none.
std::size_t FirstForbiddenByte(std::string_view text, std::string& why) {
    const std::size_t nul = text.find('\0');
    const std::size_t invalid = FirstInvalidUtf8(text.substr(0, nul));
    if (invalid != std::string_view::npos) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02x", static_cast<unsigned char>(text[invalid]));
        why = std::string("the line is not valid UTF-8 (byte ") + hex + "); scripts are read as UTF-8";
        return invalid;
    }
    if (nul != std::string_view::npos)
        why = "the line holds a NUL byte, which no name or value may hold";
    return nul;
}

} // namespace

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

    std::string forbiddenWhy;
    const std::size_t forbidden = FirstForbiddenByte(text, forbiddenWhy);

    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == forbidden)
            return fail(forbiddenWhy);
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
            while (i + 1 < text.size() && text[i + 1] != '\n') {
                if (++i == forbidden)
                    return fail(forbiddenWhy);
            }
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
            if (++i == forbidden)
                return fail(forbiddenWhy);
            word += text[i];
        } else if (c == '\'') {
            std::size_t close = text.find('\'', i + 1);
            for (std::size_t k = i + 1; k < close && k < text.size(); ++k) {
                if (k == forbidden)
                    return fail(forbiddenWhy);
                line += text[k] == '\n';
            }
            if (close == std::string_view::npos)
                return fail("a single quote is not closed");
            word.append(text.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '"') {
            ++i;
            for (;; ++i) {
                if (i >= text.size())
                    return fail("a double quote is not closed");
                if (i == forbidden)
                    return fail(forbiddenWhy);
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
