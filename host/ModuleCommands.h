#pragma once

#include <string>

#include "host/Interpreter.h"

class SnapinLoader;

namespace cvadmin {

// Where the host looks for the module: beside its own libraries (the folder libhostservices.so was loaded
// from: the build's lib/, or the installed private library folder), unless KELNT_MODULE names another file.
std::string DefaultModulePath();

// Shows every message box and help call of the module the way the script language prints them, and lets
// a script queue the answers.
void ConnectPrompter(Interpreter& interpreter);

// `classes`, `tools`, `tool NAME`, `answer`.
void RegisterModuleCommands(Interpreter& interpreter);

} // namespace cvadmin
