#pragma once

#include <functional>
#include <optional>
#include <string>

#include "host/Interpreter.h"

namespace cvadmin {

// Asks a person for NAME's password; empty when none was typed (the question was cancelled or the input
// ended), with the reason in `why`.
using PasswordQuestion = std::function<std::optional<std::string>(const std::string& name, std::string& why)>;

// `login`, `ls`, `dump` and `dir ...`: they read and write the store directly, so they also work while
// a sheet or dialog is open. With `askPassword` (a person at a terminal), `login NAME` asks for the
// password; without it (scripts), `login NAME` signs in without one.
void RegisterDirectoryCommands(Interpreter& interpreter, PasswordQuestion askPassword = nullptr);

} // namespace cvadmin
