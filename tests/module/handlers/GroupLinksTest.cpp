// The order of the writes that make and break an NT group membership. An operator whose rights stop at a
// given step leaves what an interruption after the step before would leave; each such state must be one
// the directory's check repairs (a missing side added, a primary group outside the groups removed).
#include "AccountOpsWorld.h"

#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountOpsIds.h"
#include "module/handlers/GroupLinks.h"
#include "platform/dirclient/DirClient.h"
#include "platform/winapi/Prompter.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

using ::testing::ElementsAreArray;

namespace {

using Names = std::vector<std::string>;

class GroupLinksTest : public AccountOpsWorld {
protected:
    void SetUp() override {
        AccountOpsWorld::SetUp();
        AddObject("Operator.Corp", kClassUser);
        Grant("Corp", "Operator.Corp", kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
        Grant("Corp", "Operator.Corp", kAclEntryRights, kDirEntryBrowse);
    }

    // An account and a group of their own for one case, so that the rights of one case do not reach the
    // next; the operator may write the group's "Member" and the account's attributes listed in writable.
    static void MakeCase(const std::string& account, const std::string& group, const Names& writable) {
        AddObject(account, kClassNtUser);
        AddObject(group, kClassNtGlobalGroup);
        for (const std::string& attr : writable) {
            Grant(attr == kAttrMember ? group : account, "Operator.Corp", attr, kDirRightWrite);
        }
    }
};

TEST_F(GroupLinksTest, AJoinWritesTheGroupFirstAndThePrimaryGroupLast) {
    struct Case {
        Names writable;
        Names member;
        Names membership;
        Names primary;
        std::vector<int> shown;
    };
    const Case cases[] = {
        {{}, {}, {}, {}, {kFmtMemberFailed}},
        // Only the group names the link: the check adds the account's side.
        {{kAttrMember}, {"A1.DomA.Corp"}, {}, {}, {kFmtMembershipFailed, kFmtPrimaryGroupFailed}},
        // The primary group waits for both sides, even where it could be written.
        {{kAttrMember, kAttrPrimaryGroup},
         {"A2.DomA.Corp"},
         {},
         {},
         {kFmtMembershipFailed, kFmtPrimaryGroupFailed}},
        {{kAttrMember, kAttrGroupMembership},
         {"A3.DomA.Corp"},
         {"G3.DomA.Corp"},
         {},
         {kFmtPrimaryGroupFailed}},
        {{kAttrMember, kAttrGroupMembership, kAttrPrimaryGroup},
         {"A4.DomA.Corp"},
         {"G4.DomA.Corp"},
         {"G4.DomA.Corp"},
         {}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string account = "A" + std::to_string(i) + ".DomA.Corp";
        const std::string group = "G" + std::to_string(i) + ".DomA.Corp";
        SCOPED_TRACE(account);
        MakeCase(account, group, c.writable);
        Prompter::Instance().Reset();
        ASSERT_EQ(DirLogin("Operator.Corp", ""), kDirOk);
        {
            CDirContext dir;
            const GroupJoin joined =
                JoinGroup(dir.Get(), account.c_str(), group.c_str(), kFmtMemberFailed, kFmtMembershipFailed);
            static_cast<void>(SetPrimaryGroupAfterJoin(dir.Get(), account.c_str(), group.c_str(), joined));
        }
        ASSERT_EQ(DirLogin("Admin", ""), kDirOk);

        EXPECT_THAT(Values(group, kAttrMember), ElementsAreArray(c.member));
        EXPECT_THAT(Values(account, kAttrGroupMembership), ElementsAreArray(c.membership));
        EXPECT_THAT(Values(account, kAttrPrimaryGroup), ElementsAreArray(c.primary));
        EXPECT_THAT(ShownIds(), ElementsAreArray(c.shown));
    }
}

TEST_F(GroupLinksTest, ALeaveTakesThePrimaryGroupFirstAndTheGroupLast) {
    struct Case {
        Names writable;
        bool primaryIsTheGroup;
        Names member;
        Names membership;
        Names primary;
        std::vector<int> shown;
    };
    // "G" stands for the case's group, "O" for another group of the account.
    const Case cases[] = {
        {{}, true, {"A"}, {"G", "O"}, {"G"}, {kFmtMembershipFailed, kFmtMemberFailed}},
        {{kAttrPrimaryGroup}, true, {"A"}, {"G", "O"}, {}, {kFmtMembershipFailed, kFmtMemberFailed}},
        // Only the group names the link: the check adds the account's side back.
        {{kAttrPrimaryGroup, kAttrGroupMembership}, true, {"A"}, {"O"}, {}, {kFmtMemberFailed}},
        {{kAttrPrimaryGroup, kAttrGroupMembership, kAttrMember}, true, {}, {"O"}, {}, {}},
        // Another primary group stays.
        {{kAttrPrimaryGroup, kAttrGroupMembership, kAttrMember}, false, {}, {"O"}, {"O"}, {}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string account = "A" + std::to_string(i) + ".DomA.Corp";
        const std::string group = "G" + std::to_string(i) + ".DomA.Corp";
        const std::string other = "O" + std::to_string(i) + ".DomA.Corp";
        SCOPED_TRACE(account);
        MakeCase(account, group, c.writable);
        AddObject(other, kClassNtGlobalGroup);
        Link(account, group);
        Link(account, other);
        AddValue(account, kAttrPrimaryGroup, c.primaryIsTheGroup ? group : other);
        const auto named = [&](const Names& letters) {
            Names names;
            for (const std::string& letter : letters) {
                names.push_back(letter == "A" ? account : letter == "G" ? group : other);
            }
            return names;
        };
        Prompter::Instance().Reset();
        ASSERT_EQ(DirLogin("Operator.Corp", ""), kDirOk);
        {
            CDirContext dir;
            static_cast<void>(LeaveGroup(dir.Get(), account.c_str(), group.c_str(), kFmtMemberFailed,
                                         kFmtMembershipFailed));
        }
        ASSERT_EQ(DirLogin("Admin", ""), kDirOk);

        EXPECT_THAT(Values(group, kAttrMember), ElementsAreArray(named(c.member)));
        EXPECT_THAT(Values(account, kAttrGroupMembership), ElementsAreArray(named(c.membership)));
        EXPECT_THAT(Values(account, kAttrPrimaryGroup), ElementsAreArray(named(c.primary)));
        EXPECT_THAT(ShownIds(), ElementsAreArray(c.shown));
    }
}

} // namespace
