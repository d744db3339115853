#include "module/pages/users/NTUserPage_Groups.h"
#include "module/pages/users/MembershipWrite.h"

#include "host/services/Host.h"
#include "module/core/ListItem.h"
#include "module/core/SelectionDialog.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "platform/ui/MessageBox.h"

#include <strings.h>

#include <cstring>
#include <new>
#include <vector>

namespace {

bool SameName(const char* a, const char* b) {
    return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}

// A read the directory refused: what it hides must be neither shown as empty nor overwritten.
bool ReadRefused() {
    const int32_t code = GetLastAttrError();
    return code == kDirErrNoRight || code == kDirErrIdentityGone;
}

} // namespace

BEGIN_MESSAGE_MAP(CNTUserPage_Groups, CDialog)
ON_BN_CLICKED(kIdcUserGroupsAdd, OnAdd)
ON_BN_CLICKED(kIdcUserGroupsRemove, OnRemove)
ON_BN_CLICKED(kIdcUserGroupsSetPrimary, OnSetPrimary)
ON_LBN_SELCHANGE(kIdcUserGroupsList, OnSelectionChange)
ON_WM_DRAWITEM()
ON_WM_MEASUREITEM()
ON_WM_COMPAREITEM()
ON_WM_DELETEITEM()
END_MESSAGE_MAP()

CNTUserPage_Groups::CNTUserPage_Groups()
    : CNTUserPage_Groups(kIddNTUserGroups, kHelpNTUserGroupsDomain, kHelpNTUserGroupsWorkgroup) {}

CNTUserPage_Groups::CNTUserPage_Groups(UINT templateId, UINT helpDomain, UINT helpWorkgroup)
    : COwnerDrawnList(kIdsNTUserGroupsTitle, templateId), m_helpDomain(helpDomain),
      m_helpWorkgroup(helpWorkgroup) {
    static_cast<void>(m_globalBitmap.LoadBitmap("CKELNTGLOBALGROUPBITMAP"));
    static_cast<void>(m_localBitmap.LoadBitmap("CKELNTLOCALGROUPBITMAP"));
}

CNTUserPage_Groups::~CNTUserPage_Groups() = default;

DLGPROC CNTUserPage_Groups::GetDialogProc() {
    return &SnapinPageDialogProc<CNTUserPage_Groups>;
}

BOOL CNTUserPage_Groups::Help() {
    return ShowHelp(m_domainAccount ? m_helpDomain : m_helpWorkgroup);
}

void CNTUserPage_Groups::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kIdcUserGroupsList, m_groupList);
    // The field is only shown: a leaf with escaped dots may hold more bytes than an NT name has characters,
    // so the limit is put on the field, never checked against what it shows.
    if (!dx->m_bSaveAndValidate) {
        DDX_Text(dx, kIdcUserGroupsPrimary, m_primaryGroup);
        DDV_MaxChars(dx, m_primaryGroup, kMaxNtNameLength);
    }
}

void CNTUserPage_Groups::ForgetLoaded() {
    m_primaryGroup.Empty();
    m_mayWrite = FALSE;
    m_changed = FALSE;
    m_domainAccount = FALSE;
    m_membershipsRead.RemoveAll();
    m_keptMemberships.RemoveAll();
    m_primaryKnown = FALSE;
    m_primaryChosen = FALSE;
    m_container.Empty();
    m_user.Empty();
}

BOOL CNTUserPage_Groups::OnInitDialog() {
    // The page serves sheet after sheet: nothing of the previous account may be shown or written.
    ForgetLoaded();
    CDialog::OnInitDialog();

    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) != 0) {
        UpdateData(FALSE);
        return TRUE;
    }
    const CString user = GetCurrentObjectName();
    m_container = GetContainerName(user);
    m_user = user;
    CDirContext dir;
    if (!dir.IsOpen()) {
        UpdateData(FALSE);
        return TRUE;
    }
    char containerName[kDirMaxNameBytes + 1] = {};
    DirObjectInfo containerInfo{};
    if (DirReadObjectInfo(dir.Get(), m_container, containerName, &containerInfo) != kDirOk) {
        return TRUE;
    }
    if (std::strcmp(containerInfo.baseClass, kClassNtWorkgroupSystem) == 0) {
        for (int id : {kIdcUserGroupsPrimaryLabel, kIdcUserGroupsSetPrimary, kIdcUserGroupsPrimary}) {
            if (CWnd* control = GetDlgItem(id)) {
                control->ShowWindow(SW_HIDE);
            }
        }
    } else {
        m_domainAccount = TRUE;
    }
    // A workgroup account has a primary group too (its system's default group), only not shown: it is read
    // all the same, so that the group it names is never removed.
    LoadPrimaryGroup(dir.Get());
    const BOOL membershipsRead = ReadAttrValues(dir.Get(), user, kAttrGroupMembership,
                                                kSyntaxDistinguishedName, &m_membershipsRead) == 1;
    // A list the person could not see is never changed: nobody could tell what the change would meet.
    const BOOL membershipsKnown = membershipsRead || !ReadRefused();
    if (!membershipsRead) {
        m_membershipsRead.RemoveAll();
    }
    LoadMemberships(dir.Get());

    char identity[kDirMaxNameBytes + 1] = {};
    uint32_t rights = 0;
    if (membershipsKnown && DirWhoAmI(dir.Get(), identity) == kDirOk &&
        DirGetEffectiveRights(dir.Get(), identity, user, kAttrGroupMembership, &rights) == kDirOk &&
        (rights & kRightWrite) != 0) {
        EnableControl(kIdcUserGroupsAdd, TRUE);
        m_mayWrite = TRUE;
    }
    UpdateData(FALSE);
    return TRUE;
}

void CNTUserPage_Groups::LoadPrimaryGroup(int32_t ctx) {
    CString stored;
    if (ReadStringAttr(ctx, m_user, kAttrPrimaryGroup, kSyntaxDistinguishedName, &stored) != 1) {
        m_primaryKnown = ReadRefused() ? FALSE : TRUE;
        return;
    }
    m_primaryKnown = TRUE;
    CString leaf;
    CString container;
    SplitFullName(stored, &leaf, &container);
    // A primary group of another NT system (left by a tool that moved the account) is shown whole, so that
    // it is not mistaken for the group of that name here.
    m_primaryGroup = SameName(container, m_container) ? leaf : stored;
}

void CNTUserPage_Groups::LoadMemberships(int32_t ctx) {
    for (INT_PTR i = 0; i < m_membershipsRead.GetSize(); ++i) {
        const CString& membership = m_membershipsRead[i];
        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        if (DirReadObjectInfo(ctx, membership, stored, &info) != kDirOk ||
            !SameName(GetContainerName(stored), m_container) || !AddGroupRow(stored, info.baseClass)) {
            m_keptMemberships.Add(membership);
        }
    }
}

BOOL CNTUserPage_Groups::AddGroupRow(const char* storedName, const char* baseClass) {
    std::unique_ptr<CListItem> item(new (std::nothrow) CListItem(GetLeafName(storedName)));
    if (!item) {
        return FALSE;
    }
    if (std::strcmp(baseClass, kClassNtLocalGroup) == 0) {
        item->m_kind = kListItemLocalGroup;
        item->m_bitmap = m_localBitmap;
    } else if (std::strcmp(baseClass, kClassNtGlobalGroup) == 0) {
        item->m_kind = kListItemGlobalGroup;
        item->m_bitmap = m_globalBitmap;
    }
    // The list owns the row from here; OnDeleteItem frees it.
    if (m_groupList.AddString(reinterpret_cast<LPCSTR>(item.get())) < 0) {
        return FALSE;
    }
    static_cast<void>(item.release());
    return TRUE;
}

void CNTUserPage_Groups::KeepRow(int32_t ctx, const char* group) {
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    if (FindRow(GetLeafName(group)) < 0 && DirReadObjectInfo(ctx, group, stored, &info) == kDirOk) {
        static_cast<void>(AddGroupRow(stored, info.baseClass));
    }
}

int CNTUserPage_Groups::FindRow(const char* name) const {
    for (int row = 0; row < m_groupList.GetCount(); ++row) {
        const auto* item = static_cast<const CListItem*>(m_groupList.GetItemDataPtr(row));
        if (item != nullptr && SameName(item->m_name, name)) {
            return row;
        }
    }
    return -1;
}

void CNTUserPage_Groups::EnableControl(int id, BOOL enable) {
    if (CWnd* control = GetDlgItem(id)) {
        control->EnableWindow(enable);
    }
}

void CNTUserPage_Groups::NotifyModified() {
    m_changed = TRUE;
    SendMessage(kMsgPageChanged, reinterpret_cast<WPARAM>(m_hWnd), 1 << 16);
}

void CNTUserPage_Groups::OnSelectionChange() {
    const int focused = m_groupList.GetCaretIndex();
    const auto* item =
        focused >= 0 ? static_cast<const CListItem*>(m_groupList.GetItemDataPtr(focused)) : nullptr;
    // Choosing a primary group that the page may not write would be lost on apply.
    const BOOL global = item != nullptr && item->m_kind == kListItemGlobalGroup;
    EnableControl(kIdcUserGroupsSetPrimary, global && m_mayWrite && m_primaryKnown);
    if (m_mayWrite) {
        EnableControl(kIdcUserGroupsRemove, m_groupList.GetSelCount() > 0);
    }
}

void CNTUserPage_Groups::OnAdd() {
    CSelectionDialog dialog(this);
    dialog.m_container = m_container;
    dialog.AddClassEntry(kClassNtLocalGroup, m_localBitmap, kListItemLocalGroup);
    dialog.AddClassEntry(kClassNtGlobalGroup, m_globalBitmap, kListItemGlobalGroup);
    char context[kQueryContextBufferSize] = {};
    static_cast<void>(HostQueryContext(0, context));
    if (dialog.DoModal() != IDOK) {
        return;
    }
    CDirContext dir;
    if (!dir.IsOpen()) {
        return;
    }
    for (INT_PTR i = 0; i < dialog.m_result.GetSize(); ++i) {
        const CString& picked = dialog.m_result[i];
        if (FindRow(picked) >= 0) {
            continue;
        }
        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        if (DirReadObjectInfo(dir.Get(), MakeFullName(picked, m_container), stored, &info) != kDirOk ||
            !AddGroupRow(stored, info.baseClass)) {
            continue;
        }
        NotifyModified();
    }
}

void CNTUserPage_Groups::OnRemove() {
    const int count = m_groupList.GetSelCount();
    if (count >= 1) {
        std::vector<int> rows(static_cast<size_t>(count));
        const int selected = m_groupList.GetSelItems(count, rows.data());
        if (selected > 1) {
            m_groupList.SetRedraw(FALSE);
        }
        for (int i = selected - 1; i >= 0; --i) {
            const int row = rows[static_cast<size_t>(i)];
            const auto* item = static_cast<const CListItem*>(m_groupList.GetItemDataPtr(row));
            if (item == nullptr) {
                continue;
            }
            if (!m_primaryGroup.IsEmpty() && SameName(item->m_name, m_primaryGroup)) {
                AfxMessageBox(kMsgPrimaryGroupNotRemoved);
                continue;
            }
            m_groupList.DeleteString(static_cast<UINT>(row));
            NotifyModified();
        }
        if (selected > 1) {
            m_groupList.SetRedraw(TRUE);
            m_groupList.Invalidate();
        }
    }
    if (m_groupList.GetCount() == 0 || m_groupList.GetSelCount() < 1) {
        EnableControl(kIdcUserGroupsRemove, FALSE);
        EnableControl(kIdcUserGroupsSetPrimary, FALSE);
    }
}

void CNTUserPage_Groups::OnSetPrimary() {
    const int focused = m_groupList.GetCaretIndex();
    const auto* item =
        focused >= 0 ? static_cast<const CListItem*>(m_groupList.GetItemDataPtr(focused)) : nullptr;
    if (item == nullptr || item->m_kind != kListItemGlobalGroup) {
        return;
    }
    m_primaryGroup = item->m_name;
    m_primaryChosen = TRUE;
    UpdateData(FALSE);
    NotifyModified();
}

LONG CNTUserPage_Groups::WriteChanges(const char* /*objectName*/) {
    if (!m_changed || !m_mayWrite) {
        return 0;
    }
    const CString user = m_user;
    const CString container = m_container;
    CDirContext dir;
    if (dir.IsOpen()) {
        const int32_t ctx = dir.Get();
        // Only what the person changed is written, each value against the lists as they stand now: another
        // administrator may have changed them since the page was loaded, and that change stays.
        CStringArray listed;
        for (int row = 0; row < m_groupList.GetCount(); ++row) {
            if (const auto* item = static_cast<const CListItem*>(m_groupList.GetItemDataPtr(row))) {
                listed.Add(MakeFullName(item->m_name, container));
            }
        }
        for (INT_PTR i = 0; i < m_keptMemberships.GetSize(); ++i) {
            listed.Add(m_keptMemberships[i]);
        }
        const CString primary = MakeFullName(m_primaryGroup, container);
        MembershipWrite written =
            WriteMembershipChange(ctx, user, m_membershipsRead, listed,
                                  m_primaryChosen ? static_cast<const char*>(primary) : nullptr);
        for (INT_PTR i = 0; i < written.keptPrimary.GetSize(); ++i) {
            KeepRow(ctx, written.keptPrimary[i]);
        }
        // What the page stands for from here: the next apply writes only what changes after this one.
        const CStringArray& now = written.now;
        m_membershipsRead.RemoveAll();
        for (INT_PTR i = 0; i < now.GetSize(); ++i) {
            m_membershipsRead.Add(now[i]);
        }
    }
    m_primaryChosen = FALSE;
    m_changed = FALSE;
    return 0;
}
