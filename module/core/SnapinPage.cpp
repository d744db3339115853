#include "module/core/SnapinPage.h"

#include "platform/ui/WinApp.h"

CSnapinPage::CSnapinPage(UINT titleId, UINT templateId, void* pageParam)
    : m_templateId(static_cast<WORD>(templateId)), m_pageParam(pageParam) {
    m_title.LoadString(titleId);
}

CSnapinPage::CSnapinPage(const char* title, UINT templateId, void* pageParam)
    : m_title(title), m_templateId(static_cast<WORD>(templateId)), m_pageParam(pageParam) {}

HWND CSnapinPage::GetPageWindow() const {
    // The dialog part holds the window; a page interface without one (a bare test page) has none.
    const auto* dialog = dynamic_cast<const CWnd*>(this);
    return dialog != nullptr ? dialog->m_hWnd : nullptr;
}

void CSnapinPage::NotifyChanged(BOOL flag) {
    HWND window = GetPageWindow();
    if (window == nullptr) {
        return;
    }
    ::SendMessageA(window, kMsgPageChanged, 0, static_cast<LPARAM>(flag) << 16);
}

BOOL CSnapinPage::ShowHelp(UINT context) {
    if (CWinApp* app = AfxGetApp()) {
        app->WinHelp(context, HELP_CONTEXT);
    }
    return 0;
}

BOOL BindSnapinPage(HWND window, CDialog* dialog) {
    if (window == nullptr || dialog == nullptr || FindSnapinPage(window) != nullptr) {
        return FALSE;
    }
    // A page outlives its sheet; when the window of the earlier sheet still exists, it is given back its
    // own procedure before the page takes the new one.
    if (dialog->m_hWnd != nullptr) {
        dialog->UnsubclassWindow();
    }
    return dialog->SubclassWindow(window);
}

CSnapinPage* FindSnapinPage(HWND window) {
    return dynamic_cast<CSnapinPage*>(CWnd::FromHandlePermanent(window));
}

INT_PTR SnapinPageMessage(HWND window, UINT message) {
    CSnapinPage* page = FindSnapinPage(window);
    if (page == nullptr) {
        return 0;
    }
    switch (message) {
    case kMsgPageValidate:
        return page->Validate();
    case kMsgPageHelp:
        return page->Help();
    default:
        return 0;
    }
}
