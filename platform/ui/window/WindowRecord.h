// The state the window table keeps for one window. Private to the window layer: code outside it reaches
// this state only through messages and the calls of Window.h.
#pragma once

#include "platform/ui/window/Messages.h"
#include "resources/RcFormat.h"

#include <memory>
#include <string>
#include <vector>

class CWnd;

namespace uiwin {

struct ListItem {
    std::string text;
    ULONG_PTR data = 0;
    bool selected = false;
};

struct ListColumn {
    std::string text;
    int width = 0;
    int format = 0;
};

struct WindowRecord {
    HWND handle = nullptr;
    RcControlKind kind = kRcCustom;
    bool isDialog = false;
    bool isFrame = false;
    // A dialog that runs modally: its parent owns it, as a pop-up window is owned, but it is not drawn
    // inside the parent; it has a surface of its own and is the top of its own coordinates.
    bool popup = false;
    UINT id = 0;
    uint32_t styles = 0;
    HWND parent = nullptr;
    std::vector<HWND> children; // creation order is the order of tabbing and drawing
    RECT rect{};                // in the parent's client coordinates; on the screen for a top-level window
    std::string text;
    bool enabled = true;
    bool visible = true;
    WNDPROC proc = nullptr;
    DLGPROC dialogProc = nullptr;
    LONG_PTR userData = 0;
    LONG_PTR messageResult = 0;
    LONG_PTR dialogUser = 0;
    UINT templateId = 0;
    bool ended = false;
    INT_PTR endResult = -1;
    bool destroying = false;
    bool invalid = true;

    // Edits.
    bool readOnly = false;
    int limit = 30000;
    int selStart = 0;
    int selEnd = 0;
    // Check boxes and radio buttons.
    int check = BST_UNCHECKED;
    // List boxes and combo boxes.
    std::vector<ListItem> items;
    int curSel = -1;
    int caret = 0;
    int topIndex = 0;
    bool redraw = true;
    int itemHeight = 0; // 0 until measured
    // A combo box shows its list under the closed box only while it is dropped.
    bool dropped = false;
    // Report-view lists.
    std::vector<ListColumn> columns;
    std::vector<std::vector<std::string>> rows;
    // Progress bars.
    int rangeLow = 0;
    int rangeHigh = 100;
    int position = 0;
    int step = 10;
    // A static picture.
    HBITMAP image = nullptr;

    // What the screen shows of a top-level window, kept between drawings so that inverting drawings
    // (a rubber band) can be undone by drawing them again.
    std::unique_ptr<std::vector<uint32_t>> surface;

    [[nodiscard]] bool IsOwnerDraw() const { return (styles & kRcStyleOwnerDraw) != 0; }
    [[nodiscard]] bool IsMultiple() const { return (styles & kRcStyleMultiple) != 0; }
    [[nodiscard]] bool IsSorted() const { return (styles & kRcStyleSorted) != 0; }
    [[nodiscard]] bool IsPassword() const { return (styles & kRcStylePassword) != 0; }
    [[nodiscard]] int Width() const { return rect.right - rect.left; }
    [[nodiscard]] int Height() const { return rect.bottom - rect.top; }
};

// Null for a handle that names no window (or one being destroyed when `evenDying` is false).
WindowRecord* FindRecord(HWND window, bool evenDying = false);
// The top-level window that holds `window`, and `window`'s client origin in that window's coordinates.
HWND TopLevelOf(HWND window, POINT* origin);
// Makes a dialog that starts a modal run a pop-up of its parent (see WindowRecord::popup).
void MarkPopup(HWND dialog);
// The top-level window's surface, created at its size on first use.
std::vector<uint32_t>& SurfaceOf(WindowRecord& topLevel);
// Height of a list's rows: measured once through WM_MEASUREITEM for an owner-drawn list.
int ListItemHeight(WindowRecord& list);
// Sends a notification in WM_COMMAND to the control's parent.
void NotifyParent(HWND control, UINT code);
// The procedure every control starts with.
LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Window-to-object binding of the class framework (CWnd::FromHandle).
CWnd* FindPermanent(HWND window);
void SetPermanent(HWND window, CWnd* object);
void RemovePermanent(HWND window);
// Lets go of the temporary objects of a window that is being destroyed.
void DropTemporary(HWND window);
// A dialog built by the class framework gets its object attached before WM_INITDIALOG.
void SetCreationHook(CWnd* object);
CWnd* TakeCreationHook();

} // namespace uiwin
