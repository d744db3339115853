// A directory user made from a template (message 279 with the user and the template): its NT accounts in
// every NT system the template lists, with rights, groups and the template's settings.
#include "AccountOpsWorld.h"

#include "module/directory/Schema.h"
#include "module/handlers/AccountOpsIds.h"
#include "module/handlers/TemplateAccounts.h"
#include "platform/dirclient/DirClient.h"
#include "platform/winapi/Prompter.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

constexpr char kTemplate[] = "Tmpl.Corp";

class TemplateAccountsTest : public AccountOpsWorld {
protected:
    void SetUp() override {
        AccountOpsWorld::SetUp();
        AddObject("Staff.DomA.Corp", kClassNtGlobalGroup);
        AddObject("Printers.DomA.Corp", kClassNtLocalGroup);
        AddObject("Printers.WS1.Corp", kClassNtLocalGroup);
        AddObject(kTemplate, kClassTemplate);
        AddObject("Alice.Corp", kClassUser);
    }

    static void ListServers(std::initializer_list<const char*> servers) {
        for (const char* server : servers) {
            AddValue(kTemplate, kAttrApplicationServerList, server);
        }
    }

    static std::vector<std::string> Accounts(const std::string& user) {
        return Values(user, kAttrApplicationServerList);
    }
};

TEST_F(TemplateAccountsTest, EveryListedNtSystemGetsAnAccountWithRightsGroupsAndTheTemplatesSettings) {
    ListServers({"DomA.Corp", "WS1.Corp"});
    AddValue(kTemplate, kAttrMustChangePassword, "true");
    AddValue(kTemplate, kAttrGlobalAccount, "false");
    AddValue(kTemplate, kAttrEnabledWorkstationList, "PC1");
    AddValue(kTemplate, kAttrEnabledWorkstationList, "PC2");
    AddValue(kTemplate, kAttrProfilePath, "\\\\srv\\profiles");
    AddValue(kTemplate, kAttrHomeDirDrive, "H:");
    AddValue(kTemplate, kAttrTemplateGroups, "g.Staff");
    AddValue(kTemplate, kAttrTemplateGroups, "l.Printers");
    // The group list names the primary group by name; letter case does not matter.
    AddValue(kTemplate, kAttrTemplatePrimaryGroup, "staff");

    EXPECT_EQ(CreateAccountsFromTemplate("Alice.Corp", kTemplate), 0);

    EXPECT_THAT(Accounts("Alice.Corp"), ElementsAre("Alice.DomA.Corp", "Alice.WS1.Corp"));
    for (const char* account : {"Alice.DomA.Corp", "Alice.WS1.Corp"}) {
        SCOPED_TRACE(account);
        EXPECT_THAT(Values(account, kAttrObjectClass), ElementsAre(kClassHybridUser));
        EXPECT_THAT(Values(account, kAttrQdsUser), ElementsAre("Alice.Corp"));
        EXPECT_THAT(Values(account, kAttrAcl), UnorderedElementsAre("[All Attributes Rights]|Alice.Corp|2",
                                                                    "KEL:Authentication|Alice.Corp|6"));
        EXPECT_THAT(Values(account, kAttrMustChangePassword), ElementsAre("true"));
        EXPECT_THAT(Values(account, kAttrGlobalAccount), ElementsAre("false"));
        EXPECT_THAT(Values(account, kAttrEnabledWorkstationList), ElementsAre("PC1", "PC2"));
        EXPECT_THAT(Values(account, kAttrProfilePath), ElementsAre("\\\\srv\\profiles"));
        EXPECT_THAT(Values(account, kAttrHomeDirDrive), ElementsAre("H:"));
        // What the template does not hold is not written.
        for (const char* absent : {kAttrExpirePassword, kAttrScriptName, kAttrAlternateHomeDirectory}) {
            EXPECT_THAT(Values(account, absent), IsEmpty()) << absent;
        }
    }
    EXPECT_THAT(Values("Alice.DomA.Corp", kAttrGroupMembership),
                ElementsAre("Domain Users.DomA.Corp", "Staff.DomA.Corp", "Printers.DomA.Corp"));
    EXPECT_THAT(Values("Alice.DomA.Corp", kAttrPrimaryGroup), ElementsAre("Staff.DomA.Corp"));
    EXPECT_THAT(Values("Staff.DomA.Corp", kAttrMember), ElementsAre("Alice.DomA.Corp"));
    EXPECT_THAT(Values("Printers.DomA.Corp", kAttrMember), ElementsAre("Alice.DomA.Corp"));
    // WS1 has no Staff: that is shown, the account keeps its default group as primary group, and the loop
    // goes on with Printers.
    EXPECT_THAT(Values("Alice.WS1.Corp", kAttrGroupMembership),
                ElementsAre("Users.WS1.Corp", "Printers.WS1.Corp"));
    EXPECT_THAT(Values("Alice.WS1.Corp", kAttrPrimaryGroup), ElementsAre("Users.WS1.Corp"));
    ASSERT_THAT(ShownIds(), ElementsAre(57350));
    EXPECT_THAT(ShownTexts()[0], HasSubstr("Alice.WS1.Corp"));
    EXPECT_THAT(ShownTexts()[0], HasSubstr("Staff.WS1.Corp"));
}

TEST_F(TemplateAccountsTest, ATemplateWithoutNtSystemsMakesNoAccounts) {
    AddValue(kTemplate, kAttrTemplateGroups, "g.Staff");

    EXPECT_EQ(CreateAccountsFromTemplate("Alice.Corp", kTemplate), 0);

    EXPECT_THAT(Accounts("Alice.Corp"), IsEmpty());
    EXPECT_FALSE(Exists("Alice.DomA.Corp"));
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(TemplateAccountsTest, AUserNameLongerThanAnNtNameMakesNothingAndIsShown) {
    ListServers({"DomA.Corp"});
    struct Case {
        const char* leaf;
        bool made;
    } cases[] = {
        {"ABCDEFGHIJKLMNOPQRST", true},     // 20 characters
        {"ABCDEFGHIJKLMNOPQRSTU", false},   // 21
        {"ABCDEFGHI\\.KLMNOPQRST", true},   // 20 for the NT side: the escaping backslash does not count
        {"ABCDEFGHI\\.KLMNOPQRSTU", false}, // 21
        {"Zoë Élodie Ñúñez", true},         // 16 characters in 19 bytes
        {"ÀÉÎÕÜàéîõüÀÉÎÕÜàéîõü", true},     // 20 characters in 40 bytes
        {"ÀÉÎÕÜàéîõüÀÉÎÕÜàéîõüx", false},   // 21
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leaf);
        Prompter::Instance().Reset();
        const std::string user = std::string(c.leaf) + ".Corp";
        AddObject(user, kClassUser);

        EXPECT_EQ(CreateAccountsFromTemplate(user.c_str(), kTemplate), 0);

        EXPECT_EQ(Exists(std::string(c.leaf) + ".DomA.Corp"), c.made);
        if (c.made) {
            EXPECT_THAT(ShownIds(), IsEmpty());
        } else {
            EXPECT_THAT(ShownIds(), ElementsAre(35));
            EXPECT_THAT(Accounts(user), IsEmpty());
        }
    }
}

TEST_F(TemplateAccountsTest,
       AnNtSystemThatHoldsTheNameAlreadyOrNoObjectsIsSkippedAndTheOthersGetTheirAccounts) {
    AddObject("Alice.DomA.Corp", kClassNtUser);
    AddObject("Empty.Corp", kClassNtDomain);
    ListServers({"DomA.Corp", "Empty.Corp", "DomB.Corp"});

    EXPECT_EQ(CreateAccountsFromTemplate("Alice.Corp", kTemplate), 0);

    ASSERT_THAT(ShownIds(), ElementsAre(24, 23));
    EXPECT_THAT(ShownTexts()[0], HasSubstr("Alice.DomA.Corp"));
    EXPECT_THAT(ShownTexts()[1], HasSubstr("Empty.Corp"));
    EXPECT_THAT(Accounts("Alice.Corp"), ElementsAre("Alice.DomB.Corp"));
    EXPECT_THAT(Values("Alice.DomA.Corp", kAttrObjectClass), ElementsAre(kClassNtUser));
    EXPECT_FALSE(Exists("Alice.Empty.Corp"));
    EXPECT_THAT(Values("Alice.DomB.Corp", kAttrPrimaryGroup), ElementsAre("Domain Users.DomB.Corp"));
}

TEST_F(TemplateAccountsTest, FailuresAreShownAndTheWorkGoesOn) {
    // WS2 names no default group; a group value without its type prefix names no group; the default group
    // listed again as a template group is joined once.
    AddObject("Printers.DomB.Corp", kClassNtLocalGroup);
    AddObject("WS2.Corp", kClassNtWorkgroupSystem);
    AddObject("Printers.WS2.Corp", kClassNtLocalGroup);
    ListServers({"DomB.Corp", "WS2.Corp"});
    AddValue(kTemplate, kAttrTemplateGroups, "Staff");
    AddValue(kTemplate, kAttrTemplateGroups, "g.Domain Users");
    AddValue(kTemplate, kAttrTemplateGroups, "l.Printers");

    EXPECT_EQ(CreateAccountsFromTemplate("Alice.Corp", kTemplate), 0);

    EXPECT_THAT(ShownIds(),
                ElementsAre(57350,                 // DomB: "Staff"
                            57354, 57350, 57350)); // WS2: no default group, "Staff", no Domain Users
    EXPECT_THAT(ShownTexts()[1], HasSubstr("WS2.Corp"));
    EXPECT_THAT(Accounts("Alice.Corp"), ElementsAre("Alice.DomB.Corp", "Alice.WS2.Corp"));
    EXPECT_THAT(Values("Alice.DomB.Corp", kAttrGroupMembership),
                ElementsAre("Domain Users.DomB.Corp", "Printers.DomB.Corp"));
    EXPECT_THAT(Values("Domain Users.DomB.Corp", kAttrMember), ElementsAre("Alice.DomB.Corp"));
    EXPECT_THAT(Values("Alice.WS2.Corp", kAttrGroupMembership), ElementsAre("Printers.WS2.Corp"));
    EXPECT_THAT(Values("Alice.WS2.Corp", kAttrPrimaryGroup), IsEmpty());
}

TEST_F(TemplateAccountsTest, ARefusedRightOrSettingIsShownWithTheAccountAndWhatWasNotStored) {
    // The operator may make accounts in DomA and join them to groups, but neither give rights on them nor
    // write their profile path.
    AddObject("Operator.Corp", kClassUser);
    Grant("Corp", "Operator.Corp", kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
    Grant("Corp", "Operator.Corp", kAclEntryRights, kDirEntryBrowse);
    Grant("DomA.Corp", "Operator.Corp", kAclEntryRights, kDirEntryCreate);
    Grant("Alice.Corp", "Operator.Corp", kAttrApplicationServerList, kDirRightWrite);
    for (const char* attr : {kAttrMember, kAttrGroupMembership, kAttrPrimaryGroup, kAttrMustChangePassword}) {
        Grant("DomA.Corp", "Operator.Corp", attr, kDirRightWrite);
    }
    ListServers({"DomA.Corp"});
    AddValue(kTemplate, kAttrMustChangePassword, "true");
    AddValue(kTemplate, kAttrProfilePath, "\\\\NTDOM\\profiles");
    ASSERT_EQ(DirLogin("Operator.Corp", ""), kDirOk);

    EXPECT_EQ(CreateAccountsFromTemplate("Alice.Corp", kTemplate), 0);

    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    ASSERT_THAT(ShownIds(), ElementsAre(kFmtUserRightFailed, kFmtUserRightFailed, kFmtSettingFailed));
    for (const std::string& text : ShownTexts()) {
        EXPECT_THAT(text, HasSubstr("Alice.DomA.Corp"));
    }
    EXPECT_THAT(ShownTexts()[0],
                HasSubstr("Alice.Corp could not be given its right to [All Attributes Rights]"));
    EXPECT_THAT(ShownTexts()[1], HasSubstr("KEL:Authentication"));
    EXPECT_THAT(ShownTexts()[2], HasSubstr("KEL:Profile Path could not be copied from Tmpl.Corp"));
    EXPECT_THAT(Values("Alice.DomA.Corp", kAttrMustChangePassword), ElementsAre("true"));
    EXPECT_THAT(Values("Alice.DomA.Corp", kAttrProfilePath), IsEmpty());
    EXPECT_THAT(Values("Alice.DomA.Corp", kAttrPrimaryGroup), ElementsAre("Domain Users.DomA.Corp"));
}

TEST_F(TemplateAccountsTest, AnAccountTheDirectoryRefusesIsShownWithItsCode) {
    ListServers({"DomA.Corp", "DomB.Corp"});
    // Only DomB lets the operator make objects.
    AddObject("Operator.Corp", kClassUser);
    Grant("Corp", "Operator.Corp", kAclAllAttributesRights,
          kDirRightRead | kDirRightCompare | kDirRightWrite);
    Grant("Corp", "Operator.Corp", kAclEntryRights, kDirEntryBrowse);
    Grant("DomB.Corp", "Operator.Corp", kAclEntryRights, kDirEntryCreate);
    ASSERT_EQ(DirLogin("Operator.Corp", ""), kDirOk);

    EXPECT_EQ(CreateAccountsFromTemplate("Alice.Corp", kTemplate), 0);

    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    ASSERT_THAT(ShownIds(), ElementsAre(18));
    EXPECT_THAT(ShownTexts()[0], HasSubstr("(error -706)"));
    EXPECT_FALSE(Exists("Alice.DomA.Corp"));
    EXPECT_THAT(Accounts("Alice.Corp"), ElementsAre("Alice.DomB.Corp"));
}

TEST_F(TemplateAccountsTest, AWriteRefusedPartWayLeavesTheAccountNamingItsUserAndTheGroupItsMember) {
    // Each case has an NT domain and a user of its own; the operator may make accounts there and write
    // their "ACL", and the attributes listed.
    AddObject("Operator.Corp", kClassUser);
    Grant("Corp", "Operator.Corp", kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
    Grant("Corp", "Operator.Corp", kAclEntryRights, kDirEntryBrowse);
    struct Case {
        std::vector<std::string> writable; // in the domain, for the account and the default group
        bool userListWritable;
        std::vector<std::string> listed; // the user's "KEL:Application Server List"
        std::vector<std::string> member; // the default group's "Member"
        std::vector<std::string> membership;
        std::vector<std::string> primary;
        std::vector<int> shown;
    };
    const Case cases[] = {
        // The account names its user from its add request on; the user's list cannot name it before it
        // exists, and is what the check adds.
        {{kAttrMember, kAttrGroupMembership, kAttrPrimaryGroup},
         false,
         {},
         {"U0.Dom0.Corp"},
         {"Domain Users.Dom0.Corp"},
         {"Domain Users.Dom0.Corp"},
         {kFmtServerListFailed}},
        {{kAttrMember, kAttrPrimaryGroup},
         true,
         {"U1.Dom1.Corp"},
         {"U1.Dom1.Corp"},
         {},
         {},
         {kFmtMembershipFailed, kFmtPrimaryGroupFailed}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string n = std::to_string(i);
        const std::string domain = "Dom" + n + ".Corp";
        const std::string user = "U" + n + ".Corp";
        const std::string account = "U" + n + "." + domain;
        const std::string templateName = "T" + n + ".Corp";
        SCOPED_TRACE(account);
        AddNtSystem(domain, kClassNtDomain, "Domain Users");
        AddObject(user, kClassUser);
        AddObject(templateName, kClassTemplate);
        AddValue(templateName, kAttrApplicationServerList, domain);
        Grant(domain, "Operator.Corp", kAclEntryRights, kDirEntryCreate);
        Grant(domain, "Operator.Corp", kAttrAcl, kDirRightWrite);
        for (const std::string& attr : c.writable) {
            Grant(domain, "Operator.Corp", attr, kDirRightWrite);
        }
        if (c.userListWritable) {
            Grant(user, "Operator.Corp", kAttrApplicationServerList, kDirRightWrite);
        }
        Prompter::Instance().Reset();
        ASSERT_EQ(DirLogin("Operator.Corp", ""), kDirOk);

        EXPECT_EQ(CreateAccountsFromTemplate(user.c_str(), templateName.c_str()), 0);

        ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
        EXPECT_THAT(Values(account, kAttrQdsUser), ElementsAre(user));
        EXPECT_THAT(Accounts(user), ElementsAreArray(c.listed));
        EXPECT_THAT(Values("Domain Users." + domain, kAttrMember), ElementsAreArray(c.member));
        EXPECT_THAT(Values(account, kAttrGroupMembership), ElementsAreArray(c.membership));
        EXPECT_THAT(Values(account, kAttrPrimaryGroup), ElementsAreArray(c.primary));
        EXPECT_THAT(ShownIds(), ElementsAreArray(c.shown));
    }
}

TEST(TemplateGroupNameTest, TheNameFollowsTheTypePrefix) {
    struct Case {
        const char* value;
        const char* name;
    } cases[] = {
        {"g.Admins", "Admins"},
        {"l.Printers", "Printers"},
        {"g.Domain Users", "Domain Users"},
        {"l.Back.Office", "Back.Office"},
        {"Admins", ""},
        {"x.Admins", ""},
        {"g.", ""},
        {"g", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(TemplateGroupName(c.value), c.name) << c.value;
    }
    EXPECT_STREQ(TemplateGroupName(nullptr), "");
}

} // namespace

TEST_F(TemplateAccountsTest, ATemplateWithoutAGlobalAccountValueMakesGlobalAccountsNamedByTheirCN) {
    // The template's page shows such a template's global account box checked.
    ListServers({"DomA.Corp"});
    AddObject("Bob.Corp", kClassUser);

    EXPECT_EQ(CreateAccountsFromTemplate("Alice.Corp", kTemplate), 0);
    EXPECT_THAT(Values("Alice.DomA.Corp", kAttrGlobalAccount), ElementsAre("true"));
    EXPECT_THAT(Values("Alice.DomA.Corp", kAttrCN), ElementsAre("Alice"));

    AddValue(kTemplate, kAttrGlobalAccount, "false");
    EXPECT_EQ(CreateAccountsFromTemplate("Bob.Corp", kTemplate), 0);
    EXPECT_THAT(Values("Bob.DomA.Corp", kAttrGlobalAccount), ElementsAre("false"));
    EXPECT_THAT(ShownIds(), IsEmpty());
}
