// Writing what a person changed in an NT account's group list, shared by the account's groups page and the
// attributes sheet of a directory user's NT account.
#pragma once

#include "platform/ui/StringArray.h"

#include <cstdint>

struct MembershipWrite {
    // Groups the person took off that are the account's primary group as it is stored now: they are not
    // left (message 38 was shown), and the caller lists them again.
    CStringArray keptPrimary;
    // The account's memberships as the write left them: the next write starts from these.
    CStringArray now;
};

// Joins the groups in `listed` but not in `read` and leaves those in `read` but not in `listed`, each value
// against the lists as they stand when the write runs, so that what another administrator changed since
// `read` was loaded stays. Joins take the group's side ("Member") first, so that a group that refuses the
// member is never named by the account; `chosenPrimary` (null when the person chose none) is named once
// both sides hold its link and before any group is left; leaves take the account's side first. Refusals
// are shown as message boxes.
[[nodiscard]] MembershipWrite WriteMembershipChange(int32_t ctx, const char* account, const CStringArray& read,
                                                    const CStringArray& listed, const char* chosenPrimary);
