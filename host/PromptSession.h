#pragma once

#include <optional>
#include <string>

#include "host/Interpreter.h"

namespace cvadmin {

// What the prompt says about where the person is: the open modal dialog, sheet or wizard (its caption
// and, for a sheet, the current page), else the open details sheet (object and page), else nothing more
// than the program's name. Ends in "> ".
[[nodiscard]] std::string PromptText();

// What a person sees before the first prompt when this run made the store `storeFile`: where the new, empty
// directory is, that Admin has no password yet and how to give it one, and what to type next.
[[nodiscard]] std::string FirstRunGreeting(const std::string& storeFile);

// `login NAME` at the prompt: asks NAME's password without echo (Ctrl-C cancels the question). Empty, with
// the reason in `why`, when no usable password was typed. Precondition: standard input is a terminal.
std::optional<std::string> AskLoginPassword(const std::string& name, std::string& why);

// Runs commands typed at the terminal that standard input is, until `quit`, `exit` or the end of input
// (Ctrl-D). A mistake is reported and the person goes on; Ctrl-C drops the line being typed, F1 does what
// `key f1` does, and the record lines (`-> MESSAGE | ANSWER`, `changed | PAGE`) show only after `verbose on`.
// The history file is the person's own (PromptHistory::DefaultPath); lines that carry a password never reach
// it. Answers the exit status: 0, since leaving is the person's choice and every error was shown as it
// happened. Precondition: standard input is a terminal.
int RunPromptSession(Interpreter& interpreter);

} // namespace cvadmin
