// Property sheets of the class framework: pages from templates under one sheet window with OK, Cancel,
// Apply and Help, or in wizard mode with Back, Next and Finish. A page becomes current only when the page it
// replaces agrees to be left (OnKillActive); OK applies every page that was shown.
#pragma once

#include "platform/ui/String.h"
#include "platform/ui/window/Dialog.h"

#include <vector>

constexpr UINT PSM_CHANGED = WM_USER + 104;
constexpr UINT PSM_GETCURRENTPAGEHWND = WM_USER + 118;

constexpr DWORD PSH_USEHICON = 0x0002;
constexpr DWORD PSH_USEICONID = 0x0004;
constexpr DWORD PSH_PROPSHEETPAGE = 0x0008;
constexpr DWORD PSH_WIZARD = 0x0020;
constexpr DWORD PSH_NOAPPLYNOW = 0x0080;
constexpr DWORD PSH_HASHELP = 0x0200;

constexpr DWORD PSWIZB_BACK = 0x1;
constexpr DWORD PSWIZB_NEXT = 0x2;
constexpr DWORD PSWIZB_FINISH = 0x4;
constexpr DWORD PSWIZB_DISABLEDFINISH = 0x8;

constexpr int ID_APPLY_NOW = 0x3021;
constexpr int ID_WIZBACK = 0x3023;
constexpr int ID_WIZNEXT = 0x3024;
constexpr int ID_WIZFINISH = 0x3025;

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT templateId, UINT captionId = 0);
    ~CPropertyPage() override;

    // Becoming current: answers TRUE to be shown. Puts the members into the controls again when the page was
    // shown before.
    virtual BOOL OnSetActive();
    // Being left: FALSE refuses (the page stays current). Takes the controls' values in.
    virtual BOOL OnKillActive();
    // Applying: FALSE keeps the sheet open. Calls OnOK.
    virtual BOOL OnApply();
    virtual void OnReset() {}
    // Cancel pressed: FALSE refuses it (the sheet stays open).
    virtual BOOL OnQueryCancel() { return TRUE; }
    // Wizard buttons: 0 goes on to the neighbouring page, -1 stays, another value names a page's template.
    virtual LRESULT OnWizardBack() { return 0; }
    virtual LRESULT OnWizardNext() { return 0; }
    // FALSE keeps the wizard open.
    virtual BOOL OnWizardFinish() { return TRUE; }
    void OnOK() override {}
    void OnCancel() override {}
    // Marks the sheet changed (enables Apply).
    void SetModified(BOOL changed = TRUE);
    [[nodiscard]] CPropertySheet* GetSheet() const { return m_sheet; }
    [[nodiscard]] const CString& GetCaption() const { return m_caption; }

private:
    friend class CPropertySheet;
    CPropertySheet* m_sheet = nullptr;
    CString m_caption;
    bool m_shownBefore = false;
};

// The sheet's header as the platform keeps it: flags (PSH_...), the icon by name or handle, the caption.
struct PropertySheetHeader {
    DWORD dwFlags = 0;
    LPCSTR pszIcon = nullptr;
    HICON hIcon = nullptr;
    LPCSTR pszCaption = nullptr;
    UINT nStartPage = 0;
};

class CPropertySheet : public CWnd {
public:
    explicit CPropertySheet(UINT captionId = 0, CWnd* parent = nullptr, UINT selectPage = 0);
    explicit CPropertySheet(LPCSTR caption, CWnd* parent = nullptr, UINT selectPage = 0);
    ~CPropertySheet() override;

    PropertySheetHeader m_psh;

    void AddPage(CPropertyPage* page);
    void RemovePage(CPropertyPage* page);
    [[nodiscard]] int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    [[nodiscard]] CPropertyPage* GetPage(int index) const;
    [[nodiscard]] CPropertyPage* GetActivePage() const;
    [[nodiscard]] int GetActiveIndex() const { return m_active; }
    [[nodiscard]] int GetPageIndex(const CPropertyPage* page) const;
    // FALSE when the current page refuses to be left.
    BOOL SetActivePage(int index);
    BOOL SetActivePage(CPropertyPage* page) { return SetActivePage(GetPageIndex(page)); }
    void SetTitle(LPCSTR title) { m_caption = title ? title : ""; }
    void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }
    [[nodiscard]] bool IsWizard() const { return (m_psh.dwFlags & PSH_WIZARD) != 0; }
    // Which wizard buttons are on: PSWIZB_BACK, PSWIZB_NEXT, PSWIZB_FINISH or PSWIZB_DISABLEDFINISH.
    void SetWizardButtons(DWORD flags);
    // Presses a button as a person would: IDOK, IDCANCEL, ID_APPLY_NOW, ID_WIZBACK, ID_WIZNEXT, ID_WIZFINISH.
    void PressButton(int id);
    // Runs the sheet modally: IDOK, IDCANCEL, ID_WIZFINISH; -1 when it cannot be shown or the driver had no
    // action for it.
    virtual INT_PTR DoModal();
    void EndDialog(int result);
    // Whether a page reported a change since the sheet opened or was last applied.
    [[nodiscard]] bool IsChanged() const { return m_changed; }
    // The icon found from m_psh (PSH_USEICONID with pszIcon, by name in the resource library); null if none.
    [[nodiscard]] HBITMAP GetIconBitmap() const { return m_icon; }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // The tabs (a wizard has none).
    void OnPaint() override;

private:
    bool CreatePageWindow(int index);
    bool ApplyPages();
    void GoTo(int index, LRESULT answer);
    void LayOut();

    CString m_caption;
    CWnd* m_parent = nullptr;
    std::vector<CPropertyPage*> m_pages;
    int m_active = -1;
    bool m_changed = false;
    HBITMAP m_icon = nullptr;
    RECT m_pageArea{};
};
