#pragma once

#include "host/Interpreter.h"

namespace cvadmin {

// `login`, `ls`, `dump` and `dir ...`: they read and write the store directly, so they also work while
// a sheet or dialog is open.
void RegisterDirectoryCommands(Interpreter& interpreter);

} // namespace cvadmin
