// Resource ids of a directory user's NT accounts: the NT accounts page, the delete confirmation and the
// messages of the account rules.
#pragma once

// ---- The NT accounts page -------------------------------------------------------------------------------
constexpr unsigned kIddForeignAccount = 110;
constexpr unsigned kIdsForeignAccountTitle = 57380;
constexpr unsigned kHelpForeignAccount = 5;
constexpr int kIdcAccountAdd = 120;
constexpr int kIdcAccountRemove = 121;
constexpr int kIdcAccountList = 122;
constexpr int kIdcAccountAttributes = 123;
constexpr int kIdcAccountPassword = 124;
constexpr int kIdcAccountListLabel = 1210;
// Shown in place of the list when the user's leaf is too long for an NT account name.
constexpr int kIdcAccountNameTooLong = 1211;

// ---- The delete confirmation ----------------------------------------------------------------------------
constexpr unsigned kIddDeleteAccounts = 160;
constexpr int kIdcDeleteAccountsList = 1029;

// ---- Messages and formats -------------------------------------------------------------------------------
// The attributes of one account at a time: more than one is selected.
constexpr unsigned kMsgSelectOneAccount = 22;
// The user's new name is too long for its NT accounts, and renaming it back failed.
constexpr unsigned kMsgRenameBackFailed = 40;
// The user's new name is too long for its NT accounts, so it was renamed back.
constexpr unsigned kMsgRenamedBack = 41;
// Format: directory code, account (%d, %s): the account object could not be deleted.
constexpr unsigned kFmtAccountDeleteFailed = 57362;
// Format: old leaf, new leaf, directory code (%s, %s, %d): an NT account could not follow the user's rename.
constexpr unsigned kFmtAccountRenameFailed = 57377;
// The user's NT accounts were renamed after it.
constexpr unsigned kMsgAccountsRenamed = 57378;
// Format: account, new leaf, user (%s, %s, %s): a listed account whose "KEL:QDS User" does not name the
// user (or cannot be read) is not renamed.
constexpr unsigned kFmtAccountNotUsers = 57561;
// Format: user, object (%s, %s): the user's delete is refused, since the identity may not delete the user
// or one of its NT accounts; nothing was deleted.
constexpr unsigned kFmtDeleteNotAllowed = 57562;
// Format: user (%s): the user's delete is refused, since its list of NT accounts cannot be read.
constexpr unsigned kFmtDeleteAccountsUnreadable = 57563;

// Texts that are not from the string table: a user is never copied or moved while it has this module.
inline constexpr char kTextQueryCopy[] = "CForeignAccount::OnQueryCopy(%s)";
inline constexpr char kTextQueryMove[] = "CForeignAccount::OnQueryMove(%s)";
