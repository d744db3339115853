#include "module/handlers/GroupLinks.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountOpsIds.h"
#include "platform/ui/MessageBox.h"

#include <strings.h>

namespace {

// A link that is already there (or already gone) is what the caller wanted.
bool Written(int32_t answer, int32_t alreadyCode) {
    return answer == 1 || GetLastAttrError() == alreadyCode;
}

enum class MemberArgs { GroupFirst, AccountFirst };

GroupJoin Join(int32_t ctx, const char* account, const char* group, unsigned memberFormat,
               MemberArgs memberArgs, unsigned membershipFormat) {
    if (!Written(AddAttrValue(ctx, group, kAttrMember, kSyntaxDistinguishedName, account),
                 kDirErrValueExists)) {
        if (memberArgs == MemberArgs::GroupFirst) {
            FormatMessageBox(memberFormat, MB_OK, {group, account});
        } else {
            FormatMessageBox(memberFormat, MB_OK, {account, group});
        }
        return GroupJoin::MemberRefused;
    }
    if (!Written(AddAttrValue(ctx, account, kAttrGroupMembership, kSyntaxDistinguishedName, group),
                 kDirErrValueExists)) {
        FormatMessageBox(membershipFormat, MB_OK, {account, group});
        return GroupJoin::MembershipRefused;
    }
    return GroupJoin::Joined;
}

} // namespace

GroupJoin JoinGroup(int32_t ctx, const char* account, const char* group, unsigned memberFormat,
                    unsigned membershipFormat) {
    return Join(ctx, account, group, memberFormat, MemberArgs::GroupFirst, membershipFormat);
}

GroupJoin JoinGroup(int32_t ctx, const char* account, const char* group, unsigned failureFormat) {
    return Join(ctx, account, group, failureFormat, MemberArgs::AccountFirst, failureFormat);
}

bool LeaveGroup(int32_t ctx, const char* account, const char* group, unsigned memberFormat,
                unsigned membershipFormat) {
    // Removing this one value needs no read first: a primary group that is another group stays, answered
    // "no such value". A refusal is not shown here: the account's own list below fails the same way and
    // says so, and a primary group left behind outside the groups is what the check removes.
    static_cast<void>(RemoveAttrValue(ctx, account, kAttrPrimaryGroup, kSyntaxDistinguishedName, group));
    bool clear = true;
    if (!Written(RemoveAttrValue(ctx, account, kAttrGroupMembership, kSyntaxDistinguishedName, group),
                 kDirErrNoSuchValue)) {
        FormatMessageBox(membershipFormat, MB_OK, {account, group});
        clear = false;
    }
    // A group that was deleted took its "Member" values with it.
    const int32_t removed = RemoveAttrValue(ctx, group, kAttrMember, kSyntaxDistinguishedName, account);
    if (removed != 1 && GetLastAttrError() != kDirErrNoSuchValue &&
        GetLastAttrError() != kDirErrNoSuchObject) {
        FormatMessageBox(memberFormat, MB_OK, {group, account});
        clear = false;
    }
    return clear;
}

bool SetPrimaryGroup(int32_t ctx, const char* account, const char* group) {
    if (SetAttrValue(ctx, account, kAttrPrimaryGroup, kSyntaxDistinguishedName, group) != 1) {
        FormatMessageBox(kFmtPrimaryGroupFailed, MB_OK, {group, account});
        return false;
    }
    return true;
}

bool SetPrimaryGroupAfterJoin(int32_t ctx, const char* account, const char* group, GroupJoin joined) {
    switch (joined) {
    case GroupJoin::Joined:
        return SetPrimaryGroup(ctx, account, group);
    case GroupJoin::MembershipRefused:
        FormatMessageBox(kFmtPrimaryGroupFailed, MB_OK, {group, account});
        return false;
    case GroupJoin::MemberRefused:
        break;
    }
    return false;
}

bool SameDirName(const char* a, const char* b) {
    return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}
