#include "module/accounts/ForeignAccount.h"

#include "host/services/Host.h"
#include "module/accounts/AccountActions.h"
#include "module/accounts/AccountIds.h"
#include "module/core/BrowseRequest.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountOpsIds.h"
#include "module/handlers/GroupLinks.h"
#include "module/handlers/TemplateAccounts.h"
#include "platform/ui/MessageBox.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

// A read the directory refused: a list the person could not see must never be rewritten.
bool ReadRefused() {
    const int32_t code = GetLastAttrError();
    return code == kDirErrNoRight || code == kDirErrIdentityGone;
}

bool Holds(const std::vector<CString>& names, const char* name) {
    return std::any_of(names.begin(), names.end(), [name](const CString& n) { return SameDirName(n, name); });
}

void Drop(std::vector<CString>* names, const char* name) {
    std::erase_if(*names, [name](const CString& n) { return SameDirName(n, name); });
}

} // namespace

CNTAccountEntry::CNTAccountEntry(const char* fullName, uint32_t kind, HBITMAP bitmap)
    : CListItem(GetContainerName(fullName)), m_fullName(fullName) {
    m_kind = kind;
    m_bitmap = bitmap;
}

CNTAccountEntry::~CNTAccountEntry() {
    if (m_sheet != nullptr) {
        ReleaseHybridAttributes(*this);
    }
}

BEGIN_MESSAGE_MAP(CForeignAccount, CDialog)
ON_BN_CLICKED(kIdcAccountAdd, OnAdd)
ON_BN_CLICKED(kIdcAccountRemove, OnRemove)
ON_BN_CLICKED(kIdcAccountAttributes, OnAttributes)
ON_BN_CLICKED(kIdcAccountPassword, OnPassword)
ON_LBN_SELCHANGE(kIdcAccountList, OnSelectionChange)
ON_LBN_DBLCLK(kIdcAccountList, OnAttributes)
ON_WM_DRAWITEM()
ON_WM_MEASUREITEM()
ON_WM_COMPAREITEM()
ON_WM_DELETEITEM()
END_MESSAGE_MAP()

CForeignAccount::CForeignAccount() : COwnerDrawnList(kIdsForeignAccountTitle, kIddForeignAccount) {
    static_cast<void>(m_domainBitmap.LoadBitmap("CKELNTDOMAINBITMAP"));
    static_cast<void>(m_workgroupBitmap.LoadBitmap("CKELNTWSBITMAP"));
}

CForeignAccount::~CForeignAccount() = default;

DLGPROC CForeignAccount::GetDialogProc() {
    return &SnapinPageDialogProc<CForeignAccount>;
}

BOOL CForeignAccount::Help() {
    return ShowHelp(kHelpForeignAccount);
}

void CForeignAccount::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kIdcAccountList, m_list);
}

void CForeignAccount::ForgetLoaded() {
    m_user.Empty();
    m_leaf.Empty();
    m_container.Empty();
    m_loaded = false;
    m_modified = false;
    m_mayEdit = false;
    m_mayWriteAcl = false;
    m_selfMayChange = false;
    m_stored.RemoveAll();
    m_added.clear();
    m_removed.clear();
}

BOOL CForeignAccount::OnInitDialog() {
    // The page serves sheet after sheet: nothing of the previous user may be shown or written.
    ForgetLoaded();
    CDialog::OnInitDialog();
    m_user = GetCurrentObjectName();
    SplitFullName(m_user, &m_leaf, &m_container);

    if (NtNameLength(m_leaf) > kMaxNtNameLength) {
        // No NT account can carry this user's name: the page only says so.
        for (int id : {kIdcAccountAdd, kIdcAccountRemove, kIdcAccountList, kIdcAccountAttributes,
                       kIdcAccountPassword, kIdcAccountListLabel}) {
            if (CWnd* control = GetDlgItem(id)) {
                control->ShowWindow(SW_HIDE);
            }
        }
        if (CWnd* text = GetDlgItem(kIdcAccountNameTooLong)) {
            text->ShowWindow(SW_SHOW);
        }
        return TRUE;
    }
    if (CWnd* text = GetDlgItem(kIdcAccountNameTooLong)) {
        text->ShowWindow(SW_HIDE);
    }

    uint32_t mode = 0;
    char context[kQueryContextBufferSize] = {};
    if (HostQueryMode(&mode) != 0 || mode != 1 || HostQueryContext(0, context) != 0) {
        return TRUE;
    }
    CDirContext dir;
    if (!dir.IsOpen()) {
        return TRUE;
    }
    const int32_t ctx = dir.Get();
    const bool read =
        ReadAttrValues(ctx, m_user, kAttrApplicationServerList, kSyntaxDistinguishedName, &m_stored) == 1;
    const bool known = read || !ReadRefused();
    if (!read) {
        m_stored.RemoveAll();
    }
    m_list.ResetContent();
    for (INT_PTR i = 0; i < m_stored.GetSize(); ++i) {
        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        // An account whose NT system cannot be read is not shown; its value stays stored all the same.
        if (DirReadObjectInfo(ctx, GetContainerName(m_stored[i]), stored, &info) == kDirOk) {
            static_cast<void>(AddRow(m_stored[i], info.baseClass));
        }
    }
    m_loaded = true;

    char identity[kDirMaxNameBytes + 1] = {};
    if (DirWhoAmI(ctx, identity) != kDirOk) {
        return TRUE;
    }
    if (known && CanWriteAttribute(ctx, identity, m_user, kAttrApplicationServerList) == 1) {
        m_mayEdit = true;
        EnableControl(kIdcAccountList, TRUE);
        EnableControl(kIdcAccountAdd, TRUE);
    }
    m_mayWriteAcl = CanWriteACL(ctx, identity, m_user) == 1;
    if (SameDirName(identity, m_user)) {
        uint32_t* allowed = nullptr;
        const bool readable = ReadAttrValue(ctx, m_user, kAttrPasswordAllowChange, kSyntaxBoolean,
                                            reinterpret_cast<void**>(&allowed)) == 1;
        m_selfMayChange = !readable || *allowed != 0;
        std::free(allowed);
    }
    EnablePasswordButton();
    return TRUE;
}

CNTAccountEntry* CForeignAccount::AddRow(const char* fullName, const char* systemClass) {
    uint32_t kind = CNTAccountEntry::kOther;
    HBITMAP bitmap = nullptr;
    if (std::strcmp(systemClass, kClassNtWorkgroupSystem) == 0) {
        kind = CNTAccountEntry::kWorkgroupSystem;
        bitmap = m_workgroupBitmap;
    } else if (std::strcmp(systemClass, kClassNtDomain) == 0) {
        kind = CNTAccountEntry::kDomain;
        bitmap = m_domainBitmap;
    }
    std::unique_ptr<CNTAccountEntry> entry(new (std::nothrow) CNTAccountEntry(fullName, kind, bitmap));
    if (!entry) {
        return nullptr;
    }
    // The list owns the row from here; OnDeleteItem frees it.
    if (m_list.AddString(reinterpret_cast<LPCSTR>(entry.get())) < 0) {
        return nullptr;
    }
    return entry.release();
}

CNTAccountEntry* CForeignAccount::EntryAt(int row) const {
    return static_cast<CNTAccountEntry*>(m_list.GetItemDataPtr(row));
}

std::vector<CString> CForeignAccount::ListedAccounts() const {
    std::vector<CString> names;
    for (int row = 0; row < m_list.GetCount(); ++row) {
        if (const CNTAccountEntry* entry = EntryAt(row)) {
            names.push_back(entry->m_fullName);
        }
    }
    return names;
}

int CForeignAccount::FindRow(const char* fullName) const {
    for (int row = 0; row < m_list.GetCount(); ++row) {
        const CNTAccountEntry* entry = EntryAt(row);
        if (entry != nullptr && SameDirName(entry->m_fullName, fullName)) {
            return row;
        }
    }
    return -1;
}

void CForeignAccount::EnableControl(int id, BOOL enable) {
    if (CWnd* control = GetDlgItem(id)) {
        control->EnableWindow(enable);
    }
}

void CForeignAccount::EnableSelectionButtons() {
    const bool selected = m_list.GetCount() > 0 && m_list.GetSelCount() > 0;
    EnableControl(kIdcAccountRemove, m_mayEdit && selected);
    EnableControl(kIdcAccountAttributes, selected);
}

void CForeignAccount::EnablePasswordButton() {
    EnableControl(kIdcAccountPassword, (m_mayWriteAcl && m_list.GetCount() > 0) || m_selfMayChange);
}

void CForeignAccount::NotifyModified() {
    m_modified = true;
    NotifyChanged(TRUE);
}

void CForeignAccount::OnSelectionChange() {
    EnableSelectionButtons();
}

void CForeignAccount::OnAdd() {
    CBrowseRequest browse(kBrowseForPages, {kClassNtWorkgroupSystem, kClassNtDomain});
    if (!browse.Run(GetSafeHwnd(), m_container)) {
        return;
    }
    CDirContext dir;
    if (!dir.IsOpen()) {
        return;
    }
    for (size_t i = 0; i < browse.Results().size(); ++i) {
        AddAccount(dir.Get(), browse.Results()[i], browse.ResultClasses()[i]);
    }
    EnablePasswordButton();
}

void CForeignAccount::AddAccount(int32_t ctx, const CString& system, const CString& systemClass) {
    const CString account = MakeFullName(m_leaf, system);
    if (FindRow(account) >= 0) {
        return;
    }
    // Taken off the list and picked again before an apply: the object was never deleted, so it simply
    // stays.
    if (Holds(m_removed, account)) {
        Drop(&m_removed, account);
        if (CNTAccountEntry* entry = AddRow(account, systemClass)) {
            entry->m_new = Holds(m_added, account);
        }
        NotifyModified();
        return;
    }
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    if (DirReadObjectInfo(ctx, account, stored, &info) == kDirOk) {
        FormatMessageBox(kFmtAccountExists, MB_OK, {static_cast<const char*>(account)});
        return;
    }
    uint32_t count = 0;
    if (CountSubordinates(system, &count) != 1) {
        return; // shown by CountSubordinates
    }
    if (count == 0) {
        FormatMessageBox(kFmtServerEmpty, MB_OK, {static_cast<const char*>(system)});
        return;
    }
    const int32_t created = CreateHybridAccount(ctx, account, m_user, /*globalAccount=*/true);
    if (created != kDirOk) {
        FormatMessageBox(kFmtCreateFailed, MB_OK, {static_cast<int64_t>(created)});
        return;
    }
    // Listed only once the object exists, so that an apply never writes a name that names nothing.
    m_added.push_back(account);
    if (CNTAccountEntry* entry = AddRow(account, systemClass)) {
        entry->m_new = true;
    }
    GrantUserRights(ctx, account, m_user);
    JoinDefaultGroup(ctx, account, system);
    NotifyModified();
}

void CForeignAccount::OnRemove() {
    const int count = m_list.GetSelCount();
    if (count >= 1) {
        std::vector<int> rows(static_cast<size_t>(count));
        const int selected = m_list.GetSelItems(count, rows.data());
        for (int i = selected - 1; i >= 0; --i) {
            const int row = rows[static_cast<size_t>(i)];
            if (const CNTAccountEntry* entry = EntryAt(row)) {
                m_removed.push_back(entry->m_fullName);
                m_list.DeleteString(static_cast<UINT>(row));
            }
        }
    }
    EnableSelectionButtons();
    EnablePasswordButton();
    NotifyModified();
}

void CForeignAccount::OnAttributes() {
    const int count = m_list.GetSelCount();
    if (count > 1) {
        AfxMessageBox(kMsgSelectOneAccount);
        return;
    }
    int row = -1;
    if (count != 1 || m_list.GetSelItems(1, &row) != 1) {
        return;
    }
    CNTAccountEntry* entry = EntryAt(row);
    if (entry != nullptr && ShowHybridAttributes(*this, *entry, m_mayEdit) && m_mayEdit) {
        NotifyModified();
    }
}

void CForeignAccount::OnPassword() {
    RunChangePasswordWizard(*this, m_user);
}

std::vector<CString> CForeignAccount::DeleteAccounts(int32_t ctx, const std::vector<CString>& names) {
    std::vector<CString> kept;
    for (const CString& name : names) {
        const int32_t rc = DirRemoveObject(ctx, name);
        if (rc != kDirOk && rc != kDirErrNoSuchObject) {
            FormatMessageBox(kFmtAccountDeleteFailed, MB_OK,
                             {static_cast<int64_t>(rc), static_cast<const char*>(name)});
            kept.push_back(name);
        }
    }
    return kept;
}

LONG CForeignAccount::WriteChanges(const char* /*objectName*/) {
    if (!m_modified || !m_loaded) {
        return 0;
    }
    CDirContext dir;
    if (!dir.IsOpen()) {
        return 0;
    }
    const int32_t ctx = dir.Get();
    if (m_mayEdit) {
        // Deleting an account takes it off the user's list with it, so nothing is left one-sided. An
        // account that stays is listed again, as the directory still has it.
        const std::vector<CString> kept = DeleteAccounts(ctx, m_removed);
        for (const CString& name : kept) {
            char stored[kDirMaxNameBytes + 1] = {};
            DirObjectInfo info{};
            if (DirReadObjectInfo(ctx, GetContainerName(name), stored, &info) == kDirOk) {
                static_cast<void>(AddRow(name, info.baseClass));
            }
        }
        std::vector<CString> gone = m_removed;
        std::erase_if(gone, [&kept](const CString& name) { return Holds(kept, name); });
        m_removed.clear();

        // Only what the person changed is written, against the list as it stands now: an account another
        // administrator listed or took off meanwhile stays as they left it.
        CStringArray values;
        std::vector<CString> written;
        for (INT_PTR i = 0; i < m_stored.GetSize(); ++i) {
            if (!Holds(gone, m_stored[i]) && !Holds(written, m_stored[i])) {
                values.Add(m_stored[i]);
                written.push_back(m_stored[i]);
            }
        }
        for (int row = 0; row < m_list.GetCount(); ++row) {
            const CNTAccountEntry* entry = EntryAt(row);
            if (entry != nullptr && !Holds(written, entry->m_fullName)) {
                values.Add(entry->m_fullName);
                written.push_back(entry->m_fullName);
            }
        }
        CStringArray removed;
        CStringArray added;
        DiffAttrValues(m_stored, values, &removed, &added);
        if (ChangeAttrValues(ctx, m_user, kAttrApplicationServerList, kSyntaxDistinguishedName, &removed,
                             &added) != 1) {
            // The new accounts stay uncommitted: the next apply tries again, Cancel deletes them.
            for (const CString& account : m_added) {
                FormatMessageBox(kFmtServerListFailed, MB_OK,
                                 {static_cast<const char*>(account), static_cast<const char*>(m_user)});
            }
            return 0;
        }
        m_stored.RemoveAll();
        for (INT_PTR i = 0; i < values.GetSize(); ++i) {
            m_stored.Add(values[i]);
        }
        m_added.clear();
    }
    for (int row = 0; row < m_list.GetCount(); ++row) {
        if (CNTAccountEntry* entry = EntryAt(row)) {
            entry->m_new = false;
            if (entry->m_sheet != nullptr) {
                WriteHybridAttributes(*entry);
            }
        }
    }
    m_modified = false;
    return 0;
}

LONG CForeignAccount::OnEndPages(unsigned long how) {
    CDirContext dir;
    if (dir.IsOpen()) {
        if (how == 1) {
            static_cast<void>(DeleteAccounts(dir.Get(), m_removed));
        } else if (how == 2) {
            // Only what the user does not list yet: every earlier apply committed its accounts.
            static_cast<void>(DeleteAccounts(dir.Get(), m_added));
        }
    }
    m_added.clear();
    m_removed.clear();
    m_modified = false;
    m_loaded = false;
    return 0;
}

int CForeignAccount::CompareRows(const CListItem* first, const CListItem* second) const {
    const int order = std::strcmp(static_cast<const CNTAccountEntry*>(first)->m_fullName,
                                  static_cast<const CNTAccountEntry*>(second)->m_fullName);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}
