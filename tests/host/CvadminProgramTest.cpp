// Runs the cvadmin program itself: what a person or a script sees, across separate runs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/support/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

using testrun::Quote;
using testrun::ReadFile;
using testrun::RunResult;

class CvadminProgramTest : public ::testing::Test {
protected:
    // Standard input is empty unless `input` gives what it holds.
    RunResult Run(const std::vector<std::string>& args,
                  const std::optional<std::string>& input = std::nullopt) {
        return testrun::RunProgram(m_dir, testrun::Program("cvadmin"), args, input);
    }

    testrun::ScratchFolder m_scratch{"cvadmin-test"};
    fs::path m_dir = m_scratch.Path();
};

TEST_F(CvadminProgramTest, AStoreFileKeepsTheTreeBetweenRuns) {
    RunResult build = Run({"--store", "tree.db", "--registry", "r.reg", "-c",
                           "dir add Corp Organization; dir add NTDOM.Corp 'KEL:NT Domain'; "
                           "dir set NTDOM.Corp Description 'Head office'"});
    ASSERT_EQ(build.status, 0) << build.err;
    RunResult look =
        Run({"--store", "tree.db", "--registry", "r.reg", "-c", "ls Corp; dump NTDOM.Corp Description"});
    ASSERT_EQ(look.status, 0) << look.err;
    EXPECT_EQ(look.out, "NTDOM.Corp | KEL:NT Domain\nNTDOM.Corp | Description | 3 | Head office\n");
}

TEST_F(CvadminProgramTest, ScriptStopsAtTheFirstErrorWithItsLine) {
    std::ofstream(m_dir / "s.cvs") << "# build\ndir add Corp Organization\n\ndir add Corp Organization\nls\n";
    RunResult r = Run({"--memory", "--registry", "r.reg", "--script", "s.cvs"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("error | 4 | cannot add Corp", 0), 0u) << r.err;
}

TEST_F(CvadminProgramTest, CommandsFromStandardInput) {
    std::ofstream(m_dir / "in.txt") << "dir add Corp Organization\nls\n";
    std::string command = "cd " + Quote(m_dir.string()) + " && " +
                          Quote(std::string(KELNT_BINARY_DIR) + "/bin/cvadmin") +
                          " --memory --registry r.reg < in.txt";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::array<char, 4096> chunk{};
    std::string out(chunk.data(), std::fread(chunk.data(), 1, chunk.size(), pipe));
    EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), 0);
    EXPECT_EQ(out, "Admin | User\nCorp | Organization\n");
}

TEST_F(CvadminProgramTest, ADamagedStoreIsRefusedAndLeftAsItWas) {
    const std::string garbage = "this is not a directory store\n";
    std::ofstream(m_dir / "bad.db") << garbage;
    RunResult r = Run({"--store", "bad.db", "--registry", "r.reg", "-c", "ls"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot open the directory store"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(m_dir / "bad.db"), garbage);
}

TEST_F(CvadminProgramTest, SampleMakesATreeThatSignsInWithItsPassword) {
    RunResult made = Run({"sample", "sample.db"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, "sample directory made in sample.db\n"
                        "sign in as Admin (password admin-secret), Operator.Sales.Corp (operator-secret) or "
                        "Mary.Sales.Corp (mary-secret)\n"
                        "open it: cvadmin --store sample.db --login Admin\n");
    RunResult again = Run({"sample", "sample.db"});
    EXPECT_EQ(again.status, 2) << "the sample must not overwrite a store";
    for (const char* system : {"NTDOM", "WKS1", "BRANCH"}) {
        fs::path privateKey = m_dir / (std::string("sample-") + system + ".private.key");
        ASSERT_TRUE(fs::exists(privateKey)) << privateKey;
        EXPECT_EQ(fs::status(privateKey).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_TRUE(fs::exists(m_dir / (std::string("sample-") + system + ".public.key")));
    }
    fs::remove(m_dir / "sample.db");
    RunResult keysInTheWay = Run({"sample", "sample.db"});
    EXPECT_EQ(keysInTheWay.status, 2) << "old key files are never overwritten";
    EXPECT_FALSE(fs::exists(m_dir / "sample.db")) << "nothing is made when the keys cannot be written";
    ASSERT_EQ(Run({"sample", "fresh.db"}).status, 0);
    fs::rename(m_dir / "fresh.db", m_dir / "sample.db");

    RunResult noPassword = Run({"--store", "sample.db", "--registry", "r.reg", "-c", "ls"});
    EXPECT_EQ(noPassword.status, 2);
    EXPECT_NE(noPassword.err.find("--password"), std::string::npos) << noPassword.err;

    RunResult r = Run({"--store", "sample.db", "--registry", "r.reg", "--login", "Admin", "--password",
                       "admin-secret", "-c", "ls Corp"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("NTDOM.Corp | KEL:NT Domain\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("WKS1.Corp | KEL:NT Workgroup System\n"), std::string::npos) << r.out;
}

} // namespace

namespace {

const char kIntegrationKey[] = "[HKEY_CURRENT_USER\\Software\\Corvane\\Parameters\\KelNTIntegration]\n";

TEST_F(CvadminProgramTest, ToolsMenuFollowsTheRegistryFile) {
    struct Case {
        const char* values;
        const char* line;
    } cases[] = {
        {"", "NT Integration... | grayed | off\n"},
        {"\"PgmName\"=\"/bin/true\"\n", "NT Integration... | grayed | off\n"},
        {"\"PgmName\"=\"\"\n\"ShowWindow\"=dword:00000001\n", "NT Integration... | grayed | off\n"},
        {"\"PgmName\"=\"/bin/true\"\n\"ShowWindow\"=dword:00000001\n", "NT Integration... | enabled | on\n"},
    };
    for (const Case& c : cases) {
        std::ofstream(m_dir / "r.reg") << "REGEDIT4\n\n" << kIntegrationKey << c.values;
        RunResult r = Run({"--memory", "--registry", "r.reg", "-c", "tools"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.line) << c.values;
    }
}

TEST_F(CvadminProgramTest, AFailedToolStartShowsTheMessageItsAnswerChooses) {
    std::ofstream(m_dir / "r.reg")
        << "REGEDIT4\n\n"
        << kIntegrationKey << "\"PgmName\"=\"/no/such/folder/ntupload\"\n\"ShowWindow\"=dword:00000001\n";
    RunResult r = Run({"--memory", "--registry", "r.reg", "-c", "tool 'NT Integration'"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "message 10 | A folder on the path of the NT Integration utility \"/no/such/folder/ntupload\" "
              "was not found (code 3). | ok\n");
}

TEST_F(CvadminProgramTest, LanguageChosenForOneRunIsNotWrittenBack) {
    const std::string registry =
        std::string("REGEDIT4\n\n") + kIntegrationKey + "\"ShowWindow\"=dword:00000001\n";
    std::ofstream(m_dir / "r.reg") << registry;
    RunResult r = Run({"--memory", "--registry", "r.reg", "--lang", "German", "-c", "tools"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "NT-Integration... | grayed | off\n");
    EXPECT_EQ(ReadFile(m_dir / "r.reg"), registry);

    RunResult english = Run({"--memory", "--registry", "r.reg", "--lang", "English", "-c", "tools"});
    EXPECT_EQ(english.status, 0) << english.err;
    EXPECT_EQ(english.out, "NT Integration... | grayed | off\n");
}

} // namespace

namespace {

class CvadminSheetTest : public CvadminProgramTest {
protected:
    void SetUp() override {
        CvadminProgramTest::SetUp();
        ASSERT_EQ(Run({"sample", "sample.db"}).status, 0);
    }
    RunResult As(const char* login, const char* password, const std::string& commands) {
        return Run({"--store", "sample.db", "--registry", "r.reg", "--login", login, "--password", password,
                    "-c", commands});
    }
    RunResult AsAdmin(const std::string& commands) { return As("Admin", "admin-secret", commands); }
};

TEST_F(CvadminSheetTest, TheNtAccountsPageOpensTheAttributesSheetAndThePasswordWizard) {
    RunResult r = AsAdmin("details Mary.Sales.Corp; page 'NT Accounts'; select 122 WKS1.Corp; click 123; show; "
                          "cancel; click 124; type 1147 NewPass9; type 1148 NewPass9; next; next; show; finish; "
                          "cancel");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("20 | static | - | Mary.Sales.Corp\n"), std::string::npos) << r.out; // the sheet
    EXPECT_NE(r.out.find("1154.0 | Success\tNTDOM.Corp | -\n1154.1 | Success\tWKS1.Corp | -\n"), std::string::npos)
        << r.out;
    RunResult mary = As("Mary.Sales.Corp", "NewPass9", "dump Mary.WKS1.Corp 'KEL:QDS User'");
    EXPECT_EQ(mary.status, 0) << mary.err;
    EXPECT_EQ(mary.out, "Mary.WKS1.Corp | KEL:QDS User | 1 | Mary.Sales.Corp\n");
}

TEST_F(CvadminSheetTest, PageActsOnTheInnermostSheetWhoseTabsPagesLists) {
    RunResult r =
        AsAdmin("details Mary.Sales.Corp; pages; page 'nt accounts'; select 122 WKS1.Corp; click 123; "
                "pages; page GROUPS; pages; show; cancel; page 0");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("0 | NT Accounts | current\n"), std::string::npos) << r.out;
    // The attributes sheet covers the details sheet: its tabs are the ones a person can click.
    EXPECT_NE(r.out.find("0 | Account | current\n1 | Groups | -\n2 | Profile | -\n"
                         "0 | Account | -\n1 | Groups | current\n2 | Profile | -\n"),
              std::string::npos)
        << r.out;
    // `show` describes the sheet's current page once, then the sheet's own buttons.
    const std::size_t list = r.out.find("1094 | listbox |");
    ASSERT_NE(list, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("1094 | listbox |", list + 1), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 | button | - | OK\n2 | button | - | Cancel\n", list), std::string::npos) << r.out;

    for (const char* line : {"details Mary.Sales.Corp; page 'No Such Page'",
                             "details Mary.Sales.Corp; click 124; page 1", "pages"}) {
        RunResult refused = AsAdmin(line);
        EXPECT_EQ(refused.status, 1) << line;
        EXPECT_EQ(refused.err.rfind("error | ", 0), 0u) << line << ": " << refused.err;
        EXPECT_NE(refused.err.find(" | page"), std::string::npos) << line << ": " << refused.err;
    }
}

// Self-service as the sample sets it up: Mary signs in as herself, gives her old password, and the new one
// reaches the directory and both her NT accounts, sealed for each NT system's agent.
TEST_F(CvadminSheetTest, MaryChangesHerOwnPasswordOnHerNtAccounts) {
    RunResult r = As("Mary.Sales.Corp", "mary-secret",
                     "details Mary.Sales.Corp; page 'NT Accounts'; click 124; type 1146 mary-secret; "
                     "type 1147 Mine1234; type 1148 Mine1234; next; next; show; finish; cancel");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("message"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1154.0 | Success\tNTDOM.Corp | -\n1154.1 | Success\tWKS1.Corp | -\n"),
              std::string::npos)
        << r.out;
    RunResult mary = As("Mary.Sales.Corp", "Mine1234", "dump Mary.WKS1.Corp 'KEL:QDS User'");
    EXPECT_EQ(mary.status, 0) << mary.err;
    for (const char* system : {"NTDOM", "WKS1"}) {
        SCOPED_TRACE(system);
        RunResult sealed = AsAdmin(std::string("dump Mary.") + system + ".Corp 'KEL:Authentication'");
        const std::string hex = sealed.out.substr(sealed.out.rfind("0x") + 2, 1000);
        RunResult opened = testrun::RunProgram(
            m_dir, testrun::Program("kelnt-agent"),
            {"unseal", "--key", std::string("sample-") + system + ".private.key", "--hex", hex});
        EXPECT_EQ(opened.out, "Mine1234\n") << opened.err;
    }
}

TEST_F(CvadminSheetTest, EditingADescriptionReachesTheDirectory) {
    RunResult r = AsAdmin("details NTDOM.Corp; type 1030 'Head office'; apply; cancel; "
                          "dump NTDOM.Corp Description");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-> 259 | 3\n-> 260 | 0\n-> 260 | 0\n-> 260 | 0\nchanged | 0\n-> 262 | 0\n-> 273 | 0\n"
                     "NTDOM.Corp | Description | 3 | Head office\n");

    // Closing with OK applies first; a sheet left open when the script ends closes with Cancel.
    r = AsAdmin("details 'Domain Users.NTDOM.Corp'; clear 1060; ok; details WKS1.Corp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("-> 262 | 0\n-> 273 | 0\n-> 259"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 11), "-> 273 | 0\n") << r.out;
    r = AsAdmin("dump 'Domain Users.NTDOM.Corp' Description");
    EXPECT_EQ(r.out, "") << "an emptied description is removed";
}

TEST_F(CvadminSheetTest, WithoutTheWriteRightTheFieldIsDisabledAndTheStoreRefuses) {
    RunResult r = As("Operator.Sales.Corp", "operator-secret", "details NTDOM.Corp; show");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1030 | edit | disabled | The head office NT domain\n"), std::string::npos) << r.out;

    r = As("Operator.Sales.Corp", "operator-secret", "details NTDOM.Corp; type 1030 mine");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error | 2 | type 1030: the control is disabled\n");
    r = As("Operator.Sales.Corp", "operator-secret", "dir set NTDOM.Corp Description mine");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot set Description of NTDOM.Corp"), std::string::npos) << r.err;

    // Where the operator has the right, the same page writes.
    r = As("Operator.Sales.Corp", "operator-secret",
           "details WKS1.Corp; type 1044 'Checked'; ok; dump WKS1.Corp Description");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("WKS1.Corp | Description | 3 | Checked\n"), std::string::npos) << r.out;
}

TEST_F(CvadminSheetTest, AnOperatorIsOfferedOnlyTheExpirationChoicesItMayWrite) {
    ASSERT_EQ(AsAdmin("dir grant jdoe.NTDOM.Corp Operator.Sales.Corp 'Login Expiration Time' 6").status, 0);
    RunResult r = As("Operator.Sales.Corp", "operator-secret", "details jdoe.NTDOM.Corp; page Account; show");
    ASSERT_EQ(r.status, 0) << r.err;
    auto states = [&r](const std::string& id) {
        const size_t at = r.out.find("\n" + id + " | radio | ");
        return at == std::string::npos ? std::string("missing")
                                       : r.out.substr(at, r.out.find('\n', at + 1) - at);
    };
    EXPECT_NE(states("1079").find("disabled"), std::string::npos) << r.out; // global
    EXPECT_NE(states("1180").find("disabled"), std::string::npos) << r.out; // local
    EXPECT_EQ(states("1181").find("disabled"), std::string::npos) << r.out; // never
    EXPECT_EQ(states("1182").find("disabled"), std::string::npos) << r.out; // expires on

    r = As("Operator.Sales.Corp", "operator-secret", "details jdoe.NTDOM.Corp; page Account; click 1180");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error | 3 | click 1180: the control is disabled\n");

    // What the operator may write, the page writes.
    r = As("Operator.Sales.Corp", "operator-secret",
           "details jdoe.NTDOM.Corp; page Account; click 1182; click 1181; ok; "
           "dump jdoe.NTDOM.Corp 'Login Expiration Time' 'KEL:Global Account'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.out.find("-> 262 | 0\n-> 273 | 0\njdoe.NTDOM.Corp | Login Expiration Time | 24 | 4294967295\n"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("message"), std::string::npos) << r.out;
}

TEST_F(CvadminSheetTest, TheSamplesAccountsShowTheirUserNameOnTheProfileAndWorkstationsPages) {
    RunResult r = AsAdmin("details jdoe.NTDOM.Corp; page Profile; show; page Workstations; show");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1104 | static | - | jdoe\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1109 | static | - | jdoe\n"), std::string::npos) << r.out;
}

TEST_F(CvadminSheetTest, EnterEscapeAndF1ActOnTheSheetWhereThePageHasNoButtonForThem) {
    struct Case {
        const char* keys;
        const char* out;
        const char* description; // what the store holds afterwards
    } cases[] = {
        {"key f1; key escape", "help 14\n-> 1337 | 0\n-> 273 | 0\n", "The head office NT domain"},
        {"key enter", "-> 262 | 0\n-> 273 | 0\n", "Typed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        RunResult r = AsAdmin(std::string("details NTDOM.Corp; type 1030 Typed; ") + c.keys +
                              "; dump NTDOM.Corp Description");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, std::string("-> 259 | 3\n-> 260 | 0\n-> 260 | 0\n-> 260 | 0\nchanged | 0\n") + c.out +
                             "NTDOM.Corp | Description | 3 | " + c.description + "\n");
    }
}

TEST_F(CvadminSheetTest, RenderDrawsTheOpenSheet) {
    RunResult r = AsAdmin("details WKS1.Corp; render wks.png");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string png = ReadFile(m_dir / "wks.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

TEST_F(CvadminSheetTest, ActionsWithoutASheetAreErrors) {
    for (const char* command : {"type 1030 x", "apply", "ok", "page 1", "show"}) {
        RunResult r = AsAdmin(command);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err.rfind("error | 1 | ", 0), 0u) << command << ": " << r.err;
    }
    RunResult r = AsAdmin("details Nowhere.Corp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Nowhere.Corp"), std::string::npos) << r.err;
}

} // namespace

namespace {

TEST_F(CvadminSheetTest, RenamingAnNtUserThroughItsDialogKeepsItsGroups) {
    RunResult r =
        AsAdmin("rename jdoe.NTDOM.Corp unused; type 1005 johnd; ok; "
                "dump 'Domain Admins.NTDOM.Corp' Member; dump johnd.NTDOM.Corp 'KEL:Primary Group'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-> 261 | 0\n"
                     "Domain Admins.NTDOM.Corp | Member | 1 | johnd.NTDOM.Corp\n"
                     "johnd.NTDOM.Corp | KEL:Primary Group | 1 | Domain Users.NTDOM.Corp\n");

    // Cancelled, or left open when the script ends: refused, nothing renamed.
    for (const char* commands : {"rename asmith.NTDOM.Corp x; type 1005 anne; cancel; ls NTDOM.Corp",
                                 "rename asmith.NTDOM.Corp x; type 1005 anne"}) {
        r = AsAdmin(commands);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("-> 261 | -1\n", 0), 0u) << commands << ": " << r.out;
    }
    r = AsAdmin("dump asmith.NTDOM.Corp 'Full Name'");
    EXPECT_EQ(r.out, "asmith.NTDOM.Corp | Full Name | 3 | Anne Smith\n");

    // A class the snap-in does not serve is renamed by the host alone.
    r = AsAdmin("rename Sales.Corp Marketing; dump 'Operator.Marketing.Corp' surname");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Operator.Marketing.Corp | surname | 3 | Operator\n");
}

TEST_F(CvadminSheetTest, TheHoursGridIsPaintedCellByCellInLocalTimeAndStoredInTheDirectorysTime) {
    // Five hours west of the directory's time: shown Monday 09:00 is stored Monday 14:00 (cell 38), shown
    // Sunday 00:00 to 02:00 are stored cells 5 to 7.
    struct Zone {
        Zone() { ::setenv("TZ", "EST5", 1); }
        ~Zone() { ::unsetenv("TZ"); }
    } zone;
    RunResult r = AsAdmin("details jdoe.NTDOM.Corp; page 'Logon Hours'; grid 1113 cell 1 9; "
                          "grid 1113 drag 0 0 0 2; render hours.png; key enter; "
                          "dump jdoe.NTDOM.Corp 'KEL:Logon Hours'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string stored = "0xf8fffffffd" + std::string(32, 'f');
    EXPECT_NE(r.out.find("-> 262 | 0\n-> 273 | 0\njdoe.NTDOM.Corp | KEL:Logon Hours | 9 | " + stored + "\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(ReadFile(m_dir / "hours.png").substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

    struct Case {
        const char* command;
        const char* error;
    } cases[] = {
        {"grid 1113 cell 7 0", "grid 1113: no cell 7 0 (rows 0 to 6, columns 0 to 23)"},
        {"grid 1113 drag 0 0 0 24", "grid 1113: no cell 0 24 (rows 0 to 6, columns 0 to 23)"},
        {"grid 1113 cell -1 3", "grid 1113: no cell -1 3 (rows 0 to 6, columns 0 to 23)"},
    };
    for (const Case& c : cases) {
        r = AsAdmin(std::string("details jdoe.NTDOM.Corp; page 'Logon Hours'; ") + c.command);
        EXPECT_EQ(r.status, 1) << c.command;
        EXPECT_EQ(r.err, std::string("error | 3 | ") + c.error + "\n") << c.command;
    }
    // An account of a workgroup system has no grid to click.
    r = AsAdmin("details backup.WKS1.Corp; page 'Logon Hours'; grid 1113 cell 0 0");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error | 3 | grid 1113: the control is hidden\n");
}

TEST_F(CvadminSheetTest, MovingAnNtUserToAnotherDomainTakesItsGroupsWhereTheyExist) {
    RunResult r = AsAdmin("move jdoe.NTDOM.Corp BRANCH.Corp; "
                          "dump jdoe.BRANCH.Corp 'KEL:Group Membership' 'KEL:Primary Group'; "
                          "dump 'Domain Admins.BRANCH.Corp' Member; dump 'Administrators.NTDOM.Corp' Member");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-> 265 | 0\n-> 275 | 0\n"
                     "jdoe.BRANCH.Corp | KEL:Group Membership | 1 | Domain Users.BRANCH.Corp\n"
                     "jdoe.BRANCH.Corp | KEL:Group Membership | 1 | Domain Admins.BRANCH.Corp\n"
                     "jdoe.BRANCH.Corp | KEL:Primary Group | 1 | Domain Users.BRANCH.Corp\n"
                     "Domain Admins.BRANCH.Corp | Member | 1 | jdoe.BRANCH.Corp\n");
}

TEST_F(CvadminSheetTest, AUserMadeFromATemplateGetsItsNtAccounts) {
    RunResult r =
        AsAdmin("template Paul.Sales.Corp 'NT Staff.Sales.Corp'; "
                "dump Paul.Sales.Corp 'KEL:Application Server List'; "
                "dump Paul.NTDOM.Corp 'KEL:QDS User' 'KEL:Primary Group' 'KEL:Must Change Password'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "message 57350 | The NT account Paul.WKS1.Corp could not join the template's group Domain "
              "Users.WKS1.Corp. Check that the group exists in the NT system and that you may change its "
              "members. | ok\n"
              "-> 279 | 0\n"
              "Paul.Sales.Corp | KEL:Application Server List | 1 | Paul.NTDOM.Corp\n"
              "Paul.Sales.Corp | KEL:Application Server List | 1 | Paul.WKS1.Corp\n"
              "Paul.NTDOM.Corp | KEL:QDS User | 1 | Paul.Sales.Corp\n"
              "Paul.NTDOM.Corp | KEL:Primary Group | 1 | Domain Users.NTDOM.Corp\n"
              "Paul.NTDOM.Corp | KEL:Must Change Password | 7 | true\n");

    // A template that is not there, or an object that is no template, makes nothing.
    for (const char* line :
         {"template Anna.Sales.Corp 'No Staff.Sales.Corp'", "template Anna.Sales.Corp Sales.Corp"}) {
        RunResult refused = AsAdmin(line);
        EXPECT_EQ(refused.status, 1) << line;
        EXPECT_EQ(refused.err.rfind("error | 1 | template: ", 0), 0u) << refused.err;
        EXPECT_EQ(AsAdmin("ls Sales.Corp").out.find("Anna"), std::string::npos) << line;
    }
}

TEST_F(CvadminSheetTest, ACopiedAccountJoinsTheOriginalsGroupsOnBothSidesAndHoldsNoHalfLink) {
    RunResult r = AsAdmin("copy jdoe.NTDOM.Corp jdoe2.NTDOM.Corp; copy Mary.NTDOM.Corp Mary2.NTDOM.Corp; "
                          "copy Mary.Sales.Corp Mary2.Sales.Corp; copy jdoe.NTDOM.Corp jdoe3.BRANCH.Corp; "
                          "dump jdoe2.NTDOM.Corp 'KEL:Group Membership' 'KEL:Primary Group'; "
                          "dump 'Domain Admins.NTDOM.Corp' Member; "
                          "dump Mary2.NTDOM.Corp 'KEL:QDS User' 'KEL:Primary Group'; ls Sales.Corp; "
                          "dump jdoe3.BRANCH.Corp 'KEL:Group Membership' 'KEL:Primary Group'; check");
    ASSERT_EQ(r.status, 0) << r.err;
    // A directory user is never copied: its NT accounts, named after it, could not follow.
    EXPECT_EQ(r.out, "-> 264 | 0\n-> 264 | 0\n"
                     "message - | CForeignAccount::OnQueryCopy(Mary.Sales.Corp) | ok\n"
                     "-> 264 | -1\n-> 264 | 0\n"
                     "copy | not joined | Domain Users.NTDOM.Corp | it is not a group of BRANCH.Corp\n"
                     "copy | not joined | Domain Admins.NTDOM.Corp | it is not a group of BRANCH.Corp\n"
                     "copy | not joined | Administrators.NTDOM.Corp | it is not a group of BRANCH.Corp\n"
                     "jdoe2.NTDOM.Corp | KEL:Group Membership | 1 | Domain Users.NTDOM.Corp\n"
                     "jdoe2.NTDOM.Corp | KEL:Group Membership | 1 | Domain Admins.NTDOM.Corp\n"
                     "jdoe2.NTDOM.Corp | KEL:Group Membership | 1 | Administrators.NTDOM.Corp\n"
                     "jdoe2.NTDOM.Corp | KEL:Primary Group | 1 | Domain Users.NTDOM.Corp\n"
                     "Domain Admins.NTDOM.Corp | Member | 1 | jdoe.NTDOM.Corp\n"
                     "Domain Admins.NTDOM.Corp | Member | 1 | jdoe2.NTDOM.Corp\n"
                     "Mary2.NTDOM.Corp | KEL:Primary Group | 1 | Domain Users.NTDOM.Corp\n"
                     "Mary.Sales.Corp | User\n"
                     "NT Staff.Sales.Corp | Template\n"
                     "Operator.Sales.Corp | User\n"
                     "check | ok\n");
}

TEST_F(CvadminSheetTest, ACopiedGroupTakesTheOriginalsMembersOnBothSides) {
    RunResult r = AsAdmin("copy 'Domain Admins.NTDOM.Corp' 'Admins2.NTDOM.Corp'; dump Admins2.NTDOM.Corp Member; "
                          "dump jdoe.NTDOM.Corp 'KEL:Group Membership'; check");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-> 264 | 0\n"
                     "Admins2.NTDOM.Corp | Member | 1 | jdoe.NTDOM.Corp\n"
                     "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Domain Users.NTDOM.Corp\n"
                     "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Domain Admins.NTDOM.Corp\n"
                     "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Administrators.NTDOM.Corp\n"
                     "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Admins2.NTDOM.Corp\n"
                     "check | ok\n");
}

TEST_F(CvadminSheetTest, CreationDialogsRunFromTheScriptAndTheHostFollowsTheirAnswer) {
    // 2: the new object's details open; 3: the dialog opens again in the same container.
    RunResult r =
        AsAdmin("create 'KEL:NT Local Group' NTDOM.Corp; type 100 Printers; click 1002; ok; cancel; "
                "create 'KEL:NT Global Group' NTDOM.Corp; type 1004 Staff; click 1003; ok; "
                "type 1004 Sales; ok; ls NTDOM.Corp");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string expected =
        "-> 258 | 2\ncreated | Printers.NTDOM.Corp\n-> 259 | 2\n-> 260 | 0\n-> 260 | 0\n-> 273 | 0\n"
        "-> 258 | 3\ncreated | Staff.NTDOM.Corp\n-> 258 | 0\ncreated | Sales.NTDOM.Corp\n";
    EXPECT_EQ(r.out.substr(0, expected.size()), expected);
    for (const char* line :
         {"Printers.NTDOM.Corp | KEL:NT Local Group\n", "Staff.NTDOM.Corp | KEL:NT Global Group\n",
          "Sales.NTDOM.Corp | KEL:NT Global Group\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;

    // An empty NT system: question 16 first; without the registry switch No refuses.
    r = AsAdmin(
        "dir add EMPTY.Corp 'KEL:NT Domain'; answer no; create 'KEL:NT User' EMPTY.Corp; ls EMPTY.Corp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 11), "message 16 ");
    EXPECT_EQ(r.out.substr(r.out.size() - 18), " | no\n-> 258 | -1\n") << r.out;
    r = AsAdmin("answer yes; create 'KEL:NT User' EMPTY.Corp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" | yes\nmessage 57511 | The upload could not be started"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 12), "-> 258 | -1\n");

    // Acting on a disabled OK is an error of the script, as a person cannot press it.
    r = AsAdmin("create 'KEL:NT Global Group' NTDOM.Corp; type 1004 ''; ok");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error | 3 | ok: the control is disabled\n");
}

// A module command refused without anything shown to the person stops the script with a line that says what
// was refused; a refusal after a dialog the script cancelled, or after a message the person read, stays the
// module's plain answer, as scripts have always read it.
TEST_F(CvadminSheetTest, ARefusalThatShowedNothingIsAnErrorOfItsLine) {
    const struct {
        const char* commands;
        int status;
        const char* err;
    } cases[] = {
        {"create 'KEL:NT User' Corp; ls", 1,
         "error | 1 | create KEL:NT User in Corp: the module refused it and "
         "showed no reason\n"},
        {"create 'KEL:NT Domain' Nowhere.Corp", 1,
         "error | 1 | create KEL:NT Domain in Nowhere.Corp: the module refused it and showed no reason\n"},
        {"create 'KEL:NT Global Group' Mary.Sales.Corp", 1,
         "error | 1 | create KEL:NT Global Group in Mary.Sales.Corp: the module refused it and showed no "
         "reason\n"},
        {"create 'KEL:NT User' NTDOM.Corp; cancel", 0, ""},
        {"delete Mary.Sales.Corp; cancel", 0, ""},
        // A dialog the script never acted on: the script ran out of lines while it stood open.
        {"delete Mary.Sales.Corp", 1,
         "error | 1 | delete Mary.Sales.Corp: its dialog was still open when the script ended, and closed with "
         "Cancel\n"},
        {"move Mary.Sales.Corp Corp", 0, ""},
    };
    for (const auto& c : cases) {
        RunResult r = AsAdmin(c.commands);
        EXPECT_EQ(r.status, c.status) << c.commands;
        EXPECT_EQ(r.err, c.err) << c.commands;
        EXPECT_NE(r.out.find(" | -1\n"), std::string::npos) << c.commands << ": " << r.out;
        EXPECT_EQ(r.out.find("Admin | User"), std::string::npos) << "the script stopped at the refusal";
    }
    RunResult still = AsAdmin("ls Sales.Corp");
    EXPECT_NE(still.out.find("Mary.Sales.Corp | User\n"), std::string::npos) << still.out;
}

TEST_F(CvadminSheetTest, DeletingAnAccountTakesItOutOfItsGroups) {
    RunResult r = AsAdmin("delete asmith.NTDOM.Corp; dump 'Domain Users.NTDOM.Corp' Member");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-> 263 | 0\n"
                     "Domain Users.NTDOM.Corp | Member | 1 | jdoe.NTDOM.Corp\n"
                     "Domain Users.NTDOM.Corp | Member | 1 | Mary.NTDOM.Corp\n");
}

} // namespace

namespace {

TEST_F(CvadminProgramTest, WithoutAStoreTheHostKeepsItsOwnDirectory) {
    ASSERT_FALSE(fs::exists(m_dir / "cvadmin"));
    RunResult made = Run({"--registry", "r.reg", "-c", "dir add Corp Organization"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(fs::exists(m_dir / "cvadmin" / "directory.db"));
    RunResult again = Run({"--registry", "r.reg", "-c", "ls"});
    EXPECT_EQ(again.out, "Admin | User\nCorp | Organization\n");
}

} // namespace

namespace {

// The store holds password hashes: the host's own folder for the default store is owner-only whatever the
// umask, and what a killed creation left beside a store is cleared by the next creation, while a creation
// still running (it holds its file's lock) is left alone.
TEST_F(CvadminProgramTest, TheStoresFilesStayTheOwnersAndAKilledCreationLeavesNothingForGood) {
    RunResult made = testrun::RunIn(m_dir,
                                    "umask 022 && XDG_DATA_HOME=" + Quote((m_dir / "data").string()) + " " +
                                        Quote(testrun::Program("cvadmin")) + " --registry r.reg -c ls",
                                    std::string());
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(fs::status(m_dir / "data" / "cvadmin").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(m_dir / "data" / "cvadmin" / "directory.db").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    std::ofstream(m_dir / "s.db.new-Abc123") << "half a store";
    std::ofstream(m_dir / "s.db.new-Abc123-journal") << "its journal";
    std::ofstream(m_dir / "s.db.new-Live01") << "a creation under way";
    std::ofstream(m_dir / "s.db.new-Just01") << "made a moment ago, not locked yet";
    // A killed creation is old by the time anyone looks; one made this minute may not be locked yet.
    const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* name : {"s.db.new-Abc123", "s.db.new-Abc123-journal", "s.db.new-Live01"})
        fs::last_write_time(m_dir / name, hourAgo);
    const int live = ::open((m_dir / "s.db.new-Live01").c_str(), O_RDONLY);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    RunResult opened = Run({"--store", "s.db", "--registry", "r.reg", "-c", "ls"});
    ::close(live);
    ASSERT_EQ(opened.status, 0) << opened.err;
    EXPECT_FALSE(fs::exists(m_dir / "s.db.new-Abc123"));
    EXPECT_FALSE(fs::exists(m_dir / "s.db.new-Abc123-journal"));
    EXPECT_TRUE(fs::exists(m_dir / "s.db.new-Live01")) << "a live creation keeps its file";
    EXPECT_TRUE(fs::exists(m_dir / "s.db.new-Just01")) << "so does one just begun";
}

// A side file that another account made beside our store (it opened the store while the store was
// readable) would receive our writes, password hashes among them, where that account reads them: the store
// is not opened, and the message says why and what to do.
TEST_F(CvadminProgramTest, AStoreWhoseSideFileBelongsToAnotherAccountIsNotWrittenThrough) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another account takes root";
    ASSERT_EQ(Run({"--store", "s.db", "--registry", "r.reg", "-c", "ls"}).status, 0);
    std::ofstream(m_dir / "s.db-wal") << "";
    const uid_t other = 65534; // nobody
    ASSERT_EQ(::chown((m_dir / "s.db-wal").c_str(), other, other), 0);
    RunResult refused = Run({"--store", "s.db", "--registry", "r.reg", "-c", "dir add Corp Organization"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(
        refused.err.find("cannot open the directory store s.db: its side file s.db-wal belongs to another "
                         "account (uid 65534)"),
        std::string::npos)
        << refused.err;
    fs::remove(m_dir / "s.db-wal");
    RunResult again = Run({"--store", "s.db", "--registry", "r.reg", "-c", "ls"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "Admin | User\n") << "nothing was written while the side file was another's";
}

TEST_F(CvadminProgramTest, ALineWithANulOrBrokenUtf8RunsNothing) {
    using namespace std::string_literals;
    ASSERT_EQ(Run({"--store", "s.db", "--registry", "r.reg", "-c",
                   "dir add Corp Organization; dir add Op.Corp User"})
                  .status,
              0);
    std::ofstream(m_dir / "nul.cvs", std::ios::binary) << "ls Corp\ndir del 'Op.Corp\0.Nothing'\nls\n"s;
    std::ofstream(m_dir / "utf8.cvs", std::ios::binary) << "ls Corp\ndir set Op.Corp surname 'Caf\xe9'\n";
    const std::string nul = "error | 2 | the line holds a NUL byte, which no name or value may hold\n";
    const std::string utf8 =
        "error | 2 | the line is not valid UTF-8 (byte 0xe9); scripts are read as UTF-8\n";
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> input;
        std::string
            out; // a script runs nothing when one line is bad; standard input runs the lines before it
        std::string err;
    } cases[] = {
        {{"--script", "nul.cvs"}, std::nullopt, "", nul},
        {{"--script", "utf8.cvs"}, std::nullopt, "", utf8},
        {{}, "ls Corp\ndir del 'Op.Corp\0.Nothing'\nls\n"s, "Op.Corp | User\n", nul},
        {{}, "ls Corp\ndir set Op.Corp surname 'Caf\xe9'\n", "Op.Corp | User\n", utf8},
        {{"-c", "ls Corp; dir set Op.Corp surname 'Caf\xe9'"}, std::nullopt, "", utf8},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--store", "s.db", "--registry", "r.reg"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult r = Run(args, c.input);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
    RunResult after = Run({"--store", "s.db", "--registry", "r.reg", "-c", "ls Corp; dump Op.Corp surname"});
    EXPECT_EQ(after.out, "Op.Corp | User\n") << "nothing was deleted or stored";
}

} // namespace

namespace {

TEST_F(CvadminProgramTest, ThePasswordComesFromTheCommandLineOrStandardInput) {
    ASSERT_EQ(Run({"--store", "s.db", "--registry", "r.reg", "-c", "ls"}).status, 0)
        << "a new store's Admin has no password, and without a terminal none is asked";
    ASSERT_EQ(Run({"--store", "s.db", "--registry", "r.reg", "-c", "dir password Admin 'pw 1'"}).status, 0);
    const std::string refused = "error | 0 | cannot sign in as Admin: wrong password (-712)";
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> input;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"--password-stdin"}, "pw 1\nls\n", 0, "Admin | User\n", ""},
        {{"--password-stdin", "-c", "ls"}, "pw 1\r\nthis is no command\n", 0, "Admin | User\n", ""},
        {{"--password-stdin", "--script", "s.cvs"}, "pw 1", 0, "Admin | User\n", ""},
        // The script from standard input follows the password's line.
        {{"--password-stdin", "--script", "-"}, "pw 1\nls\nls\n", 0, "Admin | User\nAdmin | User\n", ""},
        {{"--password=pw 1", "--script=-"},
         "ls\nquit now\nls\n",
         1,
         "Admin | User\n",
         "error | 2 | quit and exit take no arguments\n"},
        {{"--password", "pw 1", "-c", "ls"}, std::nullopt, 0, "Admin | User\n", ""},
        {{"--password-stdin", "-c", "ls"}, "pw 2\n", 2, "", refused + "\n"},
        {{"--password-stdin", "-c", "ls"},
         "",
         2,
         "",
         "error | 0 | --password-stdin: standard input holds no password\n"},
        {{"--password-stdin", "-c", "ls"},
         "pw\xff\n",
         2,
         "",
         "error | 0 | the password is not valid UTF-8\n"},
        {{"-c", "ls"},
         std::nullopt,
         2,
         "",
         refused + " (give the password with --password or --password-stdin)\n"},
    };
    std::ofstream(m_dir / "s.cvs") << "ls\n";
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--store", "s.db", "--registry", "r.reg"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult r = Run(args, c.input);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
    }
}

TEST_F(CvadminProgramTest, GnuStyleCommandLinesRunAsTheLongForms) {
    RunResult help = Run({"-h"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("cvadmin - ", 0), 0u) << help.out;

    // Several -c are one script, numbered on from one to the next; it stops at its first error.
    RunResult several = Run(
        {"--store=s.db", "--registry=r.reg", "-c", "dir add Corp Organization", "-c", "ls; bogus", "-cls"});
    EXPECT_EQ(several.status, 1);
    EXPECT_EQ(several.out, "Admin | User\nCorp | Organization\n");
    EXPECT_EQ(several.err.rfind("error | 3 | unknown command bogus", 0), 0u) << several.err;
    RunResult again = Run({"--store", "s.db", "--registry", "r.reg", "-c", "ls"});
    EXPECT_EQ(again.out, "Admin | User\nCorp | Organization\n") << "--store=FILE opened the same store";
}

TEST_F(CvadminProgramTest, HelpWithoutASheetListsTheCommandsAndExplainsOne) {
    RunResult r = Run({"--memory", "--registry", "r.reg", "-c", "help; help ls; help next; help dir set"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Script commands:\n  login NAME [PASSWORD]  ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\n  verbose on|off  "), std::string::npos) << r.out;
    const std::string explained = "help COMMAND explains one command.\n"
                                  "ls [CONTAINER]  list the children of CONTAINER with their base class\n"
                                  "next|back|finish  press a wizard's Next, Back or Finish button\n"
                                  "dir set OBJECT ATTR VALUE...  set the values of an attribute\n";
    ASSERT_GE(r.out.size(), explained.size());
    EXPECT_EQ(r.out.substr(r.out.size() - explained.size()), explained);

    RunResult unknown = Run({"--memory", "--registry", "r.reg", "-c", "help lss"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "error | 1 | help: there is no command lss (did you mean ls?)\n");

    // A script may hide the record lines for a stretch; they are shown unless it does.
    RunResult quiet = Run({"--memory", "--registry", "r.reg", "-c",
                           "dir add Corp Organization; dir add NTDOM.Corp 'KEL:NT Domain'; verbose off; "
                           "details NTDOM.Corp; verbose on; cancel"});
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "-> 273 | 0\n");
}

TEST_F(CvadminProgramTest, AStoreOrScriptThatCannotBeUsedStopsTheProgram) {
    fs::create_directories(m_dir / "folder");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--script", "folder"}, "error | 0 | the script folder is a folder, not a file\n"},
        {{"--script", "none.cvs"},
         "error | 0 | cannot read the script none.cvs: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--store", "s.db", "--registry", "r.reg"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult r = Run(args);
        EXPECT_EQ(r.status, 2) << c.args[1];
        EXPECT_EQ(r.out, "") << c.args[1];
        EXPECT_EQ(r.err, c.err) << c.args[1];
    }
    EXPECT_FALSE(fs::exists(m_dir / "s.db")) << "no store is made for a script that cannot run";

    // A store or a sample in a folder that is not there says so, not that some object is missing.
    std::ofstream(m_dir / "plain") << "a file\n";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } folders[] = {
        {{"--store", "nowhere/s.db", "--registry", "r.reg", "-c", "ls"},
         "error | 0 | cannot open the directory store nowhere/s.db: there is no folder nowhere\n"},
        {{"--store", "plain/s.db", "--registry", "r.reg", "-c", "ls"},
         "error | 0 | cannot open the directory store plain/s.db: plain is not a folder\n"},
        {{"sample", "nowhere/s.db"},
         "error | 0 | cannot make the store nowhere/s.db: there is no folder nowhere\n"},
    };
    for (const auto& c : folders) {
        RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 2) << c.args[1];
        EXPECT_EQ(r.err, c.err) << c.args[1];
    }
    EXPECT_FALSE(fs::exists(m_dir / "nowhere"));

    RunResult emptyStore = Run({"--store", "", "--registry", "r.reg", "-c", "ls"});
    EXPECT_EQ(emptyStore.status, 2);
    EXPECT_EQ(emptyStore.err.rfind("cvadmin: --store needs a file name\nusage: ", 0), 0u) << emptyStore.err;
    EXPECT_FALSE(fs::exists(m_dir / "cvadmin")) << "the default store is left alone";
}

} // namespace

namespace {

TEST_F(CvadminProgramTest, ACopyIsMadeWholeOrNotAtAll) {
    // A template: a directory user, whose NT accounts could not follow, is never copied.
    RunResult r =
        Run({"--store", "s.db", "--registry", "r.reg", "-c",
             "dir add Corp Organization; dir add Op.Corp Template; dir set Op.Corp surname Op; "
             "dir set Op.Corp 'KEL:Enabled Workstation List' A B; dir grant Op.Corp Op.Corp surname 2; "
             "copy Op.Corp Op2.Corp; dump Op2.Corp"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-> 264 | 0\n"
                     "Op2.Corp | KEL:Enabled Workstation List | 3 | A\n"
                     "Op2.Corp | KEL:Enabled Workstation List | 3 | B\n"
                     "Op2.Corp | Object Class | 20 | Template\n"
                     "Op2.Corp | surname | 3 | Op\n");

    r = Run({"--store", "s.db", "--registry", "r.reg", "-c", "copy Op.Corp Op2.Corp; ls Corp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "-> 264 | 0\n");
    EXPECT_EQ(r.err, "error | 1 | cannot copy Op.Corp to Op2.Corp: the object exists already (-709)\n");
}

} // namespace

TEST_F(CvadminProgramTest, TheDirectorysRefusalsSayWhy) {
    RunResult build = Run({"--store", "tree.db", "--registry", "r.reg", "-c",
                           "dir add Corp Organization; dir add NT.Corp 'KEL:NT Domain'; "
                           "dir add Bob.Corp User; dir password Bob.Corp bob-pw; "
                           "dir add Off.Corp User; dir set Off.Corp 'Login Disabled' true; "
                           "dir add Old.Corp User; dir set Old.Corp 'Login Expiration Time' 1000; "
                           "dir add Gone.Corp User; dir grant Gone.Corp Gone.Corp '[Entry Rights]' 4"});
    ASSERT_EQ(build.status, 0) << build.err;
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string error; // the start of standard error
    } cases[] = {
        {{"--login", "Off.Corp", "-c", "ls"},
         2,
         "error | 0 | cannot sign in as Off.Corp: the user's login is disabled (-731)"},
        {{"--login", "Old.Corp", "-c", "ls"},
         2,
         "error | 0 | cannot sign in as Old.Corp: the user's login has expired (-732)"},
        {{"--login", "Bob.Corp", "--password", "bob-pw", "-c", "ls Corp; dump NT.Corp"},
         1,
         "error | 2 | dump NT.Corp: no right to do this (-706)"},
        {{"-c", "dir add jdoe.Corp 'KEL:NT User'"},
         1,
         "error | 1 | cannot add jdoe.Corp of class KEL:NT User: an object of this class cannot be placed in "
         "that container (-735)"},
        {{"-c", "dir del Admin"},
         1,
         "error | 1 | cannot delete Admin: nobody else would hold Supervisor over [Root] (-736)"},
        {{"-c", "dir set Admin 'Login Disabled' true"},
         1,
         "error | 1 | cannot set Login Disabled of Admin: nobody else would hold Supervisor over [Root] "
         "(-736)"},
        {{"-c", "dir add 'Bad\\.Corp' Organization; dir add 'X\\' Organization"},
         1,
         "error | 2 | cannot add X\\ of class Organization: malformed name (-707)"},
        {{"-c", "login Bob.Corp bob-pw; dir del Bob.Corp"},
         1,
         "error | 2 | cannot delete Bob.Corp: no right"},
        {{"-c", "dir add 'Two\tWords.Corp' User"},
         1,
         "error | 1 | cannot add Two\tWords.Corp of class User: a name may not hold a line break, tab or "
         "other control character (-739)"},
        {{"-c", "login Gone.Corp; dir del Gone.Corp; ls Corp"},
         1,
         "error | 3 | ls Corp: the user Gone.Corp you signed in as is gone; sign in again with login (-734)"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--store", "tree.db", "--registry", "r.reg"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult r = Run(args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << "\n" << r.err;
        EXPECT_EQ(r.err.rfind(c.error, 0), 0u) << c.args.back() << "\n" << r.err;
    }
    // Whoever signs in reads only what is granted; ls still lists, since anyone may browse.
    RunResult bob = Run({"--store", "tree.db", "--registry", "r.reg", "--login", "Bob.Corp", "--password",
                         "bob-pw", "-c", "ls Corp"});
    EXPECT_EQ(bob.status, 0) << bob.err;
    EXPECT_EQ(bob.out, "Bob.Corp | User\nNT.Corp | KEL:NT Domain\nOff.Corp | User\nOld.Corp | User\n");
}

// Administrators sign in at the same moment while another request holds the store's write lock, as a long
// request of another administrator does: a sign-in with the right password and a listing only read, so none
// of them waits for it, and none is refused. Each run is bounded, since one that waited would wait for as
// long as the lock is held.
TEST_F(CvadminProgramTest, SignInsAtOnceReadWhileAnotherRequestHoldsTheWriteLock) {
    RunResult build = Run({"--store", "tree.db", "--registry", "r.reg", "-c",
                           "dir add Corp Organization; dir add Op.Corp User; dir password Op.Corp op-pw"});
    ASSERT_EQ(build.status, 0) << build.err;
    const std::string store = (m_dir / "tree.db").string();
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    constexpr int kRuns = 20;
    std::vector<RunResult> results(kRuns);
    std::vector<std::thread> runs;
    for (int i = 0; i < kRuns; ++i) {
        const fs::path folder = m_dir / ("run" + std::to_string(i));
        fs::create_directories(folder);
        runs.emplace_back([&results, i, folder, store] {
            results[i] =
                testrun::RunProgram(folder, "timeout",
                                    {"60", testrun::Program("cvadmin"), "--store", store, "--registry",
                                     "r.reg", "--login", "Op.Corp", "--password", "op-pw", "-c", "ls Corp"});
        });
    }
    for (auto& run : runs) {
        run.join();
    }
    EXPECT_EQ(sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(writer);
    for (int i = 0; i < kRuns; ++i) {
        EXPECT_EQ(results[i].status, 0) << i << ": " << results[i].err;
        EXPECT_EQ(results[i].out, "Op.Corp | User\n") << i;
    }
    // With the lock free, a wrong password is still refused.
    RunResult wrong = Run({"--store", "tree.db", "--registry", "r.reg", "--login", "Op.Corp", "--password",
                           "nope", "-c", "ls Corp"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("wrong password (-712)"), std::string::npos) << wrong.err;
}

TEST_F(CvadminProgramTest, CheckRepairsOneSidedLinksAndSaysWhat) {
    RunResult build = Run(
        {"--store", "tree.db", "--registry", "r.reg", "-c",
         "dir add Corp Organization; dir add NT.Corp 'KEL:NT Domain'; dir add Staff.NT.Corp 'KEL:NT Global "
         "Group'; dir add jdoe.NT.Corp 'KEL:NT User'; dir set Staff.NT.Corp Member jdoe.NT.Corp; "
         "dir add Bob.Corp User; dir password Bob.Corp bob-pw"});
    ASSERT_EQ(build.status, 0) << build.err;
    // What the check finds names objects and values Bob may neither browse nor read.
    RunResult asBob = Run({"--store", "tree.db", "--registry", "r.reg", "--login", "Bob.Corp", "--password",
                           "bob-pw", "-c", "check"});
    EXPECT_EQ(asBob.status, 1);
    EXPECT_EQ(asBob.out, "");
    EXPECT_EQ(asBob.err,
              "error | 1 | check: checking the directory takes the Supervisor right over [Root] (-706)\n");
    RunResult repaired = Run({"--store", "tree.db", "--registry", "r.reg", "-c", "check; check"});
    EXPECT_EQ(repaired.status, 0) << repaired.err;
    EXPECT_EQ(repaired.out, "check | repaired | jdoe.NT.Corp | KEL:Group Membership | added Staff.NT.Corp\n"
                            "check | 1 repaired\n"
                            "check | ok\n");
}
