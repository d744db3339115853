// The base of the property pages that Enter and Escape must not close: a page is a modeless child of the
// host's sheet, and only the sheet's own buttons end it. Every NT user page (identification, groups,
// profile, hours, workstations, expiration) and every identification page derives from it.
#pragma once

#include "module/core/SnapinPage.h"
#include "platform/ui/window/Dialog.h"

class CStayOpenPage : public CDialog, public CSnapinPage {
protected:
    // The page parameter is the page's own CDialog part, as SnapinPageDialogProc expects it.
    CStayOpenPage(UINT titleId, UINT templateId)
        : CSnapinPage(titleId, templateId, static_cast<CDialog*>(this)) {}

    // The dialog's own OK and Cancel would end the page's window under the sheet; the command goes on to the
    // default procedure instead, which leaves the page as it is.
    void OnOK() override { DefWindowProc(WM_COMMAND, IDOK, 0); }
    void OnCancel() override { DefWindowProc(WM_COMMAND, IDCANCEL, 0); }
};
