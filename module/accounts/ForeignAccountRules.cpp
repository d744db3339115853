// The account rules of CForeignAccount: what a delete, copy, move or rename of a directory user does to its
// NT accounts, whose names repeat the user's leaf.
#include "module/accounts/AccountIds.h"
#include "module/accounts/DeleteAccountsDialog.h"
#include "module/accounts/ForeignAccount.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/handlers/GroupLinks.h"
#include "platform/ui/MessageBox.h"

#include <string>

LONG CForeignAccount::OnQueryDelete(const char* user) {
    CDeleteAccountsDialog dialog(user);
    return dialog.DoModal() == IDOK ? 0 : -1;
}

// The host would copy or move the user without its accounts, whose names and containers follow the user's.
LONG CForeignAccount::OnQueryCopy(const char* user) {
    AfxMessageBox(FormatResourceText(kTextQueryCopy, {user}).c_str());
    return -1;
}

LONG CForeignAccount::OnQueryMove(const char* user) {
    AfxMessageBox(FormatResourceText(kTextQueryMove, {user}).c_str());
    return -1;
}

LONG CForeignAccount::OnNotifyRename(const char* newName, const char* oldName) {
    if (newName == nullptr || oldName == nullptr) {
        return 0;
    }
    CDirContext dir;
    if (!dir.IsOpen()) {
        return 0;
    }
    const int32_t ctx = dir.Get();
    CStringArray accounts;
    // The host renames the user before it tells the module, so its old name is normally gone.
    const char* user = oldName;
    if (ReadAttrValues(ctx, oldName, kAttrApplicationServerList, kSyntaxDistinguishedName, &accounts) != 1) {
        user = newName;
        static_cast<void>(
            ReadAttrValues(ctx, newName, kAttrApplicationServerList, kSyntaxDistinguishedName, &accounts));
    }
    if (accounts.IsEmpty()) {
        return 0;
    }
    const CString oldLeaf = GetLeafName(oldName);
    const CString newLeaf = GetLeafName(newName);
    if (NtNameLength(newLeaf) > kMaxNtNameLength) {
        // Its accounts cannot carry the new name, so the user keeps its old one.
        const bool back = DirRenameObject(ctx, newName, oldLeaf, /*removeOld=*/1) == kDirOk;
        AfxMessageBox(back ? kMsgRenamedBack : kMsgRenameBackFailed);
        return 0;
    }
    bool allFollowed = true;
    for (INT_PTR i = 0; i < accounts.GetSize(); ++i) {
        // The object the list names, whatever its leaf: an account that could not follow an earlier rename
        // still carries an older name, and a name built from the user's previous leaf may be anyone's.
        const CString& account = accounts[i];
        const CString leaf = GetLeafName(account);
        if (SameDirName(leaf, newLeaf)) {
            continue;
        }
        CString owner;
        if (ReadStringAttr(ctx, account, kAttrQdsUser, kSyntaxDistinguishedName, &owner) != 1 ||
            !SameDirName(owner, user)) {
            FormatMessageBox(kFmtAccountNotUsers, MB_OK,
                             {static_cast<const char*>(account), static_cast<const char*>(newLeaf), user});
            allFollowed = false;
            continue;
        }
        const int32_t rc = DirRenameObject(ctx, account, newLeaf, /*removeOld=*/1);
        if (rc != kDirOk) {
            FormatMessageBox(kFmtAccountRenameFailed, MB_OK,
                             {static_cast<const char*>(account), static_cast<const char*>(newLeaf),
                              static_cast<int64_t>(rc)});
            allFollowed = false;
        }
    }
    if (allFollowed) {
        AfxMessageBox(kMsgAccountsRenamed);
    }
    return 0;
}
