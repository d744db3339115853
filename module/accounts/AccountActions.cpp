// The NT accounts page's tools: the attributes sheet of one hybrid account (which keeps a sheet per account,
// so that a second opening shows what was typed before the apply) and the change-password wizard.
#include "module/accounts/AccountActions.h"

#include "module/accounts/ForeignAccount.h"
#include "module/accounts/HybridAttributes.h"
#include "module/password/ChgPswdWizard.h"

bool ShowHybridAttributes(CForeignAccount& page, CNTAccountEntry& entry, bool mayEdit) {
    const BOOL changed = EditHybridAttributes(entry.m_fullName, mayEdit ? TRUE : FALSE, &page);
    entry.m_sheet = KeptHybridAttributes(entry.m_fullName);
    return changed == TRUE;
}

void WriteHybridAttributes(CNTAccountEntry& entry) {
    static_cast<void>(SaveHybridAttributes(entry.m_fullName));
}

void ReleaseHybridAttributes(CNTAccountEntry& entry) {
    ForgetHybridAttributes(entry.m_fullName);
    entry.m_sheet = nullptr;
}

void RunChangePasswordWizard(CForeignAccount& page, const char* user) {
    std::vector<CString> stored;
    static_cast<void>(RunChgPswdWizard(user, page.ListedAccounts(), &stored));
    // The wizard's password is the newest: a password still pending in an account's sheet would overwrite
    // it at the next apply.
    for (const CString& account : stored) {
        if (CHybridAttributes* sheet = KeptHybridAttributes(account)) {
            sheet->DiscardPendingPassword();
        }
    }
}
