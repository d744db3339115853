// The group membership page of an NT user as an administrator meets it: open the user's details, add
// groups through the selection dialog, remove them, choose the primary group, apply, and find both sides of
// every link in the directory.
#include "UserPagesWorld.h"

#include "module/core/SelectionDialog.h"
#include "module/pages/users/NTUserPage_Groups.h"

namespace {

constexpr char kStaff[] = "Staff.NTD.Corp";
constexpr char kPageTitle[] = "Groups";

} // namespace

class NTUserGroupsPageTest : public UserPagesWorld {
protected:
    void SetUp() override {
        UserPagesWorld::SetUp();
        AddObject(kStaff, kClassNtGlobalGroup);
    }

    // Both sides of a link, as a tool that keeps them in step writes them.
    static void Join(const std::string& user, const std::string& group) {
        Put(group, kAttrMember, kSyntaxDistinguishedName, user);
        Put(user, kAttrGroupMembership, kSyntaxDistinguishedName, group);
    }
    static std::vector<std::string> Memberships(const std::string& user) {
        return Values(user, kAttrGroupMembership, kSyntaxDistinguishedName);
    }
    static std::vector<std::string> Members(const std::string& group) {
        return Values(group, kAttrMember, kSyntaxDistinguishedName);
    }
    static std::vector<std::string> Primary(const std::string& user) {
        return Values(user, kAttrPrimaryGroup, kSyntaxDistinguishedName);
    }

    // Clicks add and picks `rows` in the selection dialog.
    void AddThroughDialog(HWND page, std::vector<std::string> rows) {
        m_user->Expect(kIddSelection, [rows](ModalContext& modal) {
            EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, rows), UiActionError::None);
            EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
        });
        ASSERT_EQ(Click(page, kIdcUserGroupsAdd), UiActionError::None);
    }
};

TEST_F(NTUserGroupsPageTest, GroupsPickedInTheSelectionDialogAreStoredByTheirFullNamesOnBothSides) {
    HWND page = OpenPage(kUser, kPageTitle);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(GetDialogTemplateId(page), kIddNTUserGroups);
    EXPECT_TRUE(Rows(page, kIdcUserGroupsList).empty());
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        // The dialog lists the domain's groups by their names there.
        HWND list = GetDlgItem(modal.window, kIdcSelectionList);
        EXPECT_EQ(ListRowText(list, 0), "Admins");
        EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {"Admins", "Locals"}), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });
    ASSERT_EQ(Click(page, kIdcUserGroupsAdd), UiActionError::None);
    EXPECT_EQ(Rows(page, kIdcUserGroupsList), (std::vector<std::string>{"Admins", "Locals"}));
    EXPECT_EQ(m_sheet->Changes().size(), 2u) << "one report a group added";
    EXPECT_TRUE(Memberships(kUser).empty()) << "nothing is written before the sheet is applied";

    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kGlobalGroup, kLocalGroup}));
    EXPECT_EQ(Members(kGlobalGroup), (std::vector<std::string>{kUser}));
    EXPECT_EQ(Members(kLocalGroup), (std::vector<std::string>{kUser}));
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(NTUserGroupsPageTest, AGroupAlreadyListedIsNotAddedAgain) {
    Join(kUser, kGlobalGroup);
    HWND page = OpenPage(kUser, kPageTitle);
    AddThroughDialog(page, {"Admins"});
    EXPECT_EQ(Rows(page, kIdcUserGroupsList), (std::vector<std::string>{"Admins"}));
    EXPECT_TRUE(m_sheet->Changes().empty());
}

TEST_F(NTUserGroupsPageTest, ThePrimaryGroupIsShownByItsNameInTheDomainAndCannotBeRemoved) {
    Join(kUser, kGlobalGroup);
    Join(kUser, kStaff);
    Put(kUser, kAttrPrimaryGroup, kSyntaxDistinguishedName, kGlobalGroup);
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_EQ(Text(page, kIdcUserGroupsPrimary), "Admins");
    EXPECT_FALSE(Enabled(page, kIdcUserGroupsSetPrimary));

    ASSERT_EQ(SelectItems(page, kIdcUserGroupsList, {"Admins"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcUserGroupsRemove), UiActionError::None);
    EXPECT_EQ(ShownIds(), (std::vector<int>{static_cast<int>(kMsgPrimaryGroupNotRemoved)}));
    EXPECT_EQ(Rows(page, kIdcUserGroupsList), (std::vector<std::string>{"Admins", "Staff"}));

    // Staff becomes the primary group; then Admins can go.
    ASSERT_EQ(SelectItems(page, kIdcUserGroupsList, {"Staff"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcUserGroupsSetPrimary), UiActionError::None);
    EXPECT_EQ(Text(page, kIdcUserGroupsPrimary), "Staff");
    EXPECT_EQ(Rows(page, kIdcUserGroupsList), (std::vector<std::string>{"Admins", "Staff"}))
        << "choosing the primary group leaves the list as it is";
    ASSERT_EQ(SelectItems(page, kIdcUserGroupsList, {"Admins"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcUserGroupsRemove), UiActionError::None);
    EXPECT_EQ(Rows(page, kIdcUserGroupsList), (std::vector<std::string>{"Staff"}));
    EXPECT_FALSE(Enabled(page, kIdcUserGroupsRemove));

    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Primary(kUser), (std::vector<std::string>{kStaff}));
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kStaff}));
    EXPECT_TRUE(Members(kGlobalGroup).empty());
    EXPECT_EQ(Members(kStaff), (std::vector<std::string>{kUser}));
}

TEST_F(NTUserGroupsPageTest, OnlyAGlobalGroupCanBecomeThePrimaryGroup) {
    Join(kUser, kGlobalGroup);
    Join(kUser, kLocalGroup);
    HWND page = OpenPage(kUser, kPageTitle);
    struct SelectCase {
        const char* row;
        bool setPrimary;
    };
    for (const SelectCase& select : {SelectCase{"Locals", false}, SelectCase{"Admins", true}}) {
        SCOPED_TRACE(select.row);
        ASSERT_EQ(SelectItems(page, kIdcUserGroupsList, {select.row}), UiActionError::None);
        EXPECT_EQ(Enabled(page, kIdcUserGroupsSetPrimary), select.setPrimary);
        EXPECT_TRUE(Enabled(page, kIdcUserGroupsRemove));
    }
}

TEST_F(NTUserGroupsPageTest, RemovingAGroupAndAddingItAgainKeepsTheLink) {
    Join(kUser, kGlobalGroup);
    HWND page = OpenPage(kUser, kPageTitle);
    ASSERT_EQ(SelectItems(page, kIdcUserGroupsList, {"Admins"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcUserGroupsRemove), UiActionError::None);
    AddThroughDialog(page, {"Admins"});
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kGlobalGroup}));
    EXPECT_EQ(Members(kGlobalGroup), (std::vector<std::string>{kUser}));
}

TEST_F(NTUserGroupsPageTest, AWorkgroupAccountHasNoPrimaryGroupAndItsOwnHelp) {
    AddObject("Users.WS1.Corp", kClassNtLocalGroup);
    struct HelpCase {
        const char* user;
        bool primaryShown;
        UINT help;
    };
    for (const HelpCase& account : {HelpCase{kUser, true, kHelpNTUserGroupsDomain},
                                    HelpCase{kWorkgroupUser, false, kHelpNTUserGroupsWorkgroup}}) {
        SCOPED_TRACE(account.user);
        Prompter::Instance().Reset();
        HWND page = OpenPage(account.user, kPageTitle);
        for (int id : {kIdcUserGroupsPrimary, kIdcUserGroupsSetPrimary, kIdcUserGroupsPrimaryLabel}) {
            EXPECT_EQ(Visible(page, id), account.primaryShown) << id;
        }
        EXPECT_EQ(SendMessageA(page, kMsgPageHelp, 0, 0), 0);
        ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
        EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, account.help);
        EXPECT_EQ(SendMessageA(page, kMsgPageValidate, 0, 0), 1);
        m_sheet->Close(kEndPagesCancel);
    }
    // A workgroup account joins its system's groups like any other.
    HWND page = OpenPage(kWorkgroupUser, kPageTitle);
    AddThroughDialog(page, {"Users"});
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Memberships(kWorkgroupUser), (std::vector<std::string>{"Users.WS1.Corp"}));
    EXPECT_TRUE(Primary(kWorkgroupUser).empty());
}

TEST_F(NTUserGroupsPageTest, WithoutTheWriteRightNothingCanBeAddedOrWritten) {
    Join(kUser, kGlobalGroup);
    Put(kUser, kAttrPrimaryGroup, kSyntaxDistinguishedName, kGlobalGroup);
    SignIn(kReader);
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_EQ(Rows(page, kIdcUserGroupsList), (std::vector<std::string>{"Admins"}));
    EXPECT_EQ(Text(page, kIdcUserGroupsPrimary), "Admins");
    EXPECT_FALSE(Enabled(page, kIdcUserGroupsAdd));
    ASSERT_EQ(SelectItems(page, kIdcUserGroupsList, {"Admins"}), UiActionError::None);
    EXPECT_FALSE(Enabled(page, kIdcUserGroupsRemove));
    EXPECT_FALSE(Enabled(page, kIdcUserGroupsSetPrimary));
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kGlobalGroup}));
}

TEST_F(NTUserGroupsPageTest, AMembershipWhoseGroupCannotBeReadIsKeptByTheNextWrite) {
    // The writer may browse and change everything in the domain, but not the other domain where an old
    // membership of the user lies.
    const std::string writer = "Writer.Corp";
    const std::string far = "Far.NTD2.Corp";
    AddObject("NTD2.Corp", kClassNtDomain);
    AddObject(far, kClassNtGlobalGroup);
    AddObject(writer, kClassUser);
    Grant(kDomain, writer, kAclEntryRights, kDirEntryBrowse);
    Grant(kDomain, writer, kAclAllAttributesRights, kDirRightRead | kDirRightCompare | kDirRightWrite);
    Join(kUser, far);
    SignIn(writer);
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_TRUE(Rows(page, kIdcUserGroupsList).empty());
    AddThroughDialog(page, {"Admins"});
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{far, kGlobalGroup}));
    EXPECT_EQ(Members(far), (std::vector<std::string>{kUser}));
    EXPECT_EQ(Members(kGlobalGroup), (std::vector<std::string>{kUser}));
}

TEST_F(NTUserGroupsPageTest, WithoutTheReadRightTheListIsEmptyAndNeverRewritten) {
    // A grant to write the account's groups without one to read them: a rewrite would drop groups the
    // person never saw.
    const std::string writer = "Writer.Corp";
    AddObject(writer, kClassUser);
    Grant(kCorp, writer, kAclEntryRights, kDirEntryBrowse);
    Grant(kGlobalGroup, writer, kAclAllAttributesRights, kDirRightRead | kDirRightCompare | kDirRightWrite);
    Grant(kUser, writer, kAttrGroupMembership, kDirRightWrite);
    Join(kUser, kStaff);
    SignIn(writer);
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_TRUE(Rows(page, kIdcUserGroupsList).empty());
    EXPECT_FALSE(Enabled(page, kIdcUserGroupsAdd));
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kStaff}));
}

TEST_F(NTUserGroupsPageTest, AGroupThatRefusesTheMemberIsNotNamedByTheAccount) {
    const std::string writer = "Writer.Corp";
    AddObject(writer, kClassUser);
    Grant(kDomain, writer, kAclEntryRights, kDirEntryBrowse);
    Grant(kDomain, writer, kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
    Grant(kUser, writer, kAttrGroupMembership, kDirRightWrite);
    Grant(kStaff, writer, kAttrMember, kDirRightWrite);
    SignIn(writer);
    HWND page = OpenPage(kUser, kPageTitle);
    AddThroughDialog(page, {"Admins", "Staff"});
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(ShownIds(), (std::vector<int>{static_cast<int>(kFmtGroupRefusedMember)}));
    EXPECT_EQ(Memberships(kUser), (std::vector<std::string>{kStaff}));
    EXPECT_TRUE(Members(kGlobalGroup).empty());
    EXPECT_EQ(Members(kStaff), (std::vector<std::string>{kUser}));
}

TEST_F(NTUserGroupsPageTest, AWorkgroupAccountsPrimaryGroupCannotBeRemovedThoughItIsNotShown) {
    const std::string none = "None.WS1.Corp";
    AddObject(none, kClassNtGlobalGroup);
    AddObject("Users.WS1.Corp", kClassNtLocalGroup);
    Join(kWorkgroupUser, none);
    Join(kWorkgroupUser, "Users.WS1.Corp");
    Put(kWorkgroupUser, kAttrPrimaryGroup, kSyntaxDistinguishedName, none);
    HWND page = OpenPage(kWorkgroupUser, kPageTitle);
    ASSERT_EQ(SelectItems(page, kIdcUserGroupsList, {"None", "Users"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcUserGroupsRemove), UiActionError::None);
    EXPECT_EQ(ShownIds(), (std::vector<int>{static_cast<int>(kMsgPrimaryGroupNotRemoved)}));
    EXPECT_EQ(Rows(page, kIdcUserGroupsList), (std::vector<std::string>{"None"}));
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Memberships(kWorkgroupUser), (std::vector<std::string>{none}));
    EXPECT_EQ(Primary(kWorkgroupUser), (std::vector<std::string>{none}));
    EXPECT_EQ(Members(none), (std::vector<std::string>{kWorkgroupUser}));
    EXPECT_TRUE(Members("Users.WS1.Corp").empty());
}
