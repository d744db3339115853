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

// Splits script text into commands the way a POSIX shell splits words: blanks separate words,
// single quotes keep everything literally, double quotes keep everything but backslash escapes of
// `"`, `\`, `$` and `` ` ``, a backslash outside quotes escapes the next character, an unquoted `#` at
// the start of a word starts a comment. Commands end at a line break or an unquoted `;`.
// `firstLine` numbers the first line of `text`; with `commandsAsLines` every command counts as its own
// line (used for -c, where the commands of one argument are numbered in order).
[[nodiscard]] SplitResult SplitScript(std::string_view text, int firstLine = 1, bool commandsAsLines = false);

} // namespace cvadmin
