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
#include <map>
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

// The ".SH" titles of a man page, in order.
std::vector<std::string> ManSections(const std::string& man) {
    std::vector<std::string> titles;
    for (const std::string& line : Lines(man))
        if (line.rfind(".SH ", 0) == 0)
            titles.push_back(line.substr(4));
    return titles;
}

// The text of one man page section, up to the next.
std::string ManSection(const std::string& man, const std::string& title) {
    std::size_t start = man.find("\n.SH " + title + "\n");
    if (start == std::string::npos)
        return {};
    start += title.size() + 6;
    return man.substr(start, man.find("\n.SH ", start) - start);
}

TEST_F(UsageTest, ManPagesCloseWithExitStatusFilesExamplesAndSeeAlso) {
    struct Case {
        std::string program;
        std::vector<std::string> sections; // in this order, after the program's own
        std::string seeAlso;               // a page the SEE ALSO section names
    };
    const Case cases[] = {
        {"cvadmin",
         {"OUTPUT LINES", "EXIT STATUS", "ENVIRONMENT", "FILES", "EXAMPLES", "SEE ALSO"},
         ".BR kelnt-agent (1),"},
        {"kelnt-agent", {"EXIT STATUS", "EXAMPLES", "SEE ALSO"}, ".BR cvadmin (1),"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        const std::string man = ManSource(c.program);
        std::vector<std::string> titles = ManSections(man);
        ASSERT_GE(titles.size(), c.sections.size());
        EXPECT_EQ(std::vector<std::string>(titles.end() - static_cast<long>(c.sections.size()), titles.end()),
                  c.sections);
        // Each example shows what is typed, set off as typed.
        const std::string examples = ManSection(man, "EXAMPLES");
        EXPECT_NE(examples.find(".nf\n" + c.program + " "), std::string::npos) << examples;
        EXPECT_NE(ManSection(man, "SEE ALSO").find(c.seeAlso), std::string::npos);
        // --help says where the rest is.
        RunResult help = Run(kBin + c.program + " --help");
        EXPECT_NE(help.out.find("\nMore in the man page (man " + c.program + "): "), std::string::npos)
            << help.out;
    }
    // The lines a script reads besides the commands' own output are explained, message by message.
    const std::string output = ManSection(ManSource("cvadmin"), "OUTPUT LINES");
    for (const std::string said :
         {"\\fB-> MESSAGE | ANSWER\\fR", "\\fBchanged | PAGE\\fR", "\\fBmessage ID | TEXT | ANSWER\\fR",
          "\\fBerror | LINE | TEXT\\fR", "258 create", "259 a sheet opens (ANSWER its page count)",
          "260 one page made", "262 apply", "263 delete", "273 the sheet closes", "'-> 259 | 3'"})
        EXPECT_NE(output.find(said), std::string::npos) << said;
}

// The exit statuses the programs document are those a person gets: each documented status is met, and each
// status met is documented.
TEST_F(UsageTest, TheDocumentedExitStatusesAreThoseTheProgramsGive) {
    struct Case {
        std::string program;
        std::string arguments;
        int status;
    };
    const Case cases[] = {
        {"cvadmin", "--memory -c 'ls'", 0},
        {"cvadmin", "--memory -c 'ls; dump Nowhere; ls'", 1},
        {"cvadmin", "--memory --script missing.cvs", 2},
        {"cvadmin", "--bogus", 2},
        {"cvadmin", "help 999", 2},
        {"kelnt-agent", "keygen --bits 424 --public k.pub --private k.key", 0},
        {"kelnt-agent", "unseal --key k.key --in missing.bin", 1},
        {"kelnt-agent", "keygen --bits 9", 2},
    };
    std::map<std::string, std::set<int>> met;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.arguments);
        RunResult r = Run("env XDG_CONFIG_HOME=. " + kBin + c.program + " " + c.arguments + " </dev/null");
        EXPECT_EQ(r.status, c.status) << r.err;
        met[c.program].insert(r.status);
    }
    for (const auto& [program, statuses] : met) {
        SCOPED_TRACE(program);
        RunResult help = Run(kBin + program + " --help");
        std::set<int> documented;
        for (const auto& [section, form] : HelpItems(help.out))
            if (section == "Exit status")
                documented.insert(std::stoi(form));
        EXPECT_EQ(documented, statuses);
        const std::string man = ManSection(ManSource(program), "EXIT STATUS");
        for (int status : documented)
            EXPECT_NE(man.find(".TP\n\\fB" + std::to_string(status) + "\\fR\n"), std::string::npos) << status;
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
        {good + "item --fast :: fast\ntext more about it\n", "6: text belongs to a topic"},
        {good + "item --fast :: fast\ntopic Output\nitem x :: y\ntext late\n",
         "8: a topic's text comes before its items"},
        {good + "item --fast :: fast\nexit 0 done\n", "6: an exit line is written FORM :: WHAT IT DOES"},
        {good + "item --fast :: fast\ncommand tool a\n", "6: a command belongs to an example"},
        {good + "item --fast :: fast\nexample Make a thing\n",
         " the example \"Make a thing\" has no command lines"},
        {good + "item --fast :: fast\ntopic Output\n", " the topic Output has neither text nor items"},
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

    // The closing sections come in the man page's order whatever the order of their lines; --help lists the
    // statuses, files and variables and names what only the man page holds.
    std::ofstream(m_dir / "tool.usage", std::ios::trunc)
        << good << "item --fast :: makes it fast\n"
        << "see other(1)\n"
        << "example Make a thing:\ncommand tool a\ncommand     --fast\n"
        << "file /etc/tool :: its settings\n"
        << "exit 0 :: done\n"
        << "environment TOOL_HOME :: where it works\n"
        << "topic Output\ntext Lines.\nitem x | y :: a line\n";
    made = Run(kBin + "kelnt-usagegen tool.usage KELNT 1.0 tool.h tool.1");
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string man = ReadFile(m_dir / "tool.1");
    EXPECT_EQ(ManSections(man),
              (std::vector<std::string>{"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "OUTPUT", "EXIT STATUS",
                                        "ENVIRONMENT", "FILES", "EXAMPLES", "SEE ALSO"}));
    EXPECT_NE(man.find(".SH EXAMPLES\nMake a thing:\n.PP\n.RS 4\n.nf\ntool a\n    \\-\\-fast\n.fi\n.RE\n"),
              std::string::npos)
        << man;
    EXPECT_NE(man.find(".SH SEE ALSO\n.BR other (1)\n"), std::string::npos) << man;
    const std::string header = ReadFile(m_dir / "tool.h");
    for (const std::string shown :
         {"Exit status:\\n\"\n    \"  0  done", "Environment:\\n\"\n    \"  TOOL_HOME  where",
          "Files:\\n\"\n    \"  /etc/tool  its settings",
          "More in the man page (man tool): Output, Examples, See also."})
        EXPECT_NE(header.find(shown), std::string::npos) << shown << "\n" << header;
    EXPECT_EQ(header.find("Lines."), std::string::npos) << "a topic is the man page's only";
}

} // namespace
