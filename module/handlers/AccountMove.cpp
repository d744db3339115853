#include "module/handlers/AccountMove.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/DirectoryMessages.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountOpsIds.h"
#include "module/handlers/GroupLinks.h"
#include "platform/ui/MessageBox.h"

#include <cstring>

namespace {

bool IsGlobalGroup(int32_t ctx, const char* object) {
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    return DirReadObjectInfo(ctx, object, stored, &info) == kDirOk &&
           SameDirName(info.baseClass, kClassNtGlobalGroup);
}

bool IsAmong(const CStringArray& names, const char* name) {
    for (int i = 0; i < names.GetSize(); ++i) {
        if (SameDirName(names[i], name)) {
            return true;
        }
    }
    return false;
}

// The primary group must be one of the account's groups in its own NT system. Leaving an old group took it
// off already when nothing replaced it (lost is then that group, so the person hears of it); one the
// account never listed among its groups, or whose leaving was refused, is taken off here.
void KeepPrimaryGroupInSystem(int32_t ctx, const char* account, const char* system, const CString& lost) {
    CString primary;
    static_cast<void>(ReadStringAttr(ctx, account, kAttrPrimaryGroup, kSyntaxDistinguishedName, &primary));
    if (primary.IsEmpty()) {
        if (!lost.IsEmpty()) {
            FormatMessageBox(kFmtPrimaryGroupRemoved, MB_OK, {static_cast<const char*>(lost), account});
        }
        return;
    }
    CStringArray groups;
    static_cast<void>(ReadAttrValues(ctx, account, kAttrGroupMembership, kSyntaxDistinguishedName, &groups));
    if (SameDirName(GetContainerName(primary), system) && IsAmong(groups, primary)) {
        return;
    }
    const bool removed =
        RemoveAttrValue(ctx, account, kAttrPrimaryGroup, kSyntaxDistinguishedName, primary) == 1;
    FormatMessageBox(removed ? kFmtPrimaryGroupRemoved : kFmtPrimaryGroupNotRemoved, MB_OK,
                     {static_cast<const char*>(primary), account});
}

} // namespace

long MoveAccountMemberships(const char* name, const char* from, const char* to) {
    if (name == nullptr || to == nullptr || *name == '\0' || *to == '\0') {
        return 0;
    }
    // A move within one NT system changes no membership.
    if (SameDirName(from, to)) {
        return 0;
    }
    CDirContext context;
    if (!context.IsOpen()) {
        AfxMessageBox(kMsgNoContext);
        return 0;
    }
    const int32_t ctx = context.Get();

    CString oldPrimary;
    static_cast<void>(ReadStringAttr(ctx, name, kAttrPrimaryGroup, kSyntaxDistinguishedName, &oldPrimary));

    bool replaced = false;
    CString defaultName;
    if (ReadStringAttr(ctx, to, kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString, &defaultName) != 1 ||
        defaultName.IsEmpty()) {
        FormatMessageBox(kFmtNoDefaultGroup, MB_OK, {to});
    } else {
        // The new primary group is joined and set before any old group is left (GroupLinks.h has the order
        // of each step), so an interruption leaves the account with a primary group among its groups.
        const CString defaultGroup = MakeFullName(defaultName, to);
        const GroupJoin joined = JoinGroup(ctx, name, defaultGroup, kFmtMemberFailed, kFmtMembershipFailed);
        replaced = SetPrimaryGroupAfterJoin(ctx, name, defaultGroup, joined);
    }

    CStringArray groups;
    static_cast<void>(ReadAttrValues(ctx, name, kAttrGroupMembership, kSyntaxDistinguishedName, &groups));
    for (int i = 0; i < groups.GetSize(); ++i) {
        const CString oldGroup = groups[i];
        CString leaf;
        CString container;
        SplitFullName(oldGroup, &leaf, &container);
        if (SameDirName(container, to)) {
            continue; // joined above, or a member there already
        }
        // Left before its namesake is joined, the order in which the messages have always come. LeaveGroup
        // takes the group off the primary group first; that matters only when no default group replaced it.
        static_cast<void>(LeaveGroup(ctx, name, oldGroup, kFmtMemberFailed, kFmtMembershipFailed));

        // Global groups are known across the NT systems by name; a local group belongs to its own system.
        const CString newGroup = MakeFullName(leaf, to);
        if (!IsGlobalGroup(ctx, newGroup)) {
            continue;
        }
        const GroupJoin joined = JoinGroup(ctx, name, newGroup, kFmtMemberFailed, kFmtMembershipFailed);
        if (SameDirName(oldGroup, oldPrimary)) {
            replaced = SetPrimaryGroupAfterJoin(ctx, name, newGroup, joined) || replaced;
        }
    }
    KeepPrimaryGroupInSystem(ctx, name, to, replaced ? CString() : oldPrimary);
    return 0;
}
