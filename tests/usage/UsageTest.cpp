// --help, --version and the man pages, as a person meets them: run the programs, read what they print, and
// read the man pages the build made from the same source. Also the generator's refusals, as the developer
// who adds a line meets them.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/DirectoryCommands.h"
#include "host/HostCommands.h"
#include "host/Interpreter.h"
#include "host/ModuleCommands.h"
#include "host/UiCommands.h"

#include "tests/support/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

const std::string kBin = std::string(KELNT_BINARY_DIR) + "/bin/";

using testrun::Lines;
using testrun::ReadFile;
using testrun::RunResult;

class UsageTest : public ::testing::Test {
protected:
    // Runs a shell command line from the scratch folder; standard input is empty.
    RunResult Run(const std::string& commandLine) { return testrun::RunIn(m_dir, commandLine, std::string()); }

    testrun::ScratchFolder m_scratch{"usage-test"};
    fs::path m_dir = m_scratch.Path();
};

// The item lines of a --help text: section title -> forms, as a person reads the two columns.
std::vector<std::pair<std::string, std::string>> HelpItems(const std::string& help) {
    std::vector<std::pair<std::string, std::string>> items;
    std::string section;
    for (const std::string& line : Lines(help)) {
        if (!line.empty() && line.back() == ':' && line[0] != ' ') {
            section = line.substr(0, line.size() - 1);
        } else if (!section.empty() && line.rfind("  ", 0) == 0) {
            std::size_t gap = line.find("  ", 2);
            items.emplace_back(section, line.substr(2, gap - 2));
        }
    }
    return items;
}

// The man page's text with roff's escapes for '-' and '\' undone.
std::string ManSource(const std::string& program) {
    std::string page = ReadFile(std::string(KELNT_BINARY_DIR) + "/man/" + program + ".1");
    std::string out;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page.compare(i, 2, "\\-") == 0) {
            out += '-';
            ++i;
        } else if (page.compare(i, 2, "\\e") == 0) {
            out += '\\';
            ++i;
        } else {
            out += page[i];
        }
    }
    return out;
}

TEST_F(UsageTest, HelpAndVersionAnswerAndExitZero) {
    struct Case {
        std::string program;
        std::string arguments;
        std::string section; // a section --help must have
    };
    const Case cases[] = {
        {"cvadmin", "--help", "Script commands"},
        {"cvadmin", "--memory --lang English --help", "Command line"},
        {"kelnt-agent", "--help", "Commands"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.arguments);
        RunResult help = Run(kBin + c.program + " " + c.arguments);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(help.out.rfind(c.program + " - ", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("\nusage: " + c.program + " "), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("\n" + c.section + ":\n"), std::string::npos) << help.out;
        // The store or registry of a run is never touched by a question about the program.
        EXPECT_FALSE(fs::exists(m_dir / "cvadmin"));

        RunResult version = Run(kBin + c.program + " --version");
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.err, "");
        EXPECT_EQ(version.out, c.program + " (KELNT) " + KELNT_VERSION + "\n");
    }
}

TEST_F(UsageTest, CvadminHelpListsEveryScriptCommandOnOneLine) {
    std::ostringstream out;
    std::ostringstream err;
    cvadmin::Interpreter interpreter(out, err);
    cvadmin::RegisterDirectoryCommands(interpreter);
    cvadmin::RegisterModuleCommands(interpreter);
    cvadmin::RegisterHostCommands(interpreter);
    cvadmin::RegisterUiCommands(interpreter, cvadmin::CurrentSheetPage, cvadmin::SheetOk,
                                cvadmin::SheetCancel, cvadmin::SheetKey);
    ASSERT_GT(interpreter.CommandNames().size(), 30u);

    RunResult help = Run(kBin + "cvadmin --help");
    ASSERT_EQ(help.status, 0);
    std::set<std::string> listed;
    for (const auto& [section, form] : HelpItems(help.out)) {
        if (section != "Script commands")
            continue;
        // "next|back|finish" lists three commands; "dir add OBJECT CLASS" one.
        std::istringstream words(form.substr(0, form.find(' ')));
        for (std::string word; std::getline(words, word, '|');)
            listed.insert(word);
    }
    for (const std::string& name : interpreter.CommandNames())
        EXPECT_TRUE(listed.count(name)) << "cvadmin --help does not list the script command " << name;
    // Each line says what its command does, on that line.
    for (const std::string& line : Lines(help.out)) {
        if (line.rfind("  ", 0) == 0) {
            EXPECT_NE(line.find_first_not_of(' ', line.find("  ", 2)), std::string::npos) << line;
        }
    }
}

TEST_F(UsageTest, ManPagesHoldWhatHelpListsAndFormatCleanly) {
    for (const std::string program : {"cvadmin", "kelnt-agent"}) {
        SCOPED_TRACE(program);
        RunResult help = Run(kBin + program + " --help");
        ASSERT_EQ(help.status, 0);
        const std::string man = ManSource(program);
        ASSERT_NE(man.find(".TH "), std::string::npos);
        auto items = HelpItems(help.out);
        ASSERT_GT(items.size(), 5u);
        for (const auto& [section, form] : items)
            EXPECT_NE(man.find("\\fB" + form + "\\fR\n"), std::string::npos)
                << form << " is not in the man page";
        // groff reports every malformed request with -ww; a clean page prints nothing.
        RunResult groff =
            Run("groff -man -Tutf8 -ww -z '" + std::string(KELNT_BINARY_DIR) + "/man/" + program + ".1'");
        EXPECT_EQ(groff.status, 0);
        EXPECT_EQ(groff.err, "");
    }
}

TEST_F(UsageTest, ABadCommandLineStillGetsTheShortUsage) {
    RunResult r = Run(kBin + "cvadmin --bogus");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("cvadmin: unknown argument --bogus\nusage: cvadmin ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("Script commands:"), std::string::npos) << r.err;

    RunResult agent = Run(kBin + "kelnt-agent frobnicate");
    EXPECT_EQ(agent.status, 2);
    EXPECT_EQ(agent.err.rfind("kelnt-agent: unknown command frobnicate\nusage: kelnt-agent ", 0), 0u)
        << agent.err;
}

TEST_F(UsageTest, TheGeneratorStopsAtAMistakeWithItsLine) {
    const std::string good = "name tool\nsummary does things\nusage tool FILE\nsection Options\n";
    struct Case {
        std::string source;
        std::string error; // after "SOURCE:"
    };
    const Case cases[] = {
        {good + "item --fast makes it fast\n", "5: an item is written FORM :: WHAT IT DOES"},
        {good + "item --fast :: \n", "5: an item needs both its form and what it does"},
        {"name tool\nitem --fast :: fast\n", "2: an item before the first section"},
        {good + "option --fast :: fast\n", "5: unknown keyword option"},
        {good + "item\t--fast :: fast\n", "5: a tab"},
        {"name tool\nsummary does things\n",
         " the source needs a name, a summary and at least one usage line"},
        {good, " the section Options has no items"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        std::ofstream(m_dir / "tool.usage", std::ios::trunc) << c.source;
        RunResult r = Run(kBin + "kelnt-usagegen tool.usage KELNT 1.0 tool.h tool.1");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind("tool.usage:" + c.error, 0), 0u) << r.err;
    }
    std::ofstream(m_dir / "tool.usage", std::ios::trunc) << good << "item --fast :: makes it fast\n";
    RunResult made = Run(kBin + "kelnt-usagegen tool.usage KELNT 1.0 tool.h tool.1");
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_NE(ReadFile(m_dir / "tool.h").find("  --fast  makes it fast\\n"), std::string::npos);
    EXPECT_NE(ReadFile(m_dir / "tool.1").find(".TP\n\\fB\\-\\-fast\\fR\nmakes it fast\n"), std::string::npos);
}

} // namespace
