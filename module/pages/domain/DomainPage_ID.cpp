#include "module/pages/domain/DomainPage_ID.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/ui/window/Dc.h"

BOOL CSystemPage_ID::OnInitDialog() {
    ForgetLoaded();
    CDialog::OnInitDialog();

    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) != 0) {
        return TRUE;
    }
    CDirContext dir;
    if (dir.IsOpen()) {
        m_objectName = GetCurrentObjectName();
        char identity[kDirMaxNameBytes + 1] = {};
        const BOOL readable = LoadDescription(dir.Get());
        if (readable && DirWhoAmI(dir.Get(), identity) == kDirOk &&
            CanWriteAttribute(dir.Get(), identity, m_objectName, kAttrDescription) == 1) {
            if (CWnd* field = GetDlgItem(m_descriptionId)) {
                field->EnableWindow(TRUE);
            }
        }
    }
    UpdateData(FALSE);
    return TRUE;
}

void CSystemPage_ID::OnDescriptionChange() {
    if (!m_modified) {
        NotifyModified();
    }
}

LONG CSystemPage_ID::WriteChanges(const char* objectName) {
    // Only what the person changed is written: a description that failed to load shows empty, and writing
    // it back would erase the stored one.
    if (!m_modified || m_hWnd == nullptr || objectName == nullptr) {
        return 0;
    }
    UpdateData(TRUE);
    CWnd* field = GetDlgItem(m_descriptionId);
    if (field == nullptr || !field->IsWindowEnabled()) {
        m_modified = FALSE;
        return 0;
    }
    return StoreDescription(objectName);
}

BEGIN_MESSAGE_MAP(CDomainPage_ID, CSystemPage_ID)
ON_EN_CHANGE(kIdcDomainDescription, OnDescriptionChange)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CDomainPage_ID::CDomainPage_ID()
    : CSystemPage_ID(kIddDomainId, kIdcDomainDescription, kIdcDomainName, kHelpDomainId) {}

DLGPROC CDomainPage_ID::GetDialogProc() {
    return &SnapinPageDialogProc<CDomainPage_ID>;
}

HBRUSH CDomainPage_ID::OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) {
    HBRUSH brush = CSystemPage_ID::OnCtlColor(dc, control, ctlColor);
    bool colourRequest = ctlColor == CTLCOLOR_EDIT || ctlColor == CTLCOLOR_MSGBOX;
    if (colourRequest && control != nullptr && dc != nullptr && !control->IsWindowEnabled()) {
        brush = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
        dc->SetBkColor(GetSysColor(COLOR_BTNFACE));
        dc->SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
        dc->SetBkMode(TRANSPARENT);
    }
    return brush;
}

BEGIN_MESSAGE_MAP(CWSPage_ID, CSystemPage_ID)
ON_EN_CHANGE(kIdcWsDescription, OnDescriptionChange)
END_MESSAGE_MAP()

CWSPage_ID::CWSPage_ID() : CSystemPage_ID(kIddWsId, kIdcWsDescription, kIdcWsName, kHelpWsId) {}

DLGPROC CWSPage_ID::GetDialogProc() {
    return &SnapinPageDialogProc<CWSPage_ID>;
}
