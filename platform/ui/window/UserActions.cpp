#include "platform/ui/window/UserActions.h"

#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/PropertySheet.h"
#include "platform/ui/window/Window.h"
#include "platform/ui/window/WindowRecord.h"

#include <algorithm>

namespace {

UiActionError Reachable(HWND control) {
    if (control == nullptr) {
        return UiActionError::NoSuchControl;
    }
    if (!IsWindowVisible(control)) {
        return UiActionError::Hidden;
    }
    if (!IsWindowEnabled(control)) {
        return UiActionError::Disabled;
    }
    return UiActionError::None;
}

// The control `id` as a person reaches it: there, visible and enabled, and (when `kinds` names any) of one
// of those kinds.
UiActionError ReachControl(HWND container, int id, HWND& control,
                           std::initializer_list<RcControlKind> kinds = {}) {
    control = FindUiControl(container, id);
    if (UiActionError error = Reachable(control); error != UiActionError::None) {
        return error;
    }
    if (kinds.size() != 0 && std::find(kinds.begin(), kinds.end(), GetControlKind(control)) == kinds.end()) {
        return UiActionError::WrongKind;
    }
    return UiActionError::None;
}

// Code points of UTF-8 text; a malformed byte stands for itself.
std::vector<uint32_t> CodePoints(std::string_view text) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        size_t j = 1;
        for (; j <= static_cast<size_t>(extra) && i + j < text.size(); ++j) {
            auto next = static_cast<unsigned char>(text[i + j]);
            if ((next & 0xC0) != 0x80) {
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (j != static_cast<size_t>(extra) + 1) {
            code = c;
            j = 1;
        }
        out.push_back(code);
        i += j;
    }
    return out;
}

void GiveFocus(HWND control) {
    if (GetFocusWindow() != control) {
        SetFocus(control);
    }
}

int FindRow(HWND list, std::string_view item) {
    int count = static_cast<int>(
        SendMessageA(list, GetControlKind(list) == kRcComboBox ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        if (ListRowText(list, row) == item) {
            return row;
        }
    }
    return -1;
}

} // namespace

const char* UiActionErrorText(UiActionError error) {
    switch (error) {
    case UiActionError::None:
        return "done";
    case UiActionError::NoSuchControl:
        return "no such control";
    case UiActionError::Hidden:
        return "the control is hidden";
    case UiActionError::Disabled:
        return "the control is disabled";
    case UiActionError::WrongKind:
        return "the control does not take that action";
    case UiActionError::NoSuchItem:
        return "no such item in the list";
    case UiActionError::NotSeveral:
        return "the list takes one item";
    }
    return "unknown error";
}

HWND FindUiControl(HWND container, int id) {
    auto page = reinterpret_cast<HWND>(SendMessageA(container, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (page != nullptr) {
        if (HWND control = GetDlgItem(page, id)) {
            return control;
        }
    }
    return GetDlgItem(container, id);
}

UiActionError TypeText(HWND container, int id, std::string_view text) {
    HWND control = nullptr;
    if (UiActionError error = ReachControl(container, id, control); error != UiActionError::None) {
        return error;
    }
    RcControlKind kind = GetControlKind(control);
    if (kind != kRcEdit &&
        !(kind == kRcComboBox && (GetControlStyles(control) & kRcStyleDropDownList) == 0)) {
        return UiActionError::WrongKind;
    }
    GiveFocus(control);
    if (kind == kRcEdit) {
        SendMessageA(control, EM_SETSEL, 0, -1);
    } else {
        // A combo box's edit: select all by deleting what is there before typing.
        while (IsWindow(control) && GetWindowTextLengthA(control) > 0) {
            SendMessageA(control, WM_CHAR, 0x08, 0);
        }
    }
    for (uint32_t code : CodePoints(text)) {
        if (!IsWindow(control)) {
            break;
        }
        SendMessageA(control, WM_CHAR, code, 0);
    }
    return UiActionError::None;
}

UiActionError ClearText(HWND container, int id) {
    HWND control = nullptr;
    if (UiActionError error = ReachControl(container, id, control, {kRcEdit, kRcComboBox});
        error != UiActionError::None) {
        return error;
    }
    RcControlKind kind = GetControlKind(control);
    GiveFocus(control);
    if (kind == kRcEdit) {
        SendMessageA(control, EM_SETSEL, 0, -1);
        if (GetWindowTextLengthA(control) > 0) {
            SendMessageA(control, WM_CHAR, 0x08, 0);
        }
        return UiActionError::None;
    }
    while (IsWindow(control) && GetWindowTextLengthA(control) > 0) {
        SendMessageA(control, WM_CHAR, 0x08, 0);
    }
    return UiActionError::None;
}

UiActionError Click(HWND container, int id) {
    HWND control = nullptr;
    if (UiActionError error =
            ReachControl(container, id, control, {kRcButton, kRcCheckBox, kRcRadio, kRcComboBox});
        error != UiActionError::None) {
        return error;
    }
    GiveFocus(control);
    if (!IsWindow(control)) {
        return UiActionError::None;
    }
    if (GetControlKind(control) == kRcComboBox) {
        // A click on a combo box's button drops its list, a second one closes it.
        SendMessageA(control, CB_SHOWDROPDOWN, SendMessageA(control, CB_GETDROPPEDSTATE, 0, 0) == 0, 0);
        return UiActionError::None;
    }
    SendMessageA(control, BM_CLICK, 0, 0);
    return UiActionError::None;
}

UiActionError DoubleClickItem(HWND container, int id, std::string_view item) {
    HWND control = nullptr;
    UiActionError error = ReachControl(container, id, control, {kRcListBox});
    if (error != UiActionError::None) {
        return error;
    }
    int row = FindRow(control, item);
    if (row < 0) {
        return UiActionError::NoSuchItem;
    }
    error = SelectItems(container, id, {std::string(item)});
    if (error != UiActionError::None || !IsWindow(control)) {
        return error;
    }
    uiwin::NotifyParent(control, LBN_DBLCLK);
    return UiActionError::None;
}

UiActionError SelectItems(HWND container, int id, const std::vector<std::string>& items) {
    HWND control = nullptr;
    UiActionError error = ReachControl(container, id, control, {kRcListBox});
    if (error != UiActionError::None) {
        return error;
    }
    bool several = (GetControlStyles(control) & kRcStyleMultiple) != 0;
    if (!several && items.size() != 1) {
        return UiActionError::NotSeveral;
    }
    std::vector<int> rows;
    for (const std::string& item : items) {
        int row = FindRow(control, item);
        if (row < 0) {
            return UiActionError::NoSuchItem;
        }
        rows.push_back(row);
    }
    GiveFocus(control);
    if (several) {
        SendMessageA(control, LB_SETSEL, FALSE, -1);
        for (int row : rows) {
            SendMessageA(control, LB_SETSEL, TRUE, row);
        }
        // The focus rectangle stays on the row clicked last.
        if (!rows.empty()) {
            SendMessageA(control, LB_SETCARETINDEX, static_cast<WPARAM>(rows.back()), 0);
        }
    } else {
        SendMessageA(control, LB_SETCURSEL, static_cast<WPARAM>(rows.front()), 0);
    }
    uiwin::NotifyParent(control, LBN_SELCHANGE);
    return UiActionError::None;
}

UiActionError ChooseItem(HWND container, int id, std::string_view item) {
    HWND control = nullptr;
    UiActionError error = ReachControl(container, id, control, {kRcComboBox});
    if (error != UiActionError::None) {
        return error;
    }
    int row = FindRow(control, item);
    if (row < 0) {
        return UiActionError::NoSuchItem;
    }
    GiveFocus(control);
    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    uiwin::NotifyParent(control, CBN_SELCHANGE);
    if (IsWindow(control)) {
        uiwin::NotifyParent(control, CBN_SELENDOK);
    }
    // The chosen row closes a list the person dropped.
    if (IsWindow(control)) {
        SendMessageA(control, CB_SHOWDROPDOWN, FALSE, 0);
    }
    return UiActionError::None;
}

UiActionError FocusControl(HWND container, int id) {
    HWND control = nullptr;
    if (UiActionError error = ReachControl(container, id, control); error != UiActionError::None) {
        return error;
    }
    GiveFocus(control);
    return UiActionError::None;
}

UiActionError PressKey(HWND container, UiKey key) {
    if (!IsWindow(container)) {
        return UiActionError::NoSuchControl;
    }
    int id = key == UiKey::Escape ? IDCANCEL : key == UiKey::F1 ? IDHELP : IDOK;
    if (key == UiKey::Enter) {
        // The default push button takes Enter: a sheet's visible Next or Finish, a dialog's default button.
        for (HWND child : GetChildWindows(container)) {
            if (GetControlKind(child) == kRcButton && (GetControlStyles(child) & kRcStyleDefault) != 0 &&
                IsWindowVisible(child)) {
                id = GetDlgCtrlID(child);
                break;
            }
        }
        if (HWND finish = GetDlgItem(container, ID_WIZFINISH); finish != nullptr && IsWindowVisible(finish)) {
            id = ID_WIZFINISH;
        }
        HWND button = GetDlgItem(container, id);
        if (button != nullptr && !IsWindowEnabled(button)) {
            return UiActionError::None; // the platform ignores Enter when its button is disabled
        }
    }
    SendMessageA(container, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(container, id)));
    return UiActionError::None;
}

UiActionError MouseAction(HWND container, int id, UiMouse action, int x, int y) {
    HWND control = nullptr;
    if (UiActionError error = ReachControl(container, id, control); error != UiActionError::None) {
        return error;
    }
    POINT screen{x, y};
    ClientToScreen(control, &screen);
    SetCursorPos(screen.x, screen.y);
    GetCursorPos(&screen);
    HWND target = GetCapture() != nullptr ? GetCapture() : control;
    POINT at = screen;
    ScreenToClient(target, &at);
    LPARAM where = MAKELPARAM(static_cast<unsigned>(static_cast<uint16_t>(at.x)),
                              static_cast<unsigned>(static_cast<uint16_t>(at.y)));
    static bool buttonDown = false;
    switch (action) {
    case UiMouse::Down:
        buttonDown = true;
        SendMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, where);
        break;
    case UiMouse::Move:
        SendMessageA(target, WM_MOUSEMOVE, buttonDown ? MK_LBUTTON : 0, where);
        break;
    case UiMouse::Up:
        buttonDown = false;
        SendMessageA(target, WM_LBUTTONUP, 0, where);
        break;
    case UiMouse::DoubleClick:
        // As the platform delivers it: down, up, double-click, up.
        SendMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, where);
        SendMessageA(GetCapture() ? GetCapture() : target, WM_LBUTTONUP, 0, where);
        SendMessageA(GetCapture() ? GetCapture() : target, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
        SendMessageA(GetCapture() ? GetCapture() : target, WM_LBUTTONUP, 0, where);
        buttonDown = false;
        break;
    }
    return UiActionError::None;
}

UiActionError SelectSheetPage(HWND sheet, int index) {
    auto* object = dynamic_cast<CPropertySheet*>(CWnd::FromHandlePermanent(sheet));
    if (object == nullptr || object->IsWizard() || object->GetPage(index) == nullptr) {
        return UiActionError::NoSuchControl;
    }
    object->SetActivePage(index);
    return UiActionError::None;
}

std::string ListRowText(HWND list, int row) {
    RcControlKind kind = GetControlKind(list);
    if (kind == kRcListView) {
        std::string text;
        LVITEMA item{};
        char buffer[1024];
        int columns = 0;
        while (SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(columns), 0) > 0) {
            ++columns;
        }
        for (int column = 0; column < std::max(1, columns); ++column) {
            item.iSubItem = column;
            item.pszText = buffer;
            item.cchTextMax = sizeof buffer;
            buffer[0] = '\0';
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
            if (column > 0)
                text += '\t';
            text += buffer;
        }
        return text;
    }
    if ((GetControlStyles(list) & kRcStyleOwnerDraw) != 0) {
        return uiwin::OwnerDrawnRowText(list, row);
    }
    UINT lengthMessage = kind == kRcComboBox ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    UINT textMessage = kind == kRcComboBox ? CB_GETLBTEXT : LB_GETTEXT;
    LRESULT length = SendMessageA(list, lengthMessage, static_cast<WPARAM>(row), 0);
    if (length < 0) {
        return {};
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(list, textMessage, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

std::vector<std::string> DescribeControls(HWND container) {
    static const char* const kKinds[] = {"static",  "edit",     "button",   "checkbox", "radio", "group",
                                         "listbox", "combobox", "listview", "progress", "custom"};
    std::vector<std::string> lines;
    std::vector<HWND> controls;
    auto page = reinterpret_cast<HWND>(SendMessageA(container, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (page != nullptr) {
        for (HWND child : GetChildWindows(page)) {
            controls.push_back(child);
        }
    }
    for (HWND child : GetChildWindows(container)) {
        if (!IsDialogWindow(child)) {
            controls.push_back(child);
        }
    }
    for (HWND control : controls) {
        RcControlKind kind = GetControlKind(control);
        int id = GetDlgCtrlID(control);
        std::vector<std::string> states;
        if (!IsWindowEnabled(control)) {
            states.emplace_back("disabled");
        }
        if (!IsWindowVisible(control)) {
            states.emplace_back("hidden");
        }
        uiwin::WindowRecord* record = uiwin::FindRecord(control);
        if (kind == kRcEdit && record != nullptr && record->readOnly) {
            states.emplace_back("readonly");
        }
        if ((kind == kRcCheckBox || kind == kRcRadio) &&
            SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) {
            states.emplace_back("checked");
        }
        if (GetFocusWindow() == control) {
            states.emplace_back("focused");
        }
        std::string stateText;
        for (const std::string& state : states) {
            stateText += (stateText.empty() ? "" : ",") + state;
        }
        std::string text;
        if (kind == kRcEdit && (GetControlStyles(control) & kRcStylePassword) != 0) {
            std::string real = GetWindowTextString(control);
            text.assign(CodePoints(real).size(), '*');
        } else if (kind != kRcListBox && kind != kRcListView && kind != kRcProgress) {
            text = GetWindowTextString(control);
        } else if (kind == kRcProgress) {
            text = std::to_string(SendMessageA(control, PBM_GETPOS, 0, 0));
        }
        lines.push_back(std::to_string(id) + " | " + kKinds[std::clamp(static_cast<int>(kind), 0, 10)] +
                        " | " + (stateText.empty() ? "-" : stateText) + " | " + text);
        if (kind == kRcListBox || kind == kRcListView) {
            int count = static_cast<int>(
                SendMessageA(control, kind == kRcListBox ? LB_GETCOUNT : LVM_GETITEMCOUNT, 0, 0));
            for (int row = 0; row < count; ++row) {
                bool selected =
                    kind == kRcListBox && SendMessageA(control, LB_GETSEL, static_cast<WPARAM>(row), 0) > 0;
                lines.push_back(std::to_string(id) + "." + std::to_string(row) + " | " +
                                ListRowText(control, row) + " | " + (selected ? "selected" : "-"));
            }
        }
    }
    return lines;
}
