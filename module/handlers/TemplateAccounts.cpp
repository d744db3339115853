#include "module/handlers/TemplateAccounts.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/DirectoryMessages.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountOpsIds.h"
#include "module/handlers/GroupLinks.h"
#include "platform/ui/MessageBox.h"

#include <optional>
#include <string>

namespace {

// The template's NT settings an account takes over, in the order they are written.
constexpr CopiedSetting kCopiedSettings[] = {
    {kAttrMustChangePassword, kSyntaxBoolean, false},
    {kAttrExpirePassword, kSyntaxBoolean, false},
    {kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, true},
    {kAttrProfilePath, kSyntaxCaseIgnoreString, false},
    {kAttrScriptName, kSyntaxCaseIgnoreString, false},
    {kAttrAlternateHomeDirectory, kSyntaxCaseIgnoreString, false},
    {kAttrHomeDirDrive, kSyntaxCaseIgnoreString, false},
};

// Rights of the directory user on its own account: read everything, write its NT password.
constexpr uint32_t kRightsAllAttributes = kDirRightRead;
constexpr uint32_t kRightsAuthentication = kDirRightRead | kDirRightWrite;

// Frees the add request on every path.
class AddRequest {
public:
    AddRequest() : m_allocated(DirAllocBuffer(kDirBufferSmall, &m_buffer)) {
        if (m_allocated != kDirOk) {
            m_buffer = nullptr;
        }
    }
    ~AddRequest() {
        if (m_buffer != nullptr) {
            static_cast<void>(DirFreeBuffer(m_buffer));
        }
    }
    AddRequest(const AddRequest&) = delete;
    AddRequest& operator=(const AddRequest&) = delete;

    // The client's code of the first step that failed, or of DirAddObject.
    [[nodiscard]] int32_t CreateHybridUser(int32_t ctx, const char* account, const char* user,
                                           std::optional<bool> globalAccount) {
        if (m_buffer == nullptr) {
            return m_allocated;
        }
        int32_t rc = DirInitBuffer(ctx, kDirOpAdd, m_buffer);
        if (rc == kDirOk) {
            rc = DirPutAttrName(ctx, m_buffer, kAttrObjectClass);
        }
        if (rc == kDirOk) {
            rc = DirPutAttrValue(ctx, m_buffer, kSyntaxClassName, kClassHybridUser);
        }
        // The naming attribute, which the account's pages show as its user name.
        if (rc == kDirOk) {
            rc = DirPutAttrName(ctx, m_buffer, kAttrCN);
        }
        if (rc == kDirOk) {
            rc = DirPutAttrValue(ctx, m_buffer, kSyntaxCaseIgnoreString,
                                 static_cast<const char*>(GetLeafName(account)));
        }
        if (rc == kDirOk) {
            rc = DirPutAttrName(ctx, m_buffer, kAttrQdsUser);
        }
        if (rc == kDirOk) {
            rc = DirPutAttrValue(ctx, m_buffer, kSyntaxDistinguishedName, user);
        }
        if (rc == kDirOk && globalAccount) {
            const uint32_t value = *globalAccount ? 1 : 0;
            rc = DirPutAttrName(ctx, m_buffer, kAttrGlobalAccount);
            if (rc == kDirOk) {
                rc = DirPutAttrValue(ctx, m_buffer, kSyntaxBoolean, &value);
            }
        }
        if (rc == kDirOk) {
            rc = DirAddObject(ctx, account, 0, 0, m_buffer);
        }
        return rc;
    }

private:
    DirBuffer* m_buffer = nullptr;
    int32_t m_allocated = kDirOk;
};

} // namespace

void GrantUserRights(int32_t ctx, const char* account, const char* user) {
    // The ACL record points at the names; the client copies them into its request.
    std::string subject(user);
    std::string allAttributes(kAclAllAttributesRights);
    std::string authentication(kAttrAuthentication);
    const DirObjectACL grants[] = {
        {allAttributes.data(), subject.data(), kRightsAllAttributes},
        {authentication.data(), subject.data(), kRightsAuthentication},
    };
    for (const DirObjectACL& grant : grants) {
        if (AddAttrValue(ctx, account, kAttrAcl, kSyntaxObjectACL, &grant) != 1) {
            FormatMessageBox(kFmtUserRightFailed, MB_OK, {user, grant.protectedAttrName, account});
        }
    }
}

void JoinDefaultGroup(int32_t ctx, const char* account, const char* server) {
    CString defaultName;
    if (ReadStringAttr(ctx, server, kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString, &defaultName) != 1 ||
        defaultName.IsEmpty()) {
        FormatMessageBox(kFmtNoDefaultGroup, MB_OK, {server});
        return;
    }
    const CString group = MakeFullName(defaultName, server);
    const GroupJoin joined = JoinGroup(ctx, account, group, kFmtMemberFailed, kFmtMembershipFailed);
    static_cast<void>(SetPrimaryGroupAfterJoin(ctx, account, group, joined));
}

std::optional<bool> TemplateGlobalAccount(int32_t ctx, const char* templateName) {
    const DirValuePtr value = ReadAttrValueOwned(ctx, templateName, kAttrGlobalAccount, kSyntaxBoolean);
    if (value != nullptr) {
        return *static_cast<const uint32_t*>(value.get()) != 0;
    }
    const int32_t code = GetLastAttrError();
    if (code == kDirErrNoRight || code == kDirErrIdentityGone) {
        return std::nullopt;
    }
    return true;
}

int32_t CreateHybridAccount(int32_t ctx, const char* account, const char* user,
                            std::optional<bool> globalAccount) {
    AddRequest request;
    return request.CreateHybridUser(ctx, account, user, globalAccount);
}

// Each setting is written only when the template holds it, so the account keeps the NT side's default for
// the others.
void CopyTemplateSettings(int32_t ctx, const char* templateName, const char* account,
                          std::span<const CopiedSetting> settings) {
    for (const CopiedSetting& setting : settings) {
        bool copied = true;
        if (setting.list) {
            CStringArray values;
            if (ReadAttrValues(ctx, templateName, setting.attr, setting.syntax, &values) != 1 ||
                values.IsEmpty()) {
                continue;
            }
            copied = SetAttrValues(ctx, account, setting.attr, setting.syntax, &values) == 1;
        } else {
            DirValuePtr value = ReadAttrValueOwned(ctx, templateName, setting.attr, setting.syntax);
            if (value == nullptr) {
                continue;
            }
            copied = SetAttrValue(ctx, account, setting.attr, setting.syntax, value.get()) == 1;
        }
        if (!copied) {
            FormatMessageBox(kFmtSettingFailed, MB_OK, {setting.attr, templateName, account});
        }
    }
}

void JoinTemplateGroups(int32_t ctx, const char* templateName, const char* account, const char* server) {
    CString primaryName;
    static_cast<void>(
        ReadStringAttr(ctx, templateName, kAttrTemplatePrimaryGroup, kSyntaxCaseIgnoreString, &primaryName));
    CStringArray values;
    static_cast<void>(
        ReadAttrValues(ctx, templateName, kAttrTemplateGroups, kSyntaxCaseIgnoreString, &values));
    for (int i = 0; i < values.GetSize(); ++i) {
        const char* groupName = TemplateGroupName(values[i]);
        if (*groupName == '\0') {
            FormatMessageBox(kFmtTemplateGroupFailed, MB_OK, {account, static_cast<const char*>(values[i])});
            continue;
        }
        const CString group = MakeFullName(groupName, server);
        const GroupJoin joined = JoinGroup(ctx, account, group, kFmtTemplateGroupFailed);
        // The template names its primary group as the group list shows it: by name, without the prefix.
        if (joined == GroupJoin::MemberRefused || !SameDirName(groupName, primaryName)) {
            continue;
        }
        // The primary group is the join's last step, written only once both sides name each other; a join
        // whose account side was refused is shown again for it, as the refused write would be.
        if (joined != GroupJoin::Joined ||
            SetAttrValue(ctx, account, kAttrPrimaryGroup, kSyntaxDistinguishedName,
                         static_cast<const char*>(group)) != 1) {
            FormatMessageBox(kFmtTemplateGroupFailed, MB_OK, {account, static_cast<const char*>(group)});
        }
    }
}

namespace {

// An NT system that holds no objects has not been taken over by its agent yet; an account there would
// never reach the NT side.
bool ServerTakesAccounts(const char* server) {
    uint32_t count = 0;
    if (CountSubordinates(server, &count) != 1) {
        return false; // shown by CountSubordinates
    }
    if (count == 0) {
        FormatMessageBox(kFmtServerEmpty, MB_OK, {server});
        return false;
    }
    return true;
}

} // namespace

const char* TemplateGroupName(const char* value) {
    if (value == nullptr || (value[0] != 'g' && value[0] != 'l') || value[1] != '.') {
        return "";
    }
    return value + 2;
}

long CreateAccountsFromTemplate(const char* user, const char* templateName) {
    if (user == nullptr || templateName == nullptr || *user == '\0' || *templateName == '\0') {
        return 0;
    }
    const CString leaf = GetLeafName(user);
    if (NtNameLength(leaf) > kMaxNtNameLength) {
        AfxMessageBox(kMsgUserNameTooLong);
        return 0;
    }
    CDirContext context;
    if (!context.IsOpen()) {
        AfxMessageBox(kMsgNoContext);
        return 0;
    }
    const int32_t ctx = context.Get();

    CStringArray servers;
    static_cast<void>(
        ReadAttrValues(ctx, templateName, kAttrApplicationServerList, kSyntaxDistinguishedName, &servers));
    const std::optional<bool> globalAccount = TemplateGlobalAccount(ctx, templateName);
    for (int i = 0; i < servers.GetSize(); ++i) {
        const CString& server = servers[i];
        const CString account = MakeFullName(leaf, server);

        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        if (DirReadObjectInfo(ctx, account, stored, &info) == kDirOk) {
            FormatMessageBox(kFmtAccountExists, MB_OK, {static_cast<const char*>(account)});
            continue;
        }
        if (!ServerTakesAccounts(server)) {
            continue;
        }
        // The account's "KEL:QDS User" travels in its add request, so the account never exists without
        // naming its user; the user's "KEL:Application Server List" can only follow, as a name must name
        // an object. An interruption in between leaves an account its user does not list yet.
        const int32_t created = CreateHybridAccount(ctx, account, user, globalAccount);
        if (created != kDirOk) {
            FormatMessageBox(kFmtCreateFailed, MB_OK, {static_cast<int64_t>(created)});
            continue;
        }
        GrantUserRights(ctx, account, user);
        if (AddAttrValue(ctx, user, kAttrApplicationServerList, kSyntaxDistinguishedName,
                         static_cast<const char*>(account)) != 1) {
            FormatMessageBox(kFmtServerListFailed, MB_OK, {static_cast<const char*>(account), user});
        }
        JoinDefaultGroup(ctx, account, server);
        CopyTemplateSettings(ctx, templateName, account, kCopiedSettings);
        JoinTemplateGroups(ctx, templateName, account, server);
    }
    return 0;
}
