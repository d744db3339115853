// Resource ids of the NT account operations: renaming an NT user, moving NT accounts between NT systems and
// making a directory user's NT accounts from a template.
#pragma once

// ---- The rename dialog ----------------------------------------------------------------------------------
constexpr unsigned kIddRenameNTUser = 1090;
constexpr int kIdcRenameNewName = 1005;
// Checked: the user's "CN" keeps the old name (the directory leaves it alone); cleared: it follows the
// rename.
constexpr int kIdcRenameKeepOldName = 1009;
constexpr int kIdcRenameHelp = 1225;
constexpr unsigned kHelpRenameNTUser = 64;

// ---- Messages and formats -------------------------------------------------------------------------------
// Format: the NT system that holds no objects yet (%s).
constexpr unsigned kFmtServerEmpty = 23;
// Format: the account name that an object of the NT system already has (%s).
constexpr unsigned kFmtAccountExists = 24;
// The user's name is too long for an NT account.
constexpr unsigned kMsgUserNameTooLong = 35;
// Format: the directory's code (%d) when an object could not be created.
constexpr unsigned kFmtCreateFailed = 18;
// Format: account, template group (%s, %s).
constexpr unsigned kFmtTemplateGroupFailed = 57350;
// Format: account, directory user (%s, %s).
constexpr unsigned kFmtServerListFailed = 57351;
// Format: group, account (%s, %s): the group's "Member" could not be changed.
constexpr unsigned kFmtMemberFailed = 57352;
// Format: account, group (%s, %s): the account's "KEL:Group Membership" could not be changed.
constexpr unsigned kFmtMembershipFailed = 57353;
// Format: the NT system (%s) whose default group name cannot be read.
constexpr unsigned kFmtNoDefaultGroup = 57354;
// Format: account, new name, directory code (%s, %s, %d): the rename was refused.
constexpr unsigned kFmtRenameFailed = 57355;
// Format: the new name (%s) is empty or holds a "." that is not escaped.
constexpr unsigned kFmtRenameBadName = 57356;
// Format: the new name, the most characters (%s, %d): the name is too long for an NT account.
constexpr unsigned kFmtRenameTooLong = 57357;
// Format: group, account (%s, %s): after a move the group is no longer the account's primary group, since
// the account is not its member in its NT system.
constexpr unsigned kFmtPrimaryGroupRemoved = 57358;
// Format: group, account (%s, %s): as above, but the directory refused to take it off.
constexpr unsigned kFmtPrimaryGroupNotRemoved = 57359;
// Format: group, account (%s, %s): the account's "KEL:Primary Group" could not be set to the group.
constexpr unsigned kFmtPrimaryGroupFailed = 57360;
// Format: directory user, protected attribute, account (%s, %s, %s): the user's right on its account could
// not be stored.
constexpr unsigned kFmtUserRightFailed = 57361;
// Format: template setting, template, account (%s, %s, %s): the setting could not be copied.
constexpr unsigned kFmtSettingFailed = 57363;
