// Two slapd providers replicating each other on loopback ports, driven through the cvadmin program as an
// operator would: what one cvadmin writes through one server, another cvadmin reads through the other; and a
// cvadmin that names both goes on through the second when the first stops.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <sodium.h>

#include "tests/platform/dirclient/SlapdServer.h"

#include "tests/support/LiveProgram.h"
#include "tests/support/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

using testrun::Quote;
using testrun::RunResult;

class LdapReplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(sodium_init(), 0);
    }

    RunResult Cvadmin(const std::string& store, const std::string& commands) {
        return testrun::RunProgram(m_dir, testrun::Program("cvadmin"), {"--store", store, "-c", commands});
    }

    // Reads through the store until it shows what is expected; replication is asynchronous, so the test
    // waits for the content, with a cutoff far above what a link between two local servers needs.
    RunResult ReadUntil(const std::string& store, const std::string& commands, const std::string& expected) {
        const auto cutoff = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        RunResult last;
        do {
            last = Cvadmin(store, commands);
            if (last.status == 0 && last.out == expected) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < cutoff);
        return last;
    }

    // Starts two providers replicating each other and makes a directory on the first; its base.
    void StartPair() {
        m_port1 = dirtest::SlapdServer::FreeLoopbackPort();
        m_port2 = dirtest::SlapdServer::FreeLoopbackPort();
        while (m_port2 == m_port1) {
            m_port2 = dirtest::SlapdServer::FreeLoopbackPort();
        }
        ASSERT_NE(m_port1, 0);
        ASSERT_NE(m_port2, 0);
        unsigned char random[16];
        randombytes_buf(random, sizeof random);
        std::string password;
        for (unsigned char c : random) {
            password += "0123456789abcdef"[c & 0xf];
        }
        // The second starts empty: the suffix, the replicator's entry and the directory all come from the
        // first.
        ASSERT_TRUE(
            m_first.Start({m_port1, 1, {"ldap://127.0.0.1:" + std::to_string(m_port2) + "/"}, password}))
            << m_first.Problem();
        ASSERT_TRUE(
            m_second.Start({m_port2, 2, {"ldap://127.0.0.1:" + std::to_string(m_port1) + "/"}, password}))
            << m_second.Problem();
        const std::string url = m_first.NewDirectory();
        ASSERT_NE(url, "");
        m_base = url.substr(url.rfind('/') + 1);
    }

    testrun::ScratchFolder m_scratch{"cvadmin-replication"};
    fs::path m_dir = m_scratch.Path();
    int m_port1 = 0;
    int m_port2 = 0;
    dirtest::SlapdServer m_first;
    dirtest::SlapdServer m_second;
    std::string m_base;
};

TEST_F(LdapReplicationTest, AWriteThroughEitherProviderIsReadThroughTheOther) {
    ASSERT_NO_FATAL_FAILURE(StartPair());
    const std::string one = m_first.PortUrl(m_base);
    const std::string two = m_second.PortUrl(m_base);

    const RunResult made = Cvadmin(one, "dir add Corp Organization; dir add NTDOM.Corp 'KEL:NT Domain'; "
                                        "dir set NTDOM.Corp Description 'Head office'");
    ASSERT_EQ(made.status, 0) << made.err;

    struct Case {
        const std::string* writer;
        const std::string* reader;
        std::string write;
        std::string read;
        std::string expected;
    };
    const Case cases[] = {
        {&one, &two, "dir add Sales.Corp 'Organizational Unit'", "ls Corp; dump NTDOM.Corp Description",
         "NTDOM.Corp | KEL:NT Domain\nSales.Corp | Organizational Unit\n"
         "NTDOM.Corp | Description | 3 | Head office\n"},
        {&two, &one, "dir set NTDOM.Corp Description 'Branch office'; dir del Sales.Corp",
         "ls Corp; dump NTDOM.Corp Description",
         "NTDOM.Corp | KEL:NT Domain\nNTDOM.Corp | Description | 3 | Branch office\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.writer + " -> " + *c.reader);
        const RunResult wrote = Cvadmin(*c.writer, c.write);
        ASSERT_EQ(wrote.status, 0) << wrote.err;
        const RunResult read = ReadUntil(*c.reader, c.read, c.expected);
        EXPECT_EQ(read.status, 0) << read.err;
        EXPECT_EQ(read.out, c.expected);
        // The writer sees its own write at once.
        EXPECT_EQ(Cvadmin(*c.writer, c.read).out, c.expected);
    }
}

// One cvadmin session names both providers, the first first. The first stops in the middle of its run (a
// crash): the session goes on writing through the second without an error, every write it acknowledged is
// read through the second, a cvadmin started meanwhile opens through the second, and once the first is
// started again it has caught up with everything.
TEST_F(LdapReplicationTest, ASessionNamingBothProvidersGoesOnThroughTheSecondWhenTheFirstStops) {
    ASSERT_NO_FATAL_FAILURE(StartPair());
    const std::string both = "ldap://127.0.0.1:" + std::to_string(m_port1) +
                             ",127.0.0.1:" + std::to_string(m_port2) + "/" + m_base;
    const RunResult made = Cvadmin(both, "dir add Corp Organization");
    ASSERT_EQ(made.status, 0) << made.err;

    testrun::LiveProgram session(m_dir, testrun::Program("cvadmin"), {"--store", both});
    ASSERT_TRUE(session.Started());
    std::string listing;
    constexpr int kWrites = 8;
    for (int i = 0; i < kWrites; ++i) {
        if (i == kWrites / 2) {
            m_first.Kill();
        }
        const std::string name = "W" + std::to_string(i) + ".Corp";
        ASSERT_TRUE(session.Send("dir add " + name + " 'Organizational Unit'; dir set " + name +
                                 " Description 'write " + std::to_string(i) + "'; dump " + name +
                                 " Description"));
        // The session reads its own write back: that line printed is the write acknowledged.
        ASSERT_TRUE(session.WaitFor(name + " | Description | 3 | write " + std::to_string(i) + "\n"))
            << session.Printed();
        listing += name + " | Organizational Unit\n";
    }
    EXPECT_EQ(session.Finish(), 0) << session.Printed();

    // Started while the first is down, a cvadmin naming both opens through the second.
    const RunResult late = Cvadmin(both, "dir add Late.Corp 'Organizational Unit'");
    EXPECT_EQ(late.status, 0) << late.err;
    const std::string expected = "Late.Corp | Organizational Unit\n" + listing;

    const RunResult second = ReadUntil(m_second.PortUrl(m_base), "ls Corp", expected);
    EXPECT_EQ(second.out, expected) << second.err;

    // The operator starts the first again: it catches up from the second by replication.
    ASSERT_TRUE(m_first.Restart()) << m_first.Problem();
    const RunResult first = ReadUntil(m_first.PortUrl(m_base), "ls Corp", expected);
    EXPECT_EQ(first.out, expected) << first.err;
}

} // namespace
