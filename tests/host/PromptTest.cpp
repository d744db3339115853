// The interactive prompt as a person meets it: cvadmin runs at a pseudo-terminal, keys are typed (Tab,
// the arrows, Ctrl-D) and what the terminal shows is read back; and `quit`/`exit` in scripts.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/LineCompletion.h"
#include "host/PromptHistory.h"

#include "tests/support/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

// Only a guard, so that a prompt that never answers fails the test instead of hanging it; nothing is
// measured against it.
constexpr auto kGiveUpAfter = std::chrono::seconds(30);

constexpr const char* kUp = "\x1b[A";
constexpr const char* kCtrlD = "\x04";
constexpr const char* kCtrlC = "\x03";
// F1 as xterm and VT100 send it, and as the Linux console and rxvt do.
constexpr const char* kF1 = "\x1bOP";
constexpr const char* kF1Console = "\x1b[11~";

using testrun::Quote;
using testrun::ReadFile;

std::string Program() {
    return testrun::Program("cvadmin");
}

// One run of cvadmin at a terminal of its own.
class TerminalRun {
public:
    TerminalRun(const fs::path& dir, const std::vector<std::string>& args) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        m_child = forkpty(&m_terminal, nullptr, nullptr, &size);
        if (m_child == 0) {
            // The person's own files all live in the test's folder.
            ::chdir(dir.c_str());
            ::setenv("TERM", "xterm", 1);
            ::setenv("LANG", "C.UTF-8", 1);
            ::setenv("HOME", dir.c_str(), 1);
            ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
            ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
            ::setenv("TMPDIR", dir.c_str(), 1);
            std::vector<std::string> words{Program()};
            words.insert(words.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& w : words)
                argv.push_back(w.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~TerminalRun() {
        if (m_terminal >= 0)
            ::close(m_terminal);
        if (m_child > 0 && !m_reaped) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
    }

    [[nodiscard]] bool Started() const { return m_child > 0 && m_terminal >= 0; }

    // Types once the program reads keys one at a time, as at its prompt: keys typed ahead into the line
    // discipline's cooked mode would be taken as it takes them (Ctrl-D there ends nothing once the editor
    // switches the mode).
    void Type(const std::string& keys) {
        const auto giveUp = std::chrono::steady_clock::now() + kGiveUpAfter;
        termios mode{};
        while (::tcgetattr(m_terminal, &mode) == 0 && (mode.c_lflag & ICANON) != 0 &&
               std::chrono::steady_clock::now() < giveUp)
            ReadSome();
        ASSERT_EQ(::write(m_terminal, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Types once the terminal no longer echoes, as while a password is asked.
    void TypeUnseen(const std::string& keys) {
        const auto giveUp = std::chrono::steady_clock::now() + kGiveUpAfter;
        termios mode{};
        while (::tcgetattr(m_terminal, &mode) == 0 && (mode.c_lflag & ECHO) != 0 &&
               std::chrono::steady_clock::now() < giveUp)
            ReadSome();
        ASSERT_EQ(mode.c_lflag & ECHO, 0u) << "the terminal still echoes";
        ASSERT_EQ(::write(m_terminal, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Reads what the terminal shows until `text` appears after what earlier waits consumed.
    bool WaitFor(const std::string& text) {
        const auto giveUp = std::chrono::steady_clock::now() + kGiveUpAfter;
        for (;;) {
            if (std::size_t at = m_shown.find(text, m_seen); at != std::string::npos) {
                m_seen = at + text.size();
                return true;
            }
            if (m_ended || std::chrono::steady_clock::now() > giveUp)
                return false;
            ReadSome();
        }
    }

    // Waits for the program to end and answers its exit status (-1 when it did not exit on its own).
    int Finish() {
        const auto giveUp = std::chrono::steady_clock::now() + kGiveUpAfter;
        while (!m_ended && std::chrono::steady_clock::now() < giveUp)
            ReadSome();
        int status = 0;
        if (!m_ended) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, &status, 0);
            m_reaped = true;
            return -1;
        }
        ::waitpid(m_child, &status, 0);
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // An interrupt sent from outside, as `kill -INT` sends it.
    void Interrupt() { ::kill(m_child, SIGINT); }

    [[nodiscard]] const std::string& Shown() const { return m_shown; }
    [[nodiscard]] std::string Since() const { return m_shown.substr(m_seen); }

private:
    void ReadSome() {
        pollfd p{m_terminal, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            return;
        char chunk[4096];
        ssize_t n = ::read(m_terminal, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            return;
        if (n <= 0) {
            m_ended = true; // the program closed its terminal
            return;
        }
        m_shown.append(chunk, static_cast<std::size_t>(n));
    }

    pid_t m_child = -1;
    int m_terminal = -1;
    bool m_ended = false;
    bool m_reaped = false;
    std::string m_shown;
    std::size_t m_seen = 0;
};

class PromptTest : public ::testing::Test {
protected:
    // Runs cvadmin without a terminal: standard input from `input`, standard error into `err`.
    int RunScript(const std::vector<std::string>& args, const std::string& input, std::string& out,
                  std::string& err) {
        std::string command = "XDG_STATE_HOME=./state " + Quote(Program());
        for (const std::string& a : args)
            command += " " + Quote(a);
        const testrun::RunResult run = testrun::RunIn(m_dir, command, input);
        out = run.out;
        err = run.err;
        return run.status;
    }

    void MakeTree() {
        std::string out;
        std::string err;
        ASSERT_EQ(RunScript({"--store", "tree.db", "--registry", "r.reg", "-c",
                             "dir add Corp Organization; dir add NTDOM.Corp 'KEL:NT Domain'; "
                             "dir add Sales.Corp 'Organizational Unit'; "
                             "dir set NTDOM.Corp Description 'Head office'"},
                            "", out, err),
                  0)
            << err;
    }

    testrun::ScratchFolder m_scratch{"cvadmin-prompt"};
    fs::path m_dir = m_scratch.Path();
};

TEST(PromptHistoryTest, LinesThatCarryAPasswordNeverReachTheHistory) {
    // The open page's control 7 is a password edit, control 8 is not.
    const cvadmin::PasswordFieldTest passwordField = [](int id) { return id == 7; };
    const struct {
        const char* line;
        bool secret;
    } cases[] = {
        {"login Admin s3cret", true},
        {"login 'Operator.Sales.Corp' 'two words'", true},
        {"login Operator.Sales.Corp", false}, // signs in without a password
        {"dir password Mary.Sales.Corp s3cret", true},
        {"ls Corp; dir password Mary.Sales.Corp s3cret", true},
        {"dir set Mary.Sales.Corp Description s3cret", false},
        {"type 7 s3cret", true},
        {"type 8 'Head office'", false},
        {"login Admin 's3cret", true}, // an open quote could hide anything
        {"dump Corp # login Admin s3cret", false},
        {"quit", false},
        // What a password command could have meant, mistyped or in capitals, is kept out too.
        {"logni Admin s3cret", true},
        {"LOGIN Admin s3cret", true},
        {"lgin Admin s3cret", true},
        {"dir passwd Mary.Sales.Corp s3cret", true},
        {"DIR PASSWORD Mary.Sales.Corp s3cret", true},
        {"dri pasword Mary.Sales.Corp s3cret", true},
        {"dir pass Mary.Sales.Corp s3cret", true},
        {"tpye 7 s3cret", true},
        {"dir add Sales.Corp 'Organizational Unit'", false},
        {"ls Corp", false},
        {"dump Mary.Sales.Corp Description", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cvadmin::IsSecretLine(c.line, passwordField), c.secret) << c.line;
}

TEST(LineCompletionTest, CommandsFixedWordsAndObjectNamesComplete) {
    const std::map<std::string, std::vector<std::string>> tree = {
        {"[Root]", {"Admin", "Corp"}},
        {"Corp", {"NTDOM.Corp", "NT Staff.Corp", "Sales.Corp"}},
        {"NTDOM.Corp", {"jdoe.NTDOM.Corp"}},
    };
    const cvadmin::ChildLister lister = [&](const std::string& container, std::vector<std::string>& names) {
        auto it = tree.find(container);
        if (it != tree.end())
            names = it->second;
        return true;
    };
    const std::vector<std::string> commands = {"delete", "details", "dir", "dump", "ls", "quit"};
    const struct {
        const char* typed;
        const char* replacement;
        std::vector<std::string> candidates;
        bool finished;
    } cases[] = {
        {"du", "dump", {"dump"}, true},
        {"de", "de", {"delete", "details"}, false},
        {"ls Corp; q", "quit", {"quit"}, true},
        {"dir pa", "password", {"password"}, true},
        {"dump jd", "jdoe.NTDOM.Corp", {"jdoe.NTDOM.Corp"}, true},
        {"dump nt", "NT", {"NT Staff.Corp", "NTDOM.Corp"}, false},
        {"dump 'NT S", "NT Staff.Corp", {"NT Staff.Corp"}, true},
        {"ls c", "Corp", {"Corp"}, false}, // a container stays open for the next Tab
        {"ls Corp", "Corp", {"NT Staff.Corp", "NTDOM.Corp", "Sales.Corp"}, false},
        {"dump Corp Desc", "Desc", {}, false}, // attribute names are not objects
        {"ls x # c", "", {}, false},
    };
    for (const auto& c : cases) {
        cvadmin::CompletionResult r =
            cvadmin::CompleteWord(cvadmin::FindWordAtCursor(c.typed), commands, lister);
        EXPECT_EQ(r.replacement, c.replacement) << c.typed;
        EXPECT_EQ(r.candidates, c.candidates) << c.typed;
        EXPECT_EQ(r.finished, c.finished) << c.typed;
    }
    EXPECT_EQ(cvadmin::QuoteWord("NT Staff.Corp", /*closed=*/true), "'NT Staff.Corp'");
    EXPECT_EQ(cvadmin::QuoteWord("NT", /*closed=*/false), "NT");
    EXPECT_EQ(cvadmin::QuoteWord("O'Neil.Corp", /*closed=*/true), "'O'\\''Neil.Corp'");
}

TEST_F(PromptTest, APersonCompletesRecallsAndFindsTheHistoryNextTime) {
    MakeTree();
    {
        TerminalRun run(m_dir, {"--store", "tree.db", "--registry", "r.reg", "--password", ""});
        ASSERT_TRUE(run.Started());
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        // A command word, then an object name, each completed with Tab.
        run.Type("dum\tNT\tDescription\r");
        ASSERT_TRUE(run.WaitFor("NTDOM.Corp | Description | 3 | Head office\r\n")) << run.Shown();
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        // The up arrow brings the line back.
        run.Type(std::string(kUp) + "\r");
        ASSERT_TRUE(run.WaitFor("NTDOM.Corp | Description | 3 | Head office\r\n")) << run.Shown();
        // A container's name completes without a blank; Tab again shows what it holds, as `ls` names it.
        run.Type("ls C\t\t");
        ASSERT_TRUE(run.WaitFor("NTDOM.Corp  Sales.Corp\r\n")) << run.Shown();
        run.Type("\r");
        ASSERT_TRUE(run.WaitFor("NTDOM.Corp | KEL:NT Domain\r\nSales.Corp | Organizational Unit\r\n"))
            << run.Shown();
        run.Type("dir password Admin 's3cret pw'\r");
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        run.Type("login Admin 's3cret pw'\r");
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        // A mistake is shown and the person goes on.
        run.Type("lls\r");
        ASSERT_TRUE(run.WaitFor("error | 6 | unknown command lls")) << run.Shown();
        // The prompt says which sheet is open.
        run.Type("details NTDOM.Corp\r");
        ASSERT_TRUE(run.WaitFor("cvadmin [NTDOM.Corp: Identification]> ")) << run.Shown();
        run.Type("quit\r");
        EXPECT_EQ(run.Finish(), 0) << run.Shown();
    }
    {
        TerminalRun run(m_dir, {"--store", "tree.db", "--registry", "r.reg", "--password", "s3cret pw"});
        ASSERT_TRUE(run.Started());
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        // Last run's lines, newest first: quit, details, lls, ls Corp.
        run.Type(std::string(kUp) + kUp + kUp + kUp + "\r");
        ASSERT_TRUE(run.WaitFor("NTDOM.Corp | KEL:NT Domain\r\nSales.Corp | Organizational Unit\r\n"))
            << run.Shown();
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        // Characters past ASCII are typed, edited and stored as UTF-8: the Backspace takes one character.
        run.Type("dir set NTDOM.Corp Description 'Büro Zürü\x7fich'\r");
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        run.Type("dump NTDOM.Corp Description\r");
        ASSERT_TRUE(run.WaitFor("NTDOM.Corp | Description | 3 | Büro Zürich\r\n")) << run.Shown();
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        run.Type(kCtrlD);
        EXPECT_EQ(run.Finish(), 0) << run.Shown();
    }
    const fs::path history = m_dir / "state" / "cvadmin" / "history";
    EXPECT_EQ(ReadFile(history),
              "dump NTDOM.Corp Description\nls Corp\nlls\ndetails NTDOM.Corp\nquit\nls Corp\n"
              "dir set NTDOM.Corp Description 'Büro Zürich'\ndump NTDOM.Corp Description\n");
    struct stat info {};
    ASSERT_EQ(::stat(history.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(history.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(PromptTest, QuitExitAndEndOfInputLeaveWithStatusZeroAndCloseTheSheet) {
    MakeTree();
    for (const char* way : {"quit\r", "exit\r", kCtrlD}) {
        TerminalRun run(m_dir, {"--store", "tree.db", "--registry", "r.reg", "--password", ""});
        ASSERT_TRUE(run.Started());
        run.Type("verbose on\r");
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        run.Type("details NTDOM.Corp\r");
        ASSERT_TRUE(run.WaitFor("cvadmin [NTDOM.Corp: Identification]> ")) << run.Shown();
        run.Type(way);
        EXPECT_EQ(run.Finish(), 0) << run.Shown();
        // The sheet still open closes with Cancel, as at the end of a script.
        EXPECT_NE(run.Since().find("-> 273 | 0\r\n"), std::string::npos) << run.Shown();
    }
}

TEST_F(PromptTest, TheFirstRunSaysWhereTheNewDirectoryIsAndWhatToTypeNext) {
    const std::string greeting =
        "A new, empty directory was made in " + (m_dir / "cvadmin" / "directory.db").string() +
        ".\r\nIts supervisor Admin has no password yet; give it one with: dir "
        "password Admin NEW-PASSWORD\r\nType help for the commands, help COMMAND for "
        "one of them, quit to leave.\r\ncvadmin> ";
    {
        // The default store, made by this run: its Admin has no password, so none is asked.
        TerminalRun run(m_dir, {"--registry", "r.reg"});
        ASSERT_TRUE(run.Started());
        ASSERT_TRUE(run.WaitFor(greeting)) << run.Shown();
        EXPECT_EQ(run.Shown().find("Password for"), std::string::npos) << run.Shown();
        // With no sheet open, help lists the commands as --help does, and help COMMAND explains one.
        run.Type("help\r");
        ASSERT_TRUE(run.WaitFor("help\r\nScript commands:\r\n  login NAME [PASSWORD]  ")) << run.Shown();
        ASSERT_TRUE(run.WaitFor("\r\n  ls [CONTAINER]  ")) << run.Shown();
        ASSERT_TRUE(run.WaitFor("\r\nhelp COMMAND explains one command.\r\ncvadmin> ")) << run.Shown();
        run.Type("help ls\r");
        ASSERT_TRUE(run.WaitFor("\r\nls [CONTAINER]  list the children of CONTAINER with their base class\r\n"
                                "cvadmin> "))
            << run.Shown();
        run.Type("dir password Admin s3cret\r");
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        run.Type("quit\r");
        EXPECT_EQ(run.Finish(), 0) << run.Shown();
    }
    {
        // The next run finds the store: no greeting, and the password it was given is asked for.
        TerminalRun run(m_dir, {"--registry", "r.reg"});
        ASSERT_TRUE(run.Started());
        ASSERT_TRUE(run.WaitFor("Password for Admin: ")) << run.Shown();
        run.TypeUnseen("s3cret\r");
        ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
        run.Type("quit\r");
        EXPECT_EQ(run.Finish(), 0) << run.Shown();
        EXPECT_EQ(run.Shown().find("A new, empty directory"), std::string::npos) << run.Shown();
    }
    // Without a terminal a first run prints only what its commands print.
    const fs::path piped = m_dir / "piped";
    fs::create_directories(piped);
    const testrun::RunResult run = testrun::RunIn(piped, Quote(Program()) + " --registry r.reg", "ls\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Admin | User\n");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(fs::exists(piped / "cvadmin" / "directory.db"));
}

TEST_F(PromptTest, CtrlCDropsTheLineAndF1PressesF1WhileTheSheetStaysOpen) {
    MakeTree();
    TerminalRun run(m_dir, {"--store", "tree.db", "--registry", "r.reg", "--password", ""});
    ASSERT_TRUE(run.Started());
    const std::string sheetPrompt = "cvadmin [NTDOM.Corp: Identification]> ";
    run.Type("details NTDOM.Corp\r");
    ASSERT_TRUE(run.WaitFor(sheetPrompt)) << run.Shown();
    // The host's record of the module's answers is not shown to a person unless asked for.
    EXPECT_EQ(run.Shown().find("-> 259"), std::string::npos) << run.Shown();

    run.Type(std::string("dump NTDOM.Corp") + kCtrlC);
    ASSERT_TRUE(run.WaitFor("dump NTDOM.Corp^C\r\n" + sheetPrompt)) << run.Shown();
    // F1 asks the page for help; the line being typed waits at the next prompt.
    run.Type(std::string("ls") + kF1);
    ASSERT_TRUE(run.WaitFor("help 14\r\n  NT domain identification\r\n")) << run.Shown();
    ASSERT_TRUE(run.WaitFor(sheetPrompt + "ls")) << run.Shown();
    run.Type(std::string(" Corp") + kF1Console);
    ASSERT_TRUE(run.WaitFor("help 14\r\n  NT domain identification\r\n")) << run.Shown();
    ASSERT_TRUE(run.WaitFor(sheetPrompt + "ls Corp")) << run.Shown();
    run.Type("\r");
    ASSERT_TRUE(
        run.WaitFor("NTDOM.Corp | KEL:NT Domain\r\nSales.Corp | Organizational Unit\r\n" + sheetPrompt))
        << run.Shown();
    EXPECT_EQ(run.Shown().find("Description | 3"), std::string::npos)
        << "the dropped line ran: " << run.Shown();
    EXPECT_EQ(run.Shown().find("-> 1337"), std::string::npos) << run.Shown();
    // An interrupt from outside the terminal drops the line too.
    run.Type("dump NTDOM.Corp");
    ASSERT_TRUE(run.WaitFor("dump NTDOM.Corp")) << run.Shown();
    run.Interrupt();
    ASSERT_TRUE(run.WaitFor("\r\n" + sheetPrompt)) << run.Shown();

    // Asked for, the record is shown as scripts read it.
    run.Type("verbose on\r");
    ASSERT_TRUE(run.WaitFor(sheetPrompt)) << run.Shown();
    run.Type("help\r");
    ASSERT_TRUE(run.WaitFor("help 14\r\n  NT domain identification\r\n")) << run.Shown();
    ASSERT_TRUE(run.WaitFor("-> 1337 | 0\r\n" + sheetPrompt)) << run.Shown();
    run.Type("verbose off\r");
    ASSERT_TRUE(run.WaitFor(sheetPrompt)) << run.Shown();
    run.Type("cancel\r");
    ASSERT_TRUE(run.WaitFor("cancel\r\ncvadmin> ")) << run.Shown();
    run.Type("quit\r");
    EXPECT_EQ(run.Finish(), 0) << run.Shown();
}

TEST_F(PromptTest, LoginWithoutAPasswordAsksForItUnseenAndCtrlCCancelsTheQuestion) {
    MakeTree();
    std::string out;
    std::string err;
    ASSERT_EQ(RunScript({"--store", "tree.db", "--registry", "r.reg", "-c",
                         "dir password Admin s3cret; dir add Op.Corp User; dir password Op.Corp op-pw"},
                        "", out, err),
              0)
        << err;
    TerminalRun run(m_dir, {"--store", "tree.db", "--registry", "r.reg", "--password", "s3cret"});
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
    run.Type("login Op.Corp\r");
    ASSERT_TRUE(run.WaitFor("Password for Op.Corp: ")) << run.Shown();
    run.TypeUnseen("not-it\r");
    ASSERT_TRUE(run.WaitFor("error | 1 | cannot sign in as Op.Corp: wrong password")) << run.Shown();
    run.Type("login Op.Corp\r");
    ASSERT_TRUE(run.WaitFor("Password for Op.Corp: ")) << run.Shown();
    run.TypeUnseen(kCtrlC);
    ASSERT_TRUE(run.WaitFor("error | 2 | login Op.Corp: cancelled; the sign-in is as it was\r\ncvadmin> "))
        << run.Shown();
    run.Type("login Op.Corp\r");
    ASSERT_TRUE(run.WaitFor("Password for Op.Corp: ")) << run.Shown();
    run.TypeUnseen("op-pw\r");
    ASSERT_TRUE(run.WaitFor("cvadmin> ")) << run.Shown();
    // Signed in as Op.Corp, who has no rights on the tree: the session went on after Ctrl-C.
    run.Type("dir add Other Organization\r");
    ASSERT_TRUE(run.WaitFor("error | 4 | ")) << run.Shown();
    run.Type("quit\r");
    EXPECT_EQ(run.Finish(), 0) << run.Shown();
    EXPECT_EQ(run.Shown().find("not-it"), std::string::npos) << "a password was echoed: " << run.Shown();
    EXPECT_EQ(run.Shown().find("op-pw"), std::string::npos) << "a password was echoed: " << run.Shown();

    // In a script `login NAME` signs in without a password and asks nothing.
    EXPECT_EQ(RunScript({"--store", "tree.db", "--registry", "r.reg", "--password", "s3cret", "-c",
                         "login Op.Corp"},
                        "", out, err),
              1);
    EXPECT_EQ(err.rfind("error | 1 | cannot sign in as Op.Corp: wrong password", 0), 0u) << err;
}

TEST_F(PromptTest, QuitInAScriptEndsItThereWithStatusZero) {
    MakeTree();
    const std::string lines =
        "dir add Other Organization\ndetails NTDOM.Corp\nquit\ndir add Late Organization\n";
    std::ofstream(m_dir / "s.cvs") << lines;
    const std::string sheet = "-> 259 | 3\n-> 260 | 0\n-> 260 | 0\n-> 260 | 0\n";
    const struct {
        std::vector<std::string> args;
        std::string input;
    } forms[] = {
        {{"--script", "s.cvs"}, ""},
        {{"-c", "dir add Other Organization; details NTDOM.Corp; exit; dir add Late Organization"}, ""},
        {{}, lines},
    };
    for (const auto& form : forms) {
        fs::copy_file(m_dir / "tree.db", m_dir / "run.db", fs::copy_options::overwrite_existing);
        std::vector<std::string> args = {"--store", "run.db", "--registry", "r.reg"};
        args.insert(args.end(), form.args.begin(), form.args.end());
        std::string out;
        std::string err;
        EXPECT_EQ(RunScript(args, form.input, out, err), 0) << err;
        EXPECT_EQ(err, "");
        // Leaving closes the open sheet with Cancel, and nothing after the line runs.
        EXPECT_EQ(out, sheet + "-> 273 | 0\n");
        ASSERT_EQ(RunScript({"--store", "run.db", "--registry", "r.reg", "-c", "ls"}, "", out, err), 0)
            << err;
        EXPECT_EQ(out, "Admin | User\nCorp | Organization\nOther | Organization\n");
    }
    std::string out;
    std::string err;
    EXPECT_EQ(RunScript({"--store", "tree.db", "--registry", "r.reg", "-c", "quit now; ls"}, "", out, err),
              1);
    EXPECT_EQ(err, "error | 1 | quit and exit take no arguments\n");
    EXPECT_EQ(out, "");
}

} // namespace
