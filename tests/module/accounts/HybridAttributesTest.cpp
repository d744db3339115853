// The attributes sheet of a directory user's NT account as an administrator meets it from the NT accounts
// page: open it, find pages by title, type, click, close with OK, then the User's apply saves; check what
// the directory holds and which messages were shown.
#include "AccountsWorld.h"

#include "AgentKeys.h"
#include "module/accounts/HybridAttributes.h"
#include "module/core/SelectionDialog.h"
#include "module/pages/users/HybridUserPage_ID.h"
#include "module/pages/users/NTUserPage_Groups.h"

#include <optional>

namespace {

constexpr char kAccount[] = "hyb.NTD.Corp";
constexpr char kWorkgroupAccount[] = "hyb.WS1.Corp";
constexpr char kAnn[] = "Ann.Corp";
constexpr char kFar[] = "Far.WS1.Corp";

// "true", "false" or "" for a flag of the account without a value.
std::string Flag(const char* account, const char* attr) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), account, attr, kSyntaxBoolean);
    return !value ? "" : *static_cast<const uint8_t*>(value.get()) != 0 ? "true" : "false";
}

} // namespace

class HybridAttributesTest : public UserPagesWorld {
protected:
    void SetUp() override {
        UserPagesWorld::SetUp();
        for (const char* system : {kDomain, kWorkstation}) {
            PublishAgentKey(system);
        }
        AddObject(kAnn, kClassUser);
        for (const char* account : {kAccount, kWorkgroupAccount}) {
            AddObject(account, kClassHybridUser);
            Put(account, kAttrQdsUser, kSyntaxDistinguishedName, kAnn);
        }
    }
    void TearDown() override {
        ForgetHybridAttributes();
        UserPagesWorld::TearDown();
    }
};

TEST_F(HybridAttributesTest, TheLoginPageIsOnlyForNTDomainAccounts) {
    struct SheetCase {
        const char* account;
        std::vector<UINT> templates;
        bool globalShown;
    };
    const SheetCase kCases[] = {
        {kAccount, {kIddHybridPageId, kIddHybridPageGrps, kIddHybridPageProfile, kIddHybridPageLogin}, true},
        {kWorkgroupAccount, {kIddHybridPageId, kIddHybridPageGrps, kIddHybridPageProfile}, false},
    };
    for (const SheetCase& c : kCases) {
        SCOPED_TRACE(c.account);
        m_user->Expect(kIddHybridPageId, [&c](ModalContext& modal) {
            EXPECT_EQ(GetWindowTextString(modal.window), "NT Account Attributes");
            EXPECT_EQ(Visible(modal.ActivePage(), kIdcAttrGlobalAccount), c.globalShown);
            for (size_t i = 0; i < c.templates.size(); ++i) {
                ASSERT_EQ(SelectSheetPage(modal.window, static_cast<int>(i)), UiActionError::None);
                EXPECT_EQ(modal.ActiveTemplateId(), c.templates[i]);
            }
            EXPECT_NE(SelectSheetPage(modal.window, static_cast<int>(c.templates.size())), UiActionError::None);
            EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
        });
        EXPECT_FALSE(EditHybridAttributes(c.account, TRUE, nullptr));
    }
}

TEST_F(HybridAttributesTest, LeavingTheAccountPageChecksPasswordAndMustChange) {
    struct LeaveCase {
        bool annMayChange;
        std::string password, confirmation;
        bool mustChange;
        int answer;
        std::vector<int> shown;
        bool left;
    };
    const LeaveCase kCases[] = {
        {true, "abc", "abd", false, 0, {19}, false},
        {true, "x", "", false, 0, {19}, false},
        {false, "", "", true, 0, {27}, false},
        {true, "", "", true, 0, {}, true},
    };
    for (const LeaveCase& c : kCases) {
        SCOPED_TRACE(c.shown.empty() ? 0 : c.shown[0]);
        ForgetHybridAttributes();
        {
            CDirContext dir;
            const uint32_t allow = c.annMayChange ? 1 : 0;
            ASSERT_EQ(SetAttrValue(dir.Get(), kAnn, kAttrPasswordAllowChange, kSyntaxBoolean, &allow), 1);
        }
        Prompter::Instance().Reset();
        m_user->Expect(kIddHybridPageId, [&c](ModalContext& modal) {
            HWND page = modal.ActivePage();
            if (!c.password.empty()) {
                ASSERT_EQ(TypeText(page, kIdcAttrPassword, c.password), UiActionError::None);
                if (!c.confirmation.empty()) {
                    ASSERT_EQ(TypeText(page, kIdcAttrConfirm, c.confirmation), UiActionError::None);
                }
            }
            if (c.mustChange) {
                ASSERT_EQ(Click(page, kIdcAttrMustChange), UiActionError::None);
            }
            static_cast<void>(SelectSheetPage(modal.window, 1));
            EXPECT_EQ(modal.ActiveTemplateId(), c.left ? kIddHybridPageGrps : kIddHybridPageId);
            EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
        });
        EXPECT_FALSE(EditHybridAttributes(kAccount, TRUE, nullptr));
        EXPECT_EQ(ShownIds(), c.shown);
    }
}

TEST_F(HybridAttributesTest, OKCollectsAndTheUsersApplySavesSealedPasswordGroupsAndWorkstations) {
    AddObject(kFar, kClassNtGlobalGroup);
    Put(kFar, kAttrMember, kSyntaxDistinguishedName, kAccount);
    Put(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName, kFar);
    Put(kGlobalGroup, kAttrMember, kSyntaxDistinguishedName, kAccount);
    Put(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName, kGlobalGroup);
    for (int i = 1; i <= 10; ++i) {
        Put(kAccount, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, "W" + std::to_string(i));
    }
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {"Locals"}), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });
    m_user->Expect(kIddHybridPageId, [](ModalContext& modal) {
        ASSERT_EQ(TypeText(modal.ActivePage(), kIdcAttrPassword, "N3w-pass"), UiActionError::None);
        ASSERT_EQ(TypeText(modal.ActivePage(), kIdcAttrConfirm, "N3w-pass"), UiActionError::None);
        ASSERT_EQ(SelectSheetPage(modal.window, 1), UiActionError::None);
        HWND groups = modal.ActivePage();
        // A membership in another NT system is listed by its leaf too.
        EXPECT_EQ(Rows(groups, 1094), (std::vector<std::string>{"Admins", "Far"}));
        ASSERT_EQ(Click(groups, 1092), UiActionError::None);
        EXPECT_EQ(Rows(groups, 1094), (std::vector<std::string>{"Admins", "Far", "Locals"}));
        ASSERT_EQ(SelectItems(groups, 1094, {"Admins"}), UiActionError::None);
        ASSERT_EQ(Click(groups, 1093), UiActionError::None);
        ASSERT_EQ(SelectSheetPage(modal.window, 3), UiActionError::None);
        HWND login = modal.ActivePage();
        EXPECT_EQ(Text(login, kIdcAttrWorkstationEdits[7]), "W8");
        ASSERT_EQ(TypeText(login, kIdcAttrWorkstationEdits[0], "SIXTEEN-CHARS-16"), UiActionError::None);
        // The field takes 15 characters, the most an NT workstation name has.
        EXPECT_EQ(Text(login, kIdcAttrWorkstationEdits[0]), "SIXTEEN-CHARS-1");
        ASSERT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    EXPECT_TRUE(EditHybridAttributes(kAccount, TRUE, nullptr));
    // Nothing is written before the User's apply.
    EXPECT_FALSE(Unsealed(kAccount).has_value());
    EXPECT_EQ(SaveHybridAttributes(kAccount), 0);
    EXPECT_EQ(Unsealed(kAccount), std::optional<std::string>("N3w-pass"));
    EXPECT_EQ(Values(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName),
              (std::vector<std::string>{kFar, kLocalGroup}));
    EXPECT_TRUE(Values(kGlobalGroup, kAttrMember, kSyntaxDistinguishedName).empty());
    EXPECT_EQ(Values(kLocalGroup, kAttrMember, kSyntaxDistinguishedName), std::vector<std::string>{kAccount});
    EXPECT_EQ(Values(kFar, kAttrMember, kSyntaxDistinguishedName), std::vector<std::string>{kAccount});
    EXPECT_EQ(Values(kAccount, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString),
              (std::vector<std::string>{"SIXTEEN-CHARS-1", "W2", "W3", "W4", "W5", "W6", "W7", "W8", "W9", "W10"}));
}

TEST_F(HybridAttributesTest, ACancelledOpeningLeavesNothingForTheUsersApplyWhileAnEarlierOKStays) {
    Put(kGlobalGroup, kAttrMember, kSyntaxDistinguishedName, kAccount);
    Put(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName, kGlobalGroup);
    const std::vector<std::string> kMember{kAccount};
    const std::vector<std::string> kMembership{kGlobalGroup};
    struct Opening {
        const char* password; // typed and confirmed
        bool ok;              // else Cancel
    };
    // A first opening cancelled; one closed with OK; one cancelled again after it.
    const Opening kOpenings[] = {{"Cancelled1", false}, {"Kept2", true}, {"Cancelled3", false}};
    for (const Opening& o : kOpenings) {
        SCOPED_TRACE(o.password);
        m_user->Expect(kIddHybridPageId, [&o](ModalContext& modal) {
            HWND id = modal.ActivePage();
            ASSERT_EQ(TypeText(id, kIdcAttrPassword, o.password), UiActionError::None);
            ASSERT_EQ(TypeText(id, kIdcAttrConfirm, o.password), UiActionError::None);
            if (!o.ok) {
                ASSERT_EQ(Click(id, kIdcAttrDisabled), UiActionError::None);
                ASSERT_EQ(SelectSheetPage(modal.window, 1), UiActionError::None);
                HWND groups = modal.ActivePage();
                ASSERT_EQ(SelectItems(groups, kIdcGrpsList, {"Admins"}), UiActionError::None);
                ASSERT_EQ(Click(groups, 1093), UiActionError::None);
                EXPECT_TRUE(Rows(groups, kIdcGrpsList).empty());
            }
            EXPECT_EQ(Click(modal.window, o.ok ? IDOK : IDCANCEL), UiActionError::None);
        });
        EXPECT_EQ(EditHybridAttributes(kAccount, TRUE, nullptr), o.ok ? TRUE : FALSE);
    }
    // The User's apply, made later for another reason.
    EXPECT_EQ(SaveHybridAttributes(kAccount), 0);
    EXPECT_EQ(Unsealed(kAccount), std::optional<std::string>("Kept2"));
    EXPECT_EQ(Flag(kAccount, kAttrLoginDisabled), "false") << "written with the OK'ed password, unclicked";
    EXPECT_EQ(Values(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName), kMembership);
    EXPECT_EQ(Values(kGlobalGroup, kAttrMember, kSyntaxDistinguishedName), kMember);
    EXPECT_TRUE(ShownIds().empty());

    // A sheet only ever cancelled writes nothing at all.
    ForgetHybridAttributes();
    m_user->Expect(kIddHybridPageId, [](ModalContext& modal) {
        ASSERT_EQ(TypeText(modal.ActivePage(), kIdcAttrPassword, "Cancelled4"), UiActionError::None);
        ASSERT_EQ(TypeText(modal.ActivePage(), kIdcAttrConfirm, "Cancelled4"), UiActionError::None);
        ASSERT_EQ(Click(modal.ActivePage(), kIdcAttrMustChange), UiActionError::None);
        EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
    });
    EXPECT_FALSE(EditHybridAttributes(kWorkgroupAccount, TRUE, nullptr));
    EXPECT_EQ(SaveHybridAttributes(kWorkgroupAccount), 0);
    EXPECT_FALSE(Unsealed(kWorkgroupAccount).has_value());
    for (const char* attr : {kAttrMustChangePassword, kAttrExpirePassword, kAttrLoginDisabled}) {
        EXPECT_EQ(Flag(kWorkgroupAccount, attr), "") << attr;
    }
}

TEST_F(HybridAttributesTest, APasswordTooLongToSealIsRefusedWithItsLimitAndTheSheetStaysOpen) {
    // The converted password and its NUL fill the 28 bytes that are sealed.
    const std::string kLongest(27, 'p');
    const std::string kTooLong = kLongest + "q";
    m_user->Expect(kIddHybridPageId, [&](ModalContext& modal) {
        HWND id = modal.ActivePage();
        ASSERT_EQ(Click(id, kIdcAttrMustChange), UiActionError::None);
        ASSERT_EQ(TypeText(id, kIdcAttrPassword, kTooLong), UiActionError::None);
        ASSERT_EQ(TypeText(id, kIdcAttrConfirm, kTooLong), UiActionError::None);
        // Refused whether the person leaves the page or closes the sheet.
        EXPECT_EQ(SelectSheetPage(modal.window, 1), UiActionError::None);
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
        EXPECT_EQ(modal.ActiveTemplateId(), kIddHybridPageId);
        EXPECT_EQ(GetFocusWindow(), GetDlgItem(id, kIdcAttrPassword));
        EXPECT_EQ(Text(id, kIdcAttrPassword), kTooLong) << "nothing typed is lost";
        EXPECT_TRUE(Checked(id, kIdcAttrMustChange));
        ASSERT_EQ(TypeText(id, kIdcAttrPassword, kLongest), UiActionError::None);
        ASSERT_EQ(TypeText(id, kIdcAttrConfirm, kLongest), UiActionError::None);
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    EXPECT_TRUE(EditHybridAttributes(kAccount, TRUE, nullptr));
    EXPECT_EQ(ShownIds(), (std::vector<int>{57550, 57550}));
    ASSERT_EQ(Prompter::Instance().Messages().size(), 2u);
    EXPECT_NE(Prompter::Instance().Messages()[0].text.find(" 27 "), std::string::npos)
        << Prompter::Instance().Messages()[0].text;
    EXPECT_EQ(SaveHybridAttributes(kAccount), 0);
    EXPECT_EQ(Unsealed(kAccount), std::optional<std::string>(kLongest));
    EXPECT_EQ(Flag(kAccount, kAttrMustChangePassword), "true");
}

TEST_F(HybridAttributesTest, APasswordTypedAndErasedIsStoredEmptyOnlyAfterAYes) {
    struct EraseCase {
        int answer;
        bool flagClicked;
        std::optional<std::string> stored;
        const char* disabled;
    };
    const EraseCase kCases[] = {
        {IDYES, false, std::string(), "false"},
        {IDNO, false, std::nullopt, ""},
        {IDNO, true, std::nullopt, "true"},
    };
    for (const EraseCase& c : kCases) {
        SCOPED_TRACE(std::to_string(c.answer) + (c.flagClicked ? " with a flag" : ""));
        ForgetHybridAttributes();
        {
            CDirContext dir;
            ASSERT_EQ(DirRemoveObject(dir.Get(), kAccount), kDirOk);
        }
        AddObject(kAccount, kClassHybridUser);
        Put(kAccount, kAttrQdsUser, kSyntaxDistinguishedName, kAnn);
        Prompter::Instance().Reset();
        Prompter::Instance().QueueAnswer(c.answer);
        m_user->Expect(kIddHybridPageId, [&c](ModalContext& modal) {
            HWND id = modal.ActivePage();
            ASSERT_EQ(TypeText(id, kIdcAttrPassword, "x"), UiActionError::None);
            ASSERT_EQ(ClearText(id, kIdcAttrPassword), UiActionError::None);
            if (c.flagClicked) {
                ASSERT_EQ(Click(id, kIdcAttrDisabled), UiActionError::None);
            }
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
        });
        EXPECT_TRUE(EditHybridAttributes(kAccount, TRUE, nullptr));
        EXPECT_EQ(ShownIds(), std::vector<int>{20});
        EXPECT_EQ(SaveHybridAttributes(kAccount), 0);
        EXPECT_EQ(Unsealed(kAccount), c.stored);
        EXPECT_EQ(Flag(kAccount, kAttrLoginDisabled), c.disabled);
    }
}

TEST_F(HybridAttributesTest, AMissingExpirePasswordReadsAsCanExpireHereAndOnTheAccountsOwnPage) {
    struct ExpireCase {
        std::optional<bool> stored;
        bool neverExpiresShown;
    };
    const ExpireCase kCases[] = {{std::nullopt, false}, {false, true}, {true, false}};
    for (const ExpireCase& c : kCases) {
        SCOPED_TRACE(c.stored ? (*c.stored ? "true" : "false") : "missing");
        ForgetHybridAttributes();
        if (c.stored) {
            CDirContext dir;
            const uint32_t flag = *c.stored ? 1 : 0;
            ASSERT_EQ(SetAttrValue(dir.Get(), kAccount, kAttrExpirePassword, kSyntaxBoolean, &flag), 1);
        }
        m_user->Expect(kIddHybridPageId, [&c](ModalContext& modal) {
            EXPECT_EQ(Checked(modal.ActivePage(), kIdcAttrNeverExpires), c.neverExpiresShown);
            EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
        });
        EXPECT_FALSE(EditHybridAttributes(kAccount, TRUE, nullptr));
        OpenDetails(kClassHybridUser, kAccount);
        HWND page = m_sheet->Page(m_sheet->FindPage("Identification"));
        EXPECT_EQ(Checked(page, kIdcHybridNeverExpires), c.neverExpiresShown);
        m_sheet->Close(2);
        EXPECT_EQ(Flag(kAccount, kAttrExpirePassword), c.stored ? (*c.stored ? "true" : "false") : "");
    }
}

// The sheet as it is reached: from the NT accounts page of the User's details, which writes what the sheet
// collected at its own apply.
class HybridAttributesFromTheUserTest : public AccountsWorld {
protected:
    void SetUp() override {
        AccountsWorld::SetUp();
        PublishAgentKey(kDomain);
    }
    void TearDown() override {
        ForgetHybridAttributes();
        AccountsWorld::TearDown();
    }
};

TEST_F(HybridAttributesFromTheUserTest, ASheetCancelledIsNotWrittenByTheUsersLaterApply) {
    HWND page = OpenAccounts(kMary);
    AddThrough(page, {kPickNtd});
    ASSERT_TRUE(m_sheet->Ok());
    const std::string expireBefore = Flag(kMaryNtd, kAttrExpirePassword);

    page = OpenAccounts(kMary);
    ASSERT_EQ(SelectItems(page, kIdcAccountList, {"NTD.Corp"}), UiActionError::None);
    m_user->Expect(kIddHybridPageId, [](ModalContext& modal) {
        HWND id = modal.ActivePage();
        ASSERT_EQ(TypeText(id, kIdcAttrPassword, "Cancelled1"), UiActionError::None);
        ASSERT_EQ(TypeText(id, kIdcAttrConfirm, "Cancelled1"), UiActionError::None);
        ASSERT_EQ(Click(id, kIdcAttrDisabled), UiActionError::None);
        EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
    });
    ASSERT_EQ(Click(page, kIdcAccountAttributes), UiActionError::None);
    // Another account added: the User's details are applied for it.
    AddThrough(page, {kPickWs});
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(ServerList(kMary), (std::vector<std::string>{kMaryNtd, kMaryWs}));
    EXPECT_FALSE(Unsealed(kMaryNtd).has_value());
    EXPECT_EQ(Flag(kMaryNtd, kAttrLoginDisabled), "");
    EXPECT_EQ(Flag(kMaryNtd, kAttrExpirePassword), expireBefore);
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(HybridAttributesTest, WhatAnotherAdministratorChangedAfterTheSheetOpenedSurvivesItsSave) {
    constexpr char kStaff[] = "Staff.NTD.Corp";
    constexpr char kSales[] = "Sales.NTD.Corp";
    for (const char* group : {kStaff, kSales}) {
        AddObject(group, kClassNtGlobalGroup);
    }
    const auto join = [](const char* group) {
        Put(group, kAttrMember, kSyntaxDistinguishedName, kAccount);
        Put(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName, group);
    };
    const auto take = [](const char* object, const char* attr, uint32_t syntax, const char* value) {
        CDirContext dir;
        ASSERT_EQ(RemoveAttrValue(dir.Get(), object, attr, syntax, value), 1) << object << " " << value;
    };
    join(kGlobalGroup);
    join(kStaff);
    for (const char* name : {"WSA", "WSB"}) {
        Put(kAccount, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, name);
    }
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {"Locals"}), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });
    m_user->Expect(kIddHybridPageId, [](ModalContext& modal) {
        ASSERT_EQ(SelectSheetPage(modal.window, 1), UiActionError::None);
        HWND groups = modal.ActivePage();
        ASSERT_EQ(SelectItems(groups, kIdcGrpsList, {"Admins"}), UiActionError::None);
        ASSERT_EQ(Click(groups, 1093), UiActionError::None);
        ASSERT_EQ(Click(groups, 1092), UiActionError::None);
        ASSERT_EQ(SelectSheetPage(modal.window, 3), UiActionError::None);
        HWND login = modal.ActivePage();
        ASSERT_EQ(ClearText(login, kIdcAttrWorkstationEdits[0]), UiActionError::None);
        ASSERT_EQ(TypeText(login, kIdcAttrWorkstationEdits[2], "WSP"), UiActionError::None);
        ASSERT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    EXPECT_TRUE(EditHybridAttributes(kAccount, TRUE, nullptr));
    // Another administrator takes the account out of Staff and puts it into Sales, and changes the
    // workstations, before the User's apply saves the sheet.
    take(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName, kStaff);
    take(kStaff, kAttrMember, kSyntaxDistinguishedName, kAccount);
    join(kSales);
    take(kAccount, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, "WSB");
    Put(kAccount, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, "WSO");

    EXPECT_EQ(SaveHybridAttributes(kAccount), 0);
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_EQ(Values(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName),
              (std::vector<std::string>{kSales, kLocalGroup}));
    struct Side {
        const char* group;
        std::vector<std::string> members;
    };
    for (const Side& side : {Side{kGlobalGroup, {}}, Side{kStaff, {}}, Side{kSales, {kAccount}},
                             Side{kLocalGroup, {kAccount}}}) {
        EXPECT_EQ(Values(side.group, kAttrMember, kSyntaxDistinguishedName), side.members) << side.group;
    }
    EXPECT_EQ(Values(kAccount, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString),
              (std::vector<std::string>{"WSP", "WSO"}));
}

TEST_F(HybridAttributesTest, ThePrimaryGroupCannotBeRemovedOnEitherKindOfAccount) {
    // A workgroup account's primary group is not shown, but its account is named by it all the same.
    const std::string workgroupGroup = "Users.WS1.Corp";
    AddObject(workgroupGroup, kClassNtGlobalGroup);
    struct Case {
        const char* account;
        std::string group;
        const char* row;
    };
    for (const Case& c :
         {Case{kAccount, kGlobalGroup, "Admins"}, Case{kWorkgroupAccount, workgroupGroup, "Users"}}) {
        SCOPED_TRACE(c.account);
        Prompter::Instance().Reset();
        Put(c.group, kAttrMember, kSyntaxDistinguishedName, c.account);
        Put(c.account, kAttrGroupMembership, kSyntaxDistinguishedName, c.group);
        Put(c.account, kAttrPrimaryGroup, kSyntaxDistinguishedName, c.group);
        m_user->Expect(kIddHybridPageId, [&c](ModalContext& modal) {
            ASSERT_EQ(SelectSheetPage(modal.window, 1), UiActionError::None);
            HWND groups = modal.ActivePage();
            ASSERT_EQ(SelectItems(groups, kIdcGrpsList, {c.row}), UiActionError::None);
            ASSERT_EQ(Click(groups, 1093), UiActionError::None);
            EXPECT_EQ(Rows(groups, kIdcGrpsList), (std::vector<std::string>{c.row}));
            ASSERT_EQ(Click(modal.window, IDOK), UiActionError::None);
        });
        static_cast<void>(EditHybridAttributes(c.account, TRUE, nullptr));
        EXPECT_EQ(ShownIds(), (std::vector<int>{static_cast<int>(kMsgPrimaryGroupNotRemoved)}));
        EXPECT_EQ(SaveHybridAttributes(c.account), 0);
        EXPECT_EQ(Values(c.account, kAttrGroupMembership, kSyntaxDistinguishedName),
                  (std::vector<std::string>{c.group}));
        EXPECT_EQ(Values(c.account, kAttrPrimaryGroup, kSyntaxDistinguishedName),
                  (std::vector<std::string>{c.group}));
    }
}

TEST_F(HybridAttributesTest, AGroupMadeThePrimaryGroupAfterTheSheetClosedIsNotLeftByTheSave) {
    AddObject("Staff.NTD.Corp", kClassNtGlobalGroup);
    for (const char* group : {kGlobalGroup, "Staff.NTD.Corp"}) {
        Put(group, kAttrMember, kSyntaxDistinguishedName, kAccount);
        Put(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName, group);
    }
    Put(kAccount, kAttrPrimaryGroup, kSyntaxDistinguishedName, "Staff.NTD.Corp");
    m_user->Expect(kIddHybridPageId, [](ModalContext& modal) {
        ASSERT_EQ(SelectSheetPage(modal.window, 1), UiActionError::None);
        ASSERT_EQ(SelectItems(modal.ActivePage(), kIdcGrpsList, {"Admins"}), UiActionError::None);
        ASSERT_EQ(Click(modal.ActivePage(), 1093), UiActionError::None);
        ASSERT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    EXPECT_TRUE(EditHybridAttributes(kAccount, TRUE, nullptr));
    EXPECT_TRUE(ShownIds().empty());
    // Another administrator makes Admins the primary group before the User's apply.
    {
        CDirContext dir;
        ASSERT_EQ(
            SetAttrValue(dir.Get(), kAccount, kAttrPrimaryGroup, kSyntaxDistinguishedName, kGlobalGroup), 1);
    }
    EXPECT_EQ(SaveHybridAttributes(kAccount), 0);
    EXPECT_EQ(ShownIds(), (std::vector<int>{static_cast<int>(kMsgPrimaryGroupNotRemoved)}));
    EXPECT_EQ(Values(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName),
              (std::vector<std::string>{kGlobalGroup, "Staff.NTD.Corp"}));
    EXPECT_EQ(Values(kGlobalGroup, kAttrMember, kSyntaxDistinguishedName),
              (std::vector<std::string>{kAccount}));
    EXPECT_EQ(Values(kAccount, kAttrPrimaryGroup, kSyntaxDistinguishedName),
              (std::vector<std::string>{kGlobalGroup}));
}
