// The two sides of an NT group membership: the group's "Member" and the account's "KEL:Group Membership",
// and the account's "KEL:Primary Group", which must name one of its groups. Every failure is shown with the
// two names.
//
// A link takes one request on each object, so an interruption between them leaves it one-sided. The
// writes are ordered so that whatever is left is what the directory's check repairs: a one-sided pair
// gets its missing side, a primary group that is not among the account's groups is removed.
//   join:  the group's "Member", then the account's "KEL:Group Membership", then "KEL:Primary Group";
//   leave: "KEL:Primary Group", then the account's "KEL:Group Membership", then the group's "Member".
// The group's side comes first in a join because a group that refuses the member (no right on it) must not
// be named by the account: the check would then add the member the operator was refused.
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

// Takes group off account's "KEL:Primary Group" when it is the primary group, then removes group from
// account's "KEL:Group Membership" and account from group's "Member"; a side that no longer holds the link
// is not a failure. Answers true when both sides are clear.
bool LeaveGroup(int32_t ctx, const char* account, const char* group, unsigned memberFormat,
                unsigned membershipFormat);

// Sets account's "KEL:Primary Group" to group; a failure shows format 57360 with (group, account). Answers
// true on success.
bool SetPrimaryGroup(int32_t ctx, const char* account, const char* group);
// The last step of a join: the primary group, written only once both sides hold the link. A join whose
// account side was refused shows 57360, as the write refused on that account would have.
bool SetPrimaryGroupAfterJoin(int32_t ctx, const char* account, const char* group, GroupJoin joined);

// Directory names match without regard to ASCII letter case.
bool SameDirName(const char* a, const char* b);
