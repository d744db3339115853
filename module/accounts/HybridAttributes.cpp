#include "module/accounts/HybridAttributes.h"

#include "host/services/Host.h"
#include "module/core/SelectionDialog.h"
#include "module/core/SnapinModule.h"
#include "module/core/SnapinPage.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/pages/users/HybridUserPage_ID.h"
#include "module/pages/users/MembershipWrite.h"
#include "module/pages/users/NTUserPage_Groups.h"
#include "module/pages/users/NTUserPage_ID.h"
#include "module/pages/users/NTUserPage_Profile.h"
#include "module/pages/users/SealedPassword.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/window/Dc.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int kIdcGrpsAdd = 1092;
constexpr int kIdcGrpsRemove = 1093;
constexpr int kIdcGrpsSetPrimary = 1222;
constexpr int kIdcGrpsPrimary = 1223;
constexpr int kIdcGrpsPrimaryLabel = 1224;
constexpr int kIdcProfilePathEdit = 1110;
constexpr int kIdcProfileScriptEdit = 1097;
constexpr int kIdcProfileLocalEdit = 1098;
constexpr int kIdcProfileNetworkEdit = 1102;
constexpr int kIdcProfileDriveList = 1105;
constexpr int kIdcProfileLocalButton = 1099;
constexpr int kIdcProfileNetworkButton = 1111;
constexpr int kIdcProfileName = 1104;
constexpr int kNtWorkstationName = 15;

bool SameName(const char* a, const char* b) {
    return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}

bool ReadRefused() {
    const int32_t code = GetLastAttrError();
    return code == kDirErrNoRight || code == kDirErrIdentityGone;
}

bool MayWrite(int32_t ctx, const char* object, const char* attr) {
    char identity[kDirMaxNameBytes + 1] = {};
    uint32_t rights = 0;
    return DirWhoAmI(ctx, identity) == kDirOk &&
           DirGetEffectiveRights(ctx, identity, object, attr, &rights) == kDirOk &&
           (rights & kRightWrite) != 0;
}

void Wipe(CString& secret) {
    if (const int length = secret.GetLength(); length > 0) {
        WipeSecret(secret.GetBuffer(length), static_cast<size_t>(length));
    }
    secret.Empty();
}

// A copy of a secret, wiped when it goes, for a page that must be able to put back what was typed.
class KeptSecret {
public:
    explicit KeptSecret(const CString& text) : m_text(text) {}
    KeptSecret(const KeptSecret&) = default;
    KeptSecret& operator=(const KeptSecret&) = delete;
    ~KeptSecret() { Wipe(m_text); }
    void PutInto(CString& target) const { target = m_text; }

private:
    CString m_text;
};

// A row of the groups list: shown by its leaf, kept by the full name the directory gave, so that a group of
// another container is never rewritten under the account's NT system.
class CGroupRow : public CListItem {
public:
    CGroupRow(const char* leaf, const char* fullName) : CListItem(leaf), m_fullName(fullName) {}
    CString m_fullName;
};

std::map<std::string, std::unique_ptr<CHybridAttributes>>& Sheets() {
    static std::map<std::string, std::unique_ptr<CHybridAttributes>> sheets;
    return sheets;
}

std::string Key(const char* account) {
    std::string key = account != nullptr ? account : "";
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

} // namespace

BOOL EditHybridAttributes(const char* account, BOOL mayEdit, CWnd* parent) {
    auto& sheet = Sheets()[Key(account)];
    if (!sheet) {
        sheet = std::make_unique<CHybridAttributes>(account, mayEdit, parent);
    }
    return sheet->Edit() ? TRUE : FALSE;
}

LONG SaveHybridAttributes(const char* account) {
    auto found = Sheets().find(Key(account));
    return found == Sheets().end() ? 0 : found->second->Save();
}

void ForgetHybridAttributes() {
    Sheets().clear();
}

CHybridAttributes* KeptHybridAttributes(const char* account) {
    auto found = Sheets().find(Key(account));
    return found == Sheets().end() ? nullptr : found->second.get();
}

void ForgetHybridAttributes(const char* account) {
    Sheets().erase(Key(account));
}

// ---------------------------------------------------------------------------------------------------------
// The sheet

CHybridAttributes::CHybridAttributes(const char* account, BOOL mayEdit, CWnd* parent)
    : CPropertySheet(kIdsHybridAttributesCaption, parent), m_account(account),
      m_system(GetContainerName(account)), m_mayEdit(mayEdit), m_idPage(this), m_grpsPage(this),
      m_loginPage(this), m_profilePage(this) {
    m_psh.dwFlags |= PSH_USEICONID | PSH_NOAPPLYNOW | PSH_HASHELP;
    m_psh.pszIcon = kHybridAttributesIcon;
    CDirContext dir;
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    m_hasLogin = dir.IsOpen() && DirReadObjectInfo(dir.Get(), m_system, stored, &info) == kDirOk &&
                 std::strcmp(info.baseClass, kClassNtDomain) == 0;
    AddPage(&m_idPage);
    AddPage(&m_grpsPage);
    AddPage(&m_profilePage);
    if (m_hasLogin) {
        AddPage(&m_loginPage);
    }
}

bool CHybridAttributes::Edit() {
    // What an earlier OK collected stays for the User's apply; what this opening changed goes with a Cancel,
    // or the apply would write a password, flags and group removals that the person cancelled.
    const std::function<void()> restore[] = {
        [this, changed = m_changedFlag] { m_changedFlag = changed; },
        m_idPage.Keep(),
        m_grpsPage.Keep(),
        m_loginPage.Keep(),
        m_profilePage.Keep(),
    };
    if (DoModal() == IDOK) {
        return m_changedFlag != FALSE;
    }
    for (const auto& putBack : restore) {
        putBack();
    }
    return false;
}

LONG CHybridAttributes::Save() {
    for (LONG answer : {m_idPage.Save(m_account), m_grpsPage.Save(m_account),
                        m_hasLogin ? m_loginPage.Save(m_account) : 0, m_profilePage.Save(m_account)}) {
        if (answer != 0) {
            return answer;
        }
    }
    m_changedFlag = FALSE;
    return 0;
}

void CHybridAttributes::DiscardPendingPassword() {
    m_idPage.m_passwordChanged = FALSE;
    Wipe(m_idPage.m_password);
    Wipe(m_idPage.m_confirmation);
}

// ---------------------------------------------------------------------------------------------------------
// Identification

BEGIN_MESSAGE_MAP(CHybridPage_ID, CPropertyPage)
ON_EN_CHANGE(kIdcAttrPassword, OnPasswordChange)
ON_BN_CLICKED(kIdcAttrDisabled, OnFlag)
ON_BN_CLICKED(kIdcAttrNeverExpires, OnFlag)
ON_BN_CLICKED(kIdcAttrMustChange, OnFlag)
ON_BN_CLICKED(kIdcAttrGlobalAccount, OnFlag)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CHybridPage_ID::CHybridPage_ID(CHybridAttributes* sheet) : CPropertyPage(kIddHybridPageId), m_owner(sheet) {}

CHybridPage_ID::~CHybridPage_ID() {
    Wipe(m_password);
    Wipe(m_confirmation);
}

void CHybridPage_ID::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcAttrName, m_name);
    DDX_Text(dx, kIdcAttrDirectoryUser, m_directoryUser);
    DDX_Check(dx, kIdcAttrDisabled, m_disabled);
    DDX_Check(dx, kIdcAttrNeverExpires, m_neverExpires);
    DDX_Check(dx, kIdcAttrMustChange, m_mustChange);
    DDX_Check(dx, kIdcAttrGlobalAccount, m_globalAccount);
    DDX_Text(dx, kIdcAttrPassword, m_password);
    DDX_Text(dx, kIdcAttrConfirm, m_confirmation);
}

BOOL CHybridPage_ID::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    const CString& account = m_owner->Account();
    char context[kQueryContextBufferSize] = {};
    CDirContext dir;
    if (m_loaded) {
        // The sheet was opened before: what was typed then is shown again, on the controls as they were.
        for (int i = 0; i < 4; ++i) {
            static constexpr int kBoxes[] = {kIdcAttrDisabled, kIdcAttrMustChange, kIdcAttrNeverExpires,
                                             kIdcAttrGlobalAccount};
            GetDlgItem(kBoxes[i])->EnableWindow(m_writable[i] ? TRUE : FALSE);
        }
    } else if (HostQueryContext(0, context) == 0 && dir.IsOpen()) {
        const int32_t ctx = dir.Get();
        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        if (DirReadObjectInfo(ctx, m_owner->System(), stored, &info) != kDirOk) {
            return TRUE;
        }
        m_loaded = TRUE;
        m_workgroup = std::strcmp(info.baseClass, kClassNtWorkgroupSystem) == 0;
        m_name = account;
        auto readFlag = [&](const char* attr, int* member, bool inverted) {
            DirValuePtr value = ReadAttrValueOwned(ctx, account, attr, kSyntaxBoolean);
            const int byte = value ? *static_cast<const int8_t*>(value.get()) : 0;
            // A missing value leaves the box cleared, inverted or not, as on every other page that shows
            // these flags; a refused one shows nothing the page may write over.
            *member = !value ? 0 : inverted ? (byte == 0 ? 1 : 0) : (byte != 0 ? 1 : 0);
            return value != nullptr || !ReadRefused();
        };
        m_writable[3] = !m_workgroup && readFlag(kAttrGlobalAccount, &m_globalAccount, false) &&
                        MayWrite(ctx, account, kAttrGlobalAccount);
        if (ReadStringAttr(ctx, account, kAttrQdsUser, kSyntaxDistinguishedName, &m_directoryUser) == 1) {
            DirValuePtr allow =
                ReadAttrValueOwned(ctx, m_directoryUser, kAttrPasswordAllowChange, kSyntaxBoolean);
            m_noSelfChange = allow && *static_cast<const int8_t*>(allow.get()) == 0;
        }
        m_writable[1] = readFlag(kAttrMustChangePassword, &m_mustChange, false) &&
                        MayWrite(ctx, account, kAttrMustChangePassword);
        // "Password never expires" is the inverse of the stored flag.
        m_writable[2] = readFlag(kAttrExpirePassword, &m_neverExpires, true) &&
                        MayWrite(ctx, account, kAttrExpirePassword);
        m_writable[0] = readFlag(kAttrLoginDisabled, &m_disabled, false) &&
                        MayWrite(ctx, account, kAttrUfLockout) && MayWrite(ctx, account, kAttrLoginDisabled);
        for (int i = 0; i < 4; ++i) {
            static constexpr int kBoxes[] = {kIdcAttrDisabled, kIdcAttrMustChange, kIdcAttrNeverExpires,
                                             kIdcAttrGlobalAccount};
            GetDlgItem(kBoxes[i])->EnableWindow(m_writable[i] && m_owner->MayEdit() ? TRUE : FALSE);
            m_writable[i] = m_writable[i] && m_owner->MayEdit();
        }
        char identity[kDirMaxNameBytes + 1] = {};
        static_cast<void>(DirWhoAmI(ctx, identity));
        const bool maySetPassword =
            CanWriteACL(ctx, identity, account) == 1 ||
            (!m_directoryUser.IsEmpty() && IsCurrentIdentity(ctx, m_directoryUser) == 1);
        if (maySetPassword) {
            m_publicKey = ReadAttrValueOwned(ctx, m_owner->System(), kAttrKelPublicKey, kSyntaxOctetString);
        }
    } else {
        return TRUE;
    }
    GetDlgItem(kIdcAttrGlobalAccount)->ShowWindow(m_workgroup ? SW_HIDE : SW_SHOW);
    const BOOL passwordOpen = m_publicKey != nullptr ? TRUE : FALSE;
    GetDlgItem(kIdcAttrPasswordLabel)->EnableWindow(passwordOpen);
    GetDlgItem(kIdcAttrPassword)->EnableWindow(passwordOpen);
    GetDlgItem(kIdcAttrConfirmLabel)->EnableWindow(passwordOpen && m_passwordChanged);
    GetDlgItem(kIdcAttrConfirm)->EnableWindow(passwordOpen && m_passwordChanged);
    UpdateData(FALSE);
    return TRUE;
}

std::function<void()> CHybridPage_ID::Keep() {
    return
        [this, loaded = m_loaded, modified = m_modified, passwordChanged = m_passwordChanged,
         flagChanged = m_flagChanged, noSelfChange = m_noSelfChange, workgroup = m_workgroup, name = m_name,
         directoryUser = m_directoryUser, disabled = m_disabled, neverExpires = m_neverExpires,
         mustChange = m_mustChange, globalAccount = m_globalAccount, password = KeptSecret(m_password),
         confirmation = KeptSecret(m_confirmation), writable = std::to_array(m_writable)] {
            if (!loaded) {
                // The next opening loads the account afresh, and reads the key again.
                m_publicKey.reset();
            }
            m_loaded = loaded;
            m_modified = modified;
            m_passwordChanged = passwordChanged;
            m_flagChanged = flagChanged;
            m_noSelfChange = noSelfChange;
            m_workgroup = workgroup;
            m_name = name;
            m_directoryUser = directoryUser;
            m_disabled = disabled;
            m_neverExpires = neverExpires;
            m_mustChange = mustChange;
            m_globalAccount = globalAccount;
            password.PutInto(m_password);
            confirmation.PutInto(m_confirmation);
            std::copy(writable.begin(), writable.end(), m_writable);
        };
}

void CHybridPage_ID::Changed() {
    m_modified = TRUE;
    m_owner->SetChanged();
    SetModified(TRUE);
}

void CHybridPage_ID::OnFlag() {
    m_flagChanged = TRUE;
    Changed();
}

void CHybridPage_ID::OnPasswordChange() {
    Changed();
    m_passwordChanged = TRUE;
    GetDlgItem(kIdcAttrConfirm)->EnableWindow(TRUE);
    GetDlgItem(kIdcAttrConfirmLabel)->EnableWindow(TRUE);
}

HBRUSH CHybridPage_ID::OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) {
    const bool passwordField = control != nullptr && (control->GetDlgCtrlID() == kIdcAttrPassword ||
                                                      control->GetDlgCtrlID() == kIdcAttrConfirm);
    if ((ctlColor == CTLCOLOR_MSGBOX || ctlColor == CTLCOLOR_EDIT) && passwordField &&
        !control->IsWindowEnabled()) {
        return static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    }
    return CPropertyPage::OnCtlColor(dc, control, ctlColor);
}

void CHybridPage_ID::OnHelp() {
    if (CWinApp* app = AfxGetApp()) {
        app->WinHelp(kHelpHybridPageId, HELP_CONTEXT);
    }
}

BOOL CHybridPage_ID::OnKillActive() {
    if (!CPropertyPage::OnKillActive()) {
        return FALSE;
    }
    if (m_passwordChanged) {
        if (std::strcmp(m_password, m_confirmation) != 0) {
            AfxMessageBox(kMsgPasswordMismatch, MB_OK | MB_ICONEXCLAMATION);
            return FALSE;
        }
        if (m_password.IsEmpty()) {
            // Without a Yes the password stays as it is; staying on the page instead would hold the person
            // there until a Yes or a Cancel that loses everything typed.
            if (AfxMessageBox(kMsgEmptyPassword, MB_YESNO | MB_ICONQUESTION) != IDYES) {
                m_passwordChanged = FALSE;
                m_modified = m_flagChanged ? TRUE : FALSE;
            }
        } else if (!PasswordConverts(m_password)) {
            GotoDlgCtrl(GetDlgItem(kIdcAttrPassword));
            return FALSE;
        }
    }
    if (m_noSelfChange && m_mustChange != 0) {
        AfxMessageBox(kMsgUserCannotChangePassword, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    return TRUE;
}

LONG CHybridPage_ID::Save(const char* account) {
    if (!m_modified) {
        return 0;
    }
    CDirContext dir;
    const int32_t ctx = dir.Get();
    if (m_mustChange != 0 && m_neverExpires != 0 && m_writable[1]) {
        AfxMessageBox(kMsgMustChangeNeverExpires, MB_OK | MB_ICONINFORMATION);
        m_mustChange = 0;
    }
    auto writeFlag = [&](bool writable, const char* attr, int value) {
        const uint32_t flag = value != 0 ? 1 : 0;
        return !writable || SetAttrValue(ctx, account, attr, kSyntaxBoolean, &flag) == 1;
    };
    // A password that cannot be sealed ends the save: nothing of it may reach the directory.
    if (m_passwordChanged) {
        if (!m_publicKey) {
            m_publicKey = ReadAttrValueOwned(ctx, m_owner->System(), kAttrKelPublicKey, kSyntaxOctetString);
        }
        if (!StoreSealedPassword(ctx, account, m_password, m_publicKey.get())) {
            return 0;
        }
    }
    static_cast<void>(writeFlag(m_writable[1], kAttrMustChangePassword, m_mustChange));
    static_cast<void>(writeFlag(m_writable[2], kAttrExpirePassword, m_neverExpires == 0));
    static_cast<void>(writeFlag(m_writable[0], kAttrLoginDisabled, m_disabled));
    if (!writeFlag(m_writable[3], kAttrGlobalAccount, m_globalAccount)) {
        AfxMessageBox(kMsgGlobalAccountNotStored, MB_OK | MB_ICONEXCLAMATION);
    }
    m_modified = FALSE;
    m_passwordChanged = FALSE;
    m_flagChanged = FALSE;
    Wipe(m_password);
    Wipe(m_confirmation);
    m_publicKey.reset();
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Groups

BEGIN_MESSAGE_MAP(CHybridPage_Grps, CPropertyPage)
ON_BN_CLICKED(kIdcGrpsAdd, OnAdd)
ON_BN_CLICKED(kIdcGrpsRemove, OnRemove)
ON_BN_CLICKED(kIdcGrpsSetPrimary, OnSetPrimary)
ON_LBN_SELCHANGE(kIdcGrpsList, OnSelectionChange)
ON_WM_DRAWITEM()
ON_WM_MEASUREITEM()
ON_WM_COMPAREITEM()
ON_WM_DELETEITEM()
END_MESSAGE_MAP()

CHybridPage_Grps::CHybridPage_Grps(CHybridAttributes* sheet)
    : COwnerDrawnList(kIddHybridPageGrps), m_owner(sheet) {
    static_cast<void>(m_globalBitmap.LoadBitmap("CKELNTGLOBALGROUPBITMAP"));
    static_cast<void>(m_localBitmap.LoadBitmap("CKELNTLOCALGROUPBITMAP"));
}

BOOL CHybridPage_Grps::AddRow(const char* fullName, const char* baseClass) {
    uint32_t kind = 0;
    HBITMAP bitmap = nullptr;
    if (std::strcmp(baseClass, kClassNtLocalGroup) == 0) {
        kind = kListItemLocalGroup;
        bitmap = m_localBitmap;
    } else if (std::strcmp(baseClass, kClassNtGlobalGroup) == 0) {
        kind = kListItemGlobalGroup;
        bitmap = m_globalBitmap;
    } else {
        return FALSE;
    }
    std::unique_ptr<CGroupRow> row(new (std::nothrow) CGroupRow(GetLeafName(fullName), fullName));
    if (!row) {
        return FALSE;
    }
    row->m_kind = kind;
    row->m_bitmap = bitmap;
    if (m_list.AddString(reinterpret_cast<LPCSTR>(static_cast<CListItem*>(row.get()))) < 0) {
        return FALSE;
    }
    static_cast<void>(row.release());
    return TRUE;
}

int CHybridPage_Grps::FindRow(const char* fullName) const {
    for (int i = 0; i < m_list.GetCount(); ++i) {
        const auto* row = static_cast<const CGroupRow*>(static_cast<CListItem*>(m_list.GetItemDataPtr(i)));
        if (row != nullptr && SameName(row->m_fullName, fullName)) {
            return i;
        }
    }
    return -1;
}

BOOL CHybridPage_Grps::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_list.SubclassDlgItem(kIdcGrpsList, this);
    CDirContext dir;
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    if (!dir.IsOpen() || DirReadObjectInfo(dir.Get(), m_owner->System(), stored, &info) != kDirOk) {
        return TRUE;
    }
    const int32_t ctx = dir.Get();
    const CString& account = m_owner->Account();
    m_domain = std::strcmp(info.baseClass, kClassNtWorkgroupSystem) != 0;
    if (!m_domain) {
        for (int id : {kIdcGrpsPrimaryLabel, kIdcGrpsSetPrimary, kIdcGrpsPrimary}) {
            GetDlgItem(id)->ShowWindow(SW_HIDE);
        }
    }
    if (!m_loaded) {
        m_loaded = TRUE;
        // A workgroup account has a primary group too, only not shown: it is read all the same, so that the
        // group it names is never removed.
        static_cast<void>(
            ReadStringAttr(ctx, account, kAttrPrimaryGroup, kSyntaxDistinguishedName, &m_primary));
        // Only a list the page could read may be changed: nobody could tell what a change would meet.
        const bool read =
            ReadAttrValues(ctx, account, kAttrGroupMembership, kSyntaxDistinguishedName, &m_read) == 1;
        m_mayEdit =
            (read || !ReadRefused()) && m_owner->MayEdit() && MayWrite(ctx, account, kAttrGroupMembership);
        if (!read) {
            m_read.RemoveAll();
        }
        m_listed.RemoveAll();
        for (INT_PTR i = 0; i < m_read.GetSize(); ++i) {
            m_listed.Add(m_read[i]);
        }
    }
    // The rows the page shows: what it lists now, each read again for its class; a group the directory
    // does not show stays in m_listed and is kept on save.
    for (INT_PTR i = 0; i < m_listed.GetSize(); ++i) {
        if (DirReadObjectInfo(ctx, m_listed[i], stored, &info) == kDirOk) {
            static_cast<void>(AddRow(stored, info.baseClass));
        }
    }
    GetDlgItem(kIdcGrpsAdd)->EnableWindow(m_mayEdit);
    SetDlgItemText(kIdcGrpsPrimary, GetLeafName(m_primary));
    return TRUE;
}

std::function<void()> CHybridPage_Grps::Keep() {
    return [this, loaded = m_loaded, mayEdit = m_mayEdit, modified = m_modified, domain = m_domain,
            primary = m_primary, primaryChosen = m_primaryChosen, read = m_read, removed = m_removed,
            listed = m_listed] {
        m_loaded = loaded;
        m_mayEdit = mayEdit;
        m_modified = modified;
        m_domain = domain;
        m_primary = primary;
        m_primaryChosen = primaryChosen;
        m_read.Copy(read);
        m_removed.Copy(removed);
        m_listed.Copy(listed);
    };
}

void CHybridPage_Grps::Changed() {
    m_modified = TRUE;
    m_owner->SetChanged();
    SetModified(TRUE);
}

void CHybridPage_Grps::OnSelectionChange() {
    const int focused = m_list.GetCaretIndex();
    const auto* item = focused >= 0 ? static_cast<const CListItem*>(m_list.GetItemDataPtr(focused)) : nullptr;
    GetDlgItem(kIdcGrpsSetPrimary)
        ->EnableWindow(m_mayEdit && item != nullptr && item->m_kind == kListItemGlobalGroup);
    GetDlgItem(kIdcGrpsRemove)->EnableWindow(m_mayEdit && m_list.GetSelCount() > 0);
}

void CHybridPage_Grps::OnAdd() {
    // The picker offers the NT global and local groups of the account's own NT system.
    CSelectionDialog dialog(this);
    dialog.m_container = m_owner->System();
    dialog.AddClassEntry(kClassNtLocalGroup, m_localBitmap, kListItemLocalGroup);
    dialog.AddClassEntry(kClassNtGlobalGroup, m_globalBitmap, kListItemGlobalGroup);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    CDirContext dir;
    for (INT_PTR i = 0; dir.IsOpen() && i < dialog.m_result.GetSize(); ++i) {
        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        const CString full = MakeFullName(dialog.m_result[i], m_owner->System());
        if (FindRow(full) >= 0 || DirReadObjectInfo(dir.Get(), full, stored, &info) != kDirOk ||
            !AddRow(stored, info.baseClass)) {
            continue;
        }
        m_listed.Add(stored);
        for (INT_PTR r = m_removed.GetSize() - 1; r >= 0; --r) {
            if (SameName(m_removed[r], stored)) {
                m_removed.RemoveAt(r);
            }
        }
        Changed();
    }
}

void CHybridPage_Grps::OnRemove() {
    const int count = m_list.GetSelCount();
    std::vector<int> rows(static_cast<size_t>(count > 0 ? count : 0));
    const int selected = count > 0 ? m_list.GetSelItems(count, rows.data()) : 0;
    for (int i = selected - 1; i >= 0; --i) {
        const auto* row = static_cast<const CGroupRow*>(
            static_cast<CListItem*>(m_list.GetItemDataPtr(rows[static_cast<size_t>(i)])));
        if (row == nullptr) {
            continue;
        }
        if (SameName(row->m_fullName, m_primary)) {
            AfxMessageBox(kMsgPrimaryGroupNotRemoved);
            continue;
        }
        m_removed.Add(row->m_fullName);
        for (INT_PTR r = m_listed.GetSize() - 1; r >= 0; --r) {
            if (SameName(m_listed[r], row->m_fullName)) {
                m_listed.RemoveAt(r);
            }
        }
        m_list.DeleteString(static_cast<UINT>(rows[static_cast<size_t>(i)]));
        Changed();
    }
    GetDlgItem(kIdcGrpsRemove)->EnableWindow(m_list.GetSelCount() > 0);
}

void CHybridPage_Grps::OnSetPrimary() {
    const int focused = m_list.GetCaretIndex();
    const auto* row =
        focused >= 0 ? static_cast<const CGroupRow*>(static_cast<CListItem*>(m_list.GetItemDataPtr(focused)))
                     : nullptr;
    if (row == nullptr || row->m_kind != kListItemGlobalGroup) {
        return;
    }
    m_primary = row->m_fullName;
    m_primaryChosen = TRUE;
    SetDlgItemText(kIdcGrpsPrimary, GetLeafName(m_primary));
    Changed();
}

LONG CHybridPage_Grps::Save(const char* account) {
    if (!m_modified || !m_mayEdit) {
        return 0;
    }
    CDirContext dir;
    const int32_t ctx = dir.Get();
    // Only what the person changed is written, each value against the lists as they stand now: another
    // administrator may have changed them since the sheet was loaded, and that change stays.
    MembershipWrite written = WriteMembershipChange(
        ctx, account, m_read, m_listed, m_primaryChosen ? static_cast<const char*>(m_primary) : nullptr);
    for (INT_PTR i = 0; i < written.keptPrimary.GetSize(); ++i) {
        m_listed.Add(written.keptPrimary[i]);
    }
    // What the page stands for from here: the next save writes only what changes after this one.
    const CStringArray& now = written.now;
    m_read.RemoveAll();
    for (INT_PTR i = 0; i < now.GetSize(); ++i) {
        m_read.Add(now[i]);
    }
    m_removed.RemoveAll();
    m_primaryChosen = FALSE;
    m_modified = FALSE;
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Login workstations (NT domain accounts)

BEGIN_MESSAGE_MAP(CHybridPage_Login, CPropertyPage)
ON_BN_CLICKED(kIdcAttrAllWorkstations, OnAll)
ON_BN_CLICKED(kIdcAttrListedWorkstations, OnListed)
ON_EN_CHANGE(1141, OnNameChange)
ON_EN_CHANGE(1008, OnNameChange)
ON_EN_CHANGE(1084, OnNameChange)
ON_EN_CHANGE(1085, OnNameChange)
ON_EN_CHANGE(1088, OnNameChange)
ON_EN_CHANGE(1089, OnNameChange)
ON_EN_CHANGE(1086, OnNameChange)
ON_EN_CHANGE(1087, OnNameChange)
END_MESSAGE_MAP()

CHybridPage_Login::CHybridPage_Login(CHybridAttributes* sheet)
    : CPropertyPage(kIddHybridPageLogin), m_owner(sheet) {}

void CHybridPage_Login::DoDataExchange(CDataExchange* dx) {
    for (int i = 0; i < kAttrWorkstationFields; ++i) {
        DDX_Text(dx, kIdcAttrWorkstationEdits[i], m_names[i]);
        DDV_MaxChars(dx, m_names[i], kNtWorkstationName);
    }
}

void CHybridPage_Login::EnableFields(BOOL enable) {
    for (int id : kIdcAttrWorkstationEdits) {
        GetDlgItem(id)->EnableWindow(enable);
    }
}

BOOL CHybridPage_Login::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    const CString& account = m_owner->Account();
    if (!m_loaded) {
        CDirContext dir;
        if (!dir.IsOpen()) {
            return TRUE;
        }
        CStringArray stored;
        const bool read = ReadAttrValues(dir.Get(), account, kAttrEnabledWorkstationList,
                                         kSyntaxCaseIgnoreString, &stored) == 1;
        m_loaded = TRUE;
        m_writable = (read || !ReadRefused()) && m_owner->MayEdit() &&
                     MayWrite(dir.Get(), account, kAttrEnabledWorkstationList);
        m_mode = read && stored.GetSize() > 0 ? 1 : 0;
        for (INT_PTR i = 0; read && i < stored.GetSize(); ++i) {
            m_stored.Add(stored[i]);
            if (i < kAttrWorkstationFields) {
                m_names[i] = stored[i];
            } else {
                m_beyond.Add(stored[i]);
            }
        }
    }
    CheckRadioButton(kIdcAttrAllWorkstations, kIdcAttrListedWorkstations,
                     m_mode == 0 ? kIdcAttrAllWorkstations : kIdcAttrListedWorkstations);
    EnableFields(m_mode == 1 ? TRUE : FALSE);
    if (!m_writable) {
        GetDlgItem(kIdcAttrAllWorkstations)->EnableWindow(FALSE);
        GetDlgItem(kIdcAttrListedWorkstations)->EnableWindow(FALSE);
        for (int id : kIdcAttrWorkstationEdits) {
            SendDlgItemMessage(id, EM_SETREADONLY, TRUE, 0);
        }
    }
    UpdateData(FALSE);
    return TRUE;
}

std::function<void()> CHybridPage_Login::Keep() {
    return [this, loaded = m_loaded, modified = m_modified, writable = m_writable, mode = m_mode,
            names = std::to_array(m_names), beyond = m_beyond] {
        m_loaded = loaded;
        m_modified = modified;
        m_writable = writable;
        m_mode = mode;
        std::copy(names.begin(), names.end(), m_names);
        m_beyond.Copy(beyond);
    };
}

void CHybridPage_Login::OnAll() {
    m_mode = 0;
    EnableFields(FALSE);
    m_modified = TRUE;
    m_owner->SetChanged();
    SetModified(TRUE);
}

void CHybridPage_Login::OnListed() {
    m_mode = 1;
    EnableFields(TRUE);
    m_modified = TRUE;
    m_owner->SetChanged();
    SetModified(TRUE);
}

void CHybridPage_Login::OnNameChange() {
    m_modified = TRUE;
    m_owner->SetChanged();
    SetModified(TRUE);
}

LONG CHybridPage_Login::Save(const char* account) {
    if (!m_modified || !m_writable) {
        return 0;
    }
    CStringArray names;
    if (m_mode == 1) {
        for (const CString& name : m_names) {
            if (!name.IsEmpty()) {
                names.Add(name);
            }
        }
        for (INT_PTR i = 0; i < m_beyond.GetSize(); ++i) {
            names.Add(m_beyond[i]);
        }
    }
    CDirContext dir;
    if (ChangeOrderedAttrValues(dir.Get(), account, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString,
                                &m_stored, &names) == 1) {
        m_stored.RemoveAll();
        for (INT_PTR i = 0; i < names.GetSize(); ++i) {
            m_stored.Add(names[i]);
        }
    }
    m_modified = FALSE;
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Profile

BEGIN_MESSAGE_MAP(CHybridPage_Profile, CPropertyPage)
ON_EN_CHANGE(kIdcProfilePathEdit, OnFieldChange)
ON_EN_CHANGE(kIdcProfileScriptEdit, OnFieldChange)
ON_EN_CHANGE(kIdcProfileLocalEdit, OnFieldChange)
ON_EN_CHANGE(kIdcProfileNetworkEdit, OnFieldChange)
ON_CBN_SELCHANGE(kIdcProfileDriveList, OnFieldChange)
ON_BN_CLICKED(kIdcProfileLocalButton, OnLocal)
ON_BN_CLICKED(kIdcProfileNetworkButton, OnNetwork)
END_MESSAGE_MAP()

CHybridPage_Profile::CHybridPage_Profile(CHybridAttributes* sheet)
    : CPropertyPage(kIddHybridPageProfile), m_owner(sheet) {}

void CHybridPage_Profile::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcProfileName, m_commonName);
    DDX_Text(dx, kIdcProfilePathEdit, m_profilePath);
    DDX_Text(dx, kIdcProfileScriptEdit, m_script);
    DDX_Text(dx, kIdcProfileLocalEdit, m_localPath);
    DDX_Text(dx, kIdcProfileNetworkEdit, m_networkPath);
    DDX_Text(dx, kIdcProfileDriveList, m_drive);
}

BOOL CHybridPage_Profile::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    // The drives an NT home directory may be connected to.
    for (char drive = 'C'; drive <= 'Z'; ++drive) {
        char entry[4] = {};
        std::snprintf(entry, sizeof entry, "%c:", drive);
        SendDlgItemMessage(kIdcProfileDriveList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    const CString& account = m_owner->Account();
    if (!m_loaded) {
        CDirContext dir;
        if (!dir.IsOpen()) {
            return TRUE;
        }
        const int32_t ctx = dir.Get();
        m_loaded = TRUE;
        auto load = [&](const char* attr, CString* text) {
            if (ReadStringAttr(ctx, account, attr, kSyntaxCaseIgnoreString, text) == 1) {
                return MayWrite(ctx, account, attr) && m_owner->MayEdit();
            }
            text->Empty();
            return !ReadRefused() && MayWrite(ctx, account, attr) && m_owner->MayEdit();
        };
        static_cast<void>(ReadStringAttr(ctx, account, kAttrCN, kSyntaxCaseIgnoreString, &m_commonName));
        m_writable[0] = load(kAttrProfilePath, &m_profilePath);
        m_writable[1] = load(kAttrScriptName, &m_script);
        CString home;
        m_writable[2] = load(kAttrAlternateHomeDirectory, &home);
        m_writable[3] = load(kAttrHomeDirDrive, &m_drive);
        if (home.GetLength() >= 2 && static_cast<const char*>(home)[1] == ':') {
            m_localPath = home;
        } else if (!home.IsEmpty()) {
            m_networkPath = home;
            m_mode = 1;
        }
    }
    if (!m_writable[0]) {
        SendDlgItemMessage(kIdcProfilePathEdit, EM_SETREADONLY, TRUE, 0);
    }
    if (!m_writable[1]) {
        SendDlgItemMessage(kIdcProfileScriptEdit, EM_SETREADONLY, TRUE, 0);
    }
    for (int id :
         {kIdcProfileLocalButton, kIdcProfileNetworkButton, kIdcProfileLocalEdit, kIdcProfileNetworkEdit}) {
        GetDlgItem(id)->EnableWindow(m_writable[2] ? TRUE : FALSE);
    }
    GetDlgItem(kIdcProfileDriveList)->EnableWindow(m_writable[3] ? TRUE : FALSE);
    CheckRadioButton(kIdcProfileLocalButton, kIdcProfileNetworkButton,
                     m_mode == 0 ? kIdcProfileLocalButton : kIdcProfileNetworkButton);
    UpdateData(FALSE);
    return TRUE;
}

std::function<void()> CHybridPage_Profile::Keep() {
    return [this, loaded = m_loaded, modified = m_modified, mode = m_mode, commonName = m_commonName,
            profilePath = m_profilePath, script = m_script, localPath = m_localPath,
            networkPath = m_networkPath, drive = m_drive, writable = std::to_array(m_writable)] {
        m_loaded = loaded;
        m_modified = modified;
        m_mode = mode;
        m_commonName = commonName;
        m_profilePath = profilePath;
        m_script = script;
        m_localPath = localPath;
        m_networkPath = networkPath;
        m_drive = drive;
        std::copy(writable.begin(), writable.end(), m_writable);
    };
}

void CHybridPage_Profile::OnFieldChange() {
    m_modified = TRUE;
    m_owner->SetChanged();
    SetModified(TRUE);
}

void CHybridPage_Profile::OnLocal() {
    m_mode = 0;
    OnFieldChange();
}

void CHybridPage_Profile::OnNetwork() {
    m_mode = 1;
    OnFieldChange();
}

BOOL CHybridPage_Profile::OnKillActive() {
    if (!CPropertyPage::OnKillActive()) {
        return FALSE;
    }
    if (!m_modified) {
        return TRUE;
    }
    if (std::strchr(m_script, ':') != nullptr) {
        FormatMessageBox(kFmtBadLogonScript, MB_OK | MB_ICONEXCLAMATION,
                         {static_cast<const char*>(m_script)});
        return FALSE;
    }
    const CString& path = m_mode == 0 ? m_localPath : m_networkPath;
    const bool good = path.IsEmpty() || (m_mode == 0 ? CNTUserPage_Profile::IsLocalHomePath(path)
                                                     : CNTUserPage_Profile::IsNetworkHomePath(path));
    if (!good) {
        FormatMessageBox(kFmtBadHomeDirectory, MB_OK | MB_ICONEXCLAMATION, {static_cast<const char*>(path)});
        return FALSE;
    }
    return TRUE;
}

LONG CHybridPage_Profile::Save(const char* account) {
    if (!m_modified) {
        return 0;
    }
    CDirContext dir;
    auto write = [&](bool writable, const char* attr, const CString& text) {
        if (writable) {
            static_cast<void>(SetAttrValue(dir.Get(), account, attr, kSyntaxCaseIgnoreString,
                                           static_cast<const char*>(text)));
        }
    };
    write(m_writable[0], kAttrProfilePath, m_profilePath);
    write(m_writable[1], kAttrScriptName, m_script);
    write(m_writable[3], kAttrHomeDirDrive, m_drive);
    write(m_writable[2], kAttrAlternateHomeDirectory, m_mode == 0 ? m_localPath : m_networkPath);
    m_modified = FALSE;
    return 0;
}
