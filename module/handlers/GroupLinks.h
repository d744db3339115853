// The two sides of an NT group membership: the group's "Member" and the account's "KEL:Group Membership".
// They are written together so that neither side names a link the other lacks, and every failure is shown
// with the two names.
#pragma once

#include <cstdint>

enum class GroupJoin {
    Joined,           // both sides hold the link (a side that held it already counts)
    MemberRefused,    // the group's "Member" was not written, so neither side was
    MembershipRefused // the account is a member, but its own list could not name the group
};

// Adds account to group's "Member", then group to account's "KEL:Group Membership". When the group refuses
// the member (no such group, no right) the account's list is left alone. memberFormat is shown with
// (group, account) and membershipFormat with (account, group) when their side fails.
GroupJoin JoinGroup(int32_t ctx, const char* account, const char* group, unsigned memberFormat,
                    unsigned membershipFormat);
// As above, one format for either side, shown with (account, group).
GroupJoin JoinGroup(int32_t ctx, const char* account, const char* group, unsigned failureFormat);

// Removes group from account's "KEL:Group Membership" and account from group's "Member"; a side that no
// longer holds the link is not a failure. Answers true when both sides are clear.
bool LeaveGroup(int32_t ctx, const char* account, const char* group, unsigned memberFormat,
                unsigned membershipFormat);

// Sets account's "KEL:Primary Group" to group; a failure shows message 57346. Answers true on success.
bool SetPrimaryGroup(int32_t ctx, const char* account, const char* group);

// Directory names match without regard to ASCII letter case.
bool SameDirName(const char* a, const char* b);
