#include "platform/ui/window/Window.h"

#include "platform/ui/ResourceAccess.h"
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/WindowRecord.h"
#include "platform/ui/window/Wnd.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

namespace uiwin {
namespace {

struct Posted {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct Table {
    std::map<HWND, std::unique_ptr<WindowRecord>> windows;
    std::vector<HWND> topLevel;
    uintptr_t nextHandle = 0x10000;
    std::deque<Posted> posted;
    HWND focus = nullptr;
    HWND capture = nullptr;
    bool clipped = false;
    RECT clip{};
    POINT cursor{0, 0};
};

Table& TheTable() {
    static Table table;
    return table;
}

} // namespace

WindowRecord* FindRecord(HWND window, bool evenDying) {
    if (window == nullptr) {
        return nullptr;
    }
    auto& windows = TheTable().windows;
    auto found = windows.find(window);
    if (found == windows.end() || (!evenDying && found->second->destroying)) {
        return nullptr;
    }
    return found->second.get();
}

HWND TopLevelOf(HWND window, POINT* origin) {
    POINT at{0, 0};
    WindowRecord* record = FindRecord(window, true);
    while (record != nullptr && record->parent != nullptr && !record->popup) {
        at.x += record->rect.left;
        at.y += record->rect.top;
        window = record->parent;
        record = FindRecord(window, true);
    }
    if (origin != nullptr) {
        *origin = at;
    }
    return record ? window : nullptr;
}

void MarkPopup(HWND dialog) {
    if (WindowRecord* record = FindRecord(dialog, true)) {
        record->popup = record->parent != nullptr;
    }
}

std::vector<uint32_t>& SurfaceOf(WindowRecord& topLevel) {
    size_t size = static_cast<size_t>(std::max(0, topLevel.Width())) *
                  static_cast<size_t>(std::max(0, topLevel.Height()));
    if (!topLevel.surface || topLevel.surface->size() != size) {
        topLevel.surface = std::make_unique<std::vector<uint32_t>>(size, 0xC0C0C0u);
    }
    return *topLevel.surface;
}

int ListItemHeight(WindowRecord& list) {
    if (list.itemHeight > 0) {
        return list.itemHeight;
    }
    int height = 16;
    if (list.IsOwnerDraw() && list.parent != nullptr) {
        MEASUREITEMSTRUCT measure{};
        measure.CtlType = list.kind == kRcComboBox ? ODT_COMBOBOX : ODT_LISTBOX;
        measure.CtlID = list.id;
        measure.itemHeight = static_cast<UINT>(height);
        measure.itemWidth = static_cast<UINT>(list.Width());
        HWND self = list.handle;
        SendMessageA(list.parent, WM_MEASUREITEM, list.id, reinterpret_cast<LPARAM>(&measure));
        if (FindRecord(self) == nullptr) {
            return height;
        }
        if (measure.itemHeight > 0 && measure.itemHeight < 1000) {
            height = static_cast<int>(measure.itemHeight);
        }
    }
    list.itemHeight = height;
    return height;
}

void NotifyParent(HWND control, UINT code) {
    WindowRecord* record = FindRecord(control);
    if (record == nullptr || record->parent == nullptr) {
        return;
    }
    SendMessageA(record->parent, WM_COMMAND, MAKEWPARAM(record->id, code), reinterpret_cast<LPARAM>(control));
}

HWND NewWindow(std::unique_ptr<WindowRecord> record) {
    Table& table = TheTable();
    HWND handle = reinterpret_cast<HWND>(table.nextHandle);
    table.nextHandle += 4;
    record->handle = handle;
    HWND parent = record->parent;
    table.windows.emplace(handle, std::move(record));
    if (WindowRecord* parentRecord = FindRecord(parent)) {
        parentRecord->children.push_back(handle);
    } else {
        table.topLevel.push_back(handle);
    }
    return handle;
}

} // namespace uiwin

using uiwin::FindRecord;
using uiwin::WindowRecord;

// ---- Sending -------------------------------------------------------------------------------------------

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = FindRecord(window, message == WM_DESTROY || message == WM_NCDESTROY);
    if (record == nullptr || record->proc == nullptr) {
        return 0;
    }
    return record->proc(window, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (FindRecord(window) == nullptr) {
        return FALSE;
    }
    uiwin::TheTable().posted.push_back({window, message, wParam, lParam});
    return TRUE;
}

int DrainPostedMessages() {
    int delivered = 0;
    auto& posted = uiwin::TheTable().posted;
    while (!posted.empty()) {
        uiwin::Posted next = posted.front();
        posted.pop_front();
        if (FindRecord(next.window) != nullptr) {
            SendMessageA(next.window, next.message, next.wParam, next.lParam);
            ++delivered;
        }
    }
    return delivered;
}

size_t PendingPostedMessages() {
    return uiwin::TheTable().posted.size();
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_SETTEXT:
        record->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        record->invalid = true;
        return TRUE;
    case WM_GETTEXT: {
        if (wParam == 0 || lParam == 0) {
            return 0;
        }
        size_t count = std::min(record->text.size(), static_cast<size_t>(wParam - 1));
        std::memcpy(reinterpret_cast<char*>(lParam), record->text.data(), count);
        reinterpret_cast<char*>(lParam)[count] = '\0';
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(record->text.size());
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        // The default colours: window colour behind edits and lists, button face behind the rest.
        return reinterpret_cast<LRESULT>(GetSysColorBrush(
            message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX ? COLOR_WINDOW : COLOR_BTNFACE));
    case WM_ERASEBKGND:
        return 1;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    default:
        return 0;
    }
}

LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = FindRecord(dialog);
    if (record == nullptr) {
        return 0;
    }
    if (record->dialogProc != nullptr) {
        INT_PTR answer = record->dialogProc(dialog, message, wParam, lParam);
        if (answer != 0) {
            return answer;
        }
        record = FindRecord(dialog);
        if (record == nullptr) {
            return 0;
        }
    }
    switch (message) {
    case kMsgPageChanged:
        if (record->parent != nullptr) {
            return SendMessageA(record->parent, kMsgPageChanged, reinterpret_cast<WPARAM>(dialog), lParam);
        }
        return 0;
    case WM_CLOSE:
        // Closing a dialog is pressing its Cancel.
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    case WM_INITDIALOG:
    case WM_COMMAND:
        return 0;
    default:
        return DefWindowProcA(dialog, message, wParam, lParam);
    }
}

namespace uiwin {
LRESULT CALLBACK DialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcA(window, message, wParam, lParam);
}
} // namespace uiwin

// ---- Creation and destruction --------------------------------------------------------------------------

HWND CreateControl(HWND parent, const RcControl& control) {
    auto record = std::make_unique<WindowRecord>();
    record->kind = control.kind;
    record->id = control.id;
    record->styles = control.styles;
    record->parent = parent;
    record->rect = {control.x, control.y, control.x + control.width, control.y + control.height};
    record->enabled = (control.styles & kRcStyleDisabled) == 0;
    record->visible = (control.styles & kRcStyleHidden) == 0;
    record->readOnly = (control.styles & kRcStyleReadOnly) != 0;
    record->check = (control.styles & kRcStyleChecked) != 0 ? BST_CHECKED : BST_UNCHECKED;
    record->proc = uiwin::ControlProc;
    // A combo box and a list show their items, not their template text.
    if (control.kind != kRcListBox && control.kind != kRcComboBox && control.kind != kRcListView &&
        control.kind != kRcProgress && control.text != nullptr) {
        record->text = control.text;
    }
    if (control.kind == kRcEdit) {
        record->selEnd = 0;
    }
    return uiwin::NewWindow(std::move(record));
}

HWND CreateFrameWindow(HWND parent, const char* caption, const RECT& rect, WNDPROC proc) {
    auto record = std::make_unique<WindowRecord>();
    record->isFrame = true;
    record->parent = parent;
    record->rect = rect;
    record->text = caption ? caption : "";
    record->proc = proc ? proc : DefWindowProcA;
    return uiwin::NewWindow(std::move(record));
}

HWND CreateDialogIndirectParamA(const RcDialog* dialogTemplate, HWND parent, DLGPROC dialogProc,
                                LPARAM param) {
    if (dialogTemplate == nullptr) {
        return nullptr;
    }
    auto record = std::make_unique<WindowRecord>();
    record->isDialog = true;
    record->parent = FindRecord(parent) ? parent : nullptr;
    int x = dialogTemplate->x;
    int y = dialogTemplate->y;
    record->rect = {x, y, x + dialogTemplate->width, y + dialogTemplate->height};
    record->text = dialogTemplate->caption ? dialogTemplate->caption : "";
    record->templateId = dialogTemplate->id;
    record->proc = uiwin::DialogWindowProc;
    record->dialogProc = dialogProc;
    HWND dialog = uiwin::NewWindow(std::move(record));
    for (uint32_t i = 0; i < dialogTemplate->controlCount; ++i) {
        CreateControl(dialog, dialogTemplate->controls[i]);
    }
    if (CWnd* hook = uiwin::TakeCreationHook()) {
        AttachCreatedWindow(hook, dialog);
    }
    HWND first = nullptr;
    for (HWND child : GetChildWindows(dialog)) {
        WindowRecord* c = FindRecord(child);
        if (c != nullptr && c->enabled && c->visible && c->kind != kRcStatic && c->kind != kRcGroup &&
            c->kind != kRcProgress && c->kind != kRcCustom) {
            first = child;
            break;
        }
    }
    LRESULT wantsFocus = SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dialog)) {
        return nullptr;
    }
    if (wantsFocus != 0 && first != nullptr && IsWindow(first)) {
        SetFocus(first);
    }
    return dialog;
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC dialogProc, LPARAM param) {
    return CreateDialogIndirectParamA(FindDialogResource(instance, name), parent, dialogProc, param);
}

BOOL DestroyWindow(HWND window) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr) {
        return FALSE;
    }
    record->destroying = true;
    uiwin::Table& table = uiwin::TheTable();
    if (table.capture == window) {
        ReleaseCapture();
    }
    if (table.focus == window) {
        table.focus = nullptr;
    }
    SendMessageA(window, WM_DESTROY, 0, 0);
    std::vector<HWND> children = FindRecord(window, true)->children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        DestroyWindow(*it);
    }
    record = FindRecord(window, true);
    // The items of an owner-drawn list are the owner's to release.
    if (record->kind == kRcListBox || record->kind == kRcComboBox) {
        std::vector<uiwin::ListItem> items = std::move(record->items);
        record->items.clear();
        for (size_t i = items.size(); i-- > 0;) {
            if (record->IsOwnerDraw() && record->parent != nullptr) {
                DELETEITEMSTRUCT gone{record->kind == kRcComboBox ? ODT_COMBOBOX : ODT_LISTBOX, record->id,
                                      static_cast<UINT>(i), window, items[i].data};
                WindowRecord* parent = FindRecord(record->parent, true);
                if (parent != nullptr && parent->proc != nullptr) {
                    parent->proc(record->parent, WM_DELETEITEM, record->id, reinterpret_cast<LPARAM>(&gone));
                }
            }
        }
    }
    SendMessageA(window, WM_NCDESTROY, 0, 0);
    uiwin::DropTemporary(window);
    uiwin::RemovePermanent(window);
    record = FindRecord(window, true);
    if (WindowRecord* parent = FindRecord(record->parent, true)) {
        std::erase(parent->children, window);
    }
    std::erase(table.topLevel, window);
    std::erase_if(table.posted, [window](const uiwin::Posted& p) { return p.window == window; });
    table.windows.erase(window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return FindRecord(window) != nullptr ? TRUE : FALSE;
}

std::vector<HWND> GetTopLevelWindows() {
    return uiwin::TheTable().topLevel;
}

// ---- Dialog calls --------------------------------------------------------------------------------------

BOOL EndDialog(HWND dialog, INT_PTR result) {
    WindowRecord* record = FindRecord(dialog);
    if (record == nullptr) {
        return FALSE;
    }
    record->ended = true;
    record->endResult = result;
    return TRUE;
}

INT_PTR GetDialogResult(HWND dialog) {
    WindowRecord* record = FindRecord(dialog);
    return record && record->ended ? record->endResult : -1;
}

bool IsDialogEnded(HWND dialog) {
    WindowRecord* record = FindRecord(dialog);
    return record == nullptr || record->ended;
}

void ClearDialogEnded(HWND dialog) {
    if (WindowRecord* record = FindRecord(dialog)) {
        record->ended = false;
        record->endResult = -1;
    }
}

UINT GetDialogTemplateId(HWND dialog) {
    WindowRecord* record = FindRecord(dialog);
    return record ? record->templateId : 0;
}

HWND GetDlgItem(HWND dialog, int id) {
    WindowRecord* record = FindRecord(dialog);
    if (record == nullptr) {
        return nullptr;
    }
    for (HWND child : record->children) {
        WindowRecord* c = FindRecord(child);
        if (c != nullptr && static_cast<int>(c->id) == id) {
            return child;
        }
    }
    return nullptr;
}

int GetDlgCtrlID(HWND window) {
    WindowRecord* record = FindRecord(window);
    return record ? static_cast<int>(record->id) : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    return SetWindowTextA(GetDlgItem(dialog, id), text);
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    return static_cast<UINT>(GetWindowTextA(GetDlgItem(dialog, id), buffer, size));
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(GetDlgItem(dialog, id), message, wParam, lParam);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) {
        return FALSE;
    }
    SendMessageA(button, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
    WindowRecord* record = FindRecord(dialog);
    if (record == nullptr) {
        return FALSE;
    }
    for (HWND child : record->children) {
        int id = GetDlgCtrlID(child);
        if (id >= first && id <= last) {
            SendMessageA(child, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
    return TRUE;
}

// ---- Window state --------------------------------------------------------------------------------------

HWND GetParent(HWND window) {
    WindowRecord* record = FindRecord(window);
    return record ? record->parent : nullptr;
}

std::vector<HWND> GetChildWindows(HWND window) {
    WindowRecord* record = FindRecord(window);
    return record ? record->children : std::vector<HWND>{};
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr) {
        return 0;
    }
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(record->proc);
    case GWLP_ID:
        return record->id;
    case GWL_STYLE:
        return record->styles;
    case GWLP_USERDATA:
        return record->userData;
    case DWLP_MSGRESULT:
        return record->isDialog ? record->messageResult : 0;
    case DWLP_DLGPROC:
        return record->isDialog ? reinterpret_cast<LONG_PTR>(record->dialogProc) : 0;
    case DWLP_USER:
        return record->isDialog ? record->dialogUser : 0;
    default:
        return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr) {
        return 0;
    }
    LONG_PTR old = GetWindowLongPtrA(window, index);
    switch (index) {
    case GWLP_WNDPROC:
        if (value != 0) {
            record->proc = reinterpret_cast<WNDPROC>(value);
        }
        break;
    case GWLP_ID:
        record->id = static_cast<UINT>(value);
        break;
    case GWL_STYLE:
        record->styles = static_cast<uint32_t>(value);
        break;
    case GWLP_USERDATA:
        record->userData = value;
        break;
    case DWLP_MSGRESULT:
        record->messageResult = value;
        break;
    case DWLP_DLGPROC:
        record->dialogProc = reinterpret_cast<DLGPROC>(value);
        break;
    case DWLP_USER:
        record->dialogUser = value;
        break;
    default:
        return 0;
    }
    return old;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr) {
        return FALSE;
    }
    BOOL wasDisabled = record->enabled ? FALSE : TRUE;
    if (record->enabled != (enable != FALSE)) {
        record->enabled = enable != FALSE;
        record->invalid = true;
        if (!record->enabled && uiwin::TheTable().focus == window) {
            uiwin::TheTable().focus = nullptr;
        }
        SendMessageA(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    }
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    WindowRecord* record = FindRecord(window);
    return record && record->enabled ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr) {
        return FALSE;
    }
    BOOL wasVisible = record->visible ? TRUE : FALSE;
    bool show = command != static_cast<int>(SW_HIDE);
    if (record->visible != show) {
        record->visible = show;
        record->invalid = true;
        SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
    WindowRecord* record = FindRecord(window);
    return record && record->visible ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (FindRecord(window) == nullptr) {
        return FALSE;
    }
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    return static_cast<int>(
        SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND window) {
    return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

std::string GetWindowTextString(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(0, copied)));
    return text;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr || rect == nullptr) {
        return FALSE;
    }
    *rect = {0, 0, record->Width(), record->Height()};
    return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr || rect == nullptr) {
        return FALSE;
    }
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    *rect = {origin.x, origin.y, origin.x + record->Width(), origin.y + record->Height()};
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL /*repaint*/) {
    return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL SetWindowPos(HWND window, HWND /*after*/, int x, int y, int width, int height, UINT flags) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr) {
        return FALSE;
    }
    RECT r = record->rect;
    if ((flags & SWP_NOMOVE) == 0) {
        r = {x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
    }
    if ((flags & SWP_NOSIZE) == 0) {
        r.right = r.left + std::max(0, width);
        r.bottom = r.top + std::max(0, height);
    }
    bool resized = (r.right - r.left) != record->Width() || (r.bottom - r.top) != record->Height();
    record->rect = r;
    record->invalid = true;
    if ((flags & SWP_SHOWWINDOW) != 0) {
        ShowWindow(window, SW_SHOW);
    } else if ((flags & SWP_HIDEWINDOW) != 0) {
        ShowWindow(window, SW_HIDE);
    }
    if (resized) {
        SendMessageA(
            window, WM_SIZE, 0,
            MAKELPARAM(static_cast<unsigned>(r.right - r.left), static_cast<unsigned>(r.bottom - r.top)));
    }
    return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
    if (FindRecord(window) == nullptr || point == nullptr) {
        return FALSE;
    }
    POINT origin{};
    HWND top = uiwin::TopLevelOf(window, &origin);
    WindowRecord* topRecord = FindRecord(top, true);
    point->x += origin.x + topRecord->rect.left;
    point->y += origin.y + topRecord->rect.top;
    return TRUE;
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
    if (FindRecord(window) == nullptr || point == nullptr) {
        return FALSE;
    }
    POINT zero{0, 0};
    ClientToScreen(window, &zero);
    point->x -= zero.x;
    point->y -= zero.y;
    return TRUE;
}

BOOL InvalidateRect(HWND window, LPCRECT /*rect*/, BOOL /*erase*/) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr) {
        return FALSE;
    }
    record->invalid = true;
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    return IsWindow(window);
}

RcControlKind GetControlKind(HWND window) {
    WindowRecord* record = FindRecord(window);
    return record ? record->kind : kRcCustom;
}

uint32_t GetControlStyles(HWND window) {
    WindowRecord* record = FindRecord(window);
    return record ? record->styles : 0;
}

bool IsDialogWindow(HWND window) {
    WindowRecord* record = FindRecord(window);
    return record != nullptr && record->isDialog;
}

// ---- Focus, capture, cursor ----------------------------------------------------------------------------

HWND SetFocus(HWND window) {
    uiwin::Table& table = uiwin::TheTable();
    HWND old = table.focus;
    if (window != nullptr && FindRecord(window) == nullptr) {
        return nullptr;
    }
    if (old == window) {
        return old;
    }
    table.focus = window;
    if (old != nullptr && FindRecord(old) != nullptr) {
        SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    }
    if (window != nullptr && table.focus == window) {
        SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return old;
}

HWND GetFocusWindow() {
    HWND focus = uiwin::TheTable().focus;
    return FindRecord(focus) ? focus : nullptr;
}

HWND SetCapture(HWND window) {
    uiwin::Table& table = uiwin::TheTable();
    HWND old = table.capture;
    if (FindRecord(window) == nullptr) {
        return old;
    }
    table.capture = window;
    if (old != nullptr && old != window) {
        SendMessageA(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    }
    return old;
}

BOOL ReleaseCapture() {
    uiwin::Table& table = uiwin::TheTable();
    HWND old = table.capture;
    table.capture = nullptr;
    if (old != nullptr) {
        SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

HWND GetCapture() {
    HWND capture = uiwin::TheTable().capture;
    return FindRecord(capture) ? capture : nullptr;
}

BOOL ClipCursor(LPCRECT rect) {
    uiwin::Table& table = uiwin::TheTable();
    table.clipped = rect != nullptr;
    if (rect != nullptr) {
        table.clip = *rect;
        SetCursorPos(table.cursor.x, table.cursor.y);
    }
    return TRUE;
}

BOOL GetClipCursor(LPRECT rect) {
    uiwin::Table& table = uiwin::TheTable();
    if (!table.clipped || rect == nullptr) {
        return FALSE;
    }
    *rect = table.clip;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    uiwin::Table& table = uiwin::TheTable();
    if (table.clipped) {
        // The cursor cannot leave the confinement: right and bottom are outside it.
        x = std::clamp(x, static_cast<int>(table.clip.left),
                       static_cast<int>(std::max(table.clip.left, table.clip.right - 1)));
        y = std::clamp(y, static_cast<int>(table.clip.top),
                       static_cast<int>(std::max(table.clip.top, table.clip.bottom - 1)));
    }
    table.cursor = {x, y};
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
    if (point == nullptr) {
        return FALSE;
    }
    *point = uiwin::TheTable().cursor;
    return TRUE;
}

// ---- System values -------------------------------------------------------------------------------------

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return 1024;
    case SM_CYSCREEN:
        return 768;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 16;
    case SM_CYCAPTION:
        return 18;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    default:
        return 0;
    }
}

COLORREF GetSysColor(int index) {
    switch (index) {
    case COLOR_WINDOW:
    case COLOR_BTNHIGHLIGHT:
        return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    case COLOR_3DDKSHADOW:
        return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT:
        return RGB(0, 0, 128);
    case COLOR_HIGHLIGHTTEXT:
        return RGB(255, 255, 255);
    case COLOR_BTNFACE:
        return RGB(192, 192, 192);
    case COLOR_BTNSHADOW:
    case COLOR_GRAYTEXT:
        return RGB(128, 128, 128);
    default:
        return RGB(192, 192, 192);
    }
}
