// The example tour, run as the main job runs it, on a directory of a throwaway LDAP server: every step the
// tour takes on the file store gives the same lines on the server.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dirclient/DirClient.h"
#include "tests/platform/dirclient/SlapdServer.h"
#include "tests/support/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::vector<std::string> lines;
};

Outcome Cvadmin(const fs::path& dir, const std::vector<std::string>& args) {
    const testrun::RunResult run = testrun::RunProgram(dir, testrun::Program("cvadmin"), args);
    return Outcome{run.status, testrun::Lines(run.out + run.err)};
}

// The tour's lines without what differs between any two runs: sealed passwords are sealed with fresh
// randomness, and modification times are the clock's.
std::vector<std::string> Steady(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) {
        if (line.find("0x") == std::string::npos && line.find("Time") == std::string::npos) {
            out.push_back(line);
        }
    }
    return out;
}

// The creation switches the main job gives the tour.
void WriteRegistry(const fs::path& file) {
    fs::copy_file(fs::path(KELNT_SOURCE_DIR) / "examples" / "sample.reg", file);
}

TEST(TourOnLdap, TheTourGivesTheSameLinesOnAServerAsOnAFile) {
    const fs::path dir = fs::temp_directory_path() / ("tour-ldap-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    // The tour draws its pictures into the folder it runs in.
    fs::create_directories(dir / "file");
    fs::create_directories(dir / "ldap");
    const std::string tour = std::string(KELNT_SOURCE_DIR) + "/examples/tour.cvs";

    WriteRegistry(dir / "file" / "sample.reg");
    ASSERT_EQ(Cvadmin(dir / "file", {"sample", "sample.db"}).status, 0);
    const Outcome onFile =
        Cvadmin(dir / "file", {"--store", "sample.db", "--registry", "sample.reg", "--login", "Admin",
                               "--password", "admin-secret", "--script", tour});
    ASSERT_EQ(onFile.status, 0) << (onFile.lines.empty() ? "" : onFile.lines.back());

    // The sample's passwords are hashed at the cost a real directory uses; the server checks them at bind.
    dirtest::SlapdServer server;
    ASSERT_TRUE(server.Start()) << server.Problem();
    const std::string url = server.NewDirectory();
    ASSERT_NE(url, "");
    WriteRegistry(dir / "ldap" / "sample.reg");
    const Outcome sample = Cvadmin(dir / "ldap", {"sample", url});
    ASSERT_EQ(sample.status, 0) << (sample.lines.empty() ? "" : sample.lines.back());
    const Outcome onServer = Cvadmin(dir / "ldap", {"--store", url, "--registry", "sample.reg", "--login",
                                                    "Admin", "--password", "admin-secret", "--script", tour});
    EXPECT_EQ(onServer.status, 0) << (onServer.lines.empty() ? "" : onServer.lines.back());
    const auto fileLines = Steady(onFile.lines);
    const auto serverLines = Steady(onServer.lines);
    EXPECT_GT(fileLines.size(), 200u);
    EXPECT_EQ(serverLines, fileLines);
    server.Stop();
    fs::remove_all(dir);
}

} // namespace
