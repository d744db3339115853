#pragma once

#include <functional>
#include <optional>

#include "host/Interpreter.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"

namespace cvadmin {

// Where a person's actions land when no modal window is open: the current page of the open details sheet
// (null when none is open). The sheet commands set it.
using CurrentPageProvider = std::function<HWND()>;

// The host's driver for modal dialogs, sheets and wizards: each time one waits for the person, the next
// script line runs inside it. When the script ends, or stops at an error, what is open closes with Cancel.
void InstallScriptDriver(Interpreter& interpreter);

// What the details sheet does with a key pressed on its current page; empty when the page takes the key
// itself (or no sheet is open).
using SheetKeyHandler = std::function<std::optional<CommandResult>(UiKey key)>;

// `show`, `type`, `clear`, `click`, `dblclick`, `select`, `choose`, `focus`, `key`, `grid`, `render`, and
// inside a modal window `ok`, `cancel`, `next`, `back`, `finish`. Outside one, `ok` and `cancel` go to
// `sheetOk` / `sheetCancel` (the details sheet's own buttons), and `key` first to `sheetKey`.
void RegisterUiCommands(Interpreter& interpreter, CurrentPageProvider currentPage,
                        std::function<CommandResult()> sheetOk, std::function<CommandResult()> sheetCancel,
                        SheetKeyHandler sheetKey = {});

// Every posted message is handled before the host reads its next line.
void DeliverPostedMessages();

} // namespace cvadmin
