#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cvadmin {

// One command of a script: its words and the line it came from (for error reports).
struct ScriptCommand {
    std::vector<std::string> words;
    int line = 0;
};

struct SplitResult {
    std::vector<ScriptCommand> commands;
    std::string error; // empty when the text split cleanly
    int errorLine = 0;
};

// The offset of the first byte of `text` that is not well-formed UTF-8 (an overlong form, a surrogate, a
// code point past U+10FFFF, a stray or missing continuation byte), or npos when every byte is.
[[nodiscard]] std::size_t FirstInvalidUtf8(std::string_view text);

// Splits script text into commands the way a POSIX shell splits words: blanks separate words,
// single quotes keep everything literally, double quotes keep everything but backslash escapes of
// `"`, `\`, `$` and `` ` ``, a backslash outside quotes escapes the next character, an unquoted `#` at
// the start of a word starts a comment. Commands end at a line break or an unquoted `;`.
// `firstLine` numbers the first line of `text`; with `commandsAsLines` every command counts as its own
// line (used for -c, where the commands of one argument are numbered in order).
// A NUL byte or a byte that is not UTF-8 anywhere in the text, comments and quotes too, is an error of
// its line: C strings would cut a name short at a NUL, and other bytes would be stored as other characters.
[[nodiscard]] SplitResult SplitScript(std::string_view text, int firstLine = 1, bool commandsAsLines = false);

} // namespace cvadmin
