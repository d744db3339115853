// The member pages of NT global and local groups as an administrator meets them: open the group's details,
// add members through the selection dialog, remove them, apply, and find both sides of every membership in
// the directory.
#include "../users/UserPagesWorld.h"

#include "module/core/SelectionDialog.h"
#include "module/pages/groups/GroupPage_Members.h"
#include "platform/dirclient/DirClient.h"

namespace {

constexpr char kPageTitle[] = "Members";
constexpr char kBen[] = "Ben.NTD.Corp";
constexpr char kStaff[] = "Staff.NTD.Corp";
constexpr char kOtherDomain[] = "NTD2.Corp";
constexpr char kFarUser[] = "Ann.NTD2.Corp";
constexpr char kFarGroup[] = "Far.NTD2.Corp";

} // namespace

class GroupMembersPageTest : public UserPagesWorld {
protected:
    void SetUp() override {
        UserPagesWorld::SetUp();
        AddObject(kBen, kClassNtUser);
        AddObject(kStaff, kClassNtGlobalGroup);
        AddObject(kOtherDomain, kClassNtDomain);
        AddObject(kFarUser, kClassNtUser);
        AddObject(kFarGroup, kClassNtGlobalGroup);
    }

    // Opens the group's details as the host does and makes its members page current.
    HWND OpenMembers(const char* groupClass, const std::string& group) {
        OpenDetails(groupClass, group);
        if (!m_sheet || !m_sheet->IsOpen()) {
            ADD_FAILURE() << "no sheet";
            return nullptr;
        }
        const int index = m_sheet->FindPage(kPageTitle);
        EXPECT_TRUE(m_sheet->SetCurrentPage(index));
        return m_sheet->Page(index);
    }

    // Both sides of a membership, as a tool that keeps them in step writes them.
    static void Join(const std::string& member, const std::string& group) {
        Put(group, kAttrMember, kSyntaxDistinguishedName, member);
        Put(member, kAttrGroupMembership, kSyntaxDistinguishedName, group);
    }
    static std::vector<std::string> Members(const std::string& group) {
        return Values(group, kAttrMember, kSyntaxDistinguishedName);
    }
    static std::vector<std::string> Memberships(const std::string& member) {
        return Values(member, kAttrGroupMembership, kSyntaxDistinguishedName);
    }

    // Clicks Add and picks `rows` in the selection dialog.
    void AddThroughDialog(HWND page, std::vector<std::string> rows) {
        m_user->Expect(kIddSelection, [rows](ModalContext& modal) {
            EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, rows), UiActionError::None);
            EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
        });
        ASSERT_EQ(Click(page, kIdcGroupMembersAdd), UiActionError::None);
    }
    void RemoveRows(HWND page, std::vector<std::string> rows) {
        ASSERT_EQ(SelectItems(page, kIdcGroupMembersList, rows), UiActionError::None);
        ASSERT_EQ(Click(page, kIdcGroupMembersRemove), UiActionError::None);
    }

    static void MakeAlias(const std::string& alias, const std::string& target) {
        CDirContext dir;
        DirBuffer* buffer = nullptr;
        ASSERT_EQ(DirAllocBuffer(kDirBufferSmall, &buffer), kDirOk);
        ASSERT_EQ(DirInitBuffer(dir.Get(), kDirOpAdd, buffer), kDirOk);
        ASSERT_EQ(DirPutAttrName(dir.Get(), buffer, kAttrObjectClass), kDirOk);
        ASSERT_EQ(DirPutAttrValue(dir.Get(), buffer, kSyntaxClassName, "Alias"), kDirOk);
        ASSERT_EQ(DirPutAttrName(dir.Get(), buffer, "Aliased Object Name"), kDirOk);
        ASSERT_EQ(DirPutAttrValue(dir.Get(), buffer, kSyntaxDistinguishedName, target.c_str()), kDirOk);
        EXPECT_EQ(DirAddObject(dir.Get(), alias.c_str(), 0, 0, buffer), kDirOk);
        ASSERT_EQ(DirFreeBuffer(buffer), kDirOk);
    }
};

TEST_F(GroupMembersPageTest, EachGroupShowsItsMembersPageAfterItsIdentificationWithItsOwnTemplateAndHelp) {
    struct PageCase {
        const char* groupClass;
        const char* group;
        UINT templateId;
        UINT help;
    };
    for (const PageCase& c : {PageCase{kClassNtGlobalGroup, kGlobalGroup, kIddGlobalGroupMembers, 23},
                              PageCase{kClassNtLocalGroup, kLocalGroup, kIddLocalGroupMembers, 26}}) {
        SCOPED_TRACE(c.group);
        Prompter::Instance().Reset();
        HWND page = OpenMembers(c.groupClass, c.group);
        ASSERT_EQ(m_sheet->PageCount(), 2);
        EXPECT_EQ(m_sheet->PageTitle(0), "Identification");
        EXPECT_EQ(m_sheet->PageTitle(1), kPageTitle);
        EXPECT_EQ(GetDialogTemplateId(page), c.templateId);
        EXPECT_TRUE(Enabled(page, kIdcGroupMembersAdd));
        EXPECT_FALSE(Enabled(page, kIdcGroupMembersRemove));
        EXPECT_EQ(SendMessageA(page, kMsgPageHelp, 0, 0), 0);
        ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
        EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, c.help);
        EXPECT_EQ(SendMessageA(page, kMsgPageValidate, 0, 0), 1);
        m_sheet->Close(kEndPagesCancel);
    }
}

TEST_F(GroupMembersPageTest, MembersPickedInTheSelectionDialogAreStoredOnBothSides) {
    HWND page = OpenMembers(kClassNtLocalGroup, kLocalGroup);
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        // A local group takes accounts and global groups of its own NT system.
        EXPECT_EQ(Rows(modal.window, kIdcSelectionList),
                  (std::vector<std::string>{"Admins", "Ann", "Ben", "Staff"}));
        EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {"Ann", "Staff"}), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });
    ASSERT_EQ(Click(page, kIdcGroupMembersAdd), UiActionError::None);
    EXPECT_EQ(Rows(page, kIdcGroupMembersList), (std::vector<std::string>{"Ann", "Staff"}));
    EXPECT_EQ(m_sheet->Changes().size(), 2u) << "one report a member added";
    EXPECT_TRUE(Members(kLocalGroup).empty()) << "nothing is written before the sheet is applied";

    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Members(kLocalGroup), (std::vector<std::string>{kUser, kStaff}));
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kLocalGroup}));
    EXPECT_EQ(Memberships(kStaff), (std::vector<std::string>{kLocalGroup}));
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(GroupMembersPageTest, AMemberWhoseGroupIsThisGlobalGroupIsKeptOnlyByTheGlobalPage) {
    struct RemoveCase {
        const char* groupClass;
        const char* group;
        std::vector<int> shown;
        std::vector<std::string> rowsLeft;
        std::vector<std::string> membersLeft;
    };
    const RemoveCase cases[] = {
        {kClassNtGlobalGroup, kGlobalGroup, {static_cast<int>(kMsgMemberPrimaryGroup)}, {"Ann"}, {kUser}},
        {kClassNtLocalGroup, kLocalGroup, {}, {}, {}},
    };
    for (const RemoveCase& c : cases) {
        SCOPED_TRACE(c.group);
        Prompter::Instance().Reset();
        Join(kUser, c.group);
        Join(kBen, c.group);
        // Only a global group can be a primary group; the local page never asks.
        if (std::string(c.groupClass) == kClassNtGlobalGroup) {
            Put(kUser, kAttrPrimaryGroup, kSyntaxDistinguishedName, c.group);
        }
        HWND page = OpenMembers(c.groupClass, c.group);
        RemoveRows(page, {"Ann", "Ben"});
        EXPECT_EQ(ShownIds(), c.shown);
        EXPECT_EQ(Rows(page, kIdcGroupMembersList), c.rowsLeft);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Members(c.group), c.membersLeft);
        EXPECT_TRUE(Memberships(kBen).empty());
    }
}

TEST_F(GroupMembersPageTest, AMemberAlreadyListedOrAnAliasIsNotAdded) {
    Join(kUser, kGlobalGroup);
    MakeAlias("BenAlias.NTD.Corp", kBen);
    HWND page = OpenMembers(kClassNtGlobalGroup, kGlobalGroup);
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        // The dialog lists the alias as the NT user it names.
        EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {"Ann", "BenAlias"}), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });
    ASSERT_EQ(Click(page, kIdcGroupMembersAdd), UiActionError::None);
    EXPECT_EQ(Rows(page, kIdcGroupMembersList), (std::vector<std::string>{"Ann"}));
    EXPECT_TRUE(m_sheet->Changes().empty());
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Members(kGlobalGroup), (std::vector<std::string>{kUser}));
    EXPECT_TRUE(Memberships(kBen).empty());
}

TEST_F(GroupMembersPageTest, AMemberThatAlreadyNamesTheGroupGetsNoSecondValue) {
    Put(kUser, kAttrGroupMembership, kSyntaxDistinguishedName, kGlobalGroup);
    HWND page = OpenMembers(kClassNtGlobalGroup, kGlobalGroup);
    AddThroughDialog(page, {"Ann"});
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Members(kGlobalGroup), (std::vector<std::string>{kUser}));
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kGlobalGroup}));
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(GroupMembersPageTest, RemovingAMemberAndAddingItAgainKeepsTheMembership) {
    Join(kUser, kGlobalGroup);
    HWND page = OpenMembers(kClassNtGlobalGroup, kGlobalGroup);
    RemoveRows(page, {"Ann"});
    EXPECT_FALSE(Enabled(page, kIdcGroupMembersRemove));
    AddThroughDialog(page, {"Ann"});
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Members(kGlobalGroup), (std::vector<std::string>{kUser}));
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kGlobalGroup}));
}

TEST_F(GroupMembersPageTest, APageWhoseListWasNotChangedWritesNothing) {
    // One side only, as an interruption leaves it: a write would put the account's side back.
    Put(kGlobalGroup, kAttrMember, kSyntaxDistinguishedName, kUser);
    OpenMembers(kClassNtGlobalGroup, kGlobalGroup);
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_TRUE(Memberships(kUser).empty());
}

TEST_F(GroupMembersPageTest, WithoutTheWriteRightTheMembersAreShownButCannotBeChanged) {
    Join(kUser, kGlobalGroup);
    SignIn(kReader);
    HWND page = OpenMembers(kClassNtGlobalGroup, kGlobalGroup);
    EXPECT_EQ(Rows(page, kIdcGroupMembersList), (std::vector<std::string>{"Ann"}));
    EXPECT_FALSE(Enabled(page, kIdcGroupMembersAdd));
    ASSERT_EQ(SelectItems(page, kIdcGroupMembersList, {"Ann"}), UiActionError::None);
    EXPECT_FALSE(Enabled(page, kIdcGroupMembersRemove));
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Members(kGlobalGroup), (std::vector<std::string>{kUser}));
}

TEST_F(GroupMembersPageTest, AMemberOfAnotherContainerIsShownWholeAndKeepsItsOwnName) {
    // A local group may hold a global group of another domain; a user of that domain has the leaf of one here.
    Join(kFarGroup, kLocalGroup);
    Join(kFarUser, kLocalGroup);
    Join(kBen, kLocalGroup);
    HWND page = OpenMembers(kClassNtLocalGroup, kLocalGroup);
    EXPECT_EQ(Rows(page, kIdcGroupMembersList),
              (std::vector<std::string>{"Ann.NTD2.Corp", "Ben", "Far.NTD2.Corp"}));
    AddThroughDialog(page, {"Ann"});
    RemoveRows(page, {"Ben"});
    ASSERT_TRUE(m_sheet->Ok());
    // Members that stay keep their places; a new one comes last.
    EXPECT_EQ(Members(kLocalGroup), (std::vector<std::string>{kFarGroup, kFarUser, kUser}));
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kLocalGroup}));
    EXPECT_EQ(Memberships(kFarUser), (std::vector<std::string>{kLocalGroup}));
    EXPECT_TRUE(Memberships(kBen).empty());
}

TEST_F(GroupMembersPageTest, AMemberThePageCannotReadIsKeptByTheNextWrite) {
    // The writer may browse and change everything in the group's domain, but not see the other domain: the
    // tree is not open to everybody.
    const std::string writer = "Writer.Corp";
    AddObject(writer, kClassUser);
    {
        CDirContext dir;
        DirObjectACL everybody{const_cast<char*>(kAclEntryRights), const_cast<char*>("[Public]"),
                               kDirEntryBrowse};
        ASSERT_EQ(RemoveAttrValue(dir.Get(), "[Root]", kAttrAcl, kSyntaxObjectACL, &everybody), 1)
            << GetLastAttrError();
    }
    Grant(kDomain, writer, kAclEntryRights, kDirEntryBrowse);
    Grant(kDomain, writer, kAclAllAttributesRights, kDirRightRead | kDirRightCompare | kDirRightWrite);
    Join(kFarGroup, kLocalGroup);
    Join(kUser, kLocalGroup);
    SignIn(writer);
    HWND page = OpenMembers(kClassNtLocalGroup, kLocalGroup);
    EXPECT_EQ(Rows(page, kIdcGroupMembersList), (std::vector<std::string>{"Ann"}));
    RemoveRows(page, {"Ann"});
    AddThroughDialog(page, {"Ben"});
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Members(kLocalGroup), (std::vector<std::string>{kFarGroup, kBen}));
    EXPECT_EQ(Memberships(kFarGroup), (std::vector<std::string>{kLocalGroup}));
    EXPECT_EQ(Memberships(kBen), (std::vector<std::string>{kLocalGroup}));
    EXPECT_TRUE(Memberships(kUser).empty());
}

TEST_F(GroupMembersPageTest, AnAccountThatKeepsNamingTheGroupStaysItsMember) {
    // The writer may change the group's members but not Ben's own list of groups.
    const std::string writer = "Writer.Corp";
    AddObject(writer, kClassUser);
    Grant(kDomain, writer, kAclEntryRights, kDirEntryBrowse);
    Grant(kDomain, writer, kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
    Grant(kGlobalGroup, writer, kAttrMember, kDirRightWrite);
    Grant(kUser, writer, kAttrGroupMembership, kDirRightWrite);
    Join(kUser, kGlobalGroup);
    Join(kBen, kGlobalGroup);
    SignIn(writer);
    HWND page = OpenMembers(kClassNtGlobalGroup, kGlobalGroup);
    RemoveRows(page, {"Ann", "Ben"});
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(ShownIds(), (std::vector<int>{static_cast<int>(kFmtMemberListNotChanged)}));
    EXPECT_EQ(Members(kGlobalGroup), (std::vector<std::string>{kBen}));
    EXPECT_EQ(Memberships(kBen), (std::vector<std::string>{kGlobalGroup}));
    EXPECT_TRUE(Memberships(kUser).empty());
}

TEST_F(GroupMembersPageTest, AMemberMadeThePrimaryGroupsMemberAfterTheRemoveClickStaysAtTheApply) {
    Join(kUser, kGlobalGroup);
    HWND page = OpenMembers(kClassNtGlobalGroup, kGlobalGroup);
    RemoveRows(page, {"Ann"});
    EXPECT_TRUE(ShownIds().empty());
    // Another administrator makes this group Ann's primary group before the apply.
    Put(kUser, kAttrPrimaryGroup, kSyntaxDistinguishedName, kGlobalGroup);
    EXPECT_EQ(m_sheet->Apply().refusedPage, -1);
    EXPECT_EQ(ShownIds(), (std::vector<int>{static_cast<int>(kMsgMemberPrimaryGroup)}));
    EXPECT_EQ(Rows(page, kIdcGroupMembersList), (std::vector<std::string>{"Ann"}));
    EXPECT_EQ(Members(kGlobalGroup), (std::vector<std::string>{kUser}));
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kGlobalGroup}));
    EXPECT_EQ(Values(kUser, kAttrPrimaryGroup, kSyntaxDistinguishedName),
              (std::vector<std::string>{kGlobalGroup}));
    m_sheet->Close(kEndPagesCancel);
}
