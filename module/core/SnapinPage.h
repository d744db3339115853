// The page interface every property page carries beside its dialog: what a class handler needs to describe
// the page to the host (its dialog procedure, template, title and parameter), the host's validate and help
// requests, and the page-changed report. A page class derives from CDialog and from CSnapinPage; its dialog
// procedure is SnapinPageDialogProc<ThePage>.
#pragma once

#include "platform/ui/String.h"
#include "platform/ui/UiTypes.h"
#include "platform/ui/window/Dialog.h"

#include <type_traits>

class CSnapinPage {
public:
    // titleId is a string of the current resource library; the page parameter is the page object itself
    // (its CDialog part), handed back to the dialog procedure when the host creates the page's dialog.
    CSnapinPage(UINT titleId, UINT templateId, void* pageParam);
    CSnapinPage(const char* title, UINT templateId, void* pageParam);
    virtual ~CSnapinPage() = default;
    CSnapinPage(const CSnapinPage&) = delete;
    CSnapinPage& operator=(const CSnapinPage&) = delete;

    // The page class's own static dialog procedure.
    virtual DLGPROC GetDialogProc() = 0;
    // Answers of the host's validate (1313) and help (1337) requests; 1 by default.
    virtual BOOL Validate() { return TRUE; }
    virtual BOOL Help() { return TRUE; }
    // Tells the host that the sheet has changes: 1312 to the page's own window, wParam 0, lParam the flag in
    // the high word. Nothing is sent while the page has no window.
    virtual void NotifyChanged(BOOL flag);

    [[nodiscard]] const char* GetTitle() const { return m_title; }
    [[nodiscard]] UINT GetTemplateId() const { return m_templateId; }
    [[nodiscard]] void* GetPageParam() const { return m_pageParam; }
    // The window the page is bound to now; null between sheets.
    [[nodiscard]] HWND GetPageWindow() const;

protected:
    // Application help with `context`; answers 0, as every page's Help does.
    static BOOL ShowHelp(UINT context);

private:
    CString m_title;
    UINT m_templateId;
    void* m_pageParam;
};

// Binds the window the host created to the page on its initialisation message: the page takes the window's
// messages over and the window's earlier procedure gets what the page leaves. An earlier binding of the page
// (to a window of an earlier sheet) is released first. FALSE, and nothing changed, when the window is
// already bound to a page.
BOOL BindSnapinPage(HWND window, CDialog* dialog);
// The page bound to `window`, or null.
CSnapinPage* FindSnapinPage(HWND window);
// Every message but the initialisation: 1313 answers Validate, 1337 answers Help, all else 0, and 0 for a
// window without a page.
INT_PTR SnapinPageMessage(HWND window, UINT message);

// The dialog procedure of page class TPage (a CDialog and a CSnapinPage), one function per page class. The
// creation parameter is the page parameter, which every page sets to its CDialog part.
template <class TPage>
INT_PTR CALLBACK SnapinPageDialogProc(HWND window, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    static_assert(std::is_base_of_v<CDialog, TPage> && std::is_base_of_v<CSnapinPage, TPage>);
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        if (dialog == nullptr || dynamic_cast<TPage*>(dialog) == nullptr) {
            return 0;
        }
        if (!BindSnapinPage(window, dialog)) {
            return 0;
        }
        return dialog->OnInitDialog();
    }
    return SnapinPageMessage(window, message);
}
