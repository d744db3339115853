// The member pages of an NT global group and an NT local group: the group's members in an owner-drawn list,
// added through the member selection dialog and removed, and both sides of every membership written when the
// sheet is applied: the group's "Member" and each account's "KEL:Group Membership", in the order the
// directory's check can repair.
#pragma once

#include "module/core/OwnerDrawnList.h"
#include "module/pages/StayOpenPage.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/StringArray.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dialog.h"

#include <cstdint>

constexpr UINT kIdsGroupMembersTitle = 57390;
constexpr UINT kIddGlobalGroupMembers = 124;
constexpr UINT kIddLocalGroupMembers = 127;
constexpr int kIdcGroupMembersAdd = 1092;
constexpr int kIdcGroupMembersRemove = 1093;
constexpr int kIdcGroupMembersList = 1094;
constexpr UINT kHelpGlobalGroupMembers = 23;
constexpr UINT kHelpLocalGroupMembers = 26;
// A member whose primary group is this global group cannot leave it.
constexpr UINT kMsgMemberPrimaryGroup = 38;
// Format: group, account (%s, %s): the group's "Member" was not written, so no account names the group.
constexpr UINT kFmtGroupMembersNotStored = 57352;
// Format: account, group (%s, %s): the account's "KEL:Group Membership" could not be changed.
constexpr UINT kFmtMemberListNotChanged = 57353;
// The hybrid user bitmap of the resource library.
constexpr UINT kIdbHybridUser = 150;

// What the two pages share; the global group page guards primary groups, the local group page also lists
// global groups.
class CGroupPage_Members : public COwnerDrawnList<CStayOpenPage, kIdcGroupMembersList> {
public:
    ~CGroupPage_Members() override;

    BOOL Help() override;
    BOOL OnInitDialog() override;
    // Writes both sides of every membership added or removed since the load, when the person changed the
    // list and may write the group's "Member"; answers 0.
    LONG WriteChanges(const char* objectName);

protected:
    CGroupPage_Members(UINT templateId, UINT help, BOOL globalGroup);

    void DoDataExchange(CDataExchange* dx) override;
    void OnAdd();
    void OnRemove();
    void OnSelectionChange();
    DECLARE_MESSAGE_MAP()

private:
    void ForgetLoaded();
    // A row for the member the directory names `storedName`, of class `baseClass`.
    BOOL AddMemberRow(const char* storedName, const char* baseClass);
    // Lists the member the directory names `member` again, when the write had to keep it.
    void KeepRow(int32_t ctx, const char* member);
    [[nodiscard]] int FindRow(const char* shown) const;
    void EnableControl(int id, BOOL enable);
    void NotifyModified();
    // The stored primary group of `member` is this group.
    [[nodiscard]] bool IsPrimaryGroupOf(int32_t ctx, const char* member) const;
    // Takes the group off the accounts that left, then takes the leaves and joins into "Member", then names
    // the group in the accounts that joined. Answers TRUE when "Member" took every change.
    BOOL WriteLinks(int32_t ctx);

    const UINT m_help;
    const BOOL m_globalGroup;

    CListBox m_memberList;
    BOOL m_changed = FALSE;
    BOOL m_mayWrite = FALSE;
    // The group's full name and its container, as loaded.
    CString m_group;
    CString m_container;
    // The "Member" values the page stands for: as stored at load, then as its own writes left them. A write
    // sends only the difference between these and the list.
    CStringArray m_membersRead;
    // Full names of the members removed since the last write.
    CStringArray m_removed;

    CBitmap m_userBitmap;
    CBitmap m_hybridBitmap;
    CBitmap m_globalBitmap;
};

class CGlobalGroupPage_Members : public CGroupPage_Members {
public:
    CGlobalGroupPage_Members();
    DLGPROC GetDialogProc() override;
};

class CLocalGroupPage_Members : public CGroupPage_Members {
public:
    CLocalGroupPage_Members();
    DLGPROC GetDialogProc() override;
};
