// The control classes: thin objects over a control's window that speak its messages. None adds data of its
// own beyond CWnd, so the temporary object CWnd::FromHandle makes for a control is of the control's class.
#pragma once

#include "platform/ui/window/Wnd.h"

class CBitmap;

class CStatic : public CWnd {
public:
    HBITMAP SetBitmap(HBITMAP bitmap) {
        return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, 0, reinterpret_cast<LPARAM>(bitmap)));
    }
};

class CButton : public CWnd {
public:
    [[nodiscard]] int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
};

class CEdit : public CWnd {
public:
    // At most `count` characters can be typed (0: as many as the platform allows).
    void LimitText(int count = 0) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(count)); }
    void SetLimitText(UINT count) { SendMessage(EM_LIMITTEXT, count); }
    [[nodiscard]] UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
    BOOL SetReadOnly(BOOL readOnly = TRUE) {
        return SendMessage(EM_SETREADONLY, readOnly ? TRUE : FALSE) != 0;
    }
    // end -1 selects to the end; start -1 removes the selection.
    void SetSel(int start, int end, BOOL /*noScroll*/ = FALSE) {
        SendMessage(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
    }
    void GetSel(int& start, int& end) const;
    void ReplaceSel(LPCSTR text, BOOL /*canUndo*/ = FALSE) {
        SendMessage(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
    }
};

class CListBox : public CWnd {
public:
    // Owner-drawn lists keep no strings: `text` is then the item's data (a pointer to the caller's item).
    int AddString(LPCSTR text) {
        return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int InsertString(int index, LPCSTR text) {
        return static_cast<int>(
            SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
    }
    int DeleteString(UINT index) { return static_cast<int>(SendMessage(LB_DELETESTRING, index)); }
    void ResetContent() { SendMessage(LB_RESETCONTENT); }
    [[nodiscard]] int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int GetText(int index, CString& text) const;
    [[nodiscard]] int GetTextLen(int index) const {
        return static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index)));
    }
    [[nodiscard]] int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int index) {
        return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index)));
    }
    // Several-selection lists: index -1 selects or clears every row.
    int SetSel(int index, BOOL select = TRUE) {
        return static_cast<int>(SendMessage(LB_SETSEL, select ? TRUE : FALSE, static_cast<LPARAM>(index)));
    }
    [[nodiscard]] int GetSel(int index) const {
        return static_cast<int>(SendMessage(LB_GETSEL, static_cast<WPARAM>(index)));
    }
    [[nodiscard]] int GetSelCount() const { return static_cast<int>(SendMessage(LB_GETSELCOUNT)); }
    // The selected rows in index order; answers how many were written.
    int GetSelItems(int maxItems, LPINT indices) const {
        return static_cast<int>(
            SendMessage(LB_GETSELITEMS, static_cast<WPARAM>(maxItems), reinterpret_cast<LPARAM>(indices)));
    }
    [[nodiscard]] DWORD_PTR GetItemData(int index) const {
        return static_cast<DWORD_PTR>(SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index)));
    }
    [[nodiscard]] void* GetItemDataPtr(int index) const {
        return reinterpret_cast<void*>(GetItemData(index));
    }
    int SetItemData(int index, DWORD_PTR data) {
        return static_cast<int>(
            SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
    }
    int SetItemDataPtr(int index, void* data) {
        return SetItemData(index, reinterpret_cast<DWORD_PTR>(data));
    }
    [[nodiscard]] int GetCaretIndex() const { return static_cast<int>(SendMessage(LB_GETCARETINDEX)); }
    int SetCaretIndex(int index, BOOL /*scroll*/ = TRUE) {
        return static_cast<int>(SendMessage(LB_SETCARETINDEX, static_cast<WPARAM>(index)));
    }
    [[nodiscard]] int GetTopIndex() const { return static_cast<int>(SendMessage(LB_GETTOPINDEX)); }
    int GetItemRect(int index, LPRECT rect) const {
        return static_cast<int>(
            SendMessage(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
    }
    [[nodiscard]] int GetItemHeight(int /*index*/) const {
        return static_cast<int>(SendMessage(LB_GETITEMHEIGHT));
    }
    int FindString(int start, LPCSTR text) const {
        return static_cast<int>(
            SendMessage(LB_FINDSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
    }
    int FindStringExact(int start, LPCSTR text) const {
        return static_cast<int>(
            SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
    }

    // Owner-draw requests reach these when the list box has an object of its own (the owner's defaults
    // forward them here).
    virtual void DrawItem(LPDRAWITEMSTRUCT /*draw*/) {}
    virtual void MeasureItem(LPMEASUREITEMSTRUCT /*measure*/) {}
    virtual int CompareItem(LPCOMPAREITEMSTRUCT /*compare*/) { return 0; }
    virtual void DeleteItem(LPDELETEITEMSTRUCT /*gone*/) {}
};

class CComboBox : public CWnd {
public:
    int AddString(LPCSTR text) {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int InsertString(int index, LPCSTR text) {
        return static_cast<int>(
            SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
    }
    int DeleteString(UINT index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    [[nodiscard]] int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    [[nodiscard]] int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) {
        return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
    }
    void GetLBText(int index, CString& text) const;
    int FindStringExact(int start, LPCSTR text) const {
        return static_cast<int>(
            SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
    }
    int SelectString(int start, LPCSTR text) {
        return static_cast<int>(
            SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
    }
    [[nodiscard]] DWORD_PTR GetItemData(int index) const {
        return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
    }
    int SetItemData(int index, DWORD_PTR data) {
        return static_cast<int>(
            SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
    }
    BOOL LimitText(int count) { return SendMessage(CB_LIMITTEXT, static_cast<WPARAM>(count)) != 0; }
};

// A list in report view: columns with headers, rows of texts.
class CListCtrl : public CWnd {
public:
    int InsertColumn(int column, LPCSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
    BOOL DeleteColumn(int column) { return SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column)) != 0; }
    [[nodiscard]] int GetColumnWidth(int column) const {
        return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
    }
    int InsertItem(int index, LPCSTR text);
    BOOL SetItemText(int index, int subItem, LPCSTR text);
    [[nodiscard]] CString GetItemText(int index, int subItem) const;
    BOOL DeleteItem(int index) { return SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index)) != 0; }
    BOOL DeleteAllItems() { return SendMessage(LVM_DELETEALLITEMS) != 0; }
    [[nodiscard]] int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short low, short high) {
        SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<unsigned>(low), static_cast<unsigned>(high)));
    }
    void SetRange32(int low, int high) {
        SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    }
    void GetRange(int& low, int& high) const {
        low = static_cast<int>(SendMessage(PBM_GETRANGE, TRUE));
        high = static_cast<int>(SendMessage(PBM_GETRANGE, FALSE));
    }
    int SetPos(int position) {
        return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position)));
    }
    [[nodiscard]] int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
    int OffsetPos(int delta) {
        return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta)));
    }
    int SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
    int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};
