#include "module/pages/groups/GroupPage_Members.h"

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

#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr char kClassAliasObject[] = "Alias";

bool SameName(const char* a, const char* b) {
    return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}

// Directory names match without regard to ASCII letter case; a set of them answers in constant time, since
// a group may hold tens of thousands of members.
class NameSet {
public:
    void Add(const char* name) { m_names.insert(Key(name)); }
    [[nodiscard]] bool Holds(const char* name) const { return m_names.count(Key(name)) != 0; }

private:
    static std::string Key(const char* name) {
        std::string key(name);
        for (char& c : key) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return key;
    }
    std::unordered_set<std::string> m_names;
};

NameSet SetOf(const CStringArray& names) {
    NameSet set;
    for (INT_PTR i = 0; i < names.GetSize(); ++i) {
        set.Add(names[i]);
    }
    return set;
}

// A read the directory refused: what it hides must be neither shown as empty nor overwritten.
bool ReadRefused() {
    const int32_t code = GetLastAttrError();
    return code == kDirErrNoRight || code == kDirErrIdentityGone;
}

// A row of the member list. It shows the member's leaf, or its full name when it lives outside the group's
// container, and keeps the full name it is stored under, so that a write names the same object.
class CMemberItem : public CListItem {
public:
    using CListItem::CListItem;
    CString m_fullName;
};

const CMemberItem* ItemOf(const CListBox& list, int row) {
    return static_cast<const CMemberItem*>(list.GetItemDataPtr(row));
}

} // namespace

BEGIN_MESSAGE_MAP(CGroupPage_Members, CDialog)
ON_BN_CLICKED(kIdcGroupMembersAdd, OnAdd)
ON_BN_CLICKED(kIdcGroupMembersRemove, OnRemove)
ON_LBN_SELCHANGE(kIdcGroupMembersList, OnSelectionChange)
ON_WM_DRAWITEM()
ON_WM_MEASUREITEM()
ON_WM_COMPAREITEM()
ON_WM_DELETEITEM()
END_MESSAGE_MAP()

CGroupPage_Members::CGroupPage_Members(UINT templateId, UINT help, BOOL globalGroup)
    : COwnerDrawnList(kIdsGroupMembersTitle, templateId), m_help(help), m_globalGroup(globalGroup) {
    static_cast<void>(m_userBitmap.LoadBitmap("CKELNTUSERBITMAP"));
    static_cast<void>(m_hybridBitmap.LoadBitmap(kIdbHybridUser));
    if (!m_globalGroup) {
        static_cast<void>(m_globalBitmap.LoadBitmap("CKELNTGLOBALGROUPBITMAP"));
    }
}

CGroupPage_Members::~CGroupPage_Members() = default;

BOOL CGroupPage_Members::Help() {
    return ShowHelp(m_help);
}

void CGroupPage_Members::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kIdcGroupMembersList, m_memberList);
}

void CGroupPage_Members::ForgetLoaded() {
    m_changed = FALSE;
    m_mayWrite = FALSE;
    m_group.Empty();
    m_container.Empty();
    m_membersRead.RemoveAll();
    m_removed.RemoveAll();
}

BOOL CGroupPage_Members::OnInitDialog() {
    // The page serves sheet after sheet: nothing of the previous group may be shown or written.
    ForgetLoaded();
    CDialog::OnInitDialog();

    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) != 0) {
        return TRUE;
    }
    m_group = GetCurrentObjectName();
    m_container = GetContainerName(m_group);
    CDirContext dir;
    if (!dir.IsOpen()) {
        return TRUE;
    }
    const bool read =
        ReadAttrValues(dir.Get(), m_group, kAttrMember, kSyntaxDistinguishedName, &m_membersRead) == 1;
    // A list the person could not see is never changed: nobody could tell what the change would meet.
    const bool known = read || !ReadRefused();
    if (!read) {
        m_membersRead.RemoveAll();
    }
    for (INT_PTR i = 0; i < m_membersRead.GetSize(); ++i) {
        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        // A member that cannot be read is not listed; the write keeps it all the same.
        if (DirReadObjectInfo(dir.Get(), m_membersRead[i], stored, &info) == kDirOk) {
            static_cast<void>(AddMemberRow(stored, info.baseClass));
        }
    }
    char identity[kDirMaxNameBytes + 1] = {};
    uint32_t rights = 0;
    if (known && DirWhoAmI(dir.Get(), identity) == kDirOk &&
        DirGetEffectiveRights(dir.Get(), identity, m_group, kAttrMember, &rights) == kDirOk &&
        (rights & kRightWrite) != 0) {
        EnableControl(kIdcGroupMembersAdd, TRUE);
        m_mayWrite = TRUE;
    }
    return TRUE;
}

BOOL CGroupPage_Members::AddMemberRow(const char* storedName, const char* baseClass) {
    CString leaf;
    CString container;
    SplitFullName(storedName, &leaf, &container);
    // A member of another container is shown whole, so that it is not taken for the object of that leaf
    // here.
    std::unique_ptr<CMemberItem> item(
        new (std::nothrow) CMemberItem(SameName(container, m_container) ? leaf : CString(storedName)));
    if (!item) {
        return FALSE;
    }
    item->m_fullName = storedName;
    if (std::strcmp(baseClass, kClassNtUser) == 0) {
        item->m_kind = kListItemNtUser;
        item->m_bitmap = m_userBitmap;
    } else if (std::strcmp(baseClass, kClassHybridUser) == 0) {
        item->m_kind = kListItemHybridUser;
        item->m_bitmap = m_hybridBitmap;
    } else if (!m_globalGroup && std::strcmp(baseClass, kClassNtGlobalGroup) == 0) {
        item->m_kind = kListItemGlobalGroup;
        item->m_bitmap = m_globalBitmap;
    }
    // The list owns the row from here; OnDeleteItem frees it.
    if (m_memberList.AddString(reinterpret_cast<LPCSTR>(item.get())) < 0) {
        return FALSE;
    }
    static_cast<void>(item.release());
    return TRUE;
}

void CGroupPage_Members::KeepRow(int32_t ctx, const char* member) {
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    if (DirReadObjectInfo(ctx, member, stored, &info) == kDirOk) {
        static_cast<void>(AddMemberRow(stored, info.baseClass));
    }
    for (INT_PTR r = m_removed.GetSize() - 1; r >= 0; --r) {
        if (SameName(m_removed[r], member)) {
            m_removed.RemoveAt(r);
        }
    }
}

int CGroupPage_Members::FindRow(const char* shown) const {
    for (int row = 0; row < m_memberList.GetCount(); ++row) {
        const CMemberItem* item = ItemOf(m_memberList, row);
        if (item != nullptr && SameName(item->m_name, shown)) {
            return row;
        }
    }
    return -1;
}

void CGroupPage_Members::EnableControl(int id, BOOL enable) {
    if (CWnd* control = GetDlgItem(id)) {
        control->EnableWindow(enable);
    }
}

void CGroupPage_Members::NotifyModified() {
    m_changed = TRUE;
    NotifyChanged(TRUE);
}

void CGroupPage_Members::OnSelectionChange() {
    if (m_mayWrite) {
        EnableControl(kIdcGroupMembersRemove, m_memberList.GetSelCount() > 0);
    }
}

void CGroupPage_Members::OnAdd() {
    CSelectionDialog dialog(this);
    dialog.m_container = m_container;
    dialog.AddClassEntry(kClassNtUser, m_userBitmap, kListItemNtUser);
    dialog.AddClassEntry(kClassHybridUser, m_hybridBitmap, kListItemHybridUser);
    if (!m_globalGroup) {
        dialog.AddClassEntry(kClassNtGlobalGroup, m_globalBitmap, kListItemGlobalGroup);
    }
    if (dialog.DoModal() != IDOK) {
        return;
    }
    // Without alias dereferencing an alias shows as what it is, and an alias never becomes a member.
    CDirContext dir(CDirContext::Kind::Alt);
    if (!dir.IsOpen()) {
        return;
    }
    NameSet shown;
    for (int row = 0; row < m_memberList.GetCount(); ++row) {
        if (const CMemberItem* item = ItemOf(m_memberList, row)) {
            shown.Add(item->m_name);
        }
    }
    for (INT_PTR i = 0; i < dialog.m_result.GetSize(); ++i) {
        const CString& picked = dialog.m_result[i];
        if (shown.Holds(picked)) {
            continue;
        }
        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        if (DirReadObjectInfo(dir.Get(), MakeFullName(picked, m_container), stored, &info) != kDirOk ||
            std::strcmp(info.baseClass, kClassAliasObject) == 0 || !AddMemberRow(stored, info.baseClass)) {
            continue;
        }
        shown.Add(picked);
        // Removed and added again before the write: the membership simply stays.
        for (INT_PTR r = m_removed.GetSize() - 1; r >= 0; --r) {
            if (SameName(m_removed[r], stored)) {
                m_removed.RemoveAt(r);
            }
        }
        NotifyModified();
    }
}

bool CGroupPage_Members::IsPrimaryGroupOf(int32_t ctx, const char* member) const {
    CString primary;
    // A primary group that cannot be read does not hold the member back.
    return ReadStringAttr(ctx, member, kAttrPrimaryGroup, kSyntaxDistinguishedName, &primary) == 1 &&
           SameName(primary, m_group);
}

void CGroupPage_Members::OnRemove() {
    const int count = m_memberList.GetSelCount();
    if (count >= 1) {
        CDirContext dir;
        std::vector<int> rows(static_cast<size_t>(count));
        const int selected = m_memberList.GetSelItems(count, rows.data());
        if (selected > 1) {
            m_memberList.SetRedraw(FALSE);
        }
        for (int i = selected - 1; i >= 0; --i) {
            const int row = rows[static_cast<size_t>(i)];
            const CMemberItem* item = ItemOf(m_memberList, row);
            if (item == nullptr) {
                continue;
            }
            if (m_globalGroup && dir.IsOpen() && IsPrimaryGroupOf(dir.Get(), item->m_fullName)) {
                AfxMessageBox(kMsgMemberPrimaryGroup);
                continue;
            }
            m_removed.Add(item->m_fullName);
            m_memberList.DeleteString(static_cast<UINT>(row));
        }
        if (selected > 1) {
            m_memberList.SetRedraw(TRUE);
            m_memberList.Invalidate();
        }
    }
    if (m_memberList.GetCount() == 0 || m_memberList.GetSelCount() < 1) {
        EnableControl(kIdcGroupMembersRemove, FALSE);
    }
    NotifyModified();
}

BOOL CGroupPage_Members::WriteLinks(int32_t ctx) {
    const char* group = m_group;
    // Only what the person changed is written, each value against the lists as they stand now: another
    // administrator may have changed them since the page was loaded, and that change stays.
    CStringArray listed;
    for (int row = 0; row < m_memberList.GetCount(); ++row) {
        if (const CMemberItem* item = ItemOf(m_memberList, row)) {
            listed.Add(item->m_fullName);
        }
    }
    // A stored member the page could not list was never removed by the person.
    const NameSet shown = SetOf(listed);
    const NameSet removed = SetOf(m_removed);
    for (INT_PTR i = 0; i < m_membersRead.GetSize(); ++i) {
        if (!shown.Holds(m_membersRead[i]) && !removed.Holds(m_membersRead[i])) {
            listed.Add(m_membersRead[i]);
        }
    }
    CStringArray leaving;
    CStringArray joining;
    DiffAttrValues(m_membersRead, listed, &leaving, &joining);

    // A leave takes the account's side first, then the group's: an account whose own list keeps naming the
    // group stays its member, so that both sides still agree.
    CStringArray leaves;
    for (INT_PTR i = 0; i < leaving.GetSize(); ++i) {
        const CString& member = leaving[i];
        if (m_globalGroup && IsPrimaryGroupOf(ctx, member)) {
            // Made the member's primary group since the Remove click, by another administrator: the member
            // stays, as the click would have kept it.
            AfxMessageBox(kMsgMemberPrimaryGroup);
            KeepRow(ctx, member);
            continue;
        }
        if (m_globalGroup) {
            // A primary group that could not be read goes first when it names this group; another primary
            // group stays ("no such value").
            static_cast<void>(
                RemoveAttrValue(ctx, member, kAttrPrimaryGroup, kSyntaxDistinguishedName, group));
        }
        if (RemoveAttrValue(ctx, member, kAttrGroupMembership, kSyntaxDistinguishedName, group) != 1 &&
            GetLastAttrError() != kDirErrNoSuchValue && GetLastAttrError() != kDirErrNoSuchObject) {
            FormatMessageBox(kFmtMemberListNotChanged, MB_OK, {static_cast<const char*>(member), group});
        } else {
            leaves.Add(member);
        }
    }

    // The group's "Member" takes the leaves and joins in one write where it can.
    CStringArray refused;
    const BOOL written =
        ChangeAttrValues(ctx, group, kAttrMember, kSyntaxDistinguishedName, &leaves, &joining, &refused) == 1;
    const NameSet notWritten = SetOf(refused);
    // A join names the group in the account only once the group holds the member; an account that already
    // names the group answers "exists".
    NameSet joinedNow;
    for (INT_PTR i = 0; i < joining.GetSize(); ++i) {
        const char* member = joining[i];
        if (notWritten.Holds(member)) {
            // The group did not take the new member, so no account may name it for them.
            FormatMessageBox(kFmtGroupMembersNotStored, MB_OK, {group, member});
            continue;
        }
        joinedNow.Add(member);
        if (AddAttrValue(ctx, member, kAttrGroupMembership, kSyntaxDistinguishedName, group) != 1 &&
            GetLastAttrError() != kDirErrValueExists) {
            FormatMessageBox(kFmtMemberListNotChanged, MB_OK, {member, group});
        }
    }

    // What the page stands for from here: the next apply writes only what changes after this one. A leave
    // or join the group did not take stays to be written again.
    const NameSet left = SetOf(leaves);
    CStringArray now;
    for (INT_PTR i = 0; i < m_membersRead.GetSize(); ++i) {
        const CString& stored = m_membersRead[i];
        if (!left.Holds(stored) || notWritten.Holds(stored)) {
            now.Add(stored);
        }
    }
    for (INT_PTR i = 0; i < joining.GetSize(); ++i) {
        if (joinedNow.Holds(joining[i])) {
            now.Add(joining[i]);
        }
    }
    m_membersRead.RemoveAll();
    for (INT_PTR i = 0; i < now.GetSize(); ++i) {
        m_membersRead.Add(now[i]);
    }
    return written;
}

LONG CGroupPage_Members::WriteChanges(const char* /*objectName*/) {
    if (!m_changed || !m_mayWrite) {
        return 0;
    }
    char context[kQueryContextBufferSize] = {};
    static_cast<void>(HostQueryContext(0, context));
    CDirContext dir;
    // A group that did not take the list stays modified, so that the next apply tries again.
    if (!dir.IsOpen() || WriteLinks(dir.Get()) != TRUE) {
        return 0;
    }
    m_removed.RemoveAll();
    m_changed = FALSE;
    return 0;
}

CGlobalGroupPage_Members::CGlobalGroupPage_Members()
    : CGroupPage_Members(kIddGlobalGroupMembers, kHelpGlobalGroupMembers, /*globalGroup=*/TRUE) {}

DLGPROC CGlobalGroupPage_Members::GetDialogProc() {
    return &SnapinPageDialogProc<CGlobalGroupPage_Members>;
}

CLocalGroupPage_Members::CLocalGroupPage_Members()
    : CGroupPage_Members(kIddLocalGroupMembers, kHelpLocalGroupMembers, /*globalGroup=*/FALSE) {}

DLGPROC CLocalGroupPage_Members::GetDialogProc() {
    return &SnapinPageDialogProc<CLocalGroupPage_Members>;
}
