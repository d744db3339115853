#include "module/password/SealPassword.h"
#include "tests/module/password/TestKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Outcome {
    int status = -1;
    std::string output; // standard output and standard error together
};

class AgentCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelnt-agent-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + m_dir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    // Standard input is empty, so that a run from a terminal never waits for a password.
    static Outcome Agent(const std::string& arguments) {
        return Shell(Program() + " " + arguments + " < /dev/null");
    }

    static std::string Program() { return std::string(KELNT_BINARY_DIR) + "/bin/kelnt-agent"; }

    static Outcome Shell(const std::string& line) {
        const std::string command = "(" + line + ") 2>&1";
        Outcome outcome;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return outcome;
        }
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            outcome.output.append(buffer, got);
        }
        const int status = pclose(pipe);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return outcome;
    }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(Path(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    std::vector<uint8_t> Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::string m_dir;
};

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

TEST_F(AgentCliTest, KnownAnswerSealingMatchesTheFixtures) {
    for (const auto& c : testvec::ReadVecFile("sealed.vec", "Sealed")) {
        SCOPED_TRACE("sealed.vec line " + std::to_string(c.line));
        const auto& key =
            testkeys::Key(static_cast<unsigned>(c.Number("Bits")), static_cast<uint32_t>(c.Number("E")));
        Write("pub", key.publicBlob);
        Write("priv", key.privateBlob);
        const auto passwordBytes = c.Bytes("Password");
        const std::string password(passwordBytes.begin(), passwordBytes.end());
        const Outcome sealed = Agent("seal --key " + Path("pub") + " --password " + Quoted(password) +
                                     " --known-answer " + c.Get("Time") + " --out " + Path("sealed"));
        ASSERT_EQ(sealed.status, 0) << sealed.output;
        EXPECT_EQ(Read("sealed"), c.Bytes("Output"));
        const Outcome opened = Agent("unseal --key " + Path("priv") + " --in " + Path("sealed"));
        ASSERT_EQ(opened.status, 0) << opened.output;
        EXPECT_EQ(opened.output, password + "\n");
    }
}

TEST_F(AgentCliTest, KeygenSealUnsealInHexAndBinary) {
    for (const std::string bits : {"848", "424"}) {
        const Outcome made = Agent("keygen --bits " + bits + " --public " + Path("pub") + " --private " +
                                   Path("priv") + " --exponent 3 --hex");
        ASSERT_EQ(made.status, 0) << made.output;
        const Outcome sealed = Agent("seal --key " + Path("pub") + " --password 'Sommer 2026'");
        ASSERT_EQ(sealed.status, 0) << sealed.output;
        EXPECT_EQ(sealed.output.size(), 2 * kSealedValueSize + 1); // hex on standard output
        const Outcome opened = Agent("unseal --key " + Path("priv") + " --hex " + sealed.output);
        ASSERT_EQ(opened.status, 0) << opened.output;
        EXPECT_EQ(opened.output, "Sommer 2026\n");
        const Outcome inspected = Agent("inspect " + Path("pub"));
        ASSERT_EQ(inspected.status, 0);
        EXPECT_NE(inspected.output.find("bits " + bits), std::string::npos) << inspected.output;
        EXPECT_NE(inspected.output.find("sealing: accepted"), std::string::npos) << inspected.output;
        EXPECT_NE(inspected.output.find("matches \"MA\""), std::string::npos);
        const Outcome privInspected = Agent("inspect " + Path("priv"));
        EXPECT_NE(privInspected.output.find("sealing: refused (a private key"), std::string::npos);
    }
}

// The module's callers convert what the administrator typed into the NT side's code page first; --convert
// does the same, so the sealed bytes are the code-page bytes.
TEST_F(AgentCliTest, ConvertSealsTheCodePageBytes) {
    const auto& key = testkeys::Key(424, 65537);
    Write("pub", key.publicBlob);
    Write("priv", key.privateBlob);
    ASSERT_EQ(Agent("seal --key " + Path("pub") +
                    " --password 'Gr\xc3\xbc\xc3\x9f"
                    "e' --convert --out " +
                    Path("converted"))
                  .status,
              0);
    const Outcome opened = Agent("unseal --key " + Path("priv") + " --in " + Path("converted"));
    ASSERT_EQ(opened.status, 0) << opened.output;
    EXPECT_EQ(opened.output, "Gr\xfc\xdf"
                             "e\n");
    ASSERT_EQ(Agent("seal --key " + Path("pub") +
                    " --password 'Gr\xc3\xbc\xc3\x9f"
                    "e' --out " +
                    Path("raw"))
                  .status,
              0);
    EXPECT_EQ(Agent("unseal --key " + Path("priv") + " --in " + Path("raw")).output, "Gr\xc3\xbc\xc3\x9f"
                                                                                     "e\n");
    const Outcome unmappable =
        Agent("seal --key " + Path("pub") + " --password '\xe6\x97\xa5' --convert --out " + Path("x"));
    EXPECT_EQ(unmappable.status, 1);
    EXPECT_NE(unmappable.output.find("could not convert the password (code 4)"), std::string::npos)
        << unmappable.output;
}

TEST_F(AgentCliTest, InspectExplainsASealedValue) {
    const auto& key = testkeys::Key(424, 3);
    Write("pub", key.publicBlob);
    ASSERT_EQ(Agent("seal --key " + Path("pub") + " --password x --out " + Path("value")).status, 0);
    EXPECT_EQ(Read("value").size(), kSealedValueSize);
    const Outcome inspected = Agent("inspect " + Path("value"));
    ASSERT_EQ(inspected.status, 0);
    EXPECT_NE(inspected.output.find("sealed value, 500 bytes: 212 sealed + 288 filler"), std::string::npos)
        << inspected.output;
    EXPECT_NE(inspected.output.find("4 blocks of 53 bytes (data 44, padding 31)"), std::string::npos);
}

TEST_F(AgentCliTest, ErrorsExitNonZeroWithAClearMessage) {
    const auto& key = testkeys::Key(848, 65537);
    Write("pub", key.publicBlob);
    Write("priv", key.privateBlob);
    auto damaged = key.publicBlob;
    damaged[30] ^= 1;
    Write("damaged", damaged);
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"", 2, "usage:"},
        {"frobnicate", 2, "unknown command frobnicate"},
        {"keygen --bits 1024 --public P --private Q", 2, "--bits must be a number from 80 to 848"},
        {"keygen --bits 424 --public P --private Q --exponent 4", 2, "--exponent must be an odd number"},
        {"keygen --bits 424 --public P", 2, "keygen needs --private"},
        {"seal --password x", 2, "seal needs --key and --password"},
        {"seal --key " + Path("pub"), 2,
         "seal needs --key and --password, or --password-stdin (standard input is not a terminal"},
        {"seal --key " + Path("pub") + " --password x --password-stdin", 2,
         "give only one of --password and --password-stdin"},
        {"seal --key " + Path("missing") + " --password x", 1, "cannot read"},
        {"seal --key " + Path("priv") + " --password x", 1, "sealing failed with code 7"},
        {"seal --key " + Path("damaged") + " --password x", 1, "sealing failed with code 7"},
        {"seal --key " + Path("pub") + " --password " + std::string(143, 'p'), 1,
         "at most 142 can be sealed"},
        {"seal --key " + Path("pub") + " --password x --bogus", 2, "unknown option --bogus"},
        {"unseal --key " + Path("priv"), 2, "exactly one of --in FILE and --hex HEX"},
        {"unseal --key " + Path("priv") + " --hex abc", 2, "--hex holds something other than hex digits"},
        {"unseal --key " + Path("priv") + " --hex 00ff", 1, "cannot unseal: value: 2 bytes"},
        {"unseal --key " + Path("pub") + " --hex 00ff", 1, "cannot unseal: key: not a private RSA key"},
        {"inspect", 2, "inspect needs one FILE"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Agent(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << "\n" << outcome.output;
        EXPECT_NE(outcome.output.find(c.message), std::string::npos) << c.arguments << "\n" << outcome.output;
    }
}

// Every place that takes a file says plainly when it was given a folder, or a path it cannot use.
TEST_F(AgentCliTest, FoldersAndUnusablePathsAreNamedInTheMessage) {
    const auto& key = testkeys::Key(424, 3);
    Write("pub", key.publicBlob);
    Write("priv", key.privateBlob);
    ASSERT_EQ(Agent("seal --key " + Path("pub") + " --password x --out " + Path("sealed")).status, 0);
    const std::string folder = m_dir;
    const std::string inFile = Path("pub") + "/x"; // a file where a folder should be
    struct Case {
        std::string arguments;
        std::string message;
    };
    const Case cases[] = {
        {"inspect " + folder, folder + " is a folder, not a file"},
        {"seal --key " + folder + " --password x", folder + " is a folder, not a file"},
        {"seal --key " + Path("pub") + " --password x --out " + folder, folder + " is a folder, not a file"},
        {"unseal --key " + folder + " --hex 00", folder + " is a folder, not a file"},
        {"unseal --key " + Path("priv") + " --in " + folder, folder + " is a folder, not a file"},
        {"keygen --bits 424 --public " + folder + " --private " + Path("q"),
         folder + " is a folder, not a file"},
        {"keygen --bits 424 --public " + Path("p") + " --private " + folder,
         folder + " is a folder, not a file"},
        {"inspect " + inFile, "cannot read " + inFile + ": Not a directory"},
        {"unseal --key " + Path("priv") + " --in " + inFile, "cannot read " + inFile + ": Not a directory"},
        {"seal --key " + Path("pub") + " --password x --out " + inFile,
         "cannot write " + inFile + ": Not a directory"},
        {"keygen --bits 424 --public " + Path("p") + " --private " + inFile,
         "cannot write " + inFile + ": Not a directory"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Agent(c.arguments);
        EXPECT_EQ(outcome.status, 1) << c.arguments;
        EXPECT_EQ(outcome.output, "kelnt-agent: " + c.message + "\n") << c.arguments;
    }
}

// A target that is not a regular file (a device node, a pipe, a folder) is refused before anything is
// written, and keygen leaves no public key behind when its private key cannot be written.
TEST_F(AgentCliTest, OnlyRegularFilesAreReplacedAndKeygenWritesBothKeysOrNeither) {
    const auto& key = testkeys::Key(424, 3);
    Write("pub", key.publicBlob);
    const std::string pipe = Path("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string refused = "kelnt-agent: " + pipe + " is not a regular file: name a file to write\n";
    for (const std::string& arguments : {"keygen --bits 424 --public " + Path("p") + " --private " + pipe,
                                         "keygen --bits 424 --public " + pipe + " --private " + Path("q"),
                                         "seal --key " + Path("pub") + " --password x --out " + pipe}) {
        const Outcome outcome = Agent(arguments);
        EXPECT_EQ(outcome.status, 1) << arguments;
        EXPECT_EQ(outcome.output, refused) << arguments;
    }
    const Outcome toFolder = Agent("keygen --bits 424 --public " + Path("p") + " --private " + m_dir);
    EXPECT_EQ(toFolder.status, 1);
    struct stat status {};
    ASSERT_EQ(lstat(pipe.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode)) << "the pipe is still a pipe";
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"pipe", "pub"})) << "no key and no temporary file was left";

    // A sealed value has a fixed owner-only mode too.
    const Outcome sealed = Shell("umask 000 && " + Program() + " seal --key " + Path("pub") +
                                 " --password x --out " + Path("v"));
    ASSERT_EQ(sealed.status, 0) << sealed.output;
    ASSERT_EQ(stat(Path("v").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
}

// Under any umask, and over an earlier file that others could read, the private key ends up owner-only.
TEST_F(AgentCliTest, KeygenWritesThePrivateKeyForItsOwnerOnly) {
    Write("old-priv", {1, 2, 3});
    ASSERT_EQ(chmod(Path("old-priv").c_str(), 0644), 0);
    for (const std::string name : {"new-priv", "old-priv"}) {
        SCOPED_TRACE(name);
        const Outcome made = Shell("umask 000 && " + Program() + " keygen --bits 424 --public " +
                                   Path("pub") + " --private " + Path(name));
        ASSERT_EQ(made.status, 0) << made.output;
        struct stat status {};
        ASSERT_EQ(stat(Path(name).c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
        EXPECT_EQ(stat(Path("pub").c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0644u) << "a public key has a fixed mode, not the umask's";
        const Outcome sealed = Agent("seal --key " + Path("pub") + " --password owner --out " + Path("v"));
        ASSERT_EQ(sealed.status, 0) << sealed.output;
        EXPECT_EQ(Agent("unseal --key " + Path(name) + " --in " + Path("v")).output, "owner\n");
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"new-priv", "old-priv", "pub", "v"}))
        << "no temporary file stays behind";
}

TEST_F(AgentCliTest, PasswordStdinTakesOneLineAsGiven) {
    const auto& key = testkeys::Key(424, 65537);
    Write("pub", key.publicBlob);
    Write("priv", key.privateBlob);
    struct Case {
        std::string input; // printf format, piped to standard input
        int status;
        std::string output; // what unseal prints, or the error
    };
    const Case cases[] = {
        {"Sommer 2026\\n", 0, "Sommer 2026\n"},
        {" spaced \\tout \\r\\n", 0, " spaced \tout \n"},
        {"first\\nsecond\\n", 0, "first\n"},
        {"no line end", 0, "no line end\n"},
        {"\\n", 0, "\n"},
        {"", 1, "kelnt-agent: --password-stdin found no password on standard input\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::filesystem::remove(Path("sealed"));
        const Outcome sealed = Shell("printf '" + c.input + "' | " + Program() + " seal --key " +
                                     Path("pub") + " --password-stdin --out " + Path("sealed"));
        ASSERT_EQ(sealed.status, c.status) << sealed.output;
        if (c.status != 0) {
            EXPECT_EQ(sealed.output, c.output);
            EXPECT_FALSE(std::filesystem::exists(Path("sealed")));
            continue;
        }
        EXPECT_EQ(sealed.output, "");
        EXPECT_EQ(Agent("unseal --key " + Path("priv") + " --in " + Path("sealed")).output, c.output);
    }
}

// A person at a terminal is asked, types without echo, and gets the terminal back as it was.
TEST_F(AgentCliTest, AtATerminalThePasswordIsAskedWithoutEcho) {
    const auto& key = testkeys::Key(424, 65537);
    Write("pub", key.publicBlob);
    Write("priv", key.privateBlob);
    const std::string program = Program();
    const std::string keyPath = Path("pub");
    const std::string outPath = Path("sealed");
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(program.c_str(), program.c_str(), "seal", "--key", keyPath.c_str(), "--out", outPath.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string shown;
    const auto readUntil = [&](const std::string& wanted) {
        char buffer[256];
        while (shown.find(wanted) == std::string::npos) {
            const ssize_t got = read(terminal, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return; // the program has ended and closed the terminal
            }
            shown.append(buffer, static_cast<size_t>(got));
        }
    };
    readUntil("Password: ");
    EXPECT_EQ(shown, "Password: ");
    const std::string typed = "Geheim 1\n";
    ASSERT_EQ(write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    int status = 0;
    readUntil("\n");
    struct termios after {};
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const bool readable = tcgetattr(terminal, &after) == 0;
    close(terminal);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << shown;
    EXPECT_EQ(shown.find("Geheim"), std::string::npos) << "the password was echoed: " << shown;
    if (readable) {
        EXPECT_NE(after.c_lflag & ECHO, 0u) << "echo is back on";
    }
    EXPECT_EQ(Agent("unseal --key " + Path("priv") + " --in " + outPath).output, "Geheim 1\n");
}

} // namespace
