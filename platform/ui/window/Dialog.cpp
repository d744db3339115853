#include "platform/ui/window/Dialog.h"

#include "platform/ui/ResourceAccess.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/ui/window/WindowRecord.h"

CDialog::~CDialog() {
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this) {
        // Messages of the destruction go to the earlier procedures, never to this half-destroyed object.
        HWND window = UnsubclassWindow();
        ::DestroyWindow(window);
    }
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    if (m_hWnd != nullptr) {
        return FALSE;
    }
    m_templateId = templateId;
    if (parent != nullptr) {
        m_parent = parent;
    }
    const RcDialog* found = FindDialogResource(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId));
    if (found == nullptr) {
        return FALSE;
    }
    uiwin::SetCreationHook(this);
    HWND window = CreateDialogIndirectParamA(found, m_parent ? m_parent->m_hWnd : nullptr, nullptr, 0);
    uiwin::TakeCreationHook();
    return window != nullptr ? TRUE : FALSE;
}

INT_PTR CDialog::DoModal() {
    if (!Create(m_templateId, m_parent)) {
        return -1;
    }
    HWND window = m_hWnd;
    INT_PTR result = IsDialogEnded(window) ? GetDialogResult(window)
                                           : RunModalLoop(window, ModalKind::Dialog, m_templateId);
    if (IsWindow(window)) {
        ::DestroyWindow(window);
    }
    return result;
}

void CDialog::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return dx.Failed() ? FALSE : TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::GotoDlgCtrl(CWnd* control) {
    if (control != nullptr) {
        ::SetFocus(control->m_hWnd);
        if (GetControlKind(control->m_hWnd) == kRcEdit) {
            ::SendMessageA(control->m_hWnd, EM_SETSEL, 0, -1);
        }
    }
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    // A window taken over after it was made had its initialisation already; a later 272 belongs to the
    // procedure it had before.
    if (message == WM_INITDIALOG && IsCreatedByFramework()) {
        *result = OnInitDialog();
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (CWnd::OnCommand(wParam, lParam)) {
        return TRUE;
    }
    if (HIWORD(wParam) != BN_CLICKED) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    case IDHELP:
        OnHelp();
        return TRUE;
    default:
        return FALSE;
    }
}
