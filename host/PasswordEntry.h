#pragma once

#include <istream>
#include <string>

namespace cvadmin {

// Reads the first line of `in` into `out`, without its line end ("\n" or "\r\n"); the rest of `in` stays
// for whoever reads next. False when `in` holds no line at all.
[[nodiscard]] bool ReadPasswordLine(std::istream& in, std::string& out);

// Asks for `login`'s password on the terminal that standard input is, with echo off while the person
// types. Echo comes back on every path, also when an interrupt, quit, hang-up or termination signal ends
// the program at the prompt. The prompt goes to the terminal itself, so that redirected output never
// holds it. False when the person ends the input (Ctrl-D) instead of typing a line.
// Precondition: standard input is a terminal.
[[nodiscard]] bool AskPasswordOnTerminal(const std::string& login, std::string& out);

enum class PasswordAnswer { Typed, Cancelled, Ended };

// Asks for `login`'s password at the interactive prompt, where standard input is the terminal and the line
// editor is between lines: echo is off while the person types, and Ctrl-C cancels the question (Cancelled)
// instead of ending the session; Ctrl-D on an empty line answers Ended. `out` holds the password only when
// Typed. Precondition: standard input is a terminal.
[[nodiscard]] PasswordAnswer AskPasswordAtPrompt(const std::string& login, std::string& out);

// Why the password cannot be used as it was given (a NUL byte would cut it short, and a byte that is not
// UTF-8 would be read as another character); empty when it can.
std::string PasswordTextProblem(const std::string& password);

// Overwrites a secret before its memory is given back.
void WipeSecret(std::string& secret);

} // namespace cvadmin
