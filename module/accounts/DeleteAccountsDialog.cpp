#include "module/accounts/DeleteAccountsDialog.h"

#include "module/accounts/AccountIds.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/ui/MessageBox.h"

CDeleteAccountsDialog::CDeleteAccountsDialog(const char* user, CWnd* parent)
    : CDialog(kIddDeleteAccounts, parent), m_user(user) {}

void CDeleteAccountsDialog::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kIdcDeleteAccountsList, m_list);
}

BOOL CDeleteAccountsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    CStringArray accounts;
    {
        CDirContext dir;
        if (dir.IsOpen()) {
            static_cast<void>(ReadAttrValues(dir.Get(), m_user, kAttrApplicationServerList,
                                             kSyntaxDistinguishedName, &accounts));
        }
    }
    if (accounts.IsEmpty()) {
        // Nothing would be left behind: the delete goes on without a question.
        EndDialog(IDOK);
        return TRUE;
    }
    for (INT_PTR i = 0; i < accounts.GetSize(); ++i) {
        m_list.AddString(accounts[i]);
    }
    return TRUE;
}

void CDeleteAccountsDialog::OnOK() {
    CDirContext dir;
    if (dir.IsOpen()) {
        for (int row = 0; row < m_list.GetCount(); ++row) {
            CString account;
            m_list.GetText(row, account);
            const int32_t rc = DirRemoveObject(dir.Get(), account);
            if (rc != kDirOk) {
                FormatMessageBox(kFmtAccountDeleteFailed, MB_OK,
                                 {static_cast<int64_t>(rc), static_cast<const char*>(account)});
            }
        }
    }
    EndDialog(IDOK);
}
