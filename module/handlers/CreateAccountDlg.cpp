#include "module/handlers/CreateAccountDlg.h"

#include "host/services/HostTypes.h"
#include "module/core/BrowseRequest.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountOpsIds.h"
#include "module/handlers/CreateIds.h"
#include "module/handlers/GroupLinks.h"
#include "module/handlers/TemplateAccounts.h"
#include "platform/ui/MessageBox.h"

namespace {

// What an NT user made in its dialog takes over from the template, in the order it is written.
constexpr CopiedSetting kNTUserTemplateSettings[] = {
    {kAttrDescription, kSyntaxCaseIgnoreString, false},
    {kAttrMustChangePassword, kSyntaxBoolean, false},
    {kAttrPasswordAllowChange, kSyntaxBoolean, false},
    {kAttrExpirePassword, kSyntaxBoolean, false},
    {kAttrLoginDisabled, kSyntaxBoolean, false},
    {kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, true},
    {kAttrProfilePath, kSyntaxCaseIgnoreString, false},
    {kAttrScriptName, kSyntaxCaseIgnoreString, false},
    {kAttrAlternateHomeDirectory, kSyntaxCaseIgnoreString, false},
    {kAttrHomeDirDrive, kSyntaxCaseIgnoreString, false},
    {kAttrLoginExpirationTime, kSyntaxTime, false},
};

int32_t PutStringAttribute(int32_t ctx, DirBuffer* request, const char* attr, uint32_t syntax,
                           const char* value) {
    int32_t rc = DirPutAttrName(ctx, request, attr);
    if (rc == kDirOk) {
        rc = DirPutAttrValue(ctx, request, syntax, value);
    }
    return rc;
}

// Runs the host's browser for one object of className from the dialog's container; empty when nothing
// was picked.
CString BrowseForOne(HWND dialog, const char* className, const char* container) {
    CBrowseRequest request(kBrowseForCreation, className);
    if (!request.Run(dialog, container)) {
        return {};
    }
    return request.Results().front();
}

} // namespace

CString SurnameOf(const CString& fullName) {
    const int space = fullName.ReverseFind(' ');
    return space < 0 ? fullName : fullName.Mid(space + 1);
}

BEGIN_MESSAGE_MAP(CCreateNTUserDlg, CCreateObjectDlg)
ON_BN_CLICKED(kIdcCreateBrowseTemplate, OnBrowseTemplate)
END_MESSAGE_MAP()

CCreateNTUserDlg::CCreateNTUserDlg(CWnd* parent)
    : CCreateObjectDlg(kIddCreateNTUser, kClassNtUser, kIdcCreateAccountName, kMaxNtNameLength,
                       kHelpCreateNTUser, parent) {}

void CCreateNTUserDlg::DoDataExchange(CDataExchange* dx) {
    CCreateObjectDlg::DoDataExchange(dx);
    DDX_Text(dx, kIdcCreateUserFullName, m_userFullName);
    DDV_MaxChars(dx, m_userFullName, kMaxFullNameChars);
    DDX_Check(dx, kIdcCreateUseTemplate, m_useTemplate);
    DDX_Text(dx, kIdcCreateTemplate, m_template);
}

int32_t CCreateNTUserDlg::PutAttributes(int32_t ctx, DirBuffer* request) {
    // The directory keeps no empty strings: a user typed without a full name has neither value.
    const CString surname = SurnameOf(m_userFullName);
    int32_t rc = kDirOk;
    if (!surname.IsEmpty()) {
        rc = PutStringAttribute(ctx, request, kAttrSurname, kSyntaxCaseIgnoreString, surname);
    }
    if (rc == kDirOk && !m_userFullName.IsEmpty()) {
        rc = PutStringAttribute(ctx, request, kAttrFullName, kSyntaxCaseIgnoreString, m_userFullName);
    }
    return rc;
}

void CCreateNTUserDlg::AfterAdd(int32_t ctx) {
    JoinDefaultGroup(ctx);
    if (m_useTemplate != 0 && !m_template.IsEmpty()) {
        ApplyTemplate(ctx);
    }
}

void CCreateNTUserDlg::JoinDefaultGroup(int32_t ctx) {
    CString defaultName;
    if (ReadStringAttr(ctx, m_parent, kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString, &defaultName) != 1 ||
        defaultName.IsEmpty()) {
        FormatMessageBox(kFmtNoDefaultGroup, MB_OK, {static_cast<const char*>(m_parent)});
        return;
    }
    const CString group = MakeFullName(defaultName, m_parent);
    const GroupJoin joined = JoinGroup(ctx, m_fullName, group, kFmtMemberFailed, kFmtMembershipFailed);
    // The primary group must be one of the user's groups, so it is written only once both sides hold it.
    if (joined != GroupJoin::Joined ||
        SetAttrValue(ctx, m_fullName, kAttrPrimaryGroup, kSyntaxDistinguishedName,
                     static_cast<const char*>(group)) != 1) {
        AfxMessageBox(kMsgPrimaryGroupNotSet);
    }
}

void CCreateNTUserDlg::ApplyTemplate(int32_t ctx) {
    CopyTemplateSettings(ctx, m_template, m_fullName, kNTUserTemplateSettings);
    // A template without a value makes global accounts, as its page shows it; the user holds that choice.
    if (const std::optional<bool> global = TemplateGlobalAccount(ctx, m_template); global) {
        const uint32_t value = *global ? 1 : 0;
        if (SetAttrValue(ctx, m_fullName, kAttrGlobalAccount, kSyntaxBoolean, &value) != 1) {
            FormatMessageBox(kFmtSettingFailed, MB_OK,
                             {kAttrGlobalAccount, static_cast<const char*>(m_template),
                              static_cast<const char*>(m_fullName)});
        }
    }
    JoinTemplateGroups(ctx, m_template, m_fullName, m_parent);
    DirValuePtr hours = ReadAttrValueOwned(ctx, m_template, kAttrLoginAllowedTimeMap, kSyntaxOctetString);
    if (hours != nullptr &&
        SetAttrValue(ctx, m_fullName, kAttrLogonHours, kSyntaxOctetString, hours.get()) != 1) {
        FormatMessageBox(kFmtSettingFailed, MB_OK,
                         {kAttrLoginAllowedTimeMap, static_cast<const char*>(m_template),
                          static_cast<const char*>(m_fullName)});
    }
}

void CCreateNTUserDlg::OnBrowseTemplate() {
    UpdateData(TRUE);
    const CString picked = BrowseForOne(GetSafeHwnd(), kClassTemplate, m_parent);
    if (picked.IsEmpty()) {
        return;
    }
    m_template = picked;
    UpdateData(FALSE);
    EnableOkByName();
}

BEGIN_MESSAGE_MAP(CCreateHybridUserDlg, CCreateObjectDlg)
ON_BN_CLICKED(kIdcCreateBrowseUser, OnBrowseUser)
END_MESSAGE_MAP()

CCreateHybridUserDlg::CCreateHybridUserDlg(CWnd* parent)
    : CCreateObjectDlg(kIddCreateHybridUser, kClassHybridUser, kIdcCreateAccountName, kMaxHybridNameChars, 0,
                       parent) {}

void CCreateHybridUserDlg::DoDataExchange(CDataExchange* dx) {
    CCreateObjectDlg::DoDataExchange(dx);
    DDX_Text(dx, kIdcCreateDirectoryUser, m_user);
}

int32_t CCreateHybridUserDlg::PutAttributes(int32_t ctx, DirBuffer* request) {
    return PutStringAttribute(ctx, request, kAttrQdsUser, kSyntaxDistinguishedName, m_user);
}

void CCreateHybridUserDlg::AfterAdd(int32_t ctx) {
    // The account names its user from its add request on; the user's list can only follow now that the
    // account exists.
    if (AddAttrValue(ctx, m_user, kAttrApplicationServerList, kSyntaxDistinguishedName,
                     static_cast<const char*>(m_fullName)) != 1) {
        AfxMessageBox(kMsgHybridNotListed);
    }
}

void CCreateHybridUserDlg::OnBrowseUser() {
    UpdateData(TRUE);
    const CString picked = BrowseForOne(GetSafeHwnd(), kClassUser, m_parent);
    if (picked.IsEmpty()) {
        return;
    }
    m_user = picked;
    // The leaf keeps its escaped dots ("J\.Smith"), so the account's name stays one leaf in its NT system.
    m_name = GetLeafName(picked);
    UpdateData(FALSE);
    EnableOkByName();
}
