// The NT accounts page of a directory user as an administrator meets it: open the user's details, add
// accounts through the host's browser, remove them, apply, OK or Cancel, and find the accounts and the
// user's list in the directory.
#include "AccountsWorld.h"

#include "AgentKeys.h"
#include "module/accounts/HybridAttributes.h"
#include "module/password/ChgPswdWizard.h"

#include <cstdlib>
#include <optional>

namespace {

// The NT systems' agents publish their key.
void PublishKeys() {
    for (const char* system : {kDomain, kWorkstation}) {
        PublishAgentKey(system);
    }
}

bool GlobalAccount(const std::string& account) {
    CDirContext dir;
    uint32_t* value = nullptr;
    const bool read = ReadAttrValue(dir.Get(), account.c_str(), kAttrGlobalAccount, kSyntaxBoolean,
                                    reinterpret_cast<void**>(&value)) == 1;
    const bool on = read && *value != 0;
    std::free(value);
    return on;
}

} // namespace

class ForeignAccountTest : public AccountsWorld {
protected:
    // The person's way through the change-password wizard: the new password twice, Next, Next; the result
    // rows are noted before Finish.
    void RunWizardThrough(HWND page, const std::string& password, std::vector<std::string>* rows) {
        m_user->Expect(kIddChgPswdPage1, [password](ModalContext& context) {
            HWND first = context.ActivePage();
            EXPECT_EQ(TypeText(first, kIdcChgPswdNew, password), UiActionError::None);
            EXPECT_EQ(TypeText(first, kIdcChgPswdConfirm, password), UiActionError::None);
            EXPECT_EQ(Click(context.window, ID_WIZNEXT), UiActionError::None);
        });
        m_user->Expect(kIddChgPswdPage2, [](ModalContext& context) {
            EXPECT_EQ(Click(context.window, ID_WIZNEXT), UiActionError::None);
        });
        m_user->Expect(kIddChgPswdPage3, [rows](ModalContext& context) {
            HWND list = GetDlgItem(context.ActivePage(), kIdcChgPswdResults);
            const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
            for (int row = 0; row < count; ++row) {
                rows->push_back(ListRowText(list, row));
            }
            EXPECT_EQ(Click(context.window, ID_WIZFINISH), UiActionError::None);
        });
        ASSERT_TRUE(Enabled(page, kIdcAccountPassword));
        ASSERT_EQ(Click(page, kIdcAccountPassword), UiActionError::None);
    }
};

TEST_F(ForeignAccountTest, AddMakesTheAccountInEachPickedSystemAndApplyListsThem) {
    HWND page = OpenAccounts(kMary);
    EXPECT_EQ(m_sheet->PageCount(), 1);
    EXPECT_EQ(GetDialogTemplateId(page), kIddForeignAccount);
    EXPECT_TRUE(Enabled(page, kIdcAccountAdd));
    EXPECT_FALSE(Enabled(page, kIdcAccountPassword)) << "no accounts yet";
    AddThrough(page, {kPickWs, kPickNtd});
    ASSERT_EQ(m_queries.size(), 1u);
    EXPECT_EQ(m_queries[0].option, 8u);
    EXPECT_EQ(m_queries[0].startContext, "Corp");
    EXPECT_EQ(m_queries[0].classFilter,
              (std::vector<std::string>{kClassNtWorkgroupSystem, kClassNtDomain}));
    EXPECT_EQ(Rows(page, kIdcAccountList), (std::vector<std::string>{"NTD.Corp", "WS1.Corp"}));
    EXPECT_TRUE(Enabled(page, kIdcAccountPassword));
    EXPECT_TRUE(ShownIds().empty()) << ShownIds().front();
    for (const char* account : {kMaryNtd, kMaryWs}) {
        SCOPED_TRACE(account);
        EXPECT_EQ(Values(account, kAttrQdsUser, kSyntaxDistinguishedName), (std::vector<std::string>{kMary}));
        EXPECT_TRUE(GlobalAccount(account));
    }
    EXPECT_EQ(Values(kMaryNtd, kAttrPrimaryGroup, kSyntaxDistinguishedName),
              (std::vector<std::string>{kGlobalGroup}));
    EXPECT_EQ(Values(kGlobalGroup, kAttrMember, kSyntaxDistinguishedName), (std::vector<std::string>{kMaryNtd}));
    EXPECT_TRUE(ServerList(kMary).empty()) << "the list is written by the apply";

    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(ServerList(kMary), (std::vector<std::string>{kMaryNtd, kMaryWs}));
    EXPECT_TRUE(Exists(kMaryNtd));
    EXPECT_TRUE(Exists(kMaryWs));
}

TEST_F(ForeignAccountTest, APickThatCannotTakeTheAccountIsShownAndNothingIsListed) {
    AddObject(kMaryWs, kClassHybridUser); // made by another tool, named like Mary's account
    struct Case {
        const char* name;
        std::vector<BrowsePick> picks;
        std::vector<int> shown;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"an object of the account's name exists", {kPickWs}, {24}, {}},
        {"the NT system holds nothing yet", {kPickEmpty}, {23}, {}},
        {"the same NT system twice", {kPickNtd, kPickNtd}, {}, {"NTD.Corp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prompter::Instance().Reset();
        HWND page = OpenAccounts(kMary);
        AddThrough(page, c.picks);
        EXPECT_EQ(ShownIds(), c.shown);
        EXPECT_EQ(Rows(page, kIdcAccountList), c.rows);
        m_sheet->Close(kEndPagesCancel);
    }
    EXPECT_EQ(Prompter::Instance().Messages().size(), 0u);
    EXPECT_FALSE(Exists(kMaryNtd)) << "Cancel deletes the account it made";
    EXPECT_TRUE(Exists(kMaryWs)) << "an object the page did not make is left alone";
    EXPECT_FALSE(Exists("Mary.Empty.Corp"));
    EXPECT_TRUE(ServerList(kMary).empty());
}

TEST_F(ForeignAccountTest, AnAccountTheDirectoryRefusesToMakeIsNeverListedNorWritten) {
    // Reader may change Mary's list but may create nothing in the NT domain.
    Grant(kMary, kReader, kAttrApplicationServerList, kDirRightRead | kDirRightWrite);
    SignIn(kReader);
    HWND page = OpenAccounts(kMary);
    ASSERT_TRUE(Enabled(page, kIdcAccountAdd));
    AddThrough(page, {kPickNtd});
    EXPECT_EQ(ShownIds(), (std::vector<int>{18}));
    EXPECT_TRUE(Rows(page, kIdcAccountList).empty());
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_TRUE(ServerList(kMary).empty());
    EXPECT_FALSE(Exists(kMaryNtd));
}

TEST_F(ForeignAccountTest, CancelDeletesOnlyTheAccountsAddedSinceTheLastApply) {
    HWND page = OpenAccounts(kMary);
    AddThrough(page, {kPickNtd});
    EXPECT_EQ(m_sheet->Apply().answer, 0);
    AddThrough(page, {kPickWs});
    EXPECT_EQ(Rows(page, kIdcAccountList), (std::vector<std::string>{"NTD.Corp", "WS1.Corp"}));
    m_sheet->Close(kEndPagesCancel);
    EXPECT_TRUE(Exists(kMaryNtd)) << "committed by the apply";
    EXPECT_FALSE(Exists(kMaryWs));
    EXPECT_EQ(ServerList(kMary), (std::vector<std::string>{kMaryNtd}));
}

TEST_F(ForeignAccountTest, ARemovedAccountIsDeletedByTheApplyAndCancelDoesNotBringItBack) {
    struct Case {
        const char* name;
        bool applyThenCancel;
    };
    for (const Case& c : {Case{"OK", false}, Case{"apply, then Cancel", true}}) {
        SCOPED_TRACE(c.name);
        HWND page = OpenAccounts(kMary);
        AddThrough(page, {kPickNtd, kPickWs});
        ASSERT_TRUE(m_sheet->Ok());
        page = OpenAccounts(kMary);
        ASSERT_EQ(SelectItems(page, kIdcAccountList, {"NTD.Corp"}), UiActionError::None);
        ASSERT_TRUE(Enabled(page, kIdcAccountRemove));
        ASSERT_EQ(Click(page, kIdcAccountRemove), UiActionError::None);
        EXPECT_EQ(Rows(page, kIdcAccountList), (std::vector<std::string>{"WS1.Corp"}));
        EXPECT_TRUE(Exists(kMaryNtd)) << "nothing changes before the apply";
        if (c.applyThenCancel) {
            EXPECT_EQ(m_sheet->Apply().answer, 0);
            m_sheet->Close(kEndPagesCancel);
        } else {
            EXPECT_TRUE(m_sheet->Ok());
        }
        EXPECT_FALSE(Exists(kMaryNtd));
        EXPECT_EQ(ServerList(kMary), (std::vector<std::string>{kMaryWs}));
        EXPECT_TRUE(ShownIds().empty());
        // The next case starts again from an empty list.
        CDirContext dir;
        ASSERT_EQ(DirRemoveObject(dir.Get(), kMaryWs), kDirOk);
    }
}

TEST_F(ForeignAccountTest, ARemovalCancelledBeforeAnyApplyKeepsTheAccount) {
    HWND page = OpenAccounts(kMary);
    AddThrough(page, {kPickNtd});
    ASSERT_TRUE(m_sheet->Ok());
    page = OpenAccounts(kMary);
    ASSERT_EQ(SelectItems(page, kIdcAccountList, {"NTD.Corp"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcAccountRemove), UiActionError::None);
    m_sheet->Close(kEndPagesCancel);
    EXPECT_TRUE(Exists(kMaryNtd));
    EXPECT_EQ(ServerList(kMary), (std::vector<std::string>{kMaryNtd}));
}

TEST_F(ForeignAccountTest, AnAccountWhoseSystemCannotBeReadIsNotShownButStaysStored) {
    // Reader may change Mary's list and delete accounts in NTD, and sees nothing outside Corp.
    AddObject("Far", "Organization");
    AddObject("Hidden.Far", kClassNtDomain);
    AddObject("Mary.Hidden.Far", kClassHybridUser);
    AddObject(kMaryNtd, kClassHybridUser);
    Put(kMary, kAttrApplicationServerList, kSyntaxDistinguishedName, "Mary.Hidden.Far");
    Put(kMary, kAttrApplicationServerList, kSyntaxDistinguishedName, kMaryNtd);
    Grant(kMary, kReader, kAttrApplicationServerList, kDirRightRead | kDirRightWrite);
    Grant(kDomain, kReader, kAclEntryRights, kDirEntryBrowse | kDirEntryDelete);
    {
        // Everybody may browse the whole tree in a new store; here only what Corp grants is seen.
        CDirContext dir;
        std::string entry(kAclEntryRights);
        std::string pub("[Public]");
        DirObjectACL browse{entry.data(), pub.data(), kDirEntryBrowse};
        ASSERT_EQ(RemoveAttrValue(dir.Get(), "[Root]", kAttrAcl, kSyntaxObjectACL, &browse), 1);
    }
    SignIn(kReader);
    HWND page = OpenAccounts(kMary);
    EXPECT_EQ(Rows(page, kIdcAccountList), (std::vector<std::string>{"NTD.Corp"}));
    ASSERT_EQ(SelectItems(page, kIdcAccountList, {"NTD.Corp"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcAccountRemove), UiActionError::None);
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_EQ(ServerList(kMary), (std::vector<std::string>{"Mary.Hidden.Far"}));
    EXPECT_FALSE(Exists(kMaryNtd));
}

TEST_F(ForeignAccountTest, ALeafTooLongForNtMakesThePageInert) {
    struct Case {
        const char* user;
        bool inert;
    };
    const Case cases[] = {
        {"ABCDEFGHIJKLMNOPQRST.Corp", false},   // 20 characters
        {"ABCDEFGHIJKLMNOPQRSTU.Corp", true},   // 21
        {"ABCDEFGHIJ\\.KLMNOPQRS.Corp", false}, // an escaped dot counts once: 20
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        AddObject(c.user, kClassUser);
        HWND page = OpenAccounts(c.user);
        EXPECT_EQ(Visible(page, kIdcAccountNameTooLong), c.inert);
        for (int id : {kIdcAccountAdd, kIdcAccountRemove, kIdcAccountList, kIdcAccountAttributes,
                       kIdcAccountPassword, kIdcAccountListLabel}) {
            EXPECT_EQ(Visible(page, id), !c.inert) << id;
        }
        EXPECT_EQ(Enabled(page, kIdcAccountAdd), !c.inert);
        m_sheet->Close(kEndPagesCancel);
    }
}

TEST_F(ForeignAccountTest, AttributesTakeOneAccountAndTheHelpIsTheUsersAccounts) {
    HWND page = OpenAccounts(kMary);
    AddThrough(page, {kPickNtd, kPickWs});
    EXPECT_FALSE(Enabled(page, kIdcAccountAttributes));
    ASSERT_EQ(SelectItems(page, kIdcAccountList, {"NTD.Corp", "WS1.Corp"}), UiActionError::None);
    EXPECT_TRUE(Enabled(page, kIdcAccountAttributes));
    ASSERT_EQ(Click(page, kIdcAccountAttributes), UiActionError::None);
    EXPECT_EQ(ShownIds(), (std::vector<int>{kMsgSelectOneAccount}));
    EXPECT_EQ(SendMessageA(page, kMsgPageHelp, 0, 0), 0);
    ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
    EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, kHelpForeignAccount);
    m_sheet->Close(kEndPagesCancel);
}

TEST_F(ForeignAccountTest, TheChangePasswordButtonFollowsTheRightsAndTheUsersOwnPassword) {
    struct Case {
        const char* name;
        bool hasAccount;
        const char* signIn;       // nullptr: the administrator
        const char* allowChange;  // "Password Allow Change" of Mary, nullptr when unset
        bool enabled;
    };
    const Case cases[] = {
        {"administrator, no accounts", false, nullptr, nullptr, false},
        {"administrator, one account", true, nullptr, nullptr, true},
        {"Mary herself, no accounts, the flag unset", false, kMary, nullptr, true},
        {"Mary herself, may not change her password", false, kMary, "false", false},
        {"a reader, one account", true, kReader, nullptr, false},
    };
    // Mary may read her own attributes, as users usually may.
    Grant(kMary, kMary, kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignIn("Admin");
        {
            CDirContext dir;
            CStringArray none;
            ASSERT_EQ(SetAttrValues(dir.Get(), kMary, kAttrApplicationServerList, kSyntaxDistinguishedName,
                                    &none),
                      1);
            if (!Exists(kMaryNtd)) {
                AddObject(kMaryNtd, kClassHybridUser);
            }
            if (c.hasAccount) {
                Put(kMary, kAttrApplicationServerList, kSyntaxDistinguishedName, kMaryNtd);
            }
            const uint32_t allow = c.allowChange != nullptr && std::string(c.allowChange) == "true";
            if (c.allowChange != nullptr) {
                ASSERT_EQ(SetAttrValue(dir.Get(), kMary, kAttrPasswordAllowChange, kSyntaxBoolean, &allow), 1);
            }
        }
        if (c.signIn != nullptr) {
            SignIn(c.signIn);
        }
        HWND page = OpenAccounts(kMary);
        EXPECT_EQ(Enabled(page, kIdcAccountPassword), c.enabled);
        m_sheet->Close(kEndPagesCancel);
    }
    SignIn("Admin");
}

TEST_F(ForeignAccountTest, TheWizardGivesEveryListedAccountTheNewPasswordAddedOnesAmongThem) {
    PublishKeys();
    HWND page = OpenAccounts(kMary);
    AddThrough(page, {kPickNtd});
    ASSERT_TRUE(m_sheet->Ok());
    page = OpenAccounts(kMary);
    AddThrough(page, {kPickWs}); // listed, not applied yet
    std::vector<std::string> rows;
    RunWizardThrough(page, "Fresh123", &rows);
    EXPECT_EQ(rows, (std::vector<std::string>{"Success\tNTD.Corp", "Success\tWS1.Corp"}));
    EXPECT_EQ(Unsealed(kMaryNtd), std::optional<std::string>("Fresh123"));
    EXPECT_EQ(Unsealed(kMaryWs), std::optional<std::string>("Fresh123"));
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(ServerList(kMary), (std::vector<std::string>{kMaryNtd, kMaryWs}));
}

TEST_F(ForeignAccountTest, TheWizardDoesNotStartWhenTheUsersOwnAccountsCannotBeRead) {
    PublishKeys();
    AddObject(kMaryNtd, kClassHybridUser);
    Put(kMaryNtd, kAttrQdsUser, kSyntaxDistinguishedName, kMary);
    Put(kMary, kAttrApplicationServerList, kSyntaxDistinguishedName, kMaryNtd);
    {
        CDirContext dir;
        ASSERT_EQ(DirPasswordCallB(dir.Get(), kMary, "Before1", 0), kDirOk);
    }
    // Mary may change her NT account's password but may not read her own list of accounts.
    Grant(kDomain, kMary, kAttrKelPublicKey, kDirRightRead);
    Grant(kMaryNtd, kMary, kAttrAuthentication, kDirRightRead | kDirRightWrite);
    ASSERT_EQ(DirLogin(kMary, "Before1"), kDirOk);
    HWND page = OpenAccounts(kMary);
    EXPECT_TRUE(Rows(page, kIdcAccountList).empty());
    ASSERT_TRUE(Enabled(page, kIdcAccountPassword)) << "she may change her own password";
    ASSERT_EQ(Click(page, kIdcAccountPassword), UiActionError::None);
    EXPECT_EQ(ShownIds(), (std::vector<int>{kFmtChgPswdAccountsUnreadable}));
    m_sheet->Close(kEndPagesCancel);
    EXPECT_EQ(DirLogin(kMary, "Before1"), kDirOk) << "her directory password is as it was";
    SignIn("Admin");
    EXPECT_EQ(Unsealed(kMaryNtd), std::nullopt);
}

// A password typed into an account's attributes sheet and not applied yet is older than the wizard's: the
// user's apply keeps the wizard's password, and the sheet's other changes still reach the account.
TEST_F(ForeignAccountTest, TheWizardsPasswordOutlivesOnePendingInTheAttributesSheet) {
    PublishKeys();
    HWND page = OpenAccounts(kMary);
    AddThrough(page, {kPickNtd});
    ASSERT_TRUE(m_sheet->Ok());
    page = OpenAccounts(kMary);
    m_user->Expect(kIddHybridPageId, [](ModalContext& modal) {
        HWND id = modal.ActivePage();
        EXPECT_EQ(TypeText(id, kIdcAttrPassword, "Sheet111"), UiActionError::None);
        EXPECT_EQ(TypeText(id, kIdcAttrConfirm, "Sheet111"), UiActionError::None);
        EXPECT_EQ(Click(id, kIdcAttrDisabled), UiActionError::None);
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    ASSERT_EQ(SelectItems(page, kIdcAccountList, {"NTD.Corp"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcAccountAttributes), UiActionError::None);
    std::vector<std::string> rows;
    RunWizardThrough(page, "Wizard99", &rows);
    EXPECT_EQ(rows, (std::vector<std::string>{"Success\tNTD.Corp"}));
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Unsealed(kMaryNtd), std::optional<std::string>("Wizard99"));
    {
        CDirContext dir;
        uint32_t* disabled = nullptr;
        ASSERT_EQ(ReadAttrValue(dir.Get(), kMaryNtd, kAttrLoginDisabled, kSyntaxBoolean,
                                reinterpret_cast<void**>(&disabled)),
                  1);
        EXPECT_NE(*disabled, 0u) << "the sheet's other change is kept";
        std::free(disabled);
    }
    EXPECT_TRUE(ShownIds().empty());
    ForgetHybridAttributes();
}

TEST_F(ForeignAccountTest, AnAccountAnotherAdministratorListedOrTookOffAfterThePageOpenedStaysSo) {
    const std::string other = "Mary.Empty.Corp";
    for (const std::string& account : {std::string(kMaryWs), other}) {
        AddObject(account, kClassHybridUser);
        Put(account, kAttrQdsUser, kSyntaxDistinguishedName, kMary);
    }
    Put(kMary, kAttrApplicationServerList, kSyntaxDistinguishedName, kMaryWs);
    HWND page = OpenAccounts(kMary);
    ASSERT_NE(page, nullptr);
    // Another administrator lists one account and takes the other off the list.
    Put(kMary, kAttrApplicationServerList, kSyntaxDistinguishedName, other);
    {
        CDirContext dir;
        ASSERT_EQ(
            RemoveAttrValue(dir.Get(), kMary, kAttrApplicationServerList, kSyntaxDistinguishedName, kMaryWs),
            1);
    }
    AddThrough(page, {kPickNtd});
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_EQ(ServerList(kMary), (std::vector<std::string>{other, kMaryNtd}));
}
