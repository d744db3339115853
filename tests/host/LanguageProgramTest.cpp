// cvadmin in a second language and its help, run as a person runs it: `cvadmin help N`, a details sheet with
// --lang German or the registry's language, and F1 at the interactive prompt of a terminal.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

using testrun::Quote;
using testrun::ReadFile;
using testrun::RunResult;

const std::string kCvadmin = std::string(KELNT_BINARY_DIR) + "/bin/cvadmin";

class LanguageProgramTest : public ::testing::Test {
protected:
    // Runs a shell command line in the test's folder, with the host's files kept there too.
    RunResult Shell(const std::string& commandLine) { return testrun::RunIn(m_dir, commandLine); }
    RunResult Run(const std::vector<std::string>& args) {
        std::string command = Quote(kCvadmin);
        for (const std::string& a : args)
            command += " " + Quote(a);
        return Shell(command + " </dev/null");
    }
    void MakeSample() { ASSERT_EQ(Run({"sample", "s.db"}).status, 0); }

    testrun::ScratchFolder m_scratch{"cvadmin-lang"};
    fs::path m_dir = m_scratch.Path();
};

TEST_F(LanguageProgramTest, HelpPrintsTheSectionOfTheChosenLanguage) {
    struct Case {
        std::vector<std::string> args;
        std::string registry; // the registry file's text, empty for none
        std::string firstLines;
    };
    const std::string german = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Tandry\\SessionSettings]\n"
                               "\"CVLANGUAGE\"=\"German\"\n";
    const Case cases[] = {
        {{"help", "64"}, "", "Renaming an NT user\nType the NT user's new name (at most 20 characters;"},
        {{"help", "64", "--lang", "German"}, "", "NT-Benutzer umbenennen\nGeben Sie den neuen Namen"},
        {{"help", "--lang", "German", "4"}, "", "NT-Benutzer anlegen\nLegt einen neuen NT-Benutzer"},
        {{"help", "11"}, german, "Identifikation des NT-Benutzers\nVollständiger Name, Beschreibung"},
        {{"help", "11", "--lang", "English"}, german, "NT user identification\nThe NT user's full name"},
        {{"help", "64", "--lang", "german"}, "", "NT-Benutzer umbenennen\nGeben Sie den neuen Namen"},
        {{"help", "11", "--lang", "ENGLISH"}, german, "NT user identification\nThe NT user's full name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + (c.registry.empty() ? "" : " with the registry's German"));
        std::vector<std::string> args = c.args;
        if (!c.registry.empty()) {
            std::ofstream(m_dir / "r.reg") << c.registry;
            args.insert(args.end(), {"--registry", "r.reg"});
        }
        RunResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind(c.firstLines, 0), 0u) << r.out;
        EXPECT_EQ(r.out.find('@'), std::string::npos) << "one section only";
    }
}

TEST_F(LanguageProgramTest, HelpRefusesWhatItCannotShow) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::string lib = std::string(KELNT_BINARY_DIR) + "/lib/";
    const Case cases[] = {
        {{"help", "999"},
         2,
         "error | 0 | help: " + lib +
             "English/qor.hlp has no section for help context 999; its sections are 1-27, 37, 49, 53, 64\n"},
        {{"help", "4x"}, 2, "error | 0 | help: \"4x\" is not a help context number\n"},
        {{"help", "5", "--lang", "Klingon"},
         2,
         "error | 0 | --lang: no language Klingon is installed; installed: English, German\n"},
    };
    for (const Case& c : cases) {
        RunResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
    // A run in a language that is not installed would go on without the module: nothing runs at all.
    RunResult unknown = Run(
        {"--store", "s.db", "--registry", "r.reg", "--lang", "Klingon", "-c", "dir add Corp Organization"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err,
              "error | 0 | --lang: no language Klingon is installed; installed: English, German\n");
    EXPECT_FALSE(fs::exists(m_dir / "s.db"));
    RunResult lower = Run({"--store", "s.db", "--registry", "r.reg", "--lang", "german", "-c", "tools"});
    EXPECT_EQ(lower.status, 0) << lower.err;
    EXPECT_EQ(lower.out, "NT-Integration... | grayed | off\n");

    RunResult none = Run({"help"});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err.rfind("cvadmin: help needs a context number\n", 0), 0u) << none.err;
}

TEST_F(LanguageProgramTest, GermanTextsReachTheSheetAndTheMessageBoxes) {
    MakeSample();
    // The language as --lang gives it, and as the registry gives it when --lang is not there.
    std::ofstream(m_dir / "german.reg")
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Tandry\\SessionSettings]\n"
           "\"CVLANGUAGE\"=\"German\"\n";
    const std::vector<std::vector<std::string>> choices = {{"--registry", "r.reg", "--lang", "German"},
                                                           {"--registry", "german.reg"}};
    for (const auto& choice : choices) {
        SCOPED_TRACE(choice[1]);
        std::vector<std::string> args = {"--store", "s.db", "--password", "admin-secret"};
        args.insert(args.end(), choice.begin(), choice.end());
        args.insert(args.end(),
                    {"-c", "details jdoe.NTDOM.Corp; show; type 1017 Abc12345; type 1018 Xyz; apply; "
                           "cancel; details NTDOM.Corp; page Richtlinien; type 1142 20; apply; cancel; "
                           "details Mary.Sales.Corp; click 124; show; cancel"});
        RunResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("65535 | static | - | Vollständiger Name:\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("1021 | checkbox | - | Kennwort läuft nie ab\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("message 19 | Das neue Kennwort und seine Bestätigung stimmen nicht überein. "
                             "Geben Sie in beide Felder dasselbe Kennwort ein. | ok\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(
            r.out.find("message 32 | Die minimale Kennwortlänge darf höchstens 14 Zeichen betragen. | ok\n"),
            std::string::npos)
            << r.out;
        // The frame around the wizard's page speaks the language too.
        EXPECT_NE(r.out.find("12323 | button | disabled | < &Zurück\n12324 | button | - | &Weiter >\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("2 | button | - | Abbrechen\n"), std::string::npos) << r.out;
    }
    // The registry's language was used for that run only: the file still says German, and English is back
    // without it.
    RunResult english = Run({"--store", "s.db", "--registry", "r.reg", "--password", "admin-secret", "-c",
                             "details jdoe.NTDOM.Corp; show; cancel; details Mary.Sales.Corp; click 124; show"});
    EXPECT_NE(english.out.find("65535 | static | - | Full name:\n"), std::string::npos) << english.out;
    EXPECT_NE(english.out.find("12323 | button | disabled | < &Back\n"), std::string::npos) << english.out;
}

TEST_F(LanguageProgramTest, HelpAtATerminalShowsTheSectionAndScriptsKeepTheHelpLine) {
    MakeSample();
    std::ofstream(m_dir / "typed") << "details jdoe.NTDOM.Corp\nhelp\n";
    const std::string options = " --store s.db --registry r.reg --password admin-secret --lang German";

    // script(1) gives cvadmin a terminal, as a person at the prompt has one.
    RunResult person = Shell("script -qec " + Quote(Quote(kCvadmin) + options) + " /dev/null <typed");
    EXPECT_EQ(person.status, 0) << person.err;
    EXPECT_NE(
        person.out.find("help 11\r\n  Identifikation des NT-Benutzers\r\n  Vollständiger Name, Beschreibung"),
        std::string::npos)
        << person.out;

    RunResult piped = Shell(Quote(kCvadmin) + options + " <typed");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_NE(piped.out.find("help 11\n-> 1337 | 0\n"), std::string::npos) << piped.out;
    EXPECT_EQ(piped.out.find("Identifikation des NT-Benutzers"), std::string::npos) << piped.out;
}

} // namespace
