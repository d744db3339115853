#include "module/pages/IdentificationPage.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/ui/MessageBox.h"

CIdentificationPage::CIdentificationPage(UINT templateId, int descriptionId, int nameId, UINT helpContext)
    : CStayOpenPage(kIdsIdentificationTitle, templateId), m_descriptionId(descriptionId), m_nameId(nameId),
      m_helpContext(helpContext) {}

void CIdentificationPage::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, m_descriptionId, m_description);
    DDX_Text(dx, m_nameId, m_objectName);
}

void CIdentificationPage::ForgetLoaded() {
    m_modified = FALSE;
    m_description.Empty();
    m_objectName.Empty();
}

BOOL CIdentificationPage::LoadDescription(int32_t ctx) {
    if (ReadStringAttr(ctx, m_objectName, kAttrDescription, kSyntaxCaseIgnoreString, &m_description) == 1) {
        return TRUE;
    }
    m_description.Empty();
    // A value too large for the page's read stays editable: the person sees the field empty and may
    // replace it on purpose, as with a description the object does not have.
    return LastReadRefused() ? FALSE : TRUE;
}

bool CIdentificationPage::LastReadRefused() {
    const int32_t code = GetLastAttrError();
    return code == kDirErrNoRight || code == kDirErrIdentityGone;
}

void CIdentificationPage::LimitTyping(CDataExchange* dx, const CString& value, int count, bool typed) {
    if (dx->m_bSaveAndValidate && !typed) {
        return;
    }
    DDV_MaxChars(dx, value, count);
}

void CIdentificationPage::NotifyModified() {
    m_modified = TRUE;
    SendMessage(kMsgPageChanged, reinterpret_cast<WPARAM>(m_hWnd), 1 << 16);
}

LONG CIdentificationPage::StoreDescription(const char* objectName) {
    CDirContext dir;
    if (!dir.IsOpen() || SetAttrValue(dir.Get(), objectName, kAttrDescription, kSyntaxCaseIgnoreString,
                                      static_cast<const char*>(m_description)) != 1) {
        FormatMessageBox(kFmtDescriptionNotStored, MB_OK | MB_ICONEXCLAMATION,
                         {objectName, static_cast<int64_t>(dir.IsOpen() ? GetLastAttrError() : dir.Get())});
        return kDescriptionNotStored;
    }
    m_modified = FALSE;
    return 0;
}
