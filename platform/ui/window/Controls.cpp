#include "platform/ui/window/Controls.h"

#include <vector>

void CEdit::GetSel(int& start, int& end) const {
    DWORD first = 0;
    DWORD last = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
    start = static_cast<int>(first);
    end = static_cast<int>(last);
}

int CListBox::GetText(int index, CString& text) const {
    int length = GetTextLen(index);
    if (length < 0) {
        text.Empty();
        return LB_ERR;
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    text = buffer.data();
    return length;
}

void CComboBox::GetLBText(int index, CString& text) const {
    auto length = static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
    if (length < 0) {
        text.Empty();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    text = buffer.data();
}

int CListCtrl::InsertColumn(int column, LPCSTR heading, int format, int width, int subItem) {
    LVCOLUMNA info{};
    info.mask = LVCF_TEXT | LVCF_FMT;
    info.fmt = format;
    info.pszText = const_cast<LPSTR>(heading ? heading : "");
    if (width >= 0) {
        info.mask |= LVCF_WIDTH;
        info.cx = width;
    }
    if (subItem >= 0) {
        info.mask |= LVCF_SUBITEM;
        info.iSubItem = subItem;
    }
    return static_cast<int>(
        SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)));
}

int CListCtrl::InsertItem(int index, LPCSTR text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<LPSTR>(text ? text : "");
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemText(int index, int subItem, LPCSTR text) {
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = const_cast<LPSTR>(text ? text : "");
    return SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != 0;
}

CString CListCtrl::GetItemText(int index, int subItem) const {
    std::vector<char> buffer(1024, '\0');
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return CString(buffer.data());
}
