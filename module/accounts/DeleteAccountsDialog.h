// The question the host's delete of a directory user raises when the user has NT accounts: the accounts are
// listed, and OK deletes them before the host deletes the user, so that no account is left naming nobody.
// The delete is refused (Cancel) without a question when the user's list cannot be read, or when the
// signed-in identity may not delete the user or one of its accounts: either would leave half a delete.
#pragma once

#include <cstdint>

#include "platform/ui/String.h"
#include "platform/ui/StringArray.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dialog.h"

class CDeleteAccountsDialog : public CDialog {
public:
    // user: the full name of the directory user the host is about to delete.
    explicit CDeleteAccountsDialog(const char* user, CWnd* parent = nullptr);

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    // Deletes every listed account, in list order, once every right the delete needs is there; a failure is
    // shown and the next one is tried.
    void OnOK() override;

private:
    // Whether the identity may delete the user and every one of accounts; shows which it may not.
    bool MayDeleteAll(int32_t ctx, const CStringArray& accounts) const;

    CString m_user;
    CListBox m_list;
};
