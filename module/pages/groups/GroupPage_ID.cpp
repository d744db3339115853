#include "module/pages/groups/GroupPage_ID.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"

void CGroupPage_ID::SetDescriptionWritable(BOOL writable) {
    m_descriptionWritable = writable;
    if (CWnd* field = GetDlgItem(m_descriptionId)) {
        field->EnableWindow(writable);
    }
}

BOOL CGroupPage_ID::OnInitDialog() {
    ForgetLoaded();
    m_descriptionWritable = TRUE;
    CDialog::OnInitDialog();

    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) == 0) {
        m_objectName = GetCurrentObjectName();
        CDirContext dir;
        char identity[kDirMaxNameBytes + 1] = {};
        uint32_t rights = 0;
        bool mayWrite = false;
        if (dir.IsOpen()) {
            const bool known = DirWhoAmI(dir.Get(), identity) == kDirOk;
            const bool readable = LoadDescription(dir.Get()) == TRUE;
            mayWrite = known && readable &&
                       DirGetEffectiveRights(dir.Get(), identity, m_objectName, kAttrDescription, &rights) ==
                           kDirOk &&
                       (rights & kRightWrite) != 0;
        }
        SetDescriptionWritable(mayWrite ? TRUE : FALSE);
    }
    UpdateData(FALSE);
    return TRUE;
}

void CGroupPage_ID::OnDescriptionChange() {
    if (m_descriptionWritable) {
        NotifyModified();
    }
}

LONG CGroupPage_ID::WriteChanges(const char* /*objectName*/) {
    if (!m_modified || !m_descriptionWritable || m_hWnd == nullptr) {
        return 0;
    }
    UpdateData(TRUE);
    return StoreDescription(m_objectName);
}

BEGIN_MESSAGE_MAP(CGlobalGroupPage_ID, CGroupPage_ID)
ON_EN_CHANGE(kIdcGlobalGroupDescription, OnDescriptionChange)
END_MESSAGE_MAP()

CGlobalGroupPage_ID::CGlobalGroupPage_ID()
    : CGroupPage_ID(kIddGlobalGroupId, kIdcGlobalGroupDescription, kIdcGlobalGroupName, kHelpGlobalGroupId) {}

DLGPROC CGlobalGroupPage_ID::GetDialogProc() {
    return &SnapinPageDialogProc<CGlobalGroupPage_ID>;
}

BEGIN_MESSAGE_MAP(CLocalGroupPage_ID, CGroupPage_ID)
ON_EN_CHANGE(kIdcLocalGroupDescription, OnDescriptionChange)
END_MESSAGE_MAP()

CLocalGroupPage_ID::CLocalGroupPage_ID()
    : CGroupPage_ID(kIddLocalGroupId, kIdcLocalGroupDescription, kIdcLocalGroupName, kHelpLocalGroupId) {}

DLGPROC CLocalGroupPage_ID::GetDialogProc() {
    return &SnapinPageDialogProc<CLocalGroupPage_ID>;
}
