// What an NT user or hybrid user needs after the host moved it to another NT system: the destination's
// default group as its new primary group, and its memberships taken over to the destination's global groups
// of the same names.
#pragma once

// The work of OnNotifyMove (host message 275) of the NT user and hybrid user handlers. name is the account's
// new full name, from and to the full names of the old and the new NT system. Every failure is shown and the
// work goes on with the next group; nothing is rolled back. Answers 0 (the move itself is done already).
//
// The primary group moves to a group the account really joined in the destination; when none replaces it,
// the account is left without one (and the person is told), never with a group of another NT system or one
// it is not a member of. Groups that already lie in the destination are left as they are.
long MoveAccountMemberships(const char* name, const char* from, const char* to);
