// The behaviour of the controls: what each keeps and answers, and the notifications a person's action on
// it causes. Programmatic changes (setting text, checks or selections) notify nobody, as on the platform.
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/Window.h"
#include "platform/ui/window/WindowRecord.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace uiwin {
namespace {

size_t CountCharacters(std::string_view text) {
    size_t count = 0;
    for (char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

std::string EncodeUtf8(uint32_t code) {
    std::string out;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

LRESULT CopyText(const std::string& text, WPARAM size, LPARAM buffer) {
    if (size == 0 || buffer == 0) {
        return 0;
    }
    size_t count = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(reinterpret_cast<char*>(buffer), text.data(), count);
    reinterpret_cast<char*>(buffer)[count] = '\0';
    return static_cast<LRESULT>(count);
}

// ---- Edits ---------------------------------------------------------------------------------------------

void ClampSelection(WindowRecord& edit) {
    int size = static_cast<int>(edit.text.size());
    edit.selStart = std::clamp(edit.selStart, 0, size);
    edit.selEnd = std::clamp(edit.selEnd, 0, size);
    if (edit.selStart > edit.selEnd) {
        std::swap(edit.selStart, edit.selEnd);
    }
}

// A person typing one character: refused silently when read-only or at the limit (the platform tells the
// parent with EN_MAXTEXT), otherwise the selection is replaced and the parent hears one EN_CHANGE.
LRESULT TypeCharacter(WindowRecord& edit, uint32_t code) {
    HWND self = edit.handle;
    if (edit.readOnly || !edit.enabled) {
        return 0;
    }
    ClampSelection(edit);
    if (code == 0x08) {
        if (edit.selStart == edit.selEnd) {
            if (edit.selStart == 0) {
                return 0;
            }
            int start = edit.selStart - 1;
            while (start > 0 &&
                   (static_cast<unsigned char>(edit.text[static_cast<size_t>(start)]) & 0xC0) == 0x80) {
                --start;
            }
            edit.selStart = start;
        }
        edit.text.erase(static_cast<size_t>(edit.selStart), static_cast<size_t>(edit.selEnd - edit.selStart));
        edit.selEnd = edit.selStart;
        edit.invalid = true;
        NotifyParent(self, EN_CHANGE);
        return 0;
    }
    if (code < 0x20) {
        return 0;
    }
    if ((edit.styles & kRcStyleNumber) != 0 && (code < '0' || code > '9')) {
        return 0;
    }
    std::string piece = EncodeUtf8(code);
    size_t kept = CountCharacters(edit.text) -
                  CountCharacters(std::string_view(edit.text).substr(
                      static_cast<size_t>(edit.selStart), static_cast<size_t>(edit.selEnd - edit.selStart)));
    if (static_cast<int>(kept + 1) > edit.limit) {
        NotifyParent(self, EN_MAXTEXT);
        return 0;
    }
    edit.text.replace(static_cast<size_t>(edit.selStart), static_cast<size_t>(edit.selEnd - edit.selStart),
                      piece);
    edit.selStart += static_cast<int>(piece.size());
    edit.selEnd = edit.selStart;
    edit.invalid = true;
    NotifyParent(self, EN_CHANGE);
    return 0;
}

LRESULT EditMessage(WindowRecord& edit, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT:
        edit.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        edit.selStart = edit.selEnd = 0;
        edit.invalid = true;
        return TRUE;
    case WM_CHAR:
        return TypeCharacter(edit, static_cast<uint32_t>(wParam));
    case EM_LIMITTEXT:
        edit.limit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFE));
        return 0;
    case EM_GETLIMITTEXT:
        return edit.limit;
    case EM_SETREADONLY:
        edit.readOnly = wParam != 0;
        edit.invalid = true;
        return TRUE;
    case EM_SETSEL: {
        auto start = static_cast<int>(static_cast<intptr_t>(wParam));
        auto end = static_cast<int>(lParam);
        int size = static_cast<int>(edit.text.size());
        if (start == -1) {
            edit.selStart = edit.selEnd = std::clamp(edit.selEnd, 0, size);
        } else {
            edit.selStart = start;
            edit.selEnd = end < 0 ? size : end;
            ClampSelection(edit);
        }
        return 0;
    }
    case EM_GETSEL:
        if (wParam != 0) {
            *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(edit.selStart);
        }
        if (lParam != 0) {
            *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(edit.selEnd);
        }
        return MAKELPARAM(static_cast<unsigned>(edit.selStart), static_cast<unsigned>(edit.selEnd));
    case EM_REPLACESEL: {
        ClampSelection(edit);
        std::string piece = lParam ? reinterpret_cast<const char*>(lParam) : "";
        edit.text.replace(static_cast<size_t>(edit.selStart),
                          static_cast<size_t>(edit.selEnd - edit.selStart), piece);
        edit.selStart += static_cast<int>(piece.size());
        edit.selEnd = edit.selStart;
        edit.invalid = true;
        return 0;
    }
    case WM_SETFOCUS:
        NotifyParent(edit.handle, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyParent(edit.handle, EN_KILLFOCUS);
        return 0;
    default:
        return DefWindowProcA(edit.handle, message, wParam, lParam);
    }
}

// ---- Buttons -------------------------------------------------------------------------------------------

// The radio buttons that share `radio`'s group: from the nearest control at or before it with the group
// style to the control before the next one with it.
std::vector<HWND> RadioGroup(WindowRecord& radio) {
    std::vector<HWND> group;
    WindowRecord* parent = FindRecord(radio.parent);
    if (parent == nullptr) {
        return group;
    }
    const auto& siblings = parent->children;
    auto at = std::find(siblings.begin(), siblings.end(), radio.handle);
    if (at == siblings.end()) {
        return group;
    }
    auto first = at;
    while (first != siblings.begin()) {
        WindowRecord* r = FindRecord(*first);
        if (r != nullptr && (r->styles & kRcStyleGroup) != 0) {
            break;
        }
        --first;
    }
    for (auto it = first; it != siblings.end(); ++it) {
        WindowRecord* r = FindRecord(*it);
        if (r == nullptr) {
            continue;
        }
        if (it != first && (r->styles & kRcStyleGroup) != 0) {
            break;
        }
        if (r->kind == kRcRadio) {
            group.push_back(*it);
        }
    }
    return group;
}

LRESULT ButtonMessage(WindowRecord& button, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case BM_GETCHECK:
        return button.kind == kRcButton ? BST_UNCHECKED : button.check;
    case BM_SETCHECK:
        if (button.kind != kRcButton) {
            button.check = static_cast<int>(wParam) == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
            button.invalid = true;
        }
        return 0;
    case BM_CLICK: {
        if (!button.enabled || !button.visible) {
            return 0;
        }
        HWND self = button.handle;
        if (button.kind == kRcCheckBox) {
            button.check = button.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        } else if (button.kind == kRcRadio) {
            for (HWND other : RadioGroup(button)) {
                if (WindowRecord* r = FindRecord(other)) {
                    r->check = other == self ? BST_CHECKED : BST_UNCHECKED;
                    r->invalid = true;
                }
            }
        }
        button.invalid = true;
        NotifyParent(self, BN_CLICKED);
        return 0;
    }
    default:
        return DefWindowProcA(button.handle, message, wParam, lParam);
    }
}

// ---- List boxes and combo boxes ------------------------------------------------------------------------

int CompareItems(WindowRecord& list, const ListItem& a, int indexB) {
    const ListItem& b = list.items[static_cast<size_t>(indexB)];
    if (!list.IsOwnerDraw()) {
        return strcasecmp(a.text.c_str(), b.text.c_str());
    }
    COMPAREITEMSTRUCT compare{};
    compare.CtlType = list.kind == kRcComboBox ? ODT_COMBOBOX : ODT_LISTBOX;
    compare.CtlID = list.id;
    compare.hwndItem = list.handle;
    compare.itemID1 = static_cast<UINT>(-1);
    compare.itemData1 = a.data;
    compare.itemID2 = static_cast<UINT>(indexB);
    compare.itemData2 = b.data;
    return static_cast<int>(
        SendMessageA(list.parent, WM_COMPAREITEM, list.id, reinterpret_cast<LPARAM>(&compare)));
}

ListItem NewItem(WindowRecord& list, LPARAM lParam) {
    ListItem item;
    // An owner-drawn list keeps no strings: what arrives is the item's data.
    if (list.IsOwnerDraw()) {
        item.data = static_cast<ULONG_PTR>(lParam);
    } else {
        item.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
    }
    return item;
}

void ShiftAfterInsert(WindowRecord& list, int index) {
    if (list.curSel >= index) {
        ++list.curSel;
    }
    if (list.caret > index && list.caret < static_cast<int>(list.items.size())) {
        ++list.caret;
    }
}

LRESULT InsertItem(WindowRecord& list, int index, ListItem item) {
    HWND self = list.handle;
    int count = static_cast<int>(list.items.size());
    if (index < 0 || index > count) {
        index = count;
    }
    list.items.insert(list.items.begin() + index, std::move(item));
    if (WindowRecord* again = FindRecord(self)) {
        ShiftAfterInsert(*again, index);
        again->invalid = true;
    }
    return index;
}

LRESULT AddItem(WindowRecord& list, LPARAM lParam) {
    HWND self = list.handle;
    ListItem item = NewItem(list, lParam);
    int index = static_cast<int>(list.items.size());
    if (list.IsSorted()) {
        // Before the first item that the new one sorts ahead of; equal items keep the order they came in.
        for (int i = 0; i < static_cast<int>(list.items.size()); ++i) {
            int order = CompareItems(list, item, i);
            if (FindRecord(self) == nullptr) {
                return LB_ERR;
            }
            if (order < 0) {
                index = i;
                break;
            }
        }
    }
    return InsertItem(list, index, std::move(item));
}

void SendDeleteItem(WindowRecord& list, int index, ULONG_PTR data) {
    if (!list.IsOwnerDraw() || list.parent == nullptr) {
        return;
    }
    DELETEITEMSTRUCT gone{list.kind == kRcComboBox ? ODT_COMBOBOX : ODT_LISTBOX, list.id,
                          static_cast<UINT>(index), list.handle, data};
    SendMessageA(list.parent, WM_DELETEITEM, list.id, reinterpret_cast<LPARAM>(&gone));
}

LRESULT DeleteItem(WindowRecord& list, int index) {
    HWND self = list.handle;
    if (index < 0 || index >= static_cast<int>(list.items.size())) {
        return LB_ERR;
    }
    ULONG_PTR data = list.items[static_cast<size_t>(index)].data;
    list.items.erase(list.items.begin() + index);
    if (list.curSel == index) {
        list.curSel = -1;
    } else if (list.curSel > index) {
        --list.curSel;
    }
    if (list.caret > index) {
        --list.caret;
    }
    list.caret = std::clamp(list.caret, 0, std::max(0, static_cast<int>(list.items.size()) - 1));
    list.topIndex = std::clamp(list.topIndex, 0, std::max(0, static_cast<int>(list.items.size()) - 1));
    list.invalid = true;
    SendDeleteItem(list, index, data);
    WindowRecord* again = FindRecord(self);
    return again ? static_cast<LRESULT>(again->items.size()) : 0;
}

void ResetItems(WindowRecord& list) {
    HWND self = list.handle;
    std::vector<ListItem> items = std::move(list.items);
    list.items.clear();
    list.curSel = -1;
    list.caret = 0;
    list.topIndex = 0;
    list.invalid = true;
    for (size_t i = items.size(); i-- > 0;) {
        WindowRecord* again = FindRecord(self);
        if (again == nullptr) {
            return;
        }
        SendDeleteItem(*again, static_cast<int>(i), items[i].data);
    }
}

std::string ItemText(WindowRecord& list, int index) {
    if (index < 0 || index >= static_cast<int>(list.items.size())) {
        return {};
    }
    return list.items[static_cast<size_t>(index)].text;
}

LRESULT FindItem(WindowRecord& list, WPARAM start, LPARAM text, bool exact) {
    std::string wanted = text ? reinterpret_cast<const char*>(text) : "";
    int count = static_cast<int>(list.items.size());
    if (count == 0) {
        return LB_ERR;
    }
    int first = static_cast<int>(static_cast<intptr_t>(start));
    first = first < 0 || first >= count ? 0 : first + 1;
    for (int n = 0; n < count; ++n) {
        int i = (first + n) % count;
        const std::string& itemText = list.items[static_cast<size_t>(i)].text;
        bool match = exact ? strcasecmp(itemText.c_str(), wanted.c_str()) == 0
                           : strncasecmp(itemText.c_str(), wanted.c_str(), wanted.size()) == 0;
        if (list.IsOwnerDraw() && !exact) {
            match = list.items[static_cast<size_t>(i)].data == static_cast<ULONG_PTR>(text);
        }
        if (match) {
            return i;
        }
    }
    return LB_ERR;
}

void ShowItem(WindowRecord& list, int index) {
    int height = ListItemHeight(list);
    int rows = std::max(1, (list.Height() - 2) / std::max(1, height));
    if (index < list.topIndex) {
        list.topIndex = index;
    } else if (index >= list.topIndex + rows) {
        list.topIndex = index - rows + 1;
    }
}

LRESULT ListMessage(WindowRecord& list, UINT message, WPARAM wParam, LPARAM lParam) {
    int count = static_cast<int>(list.items.size());
    auto index = static_cast<int>(static_cast<intptr_t>(wParam));
    switch (message) {
    case LB_ADDSTRING:
        return AddItem(list, lParam);
    case LB_INSERTSTRING:
        return InsertItem(list, index, NewItem(list, lParam));
    case LB_DELETESTRING:
        return DeleteItem(list, index);
    case LB_RESETCONTENT:
        ResetItems(list);
        return 0;
    case LB_GETCOUNT:
        return count;
    case LB_GETTEXT:
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        if (lParam != 0) {
            std::string text = ItemText(list, index);
            std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
            return static_cast<LRESULT>(text.size());
        }
        return LB_ERR;
    case LB_GETTEXTLEN:
        return index < 0 || index >= count ? LB_ERR : static_cast<LRESULT>(ItemText(list, index).size());
    case LB_SETSEL: {
        if (!list.IsMultiple()) {
            return LB_ERR;
        }
        auto target = static_cast<int>(lParam);
        if (target == -1) {
            for (ListItem& item : list.items) {
                item.selected = wParam != 0;
            }
        } else if (target < 0 || target >= count) {
            return LB_ERR;
        } else {
            list.items[static_cast<size_t>(target)].selected = wParam != 0;
        }
        list.invalid = true;
        return 0;
    }
    case LB_GETSEL:
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        return list.IsMultiple() ? (list.items[static_cast<size_t>(index)].selected ? 1 : 0)
                                 : (index == list.curSel ? 1 : 0);
    case LB_SETCURSEL:
        if (list.IsMultiple()) {
            return LB_ERR;
        }
        if (index < 0 || index >= count) {
            list.curSel = -1;
            return index == -1 ? LB_ERR : LB_ERR;
        }
        list.curSel = index;
        list.caret = index;
        ShowItem(list, index);
        list.invalid = true;
        return index;
    case LB_GETCURSEL:
        if (list.IsMultiple()) {
            return count == 0 ? LB_ERR : list.caret;
        }
        return list.curSel < 0 ? LB_ERR : list.curSel;
    case LB_GETSELCOUNT: {
        if (!list.IsMultiple()) {
            return LB_ERR;
        }
        return std::count_if(list.items.begin(), list.items.end(),
                             [](const ListItem& i) { return i.selected; });
    }
    case LB_GETSELITEMS: {
        if (!list.IsMultiple()) {
            return LB_ERR;
        }
        // In index order, whatever order the rows were selected in.
        int written = 0;
        auto* out = reinterpret_cast<int*>(lParam);
        for (int i = 0; i < count && written < static_cast<int>(wParam); ++i) {
            if (list.items[static_cast<size_t>(i)].selected) {
                if (out != nullptr) {
                    out[written] = i;
                }
                ++written;
            }
        }
        return written;
    }
    case LB_GETITEMDATA:
        return index < 0 || index >= count
                   ? LB_ERR
                   : static_cast<LRESULT>(list.items[static_cast<size_t>(index)].data);
    case LB_SETITEMDATA:
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        list.items[static_cast<size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
        return 0;
    case LB_SETCARETINDEX:
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        list.caret = index;
        ShowItem(list, index);
        list.invalid = true;
        return 0;
    case LB_GETCARETINDEX:
        return count == 0 ? 0 : list.caret;
    case LB_GETTOPINDEX:
        return list.topIndex;
    case LB_GETITEMHEIGHT:
        return ListItemHeight(list);
    case LB_SETITEMHEIGHT:
        list.itemHeight = std::clamp(static_cast<int>(LOWORD(static_cast<ULONG_PTR>(lParam))), 1, 255);
        return 0;
    case LB_GETITEMRECT: {
        if (index < 0 || index >= count || lParam == 0) {
            return LB_ERR;
        }
        int height = ListItemHeight(list);
        *reinterpret_cast<RECT*>(lParam) = {1, 1 + (index - list.topIndex) * height, list.Width() - 1,
                                            1 + (index - list.topIndex + 1) * height};
        return 0;
    }
    case LB_FINDSTRING:
        return FindItem(list, wParam, lParam, false);
    case LB_FINDSTRINGEXACT:
        return FindItem(list, wParam, lParam, true);
    case WM_SETFOCUS:
        NotifyParent(list.handle, LBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyParent(list.handle, LBN_KILLFOCUS);
        return 0;
    default:
        return DefWindowProcA(list.handle, message, wParam, lParam);
    }
}

LRESULT ComboMessage(WindowRecord& combo, UINT message, WPARAM wParam, LPARAM lParam) {
    int count = static_cast<int>(combo.items.size());
    auto index = static_cast<int>(static_cast<intptr_t>(wParam));
    switch (message) {
    case CB_ADDSTRING:
        return AddItem(combo, lParam);
    case CB_INSERTSTRING:
        return InsertItem(combo, index, NewItem(combo, lParam));
    case CB_DELETESTRING:
        return DeleteItem(combo, index);
    case CB_RESETCONTENT:
        ResetItems(combo);
        return 0;
    case CB_GETCOUNT:
        return count;
    case CB_GETCURSEL:
        return combo.curSel < 0 ? CB_ERR : combo.curSel;
    case CB_SETCURSEL:
        if (index < 0 || index >= count) {
            combo.curSel = -1;
            combo.text.clear();
            return CB_ERR;
        }
        combo.curSel = index;
        combo.text = combo.items[static_cast<size_t>(index)].text;
        combo.invalid = true;
        return index;
    case CB_GETLBTEXT:
        if (index < 0 || index >= count || lParam == 0) {
            return CB_ERR;
        }
        std::memcpy(reinterpret_cast<char*>(lParam), combo.items[static_cast<size_t>(index)].text.c_str(),
                    combo.items[static_cast<size_t>(index)].text.size() + 1);
        return static_cast<LRESULT>(combo.items[static_cast<size_t>(index)].text.size());
    case CB_GETLBTEXTLEN:
        return index < 0 || index >= count
                   ? CB_ERR
                   : static_cast<LRESULT>(combo.items[static_cast<size_t>(index)].text.size());
    case CB_FINDSTRING:
        return FindItem(combo, wParam, lParam, false);
    case CB_FINDSTRINGEXACT:
        return FindItem(combo, wParam, lParam, true);
    case CB_SELECTSTRING: {
        LRESULT found = FindItem(combo, wParam, lParam, false);
        if (found == CB_ERR) {
            return CB_ERR;
        }
        return ComboMessage(combo, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
    }
    case CB_GETITEMDATA:
        return index < 0 || index >= count
                   ? CB_ERR
                   : static_cast<LRESULT>(combo.items[static_cast<size_t>(index)].data);
    case CB_SETITEMDATA:
        if (index < 0 || index >= count) {
            return CB_ERR;
        }
        combo.items[static_cast<size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
        return 0;
    case CB_LIMITTEXT:
        combo.limit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(wParam);
        return TRUE;
    case CB_SHOWDROPDOWN: {
        bool drop = wParam != 0;
        if (drop == combo.dropped) {
            return TRUE;
        }
        combo.dropped = drop;
        combo.invalid = true;
        NotifyParent(combo.handle, drop ? CBN_DROPDOWN : CBN_CLOSEUP);
        return TRUE;
    }
    case CB_GETDROPPEDSTATE:
        return combo.dropped ? TRUE : FALSE;
    case WM_SETTEXT: {
        std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        if ((combo.styles & kRcStyleDropDownList) != 0) {
            // A drop-down list shows only its items: the text chooses the item of that text.
            LRESULT found = FindItem(combo, static_cast<WPARAM>(-1), lParam, true);
            if (found == CB_ERR) {
                return CB_ERR;
            }
            combo.curSel = static_cast<int>(found);
        } else {
            LRESULT found = FindItem(combo, static_cast<WPARAM>(-1), lParam, true);
            combo.curSel = found == CB_ERR ? -1 : static_cast<int>(found);
        }
        combo.text = text;
        combo.invalid = true;
        return TRUE;
    }
    case WM_GETTEXT:
        return CopyText(combo.curSel >= 0 ? combo.items[static_cast<size_t>(combo.curSel)].text : combo.text,
                        wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(
            (combo.curSel >= 0 ? combo.items[static_cast<size_t>(combo.curSel)].text : combo.text).size());
    case WM_CHAR: {
        if ((combo.styles & kRcStyleDropDownList) != 0 || !combo.enabled) {
            return 0;
        }
        HWND self = combo.handle;
        if (combo.curSel >= 0) {
            combo.text = combo.items[static_cast<size_t>(combo.curSel)].text;
            combo.curSel = -1;
        }
        if (wParam == 0x08) {
            while (!combo.text.empty() && (static_cast<unsigned char>(combo.text.back()) & 0xC0) == 0x80) {
                combo.text.pop_back();
            }
            if (!combo.text.empty()) {
                combo.text.pop_back();
            }
        } else if (wParam >= 0x20) {
            if (static_cast<int>(CountCharacters(combo.text)) >= combo.limit) {
                return 0;
            }
            combo.text += EncodeUtf8(static_cast<uint32_t>(wParam));
        } else {
            return 0;
        }
        combo.invalid = true;
        NotifyParent(self, CBN_EDITCHANGE);
        return 0;
    }
    case WM_SETFOCUS:
        NotifyParent(combo.handle, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS: {
        // The list closes when the person turns to another control.
        HWND self = combo.handle;
        ComboMessage(combo, CB_SHOWDROPDOWN, FALSE, 0);
        if (WindowRecord* still = FindRecord(self)) {
            NotifyParent(still->handle, CBN_KILLFOCUS);
        }
        return 0;
    }
    default:
        return DefWindowProcA(combo.handle, message, wParam, lParam);
    }
}

// ---- Report views and progress bars --------------------------------------------------------------------

LRESULT ListViewMessage(WindowRecord& view, UINT message, WPARAM wParam, LPARAM lParam) {
    int rows = static_cast<int>(view.rows.size());
    auto index = static_cast<int>(static_cast<intptr_t>(wParam));
    switch (message) {
    case LVM_INSERTCOLUMNA: {
        const auto* column = reinterpret_cast<const LVCOLUMNA*>(lParam);
        if (column == nullptr) {
            return -1;
        }
        ListColumn added;
        added.text = (column->mask & LVCF_TEXT) && column->pszText ? column->pszText : "";
        added.width = (column->mask & LVCF_WIDTH) ? column->cx : 50;
        added.format = (column->mask & LVCF_FMT) ? column->fmt : LVCFMT_LEFT;
        int at = std::clamp(index, 0, static_cast<int>(view.columns.size()));
        view.columns.insert(view.columns.begin() + at, added);
        for (auto& row : view.rows) {
            if (static_cast<int>(row.size()) >= at) {
                row.insert(row.begin() + at, std::string());
            }
        }
        view.invalid = true;
        return at;
    }
    case LVM_DELETECOLUMN:
        if (index < 0 || index >= static_cast<int>(view.columns.size())) {
            return FALSE;
        }
        view.columns.erase(view.columns.begin() + index);
        for (auto& row : view.rows) {
            if (index < static_cast<int>(row.size())) {
                row.erase(row.begin() + index);
            }
        }
        return TRUE;
    case LVM_GETCOLUMNWIDTH:
        return index < 0 || index >= static_cast<int>(view.columns.size())
                   ? 0
                   : view.columns[static_cast<size_t>(index)].width;
    case LVM_INSERTITEMA: {
        const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
        if (item == nullptr) {
            return -1;
        }
        int at = std::clamp(item->iItem, 0, rows);
        std::vector<std::string> row(std::max<size_t>(1, view.columns.size()));
        if ((item->mask & LVIF_TEXT) && item->pszText) {
            row[0] = item->pszText;
        }
        view.rows.insert(view.rows.begin() + at, std::move(row));
        view.invalid = true;
        return at;
    }
    case LVM_SETITEMTEXTA: {
        const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
        if (item == nullptr || index < 0 || index >= rows || item->iSubItem < 0) {
            return FALSE;
        }
        auto& row = view.rows[static_cast<size_t>(index)];
        if (static_cast<int>(row.size()) <= item->iSubItem) {
            row.resize(static_cast<size_t>(item->iSubItem) + 1);
        }
        row[static_cast<size_t>(item->iSubItem)] = item->pszText ? item->pszText : "";
        view.invalid = true;
        return TRUE;
    }
    case LVM_GETITEMTEXTA: {
        auto* item = reinterpret_cast<LVITEMA*>(lParam);
        if (item == nullptr || index < 0 || index >= rows || item->iSubItem < 0) {
            return 0;
        }
        const auto& row = view.rows[static_cast<size_t>(index)];
        std::string text =
            item->iSubItem < static_cast<int>(row.size()) ? row[static_cast<size_t>(item->iSubItem)] : "";
        return CopyText(text, static_cast<WPARAM>(std::max(0, item->cchTextMax)),
                        reinterpret_cast<LPARAM>(item->pszText));
    }
    case LVM_DELETEITEM:
        if (index < 0 || index >= rows) {
            return FALSE;
        }
        view.rows.erase(view.rows.begin() + index);
        view.invalid = true;
        return TRUE;
    case LVM_DELETEALLITEMS:
        view.rows.clear();
        view.invalid = true;
        return TRUE;
    case LVM_GETITEMCOUNT:
        return rows;
    default:
        return DefWindowProcA(view.handle, message, wParam, lParam);
    }
}

LRESULT ProgressMessage(WindowRecord& bar, UINT message, WPARAM wParam, LPARAM lParam) {
    int old = bar.position;
    switch (message) {
    case PBM_SETRANGE: {
        LRESULT previous =
            MAKELPARAM(static_cast<unsigned>(bar.rangeLow), static_cast<unsigned>(bar.rangeHigh));
        bar.rangeLow = LOWORD(static_cast<ULONG_PTR>(lParam));
        bar.rangeHigh = HIWORD(static_cast<ULONG_PTR>(lParam));
        bar.position = std::clamp(bar.position, bar.rangeLow, std::max(bar.rangeLow, bar.rangeHigh));
        return previous;
    }
    case PBM_SETRANGE32: {
        LRESULT previous =
            MAKELPARAM(static_cast<unsigned>(bar.rangeLow), static_cast<unsigned>(bar.rangeHigh));
        bar.rangeLow = static_cast<int>(static_cast<intptr_t>(wParam));
        bar.rangeHigh = static_cast<int>(lParam);
        bar.position = std::clamp(bar.position, bar.rangeLow, std::max(bar.rangeLow, bar.rangeHigh));
        return previous;
    }
    case PBM_GETRANGE:
        return wParam != 0 ? bar.rangeLow : bar.rangeHigh;
    case PBM_SETPOS:
        bar.position = std::clamp(static_cast<int>(static_cast<intptr_t>(wParam)), bar.rangeLow,
                                  std::max(bar.rangeLow, bar.rangeHigh));
        bar.invalid = true;
        return old;
    case PBM_DELTAPOS:
        bar.position = std::clamp(bar.position + static_cast<int>(static_cast<intptr_t>(wParam)),
                                  bar.rangeLow, std::max(bar.rangeLow, bar.rangeHigh));
        bar.invalid = true;
        return old;
    case PBM_SETSTEP: {
        int previous = bar.step;
        bar.step = static_cast<int>(static_cast<intptr_t>(wParam));
        return previous;
    }
    case PBM_STEPIT:
        bar.position += bar.step;
        // Stepping past the end starts again from the beginning, as the platform's bar does.
        if (bar.position > bar.rangeHigh) {
            bar.position = bar.rangeLow + (bar.position - bar.rangeHigh);
        }
        bar.invalid = true;
        return old;
    case PBM_GETPOS:
        return bar.position;
    default:
        return DefWindowProcA(bar.handle, message, wParam, lParam);
    }
}

} // namespace

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = FindRecord(window, message == WM_DESTROY || message == WM_NCDESTROY);
    if (record == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(window, &paint);
        PaintControl(window, dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SETREDRAW:
        record->redraw = wParam != 0;
        if (record->redraw) {
            record->invalid = true;
        }
        return 0;
    case WM_DESTROY:
    case WM_NCDESTROY:
        return 0;
    case STM_SETIMAGE: {
        HBITMAP old = record->image;
        record->image = reinterpret_cast<HBITMAP>(lParam);
        record->invalid = true;
        return reinterpret_cast<LRESULT>(old);
    }
    default:
        break;
    }
    switch (record->kind) {
    case kRcEdit:
        return EditMessage(*record, message, wParam, lParam);
    case kRcButton:
    case kRcCheckBox:
    case kRcRadio:
        return ButtonMessage(*record, message, wParam, lParam);
    case kRcListBox:
        return ListMessage(*record, message, wParam, lParam);
    case kRcComboBox:
        return ComboMessage(*record, message, wParam, lParam);
    case kRcListView:
        return ListViewMessage(*record, message, wParam, lParam);
    case kRcProgress:
        return ProgressMessage(*record, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace uiwin
