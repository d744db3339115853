#include "module/accounts/DeleteAccountsDialog.h"

#include "module/accounts/AccountIds.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/ui/MessageBox.h"

namespace {

// Whether the signed-in identity may delete object. A right that cannot be worked out is missing; an object
// that is gone already needs none.
bool MayDelete(int32_t ctx, const char* identity, const char* object) {
    uint32_t rights = 0;
    const int32_t rc = DirGetEffectiveRights(ctx, identity, object, kAclEntryRights, &rights);
    return rc == kDirErrNoSuchObject || (rc == kDirOk && (rights & kDirEntryDelete) != 0);
}

} // namespace

CDeleteAccountsDialog::CDeleteAccountsDialog(const char* user, CWnd* parent)
    : CDialog(kIddDeleteAccounts, parent), m_user(user) {}

void CDeleteAccountsDialog::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kIdcDeleteAccountsList, m_list);
}

bool CDeleteAccountsDialog::MayDeleteAll(int32_t ctx, const CStringArray& accounts) const {
    char identity[kDirMaxNameBytes + 1] = {};
    const bool known = DirWhoAmI(ctx, identity) == kDirOk;
    // The user first: the host deletes it after the accounts, and an account deleted for a user that stays
    // is lost for nothing.
    const char* refused = nullptr;
    if (!known || !MayDelete(ctx, identity, m_user)) {
        refused = m_user;
    }
    for (INT_PTR i = 0; refused == nullptr && i < accounts.GetSize(); ++i) {
        if (!MayDelete(ctx, identity, accounts[i])) {
            refused = accounts[i];
        }
    }
    if (refused != nullptr) {
        FormatMessageBox(kFmtDeleteNotAllowed, MB_OK | MB_ICONEXCLAMATION,
                         {static_cast<const char*>(m_user), refused});
        return false;
    }
    return true;
}

BOOL CDeleteAccountsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    CStringArray accounts;
    {
        CDirContext dir;
        // A list that cannot be read is not an empty one: deleting the user would leave its accounts naming
        // nobody.
        if (!dir.IsOpen() || (ReadAttrValues(dir.Get(), m_user, kAttrApplicationServerList,
                                             kSyntaxDistinguishedName, &accounts) != 1 &&
                              GetLastAttrError() != kDirErrNoSuchAttribute)) {
            FormatMessageBox(kFmtDeleteAccountsUnreadable, MB_OK | MB_ICONEXCLAMATION,
                             {static_cast<const char*>(m_user)});
            EndDialog(IDCANCEL);
            return TRUE;
        }
        if (accounts.IsEmpty()) {
            // Nothing would be left behind: the delete goes on without a question.
            EndDialog(IDOK);
            return TRUE;
        }
        // Asked only when the whole delete can be carried out.
        if (!MayDeleteAll(dir.Get(), accounts)) {
            EndDialog(IDCANCEL);
            return TRUE;
        }
    }
    for (INT_PTR i = 0; i < accounts.GetSize(); ++i) {
        m_list.AddString(accounts[i]);
    }
    return TRUE;
}

void CDeleteAccountsDialog::OnOK() {
    CDirContext dir;
    if (!dir.IsOpen()) {
        EndDialog(IDCANCEL);
        return;
    }
    CStringArray accounts;
    for (int row = 0; row < m_list.GetCount(); ++row) {
        CString account;
        m_list.GetText(row, account);
        accounts.Add(account);
    }
    // The rights may have changed while the question stood: checked again before the first delete.
    if (!MayDeleteAll(dir.Get(), accounts)) {
        EndDialog(IDCANCEL);
        return;
    }
    bool allGone = true;
    for (INT_PTR i = 0; i < accounts.GetSize(); ++i) {
        const int32_t rc = DirRemoveObject(dir.Get(), accounts[i]);
        if (rc != kDirOk && rc != kDirErrNoSuchObject) {
            FormatMessageBox(kFmtAccountDeleteFailed, MB_OK,
                             {static_cast<int64_t>(rc), static_cast<const char*>(accounts[i])});
            allGone = false;
        }
    }
    // An account that stayed keeps its user: deleting the user now would leave the account naming nobody.
    // The user keeps listing what is left, and a later delete takes it.
    EndDialog(allGone ? IDOK : IDCANCEL);
}
