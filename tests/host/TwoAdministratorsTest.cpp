// Two administrators' cvadmin runs on one store file at the same time: one keeps a details sheet open while
// the other changes the same lists and applies; what each applied is in the directory afterwards, on both
// sides of every link, and the directory's check finds nothing to repair.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/LiveProgram.h"
#include "tests/support/ProgramRun.h"

namespace {

using testrun::RunResult;

class TwoAdministratorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testrun::RunProgram(m_dir, testrun::Program("cvadmin"), {"sample", "sample.db"}).status, 0);
    }
    // The sign-in of one administrator's run, with a registry of its own.
    static std::vector<std::string> Admin(const std::string& registry) {
        return {"--store", "sample.db", "--registry", registry,
                "--login", "Admin",     "--password", "admin-secret"};
    }
    RunResult Run(const std::string& commands) {
        std::vector<std::string> args = Admin("r2.reg");
        args.insert(args.end(), {"-c", commands});
        return testrun::RunProgram(m_dir, testrun::Program("cvadmin"), args);
    }

    testrun::ScratchFolder m_scratch{"two-admins"};
    std::filesystem::path m_dir = m_scratch.Path();
};

TEST_F(TwoAdministratorsTest, AMembershipAddedByAnotherAdministratorSurvivesAnOpenGroupsPage) {
    RunResult made = Run("dir add Staff.NTDOM.Corp 'KEL:NT Global Group'; "
                         "dir add Sales.NTDOM.Corp 'KEL:NT Global Group'");
    ASSERT_EQ(made.status, 0) << made.err;

    // The first administrator opens jdoe's groups and keeps the sheet open.
    testrun::LiveProgram first(m_dir, testrun::Program("cvadmin"), Admin("r1.reg"));
    ASSERT_TRUE(first.Started());
    for (const char* line : {"details jdoe.NTDOM.Corp", "page Groups", "show"}) {
        ASSERT_TRUE(first.Send(line));
    }
    ASSERT_TRUE(first.WaitFor("1223 | edit")) << first.Printed();

    // Meanwhile the second puts jdoe into Staff through a sheet of its own and applies.
    RunResult second = Run("details jdoe.NTDOM.Corp; page Groups; click 1092; select 1095 Staff; ok; ok");
    ASSERT_EQ(second.status, 0) << second.err;

    // The first puts jdoe into Sales and applies.
    for (const char* line : {"click 1092", "select 1095 Sales", "ok", "ok"}) {
        ASSERT_TRUE(first.Send(line));
    }
    EXPECT_EQ(first.Finish(), 0) << first.Printed();

    RunResult after = Run("dump Staff.NTDOM.Corp Member; dump Sales.NTDOM.Corp Member; "
                          "dump jdoe.NTDOM.Corp 'KEL:Group Membership'; check");
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(after.out, "Staff.NTDOM.Corp | Member | 1 | jdoe.NTDOM.Corp\n"
                         "Sales.NTDOM.Corp | Member | 1 | jdoe.NTDOM.Corp\n"
                         "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Domain Users.NTDOM.Corp\n"
                         "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Domain Admins.NTDOM.Corp\n"
                         "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Administrators.NTDOM.Corp\n"
                         "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Staff.NTDOM.Corp\n"
                         "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Sales.NTDOM.Corp\n"
                         "check | ok\n");
}

TEST_F(TwoAdministratorsTest, AMemberAddedByAnotherAdministratorSurvivesAnOpenMembersPage) {
    testrun::LiveProgram first(m_dir, testrun::Program("cvadmin"), Admin("r1.reg"));
    ASSERT_TRUE(first.Started());
    for (const char* line : {"details 'Domain Admins.NTDOM.Corp'", "page Members", "show"}) {
        ASSERT_TRUE(first.Send(line));
    }
    ASSERT_TRUE(first.WaitFor("1094 | listbox")) << first.Printed();

    RunResult second =
        Run("details 'Domain Admins.NTDOM.Corp'; page Members; click 1092; select 1095 asmith; ok; ok");
    ASSERT_EQ(second.status, 0) << second.err;

    for (const char* line : {"click 1092", "select 1095 Mary", "ok", "ok"}) {
        ASSERT_TRUE(first.Send(line));
    }
    EXPECT_EQ(first.Finish(), 0) << first.Printed();

    RunResult after =
        Run("dump 'Domain Admins.NTDOM.Corp' Member; dump asmith.NTDOM.Corp 'KEL:Group Membership'; "
            "dump Mary.NTDOM.Corp 'KEL:Group Membership'; check");
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_NE(after.out.find("Domain Admins.NTDOM.Corp | Member | 1 | asmith.NTDOM.Corp\n"),
              std::string::npos)
        << after.out;
    EXPECT_NE(after.out.find("Domain Admins.NTDOM.Corp | Member | 1 | Mary.NTDOM.Corp\n"), std::string::npos)
        << after.out;
    EXPECT_NE(after.out.find("asmith.NTDOM.Corp | KEL:Group Membership | 1 | Domain Admins.NTDOM.Corp\n"),
              std::string::npos)
        << after.out;
    EXPECT_NE(after.out.find("Mary.NTDOM.Corp | KEL:Group Membership | 1 | Domain Admins.NTDOM.Corp\n"),
              std::string::npos)
        << after.out;
    EXPECT_EQ(after.out.substr(after.out.rfind("check")), "check | ok\n") << after.out;
}

TEST_F(TwoAdministratorsTest, AGroupAnotherAdministratorMadePrimaryMeanwhileIsNotLeft) {
    testrun::LiveProgram first(m_dir, testrun::Program("cvadmin"), Admin("r1.reg"));
    ASSERT_TRUE(first.Started());
    for (const char* line : {"details jdoe.NTDOM.Corp", "page Groups", "show"}) {
        ASSERT_TRUE(first.Send(line));
    }
    ASSERT_TRUE(first.WaitFor("1223 | edit | readonly | Domain Users")) << first.Printed();

    // The second makes Domain Admins jdoe's primary group.
    RunResult second =
        Run("details jdoe.NTDOM.Corp; page Groups; select 1094 'Domain Admins'; click 1222; ok");
    ASSERT_EQ(second.status, 0) << second.err;

    // The first, still showing Domain Users as the primary group, takes Domain Admins away and applies: the
    // apply refuses to leave the primary group.
    for (const char* line : {"select 1094 'Domain Admins'", "click 1093", "ok"}) {
        ASSERT_TRUE(first.Send(line));
    }
    EXPECT_EQ(first.Finish(), 0) << first.Printed();
    EXPECT_NE(first.Printed().find("message 38 | "), std::string::npos) << first.Printed();

    RunResult after = Run("dump jdoe.NTDOM.Corp 'KEL:Primary Group' 'KEL:Group Membership'; "
                          "dump 'Domain Admins.NTDOM.Corp' Member; check");
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(after.out, "jdoe.NTDOM.Corp | KEL:Primary Group | 1 | Domain Admins.NTDOM.Corp\n"
                         "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Domain Users.NTDOM.Corp\n"
                         "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Domain Admins.NTDOM.Corp\n"
                         "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Administrators.NTDOM.Corp\n"
                         "Domain Admins.NTDOM.Corp | Member | 1 | jdoe.NTDOM.Corp\n"
                         "check | ok\n");
}

} // namespace
