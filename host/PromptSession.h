#pragma once

#include <string>

#include "host/Interpreter.h"

namespace cvadmin {

// What the prompt says about where the person is: the open modal dialog, sheet or wizard (its caption
// and, for a sheet, the current page), else the open details sheet (object and page), else nothing more
// than the program's name. Ends in "> ".
[[nodiscard]] std::string PromptText();

// Runs commands typed at the terminal that standard input is, until `quit`, `exit` or the end of input
// (Ctrl-D). A mistake is reported and the person goes on. The history file is the person's own
// (PromptHistory::DefaultPath); lines that carry a password never reach it. Answers the exit status: 0,
// since leaving is the person's choice and every error was shown as it happened.
// Precondition: standard input is a terminal.
int RunPromptSession(Interpreter& interpreter);

} // namespace cvadmin
