// The account rules of CForeignAccount: what a delete, copy, move or rename of a directory user does to its
// NT accounts, whose names repeat the user's leaf.
#include "module/accounts/AccountIds.h"
#include "module/accounts/DeleteAccountsDialog.h"
#include "module/accounts/ForeignAccount.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
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
    if (ReadAttrValues(ctx, oldName, kAttrApplicationServerList, kSyntaxDistinguishedName, &accounts) != 1) {
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
    for (INT_PTR i = 0; i < accounts.GetSize(); ++i) {
        const CString system = GetContainerName(accounts[i]);
        const CString account = MakeFullName(oldLeaf, system);
        const int32_t rc = DirRenameObject(ctx, account, newLeaf, /*removeOld=*/1);
        if (rc != kDirOk) {
            FormatMessageBox(kFmtAccountRenameFailed, MB_OK,
                             {static_cast<const char*>(oldLeaf), static_cast<const char*>(newLeaf),
                              static_cast<int64_t>(rc)});
        }
    }
    AfxMessageBox(kMsgAccountsRenamed);
    return 0;
}
