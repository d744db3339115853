#pragma once

#include <string>

#include "host/Interpreter.h"

class SnapinLoader;

namespace cvadmin {

// Where the host looks for the module: beside its own libraries (`<program folder>/../lib/KELNT.so`),
// unless KELNT_MODULE names another file.
std::string DefaultModulePath();

// Shows every message box and help call of the module the way the script language prints them, and lets
// a script queue the answers.
void ConnectPrompter(Interpreter& interpreter);

// `classes`, `tools`, `tool NAME`, `answer`.
void RegisterModuleCommands(Interpreter& interpreter);

} // namespace cvadmin
