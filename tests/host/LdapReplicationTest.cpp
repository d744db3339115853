// Two slapd providers replicating each other on loopback ports, driven through the cvadmin program as an
// operator would: what one cvadmin writes through one server, another cvadmin reads through the other.
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

    testrun::ScratchFolder m_scratch{"cvadmin-replication"};
    fs::path m_dir = m_scratch.Path();
};

TEST_F(LdapReplicationTest, AWriteThroughEitherProviderIsReadThroughTheOther) {
    const int port1 = dirtest::SlapdServer::FreeLoopbackPort();
    int port2 = dirtest::SlapdServer::FreeLoopbackPort();
    while (port2 == port1) {
        port2 = dirtest::SlapdServer::FreeLoopbackPort();
    }
    ASSERT_NE(port1, 0);
    ASSERT_NE(port2, 0);
    unsigned char random[16];
    randombytes_buf(random, sizeof random);
    std::string password;
    for (unsigned char c : random) {
        password += "0123456789abcdef"[c & 0xf];
    }
    // The second starts empty: the suffix, the replicator's entry and the directory all come from the first.
    dirtest::SlapdServer first;
    ASSERT_TRUE(first.Start({port1, 1, {"ldap://127.0.0.1:" + std::to_string(port2) + "/"}, password}))
        << first.Problem();
    dirtest::SlapdServer second;
    ASSERT_TRUE(second.Start({port2, 2, {"ldap://127.0.0.1:" + std::to_string(port1) + "/"}, password}))
        << second.Problem();
    const std::string url = first.NewDirectory();
    ASSERT_NE(url, "");
    const std::string base = url.substr(url.rfind('/') + 1);
    const std::string one = first.PortUrl(base);
    const std::string two = second.PortUrl(base);

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

} // namespace
