// What the host's delete, copy, move and rename of a directory user do to its NT accounts, sent as the host
// sends them.
#include "AccountsWorld.h"

#include "module/directory/FullName.h"

#include "host/services/HostServices.h"

namespace {

long Send(const std::string& object, unsigned short message, unsigned long param1 = 0) {
    return HostServices::Instance().SendToClass(kClassUser, object, message, param1, 0).value_or(-999);
}

} // namespace

class ForeignAccountRulesTest : public AccountsWorld {
protected:
    // Mary with an account in the NT domain and one in the workgroup system, as the page makes them.
    void GiveMaryTwoAccounts() {
        HWND page = OpenAccounts(kMary);
        AddThrough(page, {kPickNtd, kPickWs});
        ASSERT_TRUE(m_sheet->Ok());
        ASSERT_EQ(ServerList(kMary), (std::vector<std::string>{kMaryNtd, kMaryWs}));
        Prompter::Instance().Reset();
    }
    // The host renames the user, then tells the module.
    long Rename(const std::string& user, const std::string& leaf) {
        CDirContext dir;
        EXPECT_EQ(DirRenameObject(dir.Get(), user.c_str(), leaf.c_str(), 1), kDirOk);
        const std::string renamed = static_cast<const char*>(MakeFullName(leaf.c_str(), GetContainerName(user.c_str())));
        return Send(renamed, SNAP_NOTIFY_RENAME, reinterpret_cast<unsigned long>(user.c_str()));
    }
};

TEST_F(ForeignAccountRulesTest, DeletingAUserWithAccountsAsksAndOkDeletesTheAccountsFirst) {
    GiveMaryTwoAccounts();
    struct Case {
        const char* name;
        int button;
        long answer;
        bool accountsLeft;
    };
    for (const Case& c : {Case{"Cancel", IDCANCEL, -1, true}, Case{"OK", IDOK, 0, false}}) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> listed;
        m_user->Expect(kIddDeleteAccounts, [&listed, &c](ModalContext& modal) {
            listed = Rows(modal.window, kIdcDeleteAccountsList);
            EXPECT_EQ(Click(modal.window, c.button), UiActionError::None);
        });
        EXPECT_EQ(Send(kMary, SNAP_QUERY_DELETE), c.answer);
        EXPECT_EQ(listed, (std::vector<std::string>{kMaryNtd, kMaryWs}));
        EXPECT_EQ(Exists(kMaryNtd), c.accountsLeft);
        EXPECT_EQ(Exists(kMaryWs), c.accountsLeft);
    }
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(ForeignAccountRulesTest, DeletingAUserWithoutAccountsAsksNothing) {
    EXPECT_EQ(Send(kMary, SNAP_QUERY_DELETE), 0);
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(ForeignAccountRulesTest, CopyAndMoveAreRefusedWithTheUsersName) {
    EXPECT_EQ(Send(kMary, SNAP_QUERY_COPY), -1);
    EXPECT_EQ(Send(kMary, SNAP_QUERY_MOVE), -1);
    std::vector<std::string> texts;
    for (const auto& box : Prompter::Instance().Messages()) {
        texts.push_back(box.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"CForeignAccount::OnQueryCopy(Mary.Corp)",
                                               "CForeignAccount::OnQueryMove(Mary.Corp)"}));
}

TEST_F(ForeignAccountRulesTest, RenamingAUserRenamesItsAccountsOrRenamesItBackWhenTooLong) {
    GiveMaryTwoAccounts();
    EXPECT_EQ(Rename(kMary, "ABCDEFGHIJKLMNOPQRSTU"), 0);
    EXPECT_EQ(ShownIds(), (std::vector<int>{kMsgRenamedBack}));
    EXPECT_TRUE(Exists(kMary)) << "renamed back";
    EXPECT_TRUE(Exists(kMaryNtd));

    Prompter::Instance().Reset();
    EXPECT_EQ(Rename(kMary, "Maria"), 0);
    EXPECT_EQ(ShownIds(), (std::vector<int>{kMsgAccountsRenamed}));
    EXPECT_TRUE(Exists("Maria.NTD.Corp"));
    EXPECT_TRUE(Exists("Maria.WS1.Corp"));
    EXPECT_EQ(ServerList("Maria.Corp"), (std::vector<std::string>{"Maria.NTD.Corp", "Maria.WS1.Corp"}));
    EXPECT_EQ(Values("Maria.NTD.Corp", kAttrQdsUser, kSyntaxDistinguishedName),
              (std::vector<std::string>{"Maria.Corp"}));
}

TEST_F(ForeignAccountRulesTest, AnAccountThatCannotFollowTheRenameIsShownAndTheOthersStillFollow) {
    GiveMaryTwoAccounts();
    AddObject("Maria.NTD.Corp", kClassNtUser); // the new name is taken in the NT domain
    EXPECT_EQ(Rename(kMary, "Maria"), 0);
    EXPECT_EQ(ShownIds(), (std::vector<int>{kFmtAccountRenameFailed})) << "nothing claims they all followed";
    EXPECT_EQ(Prompter::Instance().Messages().front().text,
              "The NT account Mary.NTD.Corp could not be renamed to Maria (error -709). Rename it in its NT "
              "system yourself.");
    EXPECT_TRUE(Exists(kMaryNtd));
    EXPECT_TRUE(Exists("Maria.WS1.Corp"));

    // The list still names the account that stayed behind; the next rename takes it along and leaves the
    // NT user that took the name alone.
    Prompter::Instance().Reset();
    EXPECT_EQ(Rename("Maria.Corp", "Marta"), 0);
    EXPECT_EQ(ShownIds(), (std::vector<int>{kMsgAccountsRenamed}));
    EXPECT_TRUE(Exists("Maria.NTD.Corp")) << "not Mary's";
    EXPECT_EQ(Values("Maria.NTD.Corp", kAttrQdsUser, kSyntaxDistinguishedName), std::vector<std::string>{});
    EXPECT_TRUE(Exists("Marta.NTD.Corp"));
    EXPECT_TRUE(Exists("Marta.WS1.Corp"));
    EXPECT_EQ(ServerList("Marta.Corp"), (std::vector<std::string>{"Marta.NTD.Corp", "Marta.WS1.Corp"}));
}

TEST_F(ForeignAccountRulesTest, AListedAccountOfAnotherUserIsNotRenamed) {
    GiveMaryTwoAccounts();
    AddObject("Ann.Corp", kClassUser);
    AddObject("Ann.Empty.Corp", kClassHybridUser);
    Put("Ann.Empty.Corp", kAttrQdsUser, kSyntaxDistinguishedName, "Ann.Corp");
    Put(kMary, kAttrApplicationServerList, kSyntaxDistinguishedName, "Ann.Empty.Corp");
    EXPECT_EQ(Rename(kMary, "Maria"), 0);
    EXPECT_EQ(ShownIds(), (std::vector<int>{kFmtAccountNotUsers}));
    EXPECT_TRUE(Exists("Ann.Empty.Corp"));
    EXPECT_TRUE(Exists("Maria.NTD.Corp"));
    EXPECT_TRUE(Exists("Maria.WS1.Corp"));
}

// Every right the whole delete needs is there before anything is deleted, and an account list that cannot
// be read is not taken for none: the person is told why, asked nothing, and everything stays. With every
// right the question comes, and OK deletes the accounts.
// A delete whose rights were all there can still fail for an account (a server's directory also asks for
// Write on the lists that name it): the user then stays with what is left, never gone while an account of
// it remains. Where every account goes, so does the user.
TEST_F(ForeignAccountRulesTest, AUserIsNeverDeletedWhileOneOfItsAccountsStays) {
    GiveMaryTwoAccounts();
    SignIn("Admin");
    const std::string who = "Deleter.Corp";
    AddObject(who, kClassUser);
    Grant(kCorp, who, kAclEntryRights, kDirEntryBrowse);
    Grant(kMary, who, kAttrApplicationServerList, kDirRightRead);
    for (const char* object : {kMary, kDomain, kWorkstation}) {
        Grant(object, who, kAclEntryRights, kDirEntryBrowse | kDirEntryDelete);
    }
    m_user->Expect(kIddDeleteAccounts,
                   [](ModalContext& modal) { EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None); });
    SignIn(who);
    Prompter::Instance().Reset();
    const LONG answer = Send(kMary, SNAP_QUERY_DELETE);
    SignIn("Admin");
    const bool left = Exists(kMaryNtd) || Exists(kMaryWs);
    EXPECT_EQ(answer, left ? -1 : 0) << "the host deletes the user only when no account of it is left";
    EXPECT_EQ(ShownIds().empty(), !left) << "an account that stayed is shown";
}

TEST_F(ForeignAccountRulesTest, ADeleteThatCannotBeDoneWholeIsRefusedBeforeAnythingIsDeleted) {
    GiveMaryTwoAccounts();
    struct Case {
        const char* name;
        std::vector<std::string> deletable; // objects the case's helper may delete
        bool readsList;
        std::vector<int> shown; // nothing shown: the question is asked and answered with OK
    };
    const std::vector<std::string> everything{kMary, kDomain, kWorkstation};
    const Case cases[] = {
        {"the accounts but not the user", {kDomain, kWorkstation}, true, {kFmtDeleteNotAllowed}},
        {"the user and one account", {kMary, kDomain}, true, {kFmtDeleteNotAllowed}},
        {"everything, the list unread", everything, false, {kFmtDeleteAccountsUnreadable}},
        {"everything, the list read", everything, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignIn("Admin");
        const std::string who = "Helper" + std::to_string(&c - cases) + ".Corp";
        AddObject(who, kClassUser);
        Grant(kCorp, who, kAclEntryRights, kDirEntryBrowse);
        if (c.readsList) {
            Grant(kMary, who, kAttrApplicationServerList, kDirRightRead);
        }
        for (const std::string& object : c.deletable) {
            Grant(object, who, kAclEntryRights, kDirEntryBrowse | kDirEntryDelete);
        }
        const bool asked = c.shown.empty();
        if (asked) {
            // The values that name an account go with it: a server's directory asks for Write on those lists.
            Grant(kMary, who, kAttrApplicationServerList, kDirRightRead | kDirRightWrite);
            Grant(kDomain, who, kAttrMember, kDirRightWrite);
            Grant(kWorkstation, who, kAttrMember, kDirRightWrite);
            m_user->Expect(kIddDeleteAccounts, [](ModalContext& modal) {
                EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
            });
        }
        SignIn(who);
        Prompter::Instance().Reset();
        EXPECT_EQ(Send(kMary, SNAP_QUERY_DELETE), asked ? 0 : -1);
        EXPECT_EQ(ShownIds(), c.shown);
        SignIn("Admin");
        EXPECT_EQ(Exists(kMaryNtd), !asked);
        EXPECT_EQ(Exists(kMaryWs), !asked);
    }
}
