// What a person does with a dialog, a page or a sheet, control by id: typing, clearing, clicking, choosing
// list items by their shown text, focusing, pressing keys, and the mouse in client pixels. Every action
// causes the messages and notifications the person's action causes on the platform. Acting on a hidden or
// disabled control is refused with an error (a person cannot); a character past an edit's limit, or typed
// into a read-only edit, is refused by the edit itself and is not an error.
#pragma once

#include "platform/ui/window/Messages.h"

#include <string>
#include <string_view>
#include <vector>

enum class UiActionError {
    None,
    NoSuchControl,
    Hidden,
    Disabled,
    WrongKind,  // the control does not take this action (typing into a button)
    NoSuchItem, // no row shows that text
    NotSeveral, // several rows chosen in a list that takes one
};

// "no such control", "the control is hidden", ...
const char* UiActionErrorText(UiActionError error);

enum class UiKey { Enter, Escape, F1 };
enum class UiMouse { Down, Move, Up, DoubleClick };

// The control `id` where a person would find it: on `container` (a dialog or page), or for a sheet on its
// current page first and then among the sheet's own buttons.
HWND FindUiControl(HWND container, int id);

// Selects the whole text of the edit (or editable combo box) and types `text`, one character at a time.
[[nodiscard]] UiActionError TypeText(HWND container, int id, std::string_view text);
// Selects the whole text and deletes it (one change notification when there was text).
[[nodiscard]] UiActionError ClearText(HWND container, int id);
// A click: push buttons notify, check boxes toggle, radio buttons check themselves and clear their group, a
// combo box drops its list or closes it.
[[nodiscard]] UiActionError Click(HWND container, int id);
// A double click on the list row that shows `item`: the row becomes the selection, then LBN_DBLCLK.
[[nodiscard]] UiActionError DoubleClickItem(HWND container, int id, std::string_view item);
// Makes exactly these rows selected (a list that takes one row takes exactly one); one LBN_SELCHANGE.
[[nodiscard]] UiActionError SelectItems(HWND container, int id, const std::vector<std::string>& items);
// Chooses a combo box item by its text: CBN_SELCHANGE; a dropped list closes.
[[nodiscard]] UiActionError ChooseItem(HWND container, int id, std::string_view item);
[[nodiscard]] UiActionError FocusControl(HWND container, int id);
// Enter presses the default button (OK, or a sheet's Next / Finish), Escape Cancel, F1 Help.
[[nodiscard]] UiActionError PressKey(HWND container, UiKey key);
// The mouse on control `id` at client pixel (x, y). While a window holds the capture it receives the
// messages (in its own coordinates); a confined cursor cannot leave its rectangle.
[[nodiscard]] UiActionError MouseAction(HWND container, int id, UiMouse action, int x, int y);

// A click on the tab of page `index` of a modal property sheet. A page that refuses to be left keeps the
// sheet where it was (not an error, as a refused validation is not).
[[nodiscard]] UiActionError SelectSheetPage(HWND sheet, int index);

// One line a control, as the host's `show` prints them: "ID | KIND | STATES | TEXT", and after a list its
// rows as "ID.ROW | TEXT | selected" or "ID.ROW | TEXT | -".
std::vector<std::string> DescribeControls(HWND container);
// The text a list row shows (an owner-drawn row: the texts its owner draws).
std::string ListRowText(HWND list, int row);
