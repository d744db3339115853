// Moving NT users and hybrid users to another NT system as the host does it: the directory's move, then
// message 275's work with the new name and both NT systems.
#include "AccountOpsWorld.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountMove.h"
#include "module/handlers/AccountOpsIds.h"
#include "platform/dirclient/DirClient.h"
#include "platform/winapi/Prompter.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

class AccountMoveTest : public AccountOpsWorld {
protected:
    void SetUp() override {
        AccountOpsWorld::SetUp();
        // Ann works in DomA: its default group (her primary group), a second global group and a local group.
        AddObject("Staff.DomA.Corp", kClassNtGlobalGroup);
        AddObject("Printers.DomA.Corp", kClassNtLocalGroup);
        AddObject("Staff.DomB.Corp", kClassNtGlobalGroup);
        AddObject("Printers.DomB.Corp", kClassNtLocalGroup);
        AddObject("Ann.DomA.Corp", kClassNtUser);
        for (const char* group : {"Domain Users.DomA.Corp", "Staff.DomA.Corp", "Printers.DomA.Corp"}) {
            Link("Ann.DomA.Corp", group);
        }
        AddValue("Ann.DomA.Corp", kAttrPrimaryGroup, "Domain Users.DomA.Corp");
    }

    // The host's move: the directory's own move call, then 275 with the new name and both containers.
    static long MoveAs(const std::string& account, const std::string& from, const std::string& to) {
        CDirContext dir;
        const std::string object = account + "." + from;
        EXPECT_EQ(DirMoveObject(dir.Get(), object.c_str(), to.c_str()), kDirOk);
        const std::string moved = account + "." + to;
        return MoveAccountMemberships(moved.c_str(), from.c_str(), to.c_str());
    }
};

TEST_F(AccountMoveTest, AUserMovedToAnotherDomainTakesItsGlobalGroupsAlongAndLeavesTheOldOnes) {
    EXPECT_EQ(MoveAs("Ann", "DomA.Corp", "DomB.Corp"), 0);

    EXPECT_THAT(Values("Ann.DomB.Corp", kAttrGroupMembership),
                UnorderedElementsAre("Domain Users.DomB.Corp", "Staff.DomB.Corp"));
    EXPECT_THAT(Values("Ann.DomB.Corp", kAttrPrimaryGroup), ElementsAre("Domain Users.DomB.Corp"));
    EXPECT_THAT(Values("Domain Users.DomB.Corp", kAttrMember), ElementsAre("Ann.DomB.Corp"));
    EXPECT_THAT(Values("Staff.DomB.Corp", kAttrMember), ElementsAre("Ann.DomB.Corp"));
    // A local group belongs to its own NT system: left, and its namesake is not joined.
    for (const char* group :
         {"Domain Users.DomA.Corp", "Staff.DomA.Corp", "Printers.DomA.Corp", "Printers.DomB.Corp"}) {
        EXPECT_THAT(Values(group, kAttrMember), IsEmpty()) << group;
    }
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(AccountMoveTest, APrimaryGroupWithANamesakeInTheDestinationStaysTheUsersPrimaryGroup) {
    CDirContext dir;
    ASSERT_EQ(SetAttrValue(dir.Get(), "Ann.DomA.Corp", kAttrPrimaryGroup, kSyntaxDistinguishedName,
                           "Staff.DomA.Corp"),
              1);

    EXPECT_EQ(MoveAs("Ann", "DomA.Corp", "DomB.Corp"), 0);

    EXPECT_THAT(Values("Ann.DomB.Corp", kAttrPrimaryGroup), ElementsAre("Staff.DomB.Corp"));
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(AccountMoveTest, AGroupTheDestinationLacksIsLostAndTheOthersAreKeptInStep) {
    AddObject("Auditors.DomA.Corp", kClassNtGlobalGroup);
    Link("Ann.DomA.Corp", "Auditors.DomA.Corp");
    // A same-named object that is not a global group is no namesake.
    AddObject("Auditors.DomB.Corp", kClassNtLocalGroup);

    EXPECT_EQ(MoveAs("Ann", "DomA.Corp", "DomB.Corp"), 0);

    EXPECT_THAT(Values("Ann.DomB.Corp", kAttrGroupMembership),
                UnorderedElementsAre("Domain Users.DomB.Corp", "Staff.DomB.Corp"));
    EXPECT_THAT(Values("Auditors.DomA.Corp", kAttrMember), IsEmpty());
    EXPECT_THAT(Values("Auditors.DomB.Corp", kAttrMember), IsEmpty());
}

TEST_F(AccountMoveTest, APrimaryGroupThatNothingReplacesIsTakenOffAndTheMessageSaysSo) {
    // DomC names no default group; DomD names one that does not exist. Neither holds the old groups.
    AddObject("DomC.Corp", kClassNtDomain);
    AddObject("DomD.Corp", kClassNtDomain);
    AddValue("DomD.Corp", kAttrNtDefaultGroupName, "Nobody");
    // Cy's primary group is not among his groups at all, so no leave takes it off.
    AddObject("Cy.DomA.Corp", kClassNtUser);
    Link("Cy.DomA.Corp", "Staff.DomA.Corp");
    AddValue("Cy.DomA.Corp", kAttrPrimaryGroup, "Domain Users.DomA.Corp");
    AddObject("Dot.DomA.Corp", kClassNtUser);
    Link("Dot.DomA.Corp", "Staff.DomA.Corp");
    AddValue("Dot.DomA.Corp", kAttrPrimaryGroup, "Domain Users.DomA.Corp");
    struct Case {
        const char* account;
        const char* to;
        std::vector<int> messages;
        const char* firstNames; // a name the first message carries
        std::vector<std::string> primaryLeft;
    } cases[] = {
        {"Ann", "DomC.Corp", {57354, 57358}, "DomC.Corp", {}},
        {"Cy", "DomD.Corp", {57352, 57358}, "Nobody.DomD.Corp", {}},
        // Dot may not change its primary group at all: the old one stays, and the message says so.
        {"Dot",
         "DomB.Corp",
         {kFmtPrimaryGroupFailed, 57359},
         "Domain Users.DomB.Corp",
         {"Domain Users.DomA.Corp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.account);
        Prompter::Instance().Reset();
        if (std::string(c.account) == "Dot") {
            // The default group and the namesake of Staff take Dot, but its primary group cannot be written.
            AddObject("Writer.Corp", kClassUser);
            Grant("Corp", "Writer.Corp", kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
            Grant("Corp", "Writer.Corp", kAclEntryRights, kDirEntryBrowse);
            Grant("Corp", "Writer.Corp", kAttrMember, kDirRightWrite);
            Grant("Corp", "Writer.Corp", kAttrGroupMembership, kDirRightWrite);
            CDirContext dir;
            ASSERT_EQ(DirMoveObject(dir.Get(), "Dot.DomA.Corp", "DomB.Corp"), kDirOk);
            ASSERT_EQ(DirLogin("Writer.Corp", ""), kDirOk);
            EXPECT_EQ(MoveAccountMemberships("Dot.DomB.Corp", "DomA.Corp", "DomB.Corp"), 0);
            ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
        } else {
            EXPECT_EQ(MoveAs(c.account, "DomA.Corp", c.to), 0);
        }
        const std::string moved = std::string(c.account) + "." + c.to;

        EXPECT_EQ(Values(moved, kAttrPrimaryGroup), c.primaryLeft);
        EXPECT_THAT(Values("Staff.DomA.Corp", kAttrMember), ::testing::Not(::testing::Contains(moved)));
        ASSERT_EQ(ShownIds(), c.messages);
        EXPECT_THAT(ShownTexts()[0], ::testing::HasSubstr(c.firstNames));
        // The last message names the account and the group that is no longer its primary group.
        EXPECT_THAT(ShownTexts().back(), ::testing::HasSubstr(moved));
        EXPECT_THAT(ShownTexts().back(), ::testing::HasSubstr("Domain Users.DomA.Corp"));
    }
}

TEST_F(AccountMoveTest, AWriteTheDirectoryRefusesIsShownAndTheMoveGoesOnWithTheNextGroup) {
    // The operator may change Ann and every group of DomA, but in DomB only the default group's members.
    AddObject("Operator.Corp", kClassUser);
    AddObject("Auditors.DomA.Corp", kClassNtGlobalGroup);
    AddObject("Auditors.DomB.Corp", kClassNtGlobalGroup);
    Link("Ann.DomA.Corp", "Auditors.DomA.Corp");
    Grant("Corp", "Operator.Corp", kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
    Grant("Corp", "Operator.Corp", kAclEntryRights, kDirEntryBrowse);
    Grant("DomA.Corp", "Operator.Corp", kAttrMember, kDirRightWrite);
    Grant("Domain Users.DomB.Corp", "Operator.Corp", kAttrMember, kDirRightWrite);
    Grant("Auditors.DomB.Corp", "Operator.Corp", kAttrMember, kDirRightWrite);
    {
        CDirContext dir;
        ASSERT_EQ(DirMoveObject(dir.Get(), "Ann.DomA.Corp", "DomB.Corp"), kDirOk);
    }
    Grant("Ann.DomB.Corp", "Operator.Corp", kAclAllAttributesRights, kDirRightRead | kDirRightWrite);
    ASSERT_EQ(DirLogin("Operator.Corp", ""), kDirOk);

    EXPECT_EQ(MoveAccountMemberships("Ann.DomB.Corp", "DomA.Corp", "DomB.Corp"), 0);

    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    // Staff.DomB refused its member; the groups after it in the list were still taken over.
    EXPECT_THAT(ShownIds(), ElementsAre(57352));
    EXPECT_THAT(ShownTexts()[0], ::testing::HasSubstr("Staff.DomB.Corp"));
    EXPECT_THAT(ShownTexts()[0], ::testing::HasSubstr("Ann.DomB.Corp"));
    EXPECT_THAT(Values("Ann.DomB.Corp", kAttrGroupMembership),
                UnorderedElementsAre("Domain Users.DomB.Corp", "Auditors.DomB.Corp"));
    EXPECT_THAT(Values("Staff.DomB.Corp", kAttrMember), IsEmpty());
    EXPECT_THAT(Values("Staff.DomA.Corp", kAttrMember), IsEmpty());
    EXPECT_THAT(Values("Auditors.DomB.Corp", kAttrMember), ElementsAre("Ann.DomB.Corp"));
}

TEST_F(AccountMoveTest, AHybridUserKeepsItsDirectoryUserAndTakesItsGroupsAlong) {
    AddObject("Bea.Corp", kClassUser);
    AddObject("Bea.DomA.Corp", kClassHybridUser);
    AddValue("Bea.DomA.Corp", kAttrQdsUser, "Bea.Corp");
    AddValue("Bea.Corp", kAttrApplicationServerList, "Bea.DomA.Corp");
    Link("Bea.DomA.Corp", "Domain Users.DomA.Corp");
    Link("Bea.DomA.Corp", "Staff.DomA.Corp");
    AddValue("Bea.DomA.Corp", kAttrPrimaryGroup, "Domain Users.DomA.Corp");

    EXPECT_EQ(MoveAs("Bea", "DomA.Corp", "DomB.Corp"), 0);

    EXPECT_THAT(Values("Bea.Corp", kAttrApplicationServerList), ElementsAre("Bea.DomB.Corp"));
    EXPECT_THAT(Values("Bea.DomB.Corp", kAttrQdsUser), ElementsAre("Bea.Corp"));
    EXPECT_THAT(Values("Bea.DomB.Corp", kAttrGroupMembership),
                UnorderedElementsAre("Domain Users.DomB.Corp", "Staff.DomB.Corp"));
    EXPECT_THAT(Values("Bea.DomB.Corp", kAttrPrimaryGroup), ElementsAre("Domain Users.DomB.Corp"));
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(AccountMoveTest, AMoveWithinOneNtSystemChangesNoMembership) {
    EXPECT_EQ(MoveAccountMemberships("Ann.DomA.Corp", "DomA.Corp", "doma.corp"), 0);

    EXPECT_THAT(Values("Ann.DomA.Corp", kAttrGroupMembership),
                ElementsAre("Domain Users.DomA.Corp", "Staff.DomA.Corp", "Printers.DomA.Corp"));
    EXPECT_THAT(ShownIds(), IsEmpty());
}

} // namespace
