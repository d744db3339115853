#include "module/pages/template/TemplatePage_NTAccount.h"

#include "host/services/Host.h"
#include "module/core/BrowseRequest.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/pages/template/TemplateIds.h"
#include "module/pages/users/NTUserPage_Profile.h"
#include "platform/ui/MessageBox.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr char kConnectDrive[] = "Z:";
constexpr char kGlobalPrefix[] = "g.";
constexpr char kLocalPrefix[] = "l.";

bool Refused(int32_t code) {
    return code == kDirErrNoRight || code == kDirErrIdentityGone;
}

} // namespace

BEGIN_MESSAGE_MAP(CTemplatePage_NTAccount, CDialog)
ON_EN_CHANGE(kIdcTplProfilePath, OnFieldChange)
ON_EN_CHANGE(kIdcTplScript, OnFieldChange)
ON_EN_CHANGE(kIdcTplLocalPath, OnFieldChange)
ON_EN_CHANGE(kIdcTplNetworkPath, OnFieldChange)
ON_EN_CHANGE(1202, OnFieldChange)
ON_EN_CHANGE(1203, OnFieldChange)
ON_EN_CHANGE(1204, OnFieldChange)
ON_EN_CHANGE(1008, OnFieldChange)
ON_EN_CHANGE(1011, OnFieldChange)
ON_EN_CHANGE(1012, OnFieldChange)
ON_EN_CHANGE(1013, OnFieldChange)
ON_EN_CHANGE(1014, OnFieldChange)
ON_BN_CLICKED(kIdcTplMustChange, OnFieldChange)
ON_BN_CLICKED(kIdcTplNeverExpires, OnFieldChange)
ON_BN_CLICKED(kIdcTplGlobalAccount, OnFieldChange)
ON_CBN_SELCHANGE(kIdcTplDrive, OnFieldChange)
ON_BN_CLICKED(kIdcTplLocal, OnSelectLocal)
ON_EN_SETFOCUS(kIdcTplLocalPath, OnSelectLocal)
ON_BN_CLICKED(kIdcTplConnect, OnSelectConnect)
ON_EN_SETFOCUS(kIdcTplNetworkPath, OnSelectConnect)
ON_CBN_SETFOCUS(kIdcTplDrive, OnSelectConnect)
ON_BN_CLICKED(kIdcTplAddGroup, OnAddGroup)
ON_BN_CLICKED(kIdcTplRemoveGroup, OnRemoveGroup)
ON_BN_CLICKED(kIdcTplSetPrimary, OnSetPrimary)
ON_LBN_SELCHANGE(kIdcTplGroups, OnGroupSelectionChange)
ON_WM_DRAWITEM()
ON_WM_MEASUREITEM()
ON_WM_COMPAREITEM()
ON_WM_DELETEITEM()
END_MESSAGE_MAP()

CTemplatePage_NTAccount::CTemplatePage_NTAccount()
    : COwnerDrawnList(kIdsTemplateAccountTitle, kIddTemplateAccount) {
    static_cast<void>(m_bitmap135.LoadBitmap(135U));
    static_cast<void>(m_localBitmap.LoadBitmap("CKELNTLOCALGROUPBITMAP"));
    static_cast<void>(m_globalBitmap.LoadBitmap("CKELNTGLOBALGROUPBITMAP"));
}

CTemplatePage_NTAccount::~CTemplatePage_NTAccount() = default;

DLGPROC CTemplatePage_NTAccount::GetDialogProc() {
    return &SnapinPageDialogProc<CTemplatePage_NTAccount>;
}

BOOL CTemplatePage_NTAccount::Help() {
    return ShowHelp(kHelpTemplateAccount);
}

void CTemplatePage_NTAccount::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kIdcTplGroups, m_groups);
    DDX_Text(dx, kIdcTplProfilePath, m_profilePath);
    DDX_Text(dx, kIdcTplLocalPath, m_localPath);
    DDX_Text(dx, kIdcTplNetworkPath, m_networkPath);
    DDX_Text(dx, kIdcTplScript, m_script);
    for (size_t i = 0; i < std::size(kTplWorkstationIds); ++i) {
        DDX_Text(dx, kTplWorkstationIds[i], m_workstations[i]);
    }
    DDX_Check(dx, kIdcTplGlobalAccount, m_globalAccount);
    CNTUserPage_Profile::ExchangeDrive(this, dx, kIdcTplDrive, m_drive);
    DDX_Radio(dx, kIdcTplLocal, m_localChoice);
    DDX_Check(dx, kIdcTplMustChange, m_mustChange);
    DDX_Check(dx, kIdcTplNeverExpires, m_neverExpires);
    DDX_Radio(dx, kIdcTplConnect, m_connectChoice);
    DDX_Text(dx, kIdcTplPrimaryGroup, m_primaryGroup);
}

void CTemplatePage_NTAccount::ForgetLoaded() {
    m_groupsWritable = FALSE;
    m_modified = FALSE;
    for (CString* text : {&m_profilePath, &m_localPath, &m_networkPath, &m_script, &m_drive, &m_primaryGroup,
                          &m_homeDirectory, &m_savedLocalPath, &m_savedNetworkPath, &m_container}) {
        text->Empty();
    }
    for (CString& name : m_workstations) {
        name.Empty();
    }
    m_globalAccount = 1;
    m_globalHeld = false;
    m_mustChange = 0;
    m_neverExpires = 0;
    m_localChoice = 0;
    m_connectChoice = -1;
    std::fill(std::begin(m_writable), std::end(m_writable), false);
    m_stored = Stored{};
    m_moreWorkstations.clear();
}

BOOL CTemplatePage_NTAccount::OnInitDialog() {
    // The page serves sheet after sheet: nothing of the previous template may be shown or written.
    ForgetLoaded();
    CDialog::OnInitDialog();
    CNTUserPage_Profile::FillDrives(this, kIdcTplDrive);
    for (int id : kTplWorkstationIds) {
        SendDlgItemMessage(id, EM_LIMITTEXT, kTplWorkstationLength, 0);
    }
    m_groups.ResetContent();
    uint32_t mode = 0;
    if (HostQueryMode(&mode) != 0 || mode != 1) {
        return TRUE;
    }
    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) == 0) {
        m_container = GetContainerName(GetCurrentObjectName());
        CDirContext dir;
        char identity[kDirMaxNameBytes + 1] = {};
        if (dir.IsOpen() && DirWhoAmI(dir.Get(), identity) == kDirOk) {
            Load(dir.Get(), identity);
        }
    }
    m_stored = Current();
    // A drive stored empty shows as the one a connection gets, and is stored once the page writes.
    m_stored.drive = m_storedDrive;
    // So is the global account box, checked while the template holds no value: accounts made from the
    // template are global then too, and the first write stores what the box shows.
    if (!m_globalHeld) {
        m_stored.globalAccount = kNotHeld;
    }
    UpdateData(FALSE);
    return TRUE;
}

void CTemplatePage_NTAccount::Load(int32_t ctx, const char* identity) {
    const CString object = GetCurrentObjectName();
    auto mayWrite = [&](const char* attr) {
        uint32_t rights = 0;
        return DirGetEffectiveRights(ctx, identity, object, attr, &rights) == kDirOk &&
               (rights & kRightWrite) != 0;
    };
    auto readFlag = [&](const char* attr, int* box, bool inverted, bool* held = nullptr) {
        uint32_t* value = nullptr;
        if (ReadAttrValue(ctx, object, attr, kSyntaxBoolean, reinterpret_cast<void**>(&value)) == 1) {
            *box = ((*value != 0) != inverted) ? 1 : 0;
            std::free(value);
            if (held != nullptr) {
                *held = true;
            }
            return true;
        }
        return !Refused(GetLastAttrError());
    };
    auto readText = [&](const char* attr, CString* text) {
        if (ReadStringAttr(ctx, object, attr, kSyntaxCaseIgnoreString, text) == 1) {
            return true;
        }
        text->Empty();
        return !Refused(GetLastAttrError());
    };
    // A field is written only when it was read and may be written; otherwise it stays disabled, and a
    // refused read shows its default, never what the directory holds.
    auto settle = [&](Attr which, const char* attr, bool read, std::initializer_list<int> ids) {
        m_writable[which] = read && mayWrite(attr);
        if (!m_writable[which]) {
            for (int id : ids) {
                EnableControl(id, FALSE);
            }
        }
    };
    settle(kMustChange, kAttrMustChangePassword, readFlag(kAttrMustChangePassword, &m_mustChange, false),
           {kIdcTplMustChange});
    settle(kNeverExpires, kAttrExpirePassword, readFlag(kAttrExpirePassword, &m_neverExpires, true),
           {kIdcTplNeverExpires});
    settle(kGlobal, kAttrGlobalAccount, readFlag(kAttrGlobalAccount, &m_globalAccount, false, &m_globalHeld),
           {kIdcTplGlobalAccount});
    settle(kProfile, kAttrProfilePath, readText(kAttrProfilePath, &m_profilePath), {kIdcTplProfilePath});
    settle(kScript, kAttrScriptName, readText(kAttrScriptName, &m_script), {kIdcTplScript});
    const bool homeRead = readText(kAttrAlternateHomeDirectory, &m_homeDirectory);
    if (m_homeDirectory.GetLength() >= 2 && static_cast<const char*>(m_homeDirectory)[1] == ':') {
        m_localPath = m_homeDirectory;
    } else if (!m_homeDirectory.IsEmpty()) {
        m_networkPath = m_homeDirectory;
        m_localChoice = -1;
        m_connectChoice = 0;
    }
    settle(kHome, kAttrAlternateHomeDirectory, homeRead,
           {kIdcTplLocal, kIdcTplConnect, kIdcTplLocalPath, kIdcTplNetworkPath});
    const bool driveRead = readText(kAttrHomeDirDrive, &m_drive);
    m_storedDrive = m_drive;
    if (driveRead && m_drive.IsEmpty()) {
        m_drive = kConnectDrive;
    }
    settle(kDrive, kAttrHomeDirDrive, driveRead, {kIdcTplDrive});
    CStringArray names;
    bool read =
        ReadAttrValues(ctx, object, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &names) == 1 ||
        !Refused(GetLastAttrError());
    if (read) {
        for (INT_PTR i = 0; i < names.GetSize(); ++i) {
            if (i < static_cast<INT_PTR>(std::size(m_workstations))) {
                m_workstations[i] = names[i];
            } else {
                m_moreWorkstations.emplace_back(static_cast<const char*>(names[i]));
            }
        }
    }
    settle(kWorkstations, kAttrEnabledWorkstationList, read,
           {kTplWorkstationIds[0], kTplWorkstationIds[1], kTplWorkstationIds[2], kTplWorkstationIds[3],
            kTplWorkstationIds[4], kTplWorkstationIds[5], kTplWorkstationIds[6], kTplWorkstationIds[7]});

    m_writable[kPrimary] =
        readText(kAttrTemplatePrimaryGroup, &m_primaryGroup) && mayWrite(kAttrTemplatePrimaryGroup);
    CStringArray groups;
    read = ReadAttrValues(ctx, object, kAttrTemplateGroups, kSyntaxCaseIgnoreString, &groups) == 1 ||
           !Refused(GetLastAttrError());
    for (INT_PTR i = 0; read && i < groups.GetSize(); ++i) {
        const char* value = groups[i];
        const char* dot = std::strchr(value, '.');
        const bool global = std::strncmp(value, kGlobalPrefix, 2) == 0;
        static_cast<void>(AddGroupRow(dot != nullptr ? dot + 1 : value,
                                      global ? kListItemGlobalGroup : kListItemLocalGroup));
    }
    // The group list lives in "KEL:Template Groups", so its own right governs the buttons that change it.
    m_groupsWritable = read && mayWrite(kAttrTemplateGroups) ? TRUE : FALSE;
    m_writable[kGroups] = m_groupsWritable != FALSE;
    EnableControl(kIdcTplAddGroup, m_groupsWritable);
}

CTemplatePage_NTAccount::Stored CTemplatePage_NTAccount::Current() const {
    Stored now;
    now.mustChange = m_mustChange;
    now.neverExpires = m_neverExpires;
    now.globalAccount = m_globalAccount;
    now.profilePath = m_profilePath;
    now.script = m_script;
    now.drive = m_drive;
    now.home = LocalSelected() ? m_localPath : m_networkPath;
    for (const CString& name : m_workstations) {
        if (!name.IsEmpty()) {
            now.workstations.emplace_back(static_cast<const char*>(name));
        }
    }
    now.workstations.insert(now.workstations.end(), m_moreWorkstations.begin(), m_moreWorkstations.end());
    now.primaryGroup = m_primaryGroup;
    for (int row = 0; row < m_groups.GetCount(); ++row) {
        if (const auto* item = static_cast<const CListItem*>(m_groups.GetItemDataPtr(row))) {
            now.groups.push_back(
                std::string(item->m_kind == kListItemGlobalGroup ? kGlobalPrefix : kLocalPrefix) +
                static_cast<const char*>(item->m_name));
        }
    }
    return now;
}

bool CTemplatePage_NTAccount::AddGroupRow(const char* name, uint32_t kind) {
    std::unique_ptr<CListItem> item(new (std::nothrow) CListItem(name));
    if (!item) {
        return false;
    }
    item->m_kind = kind;
    item->m_bitmap = kind == kListItemGlobalGroup ? static_cast<HBITMAP>(m_globalBitmap)
                                                  : static_cast<HBITMAP>(m_localBitmap);
    // The list owns the row from here; OnDeleteItem frees it.
    if (m_groups.AddString(reinterpret_cast<LPCSTR>(item.get())) < 0) {
        return false;
    }
    static_cast<void>(item.release());
    return true;
}

void CTemplatePage_NTAccount::EnableControl(int id, BOOL enable) {
    if (CWnd* control = GetDlgItem(id)) {
        control->EnableWindow(enable);
    }
}

void CTemplatePage_NTAccount::NotifyModified() {
    m_modified = TRUE;
    NotifyChanged(TRUE);
}

void CTemplatePage_NTAccount::OnFieldChange() {
    NotifyModified();
}

void CTemplatePage_NTAccount::OnSelectLocal() {
    if (LocalSelected()) {
        return;
    }
    NotifyModified();
    UpdateData(TRUE);
    m_savedNetworkPath = m_networkPath;
    m_localPath = m_savedLocalPath;
    m_networkPath.Empty();
    m_drive.Empty();
    m_localChoice = 0;
    m_connectChoice = -1;
    UpdateData(FALSE);
}

void CTemplatePage_NTAccount::OnSelectConnect() {
    if (!LocalSelected()) {
        return;
    }
    NotifyModified();
    UpdateData(TRUE);
    m_savedLocalPath = m_localPath;
    m_networkPath = m_savedNetworkPath;
    m_localPath.Empty();
    m_drive = kConnectDrive;
    m_localChoice = -1;
    m_connectChoice = 0;
    UpdateData(FALSE);
}

void CTemplatePage_NTAccount::OnAddGroup() {
    CBrowseRequest browse(kBrowseForPages, {kClassNtLocalGroup, kClassNtGlobalGroup});
    if (!browse.Run(GetSafeHwnd(), m_container)) {
        return;
    }
    CDirContext dir;
    if (!dir.IsOpen()) {
        return;
    }
    for (const CString& picked : browse.Results()) {
        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        if (DirReadObjectInfo(dir.Get(), picked, stored, &info) != kDirOk) {
            continue;
        }
        const uint32_t kind = std::strcmp(info.baseClass, kClassNtGlobalGroup) == 0 ? kListItemGlobalGroup
                                                                                    : kListItemLocalGroup;
        const CString leaf = GetLeafName(stored);
        bool listed = false;
        for (int row = 0; row < m_groups.GetCount() && !listed; ++row) {
            const auto* item = static_cast<const CListItem*>(m_groups.GetItemDataPtr(row));
            // The same group of two NT systems is one template value: a second row would only repeat it.
            listed = item != nullptr && item->m_kind == kind && item->m_name.CompareNoCase(leaf) == 0;
        }
        if (!listed && AddGroupRow(leaf, kind)) {
            NotifyModified();
        }
    }
}

void CTemplatePage_NTAccount::OnGroupSelectionChange() {
    const int focused = m_groups.GetCaretIndex();
    const auto* item =
        focused >= 0 ? static_cast<const CListItem*>(m_groups.GetItemDataPtr(focused)) : nullptr;
    EnableControl(kIdcTplSetPrimary,
                  item != nullptr && item->m_kind == kListItemGlobalGroup && m_writable[kPrimary]);
    if (m_groupsWritable) {
        EnableControl(kIdcTplRemoveGroup, TRUE);
    }
}

void CTemplatePage_NTAccount::OnSetPrimary() {
    const int focused = m_groups.GetCaretIndex();
    const auto* item =
        focused >= 0 ? static_cast<const CListItem*>(m_groups.GetItemDataPtr(focused)) : nullptr;
    if (item == nullptr || item->m_kind != kListItemGlobalGroup) {
        return;
    }
    UpdateData(TRUE);
    m_primaryGroup = item->m_name;
    UpdateData(FALSE);
    NotifyModified();
}

void CTemplatePage_NTAccount::OnRemoveGroup() {
    const int count = m_groups.GetSelCount();
    if (count >= 1) {
        std::vector<int> rows(static_cast<size_t>(count));
        const int selected = m_groups.GetSelItems(count, rows.data());
        UpdateData(TRUE);
        if (selected > 1) {
            m_groups.SetRedraw(FALSE);
        }
        for (int i = selected - 1; i >= 0; --i) {
            const int row = rows[static_cast<size_t>(i)];
            const auto* item = static_cast<const CListItem*>(m_groups.GetItemDataPtr(row));
            if (item == nullptr) {
                continue;
            }
            const bool primary = !m_primaryGroup.IsEmpty() && item->m_kind == kListItemGlobalGroup &&
                                 item->m_name.CompareNoCase(m_primaryGroup) == 0;
            if (primary && selected > 1) {
                AfxMessageBox(kMsgTemplatePrimaryKept);
                continue;
            }
            if (primary) {
                m_primaryGroup.Empty();
            }
            m_groups.DeleteString(static_cast<UINT>(row));
        }
        if (selected > 1) {
            m_groups.SetRedraw(TRUE);
            m_groups.Invalidate();
        }
        UpdateData(FALSE);
    }
    if (m_groups.GetCount() == 0 || m_groups.GetSelCount() < 1) {
        EnableControl(kIdcTplRemoveGroup, FALSE);
        EnableControl(kIdcTplSetPrimary, FALSE);
    }
    NotifyModified();
}

BOOL CTemplatePage_NTAccount::Validate() {
    // An untouched page writes nothing, so a stored value it would refuse must not hold up the sheet.
    if (!m_modified || m_hWnd == nullptr) {
        return TRUE;
    }
    if (!UpdateData(TRUE)) {
        return FALSE;
    }
    return CNTUserPage_Profile::CheckScriptAndHome(m_script, LocalSelected(),
                                                   LocalSelected() ? m_localPath : m_networkPath);
}

LONG CTemplatePage_NTAccount::WriteChanges(const char* objectName) {
    if (!m_modified || objectName == nullptr) {
        return 0;
    }
    if (m_hWnd != nullptr) {
        UpdateData(TRUE);
    }
    if (m_mustChange != 0 && m_neverExpires != 0) {
        AfxMessageBox(kMsgTemplateMustChangeCleared);
        m_mustChange = 0;
        if (m_hWnd != nullptr) {
            CheckDlgButton(kIdcTplMustChange, BST_UNCHECKED);
        }
    }
    CDirContext dir;
    if (dir.IsOpen()) {
        const int32_t ctx = dir.Get();
        const Stored now = Current();
        auto flag = [&](Attr which, const char* attr, int was, int is) {
            if (m_writable[which] && was != is) {
                const uint32_t value = is != 0 ? 1 : 0;
                static_cast<void>(SetAttrValue(ctx, objectName, attr, kSyntaxBoolean, &value));
            }
        };
        auto text = [&](Attr which, const char* attr, const CString& was, const CString& is) {
            if (m_writable[which] && std::strcmp(was, is) != 0) {
                static_cast<void>(SetAttrValue(ctx, objectName, attr, kSyntaxCaseIgnoreString,
                                               static_cast<const char*>(is)));
            }
        };
        // A list takes only the names the person added and removed, so that what another administrator
        // changed in it meanwhile stays; the workstations keep the fields' order.
        auto list = [&](Attr which, const char* attr, const std::vector<std::string>& was,
                        const std::vector<std::string>& is) {
            if (m_writable[which] && was != is) {
                CStringArray before;
                CStringArray after;
                for (const std::string& value : was) {
                    before.Add(value.c_str());
                }
                for (const std::string& value : is) {
                    after.Add(value.c_str());
                }
                if (which == kWorkstations) {
                    static_cast<void>(ChangeOrderedAttrValues(ctx, objectName, attr, kSyntaxCaseIgnoreString,
                                                              &before, &after));
                    return;
                }
                CStringArray removed;
                CStringArray added;
                DiffAttrValues(before, after, &removed, &added);
                static_cast<void>(
                    ChangeAttrValues(ctx, objectName, attr, kSyntaxCaseIgnoreString, &removed, &added));
            }
        };
        flag(kMustChange, kAttrMustChangePassword, m_stored.mustChange, now.mustChange);
        // The box says the password never expires; the attribute says that it does.
        flag(kNeverExpires, kAttrExpirePassword, m_stored.neverExpires == 0, now.neverExpires == 0);
        flag(kGlobal, kAttrGlobalAccount, m_stored.globalAccount, now.globalAccount);
        text(kProfile, kAttrProfilePath, m_stored.profilePath, now.profilePath);
        text(kScript, kAttrScriptName, m_stored.script, now.script);
        text(kDrive, kAttrHomeDirDrive, m_stored.drive, now.drive);
        text(kHome, kAttrAlternateHomeDirectory, m_stored.home, now.home);
        list(kWorkstations, kAttrEnabledWorkstationList, m_stored.workstations, now.workstations);
        text(kPrimary, kAttrTemplatePrimaryGroup, m_stored.primaryGroup, now.primaryGroup);
        list(kGroups, kAttrTemplateGroups, m_stored.groups, now.groups);
        m_stored = now;
    }
    m_modified = FALSE;
    return 0;
}
