#pragma once

#include "host/Interpreter.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"

#include <optional>

namespace cvadmin {

// The host's own actions on objects and their details: `details`, `page`, `help`, `apply`, the details
// sheet's `ok` and `cancel`, `create`, `rename`, `move`, `delete`, `copy`, `template`, `browse`. Each prints
// the answer of every host message it sends as `-> MESSAGE | ANSWER`.
void RegisterHostCommands(Interpreter& interpreter);

// The current page of the open details sheet; null when none is open.
HWND CurrentSheetPage();
CommandResult SheetOk();
CommandResult SheetCancel();
// A key pressed on the open sheet's current page that the page has no button for: Enter is `ok`, Escape
// `cancel`, F1 `help`. Empty when no sheet is open or the page takes the key itself.
std::optional<CommandResult> SheetKey(UiKey key);
// Closes an open details sheet with Cancel (the end of a script).
void CloseOpenSheet();
// Why the last browse could not be answered as the script asked (taken out); empty when it could.
std::string TakeBrowseError();

} // namespace cvadmin
