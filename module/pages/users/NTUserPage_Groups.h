// The group membership page of an NT user: the NT global and local groups of the account's own NT system,
// shown by their names relative to it, added through the member selection dialog, removed, and the primary
// group chosen among the global groups. Both sides of each link are written: the account's
// "KEL:Group Membership" and the group's "Member", in the order the directory's check can repair.
#pragma once

#include "module/core/OwnerDrawnList.h"
#include "module/core/SnapinPage.h"
#include "module/pages/StayOpenPage.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/StringArray.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dialog.h"

constexpr UINT kIdsNTUserGroupsTitle = 57386;
constexpr UINT kIddNTUserGroups = 121;
constexpr int kIdcUserGroupsAdd = 1092;
constexpr int kIdcUserGroupsRemove = 1093;
constexpr int kIdcUserGroupsList = 1094;
constexpr int kIdcUserGroupsSetPrimary = 1222;
constexpr int kIdcUserGroupsPrimary = 1223;
constexpr int kIdcUserGroupsPrimaryLabel = 1224;
constexpr UINT kHelpNTUserGroupsDomain = 12;
constexpr UINT kHelpNTUserGroupsWorkgroup = 49;
// The primary group cannot be removed from the list.
constexpr UINT kMsgPrimaryGroupNotRemoved = 38;
// Format: group, account (%s, %s): the group did not take the account as a member, so the account does not
// name it either.
constexpr UINT kFmtGroupRefusedMember = 57352;

class CNTUserPage_Groups : public COwnerDrawnList<CStayOpenPage, kIdcUserGroupsList> {
public:
    CNTUserPage_Groups();
    ~CNTUserPage_Groups() override;

    DLGPROC GetDialogProc() override;
    BOOL Help() override;
    BOOL OnInitDialog() override;
    // Writes the links of the current object when the membership or primary group changed and the identity
    // may write the account's groups; answers 0.
    LONG WriteChanges(const char* objectName);

protected:
    // The hybrid user's page is this page on a template and help of its own.
    CNTUserPage_Groups(UINT templateId, UINT helpDomain, UINT helpWorkgroup);
    void DoDataExchange(CDataExchange* dx) override;
    void OnAdd();
    void OnRemove();
    void OnSetPrimary();
    void OnSelectionChange();
    DECLARE_MESSAGE_MAP()

private:
    void ForgetLoaded();
    void LoadPrimaryGroup(int32_t ctx);
    void LoadMemberships(int32_t ctx);
    // A row for the group the directory names `storedName`, of class `baseClass`.
    BOOL AddGroupRow(const char* storedName, const char* baseClass);
    // Lists the group the directory names `group` again, when the write had to keep it.
    void KeepRow(int32_t ctx, const char* group);
    [[nodiscard]] int FindRow(const char* name) const;
    void EnableControl(int id, BOOL enable);
    void NotifyModified();

    CListBox m_groupList;
    CString m_primaryGroup;
    BOOL m_mayWrite = FALSE;
    BOOL m_changed = FALSE;
    BOOL m_domainAccount = FALSE;
    // The memberships the page stands for: as read at load, then as its own writes left them. A write sends
    // only the difference between these and the list, so that what another administrator changed meanwhile
    // stays; a group removed and added again before the write is no change at all.
    CStringArray m_membershipsRead;
    CBitmap m_globalBitmap;
    CBitmap m_localBitmap;

    // Memberships the page does not list (the group cannot be read, or lies outside the account's NT
    // system): a write keeps them, since the person never saw them to remove them.
    CStringArray m_keptMemberships;
    // The primary group was read (or the account has none): only then may the page change it.
    BOOL m_primaryKnown = FALSE;
    // The person chose a primary group since the last write.
    BOOL m_primaryChosen = FALSE;
    CString m_container;
    // The account as loaded: the apply writes the links of the account the person saw.
    CString m_user;
    UINT m_helpDomain = kHelpNTUserGroupsDomain;
    UINT m_helpWorkgroup = kHelpNTUserGroupsWorkgroup;
};
