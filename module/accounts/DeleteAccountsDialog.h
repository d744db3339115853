// The question the host's delete of a directory user raises when the user has NT accounts: the accounts are
// listed, and OK deletes them before the host deletes the user, so that no account is left naming nobody.
#pragma once

#include "platform/ui/String.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dialog.h"

class CDeleteAccountsDialog : public CDialog {
public:
    // user: the full name of the directory user the host is about to delete.
    explicit CDeleteAccountsDialog(const char* user, CWnd* parent = nullptr);

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    // Deletes every listed account, in list order; a failure is shown and the next one is tried.
    void OnOK() override;

private:
    CString m_user;
    CListBox m_list;
};
