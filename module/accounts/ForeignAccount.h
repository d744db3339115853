// The NT accounts of a directory user: the page the "User" class's details show (one hybrid user in each NT
// domain or NT workgroup system, named after the user's leaf, listed by the user's "KEL:Application Server
// List"), and the rules for deleting, copying, moving and renaming a user that has such accounts.
//
// What the page does to the directory is committed by each apply: the accounts removed since the last apply
// are deleted (which takes them off the user's list), then the user's list takes the accounts added (only
// those: an account another administrator listed or took off meanwhile stays so). An account is made
// at once when it is added, since the person then sees whether the NT system takes it; Cancel deletes again
// only the accounts added since the last apply, which the user does not list yet.
#pragma once

#include "module/accounts/AccountIds.h"
#include "module/core/ListItem.h"
#include "module/core/OwnerDrawnList.h"
#include "module/pages/StayOpenPage.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/StringArray.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dialog.h"

#include <cstdint>
#include <vector>

class CHybridAttributes;

// One row of the page: an account, shown by the name of its NT system.
class CNTAccountEntry : public CListItem {
public:
    enum Kind : uint32_t { kOther = 0, kWorkgroupSystem = 1, kDomain = 2 };

    CNTAccountEntry(const char* fullName, uint32_t kind, HBITMAP bitmap);
    ~CNTAccountEntry() override;
    CNTAccountEntry(const CNTAccountEntry&) = delete;
    CNTAccountEntry& operator=(const CNTAccountEntry&) = delete;

    // The account's full name, as the user's list stores it.
    CString m_fullName;
    // Made since the last apply: Cancel deletes it again.
    bool m_new = false;
    // The account's attributes sheet, made when first opened and kept until the entry goes.
    CHybridAttributes* m_sheet = nullptr;
};

class CForeignAccount : public COwnerDrawnList<CStayOpenPage, kIdcAccountList> {
public:
    CForeignAccount();
    ~CForeignAccount() override;

    DLGPROC GetDialogProc() override;
    BOOL Help() override;
    BOOL OnInitDialog() override;

    // Host message 262: commits the removed and added accounts and the user's list; answers 0.
    LONG WriteChanges(const char* objectName);
    // Host message 273 (1 OK, 2 Cancel); answers 0.
    LONG OnEndPages(unsigned long how);

    // The account rules of the user named `user`. 0 lets the host go on, -1 refuses.
    LONG OnQueryDelete(const char* user);
    LONG OnQueryCopy(const char* user);
    LONG OnQueryMove(const char* user);
    LONG OnNotifyRename(const char* newName, const char* oldName);

    [[nodiscard]] bool MayEdit() const { return m_mayEdit; }
    [[nodiscard]] const CString& User() const { return m_user; }
    // The full names of the accounts the page lists now, in its order: added ones not applied yet among them,
    // removed ones not.
    [[nodiscard]] std::vector<CString> ListedAccounts() const;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    // Rows by the account's full name, byte by byte: NT systems of one name in two containers stay apart.
    int CompareRows(const CListItem* first, const CListItem* second) const override;
    void OnAdd();
    void OnRemove();
    void OnAttributes();
    void OnPassword();
    void OnSelectionChange();
    DECLARE_MESSAGE_MAP()

private:
    void ForgetLoaded();
    // Adds a row for the account `fullName` in the NT system of class `systemClass`; answers its entry.
    CNTAccountEntry* AddRow(const char* fullName, const char* systemClass);
    [[nodiscard]] int FindRow(const char* fullName) const;
    [[nodiscard]] CNTAccountEntry* EntryAt(int row) const;
    void AddAccount(int32_t ctx, const CString& system, const CString& systemClass);
    void EnableControl(int id, BOOL enable);
    void EnableSelectionButtons();
    void EnablePasswordButton();
    void NotifyModified();
    // Deletes the account objects of names (each failure shown) and answers those still there.
    static std::vector<CString> DeleteAccounts(int32_t ctx, const std::vector<CString>& names);

    CListBox m_list;
    CString m_user;
    CString m_leaf;
    CString m_container;
    bool m_loaded = false;
    bool m_modified = false;
    bool m_mayEdit = false;
    // The wizard button's rule: the identity may write the user's "ACL" (and there are accounts), or it is
    // the user itself and may change its password.
    bool m_mayWriteAcl = false;
    bool m_selfMayChange = false;
    // The user's "KEL:Application Server List" as last read or written, listed or not: a value the page did
    // not remove is written back, even when its NT system cannot be read.
    CStringArray m_stored;
    // Since the last apply: accounts made (Cancel deletes them) and accounts taken off the list (the apply
    // deletes them).
    std::vector<CString> m_added;
    std::vector<CString> m_removed;

    CBitmap m_domainBitmap;
    CBitmap m_workgroupBitmap;
};
