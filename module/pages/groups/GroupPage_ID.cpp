#include "module/pages/groups/GroupPage_ID.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/pages/domain/DomainPage_ID.h"
#include "platform/ui/MessageBox.h"

CGroupPage_ID::CGroupPage_ID(UINT templateId, int descriptionId, int nameId, UINT helpContext)
    : CSnapinPage(kIdsIdentificationTitle, templateId, static_cast<CDialog*>(this)),
      m_descriptionId(descriptionId), m_nameId(nameId), m_helpContext(helpContext) {}

void CGroupPage_ID::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, m_descriptionId, m_description);
    DDX_Text(dx, m_nameId, m_objectName);
}

void CGroupPage_ID::SetDescriptionWritable(BOOL writable) {
    m_descriptionWritable = writable;
    if (CWnd* field = GetDlgItem(m_descriptionId)) {
        field->EnableWindow(writable);
    }
}

BOOL CGroupPage_ID::OnInitDialog() {
    // The page serves sheet after sheet: nothing of the previous group may be shown or written.
    m_modified = FALSE;
    m_descriptionWritable = TRUE;
    m_description.Empty();
    m_objectName.Empty();
    CDialog::OnInitDialog();

    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) == 0) {
        m_objectName = GetCurrentObjectName();
        CDirContext dir;
        char identity[kDirMaxNameBytes + 1] = {};
        uint32_t rights = 0;
        bool mayWrite = false;
        if (dir.IsOpen()) {
            bool known = DirWhoAmI(dir.Get(), identity) == kDirOk;
            static_cast<void>(ReadStringAttr(dir.Get(), m_objectName, kAttrDescription,
                                             kSyntaxCaseIgnoreString, &m_description));
            mayWrite = known &&
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
    if (!m_descriptionWritable) {
        return;
    }
    m_modified = TRUE;
    SendMessage(kMsgPageChanged, reinterpret_cast<WPARAM>(m_hWnd), 1 << 16);
}

LONG CGroupPage_ID::WriteChanges(const char* /*objectName*/) {
    if (!m_modified || !m_descriptionWritable || m_hWnd == nullptr) {
        return 0;
    }
    UpdateData(TRUE);
    CDirContext dir;
    if (!dir.IsOpen() || SetAttrValue(dir.Get(), m_objectName, kAttrDescription, kSyntaxCaseIgnoreString,
                                      static_cast<const char*>(m_description)) != 1) {
        // The typed text must not vanish with the sheet: it stays, modified, for the next apply.
        FormatMessageBox(kFmtDescriptionNotStored, MB_OK | MB_ICONEXCLAMATION,
                         {static_cast<const char*>(m_objectName),
                          static_cast<int64_t>(dir.IsOpen() ? GetLastAttrError() : dir.Get())});
        return kDescriptionNotStored;
    }
    m_modified = FALSE;
    return 0;
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
