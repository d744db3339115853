#pragma once

#include "host/Interpreter.h"
#include "platform/ui/window/Window.h"

namespace cvadmin {

// The host's own actions on objects and their details: `details`, `page`, `help`, `apply`, the details
// sheet's `ok` and `cancel`, `create`, `rename`, `move`, `delete`, `copy`, `template`, `browse`. Each prints
// the answer of every host message it sends as `-> MESSAGE | ANSWER`.
void RegisterHostCommands(Interpreter& interpreter);

// The current page of the open details sheet; null when none is open.
HWND CurrentSheetPage();
CommandResult SheetOk();
CommandResult SheetCancel();
// Closes an open details sheet with Cancel (the end of a script).
void CloseOpenSheet();
// Why the last browse could not be answered as the script asked (taken out); empty when it could.
std::string TakeBrowseError();

} // namespace cvadmin
