// The build's checks of the language folders, run as the build runs them: langcheck on a translation that
// went wrong in one place, helpcheck on a help file or a module that lost a context. Each bad fixture is a
// copy of the real sources with one mistake, so a check that passes the real ones and refuses the copy
// refuses exactly that mistake.
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/TextFace.h"
#include "resources/ResourceTable.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kSources = fs::path(KELNT_SOURCE_DIR) / "resources";
const fs::path kTools = fs::path(KELNT_BINARY_DIR) / "bin";

struct ToolRun {
    int status = -1;
    std::string err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Replaces the one place `from` occurs; the fixture is wrong when it does not occur exactly once.
void ReplaceOnce(const fs::path& path, const std::string& from, const std::string& to) {
    std::string text = ReadFile(path);
    size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    ASSERT_EQ(text.find(from, at + 1), std::string::npos) << from;
    WriteFile(path, text.replace(at, from.size(), to));
}

class LanguageChecks : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("kelnt-langcheck-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        for (const char* language : {"English", "German"}) {
            fs::create_directories(m_dir / language);
            for (const char* file : {"rckelnt.rc", "qor.hlp"})
                fs::copy_file(kSources / language / file, m_dir / language / file);
        }
    }
    void TearDown() override { fs::remove_all(m_dir); }

    ToolRun Run(const std::string& tool, const std::vector<std::string>& args) {
        std::string command = (kTools / tool).string();
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        command += " 2>'" + (m_dir / "stderr").string() + "'";
        ToolRun run;
        int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.err = ReadFile(m_dir / "stderr");
        return run;
    }
    ToolRun LangCheck() {
        return Run("langcheck", {(m_dir / "English").string(), (m_dir / "German").string()});
    }
    ToolRun HelpCheck(const fs::path& module, const fs::path& help) {
        return Run("helpcheck", {(kSources / "HelpContexts.txt").string(), module.string(), help.string()});
    }

    fs::path m_dir;
};

TEST_F(LanguageChecks, TheShippedLanguagesPass) {
    ToolRun lang = LangCheck();
    EXPECT_EQ(lang.status, 0) << lang.err;
    EXPECT_EQ(lang.err, "");
    for (const char* language : {"English", "German"}) {
        ToolRun help = HelpCheck(fs::path(KELNT_SOURCE_DIR) / "module", m_dir / language / "qor.hlp");
        EXPECT_EQ(help.status, 0) << language << ": " << help.err;
    }
}

TEST_F(LanguageChecks, ATranslationThatDoesNotMatchIsRefusedNamingTheId) {
    struct Case {
        const char* mistake;
        std::string file;
        std::string from;
        std::string to;
        std::string expected; // in the error output
    };
    const Case cases[] = {
        {"placeholders swapped", "rckelnt.rc", "\"%s konnte nicht in %s umbenannt werden (Fehler %d).",
         "\"%s konnte nicht umbenannt werden (Fehler %d): %s.",
         "string 57355 has the placeholders %s %d %s, English has %s %s %d"},
        {"a number read as text", "rckelnt.rc", "Spalte %d der", "Spalte %s der",
         "string 57403 has the placeholders %s, English has %d"},
        {"a placeholder dropped", "rckelnt.rc", "Geben Sie %u oder weniger ein.", "Geben Sie weniger ein.",
         "string 57540 has the placeholders (none), English has %u"},
        {"numbered inserts swapped", "rckelnt.rc", "zwischen %1 und %2 ein", "zwischen %2 und %1 ein",
         "string 61714 has the placeholders %2 %1, English has %1 %2"},
        {"a string left out", "rckelnt.rc",
         "  57406 \"Die Ergebnisse wurden in die Zwischenablage kopiert.\"\n", "", "string 57406 is missing"},
        {"a control id changed", "rckelnt.rc", "CONTROL 1223 edit \"\" 114 230 166 12 readonly",
         "CONTROL 1224 edit \"\" 114 230 166 12 readonly",
         "dialog 1089 control 29 (id 1223 in English) has id 1224"},
        {"a style lost", "rckelnt.rc", "CONTROL 1216 edit \"\" 146 74 100 14 group hidden",
         "CONTROL 1216 edit \"\" 146 74 100 14 group",
         "dialog 161 control 7 (id 1216 in English) has other styles"},
        {"a help section left out", "qor.hlp", "@53 Objekte auswählen", "@54 Objekte auswählen",
         "help section 53 is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mistake);
        fs::copy_file(kSources / "German" / c.file, m_dir / "German" / c.file,
                      fs::copy_options::overwrite_existing);
        ReplaceOnce(m_dir / "German" / c.file, c.from, c.to);
        ToolRun run = LangCheck();
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        fs::copy_file(kSources / "German" / c.file, m_dir / "German" / c.file,
                      fs::copy_options::overwrite_existing);
    }
}

TEST_F(LanguageChecks, AHelpFileWithoutAContextTheModuleOpensIsRefused) {
    const fs::path help = m_dir / "English" / "qor.hlp";
    ReplaceOnce(help, "@4 Creating an NT user", "@40 Creating an NT user");
    ToolRun run = HelpCheck(fs::path(KELNT_SOURCE_DIR) / "module", help);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, help.string() + ": help context 4 (New NT User dialog) has no section\n");

    ReplaceOnce(help, "@40 Creating an NT user", "@53 Creating an NT user");
    run = HelpCheck(fs::path(KELNT_SOURCE_DIR) / "module", help);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(": section 53 is already on line"), std::string::npos) << run.err;
}

TEST_F(LanguageChecks, AContextTheListDoesNotKnowIsRefusedWhereTheModuleOpensIt) {
    // A copy of the module with one page more: its context must be listed before the build goes on.
    const fs::path module = m_dir / "module";
    fs::copy(fs::path(KELNT_SOURCE_DIR) / "module", module, fs::copy_options::recursive);
    WriteFile(module / "NewPage.h", "#pragma once\n\nconstexpr UINT kHelpNewPage = 99;\n");
    ToolRun run = HelpCheck(module, kSources / "English" / "qor.hlp");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, (module / "NewPage.h").string() + ":3: help context 99 is not in " +
                           (kSources / "HelpContexts.txt").string() + "\n");
}

// Every label of every dialog fits its control as the window layer draws it: measured in the real font,
// a static's text wrapped at its right edge into the lines its height holds, a check box's or radio
// button's label after its box, a group's title in its frame's top edge, a button's title inside it. A
// language whose words are longer comes with wider controls.
class LanguageLayout : public ::testing::TestWithParam<const char*> {};

TEST_P(LanguageLayout, EveryTextFitsItsControl) {
    ASSERT_EQ(uiwin::FontProblem(), "") << "the labels are measured in the font the pictures are drawn in";
    const int lineHeight = uiwin::TextLineHeight();
    HDC dc = CreateCompatibleDC(nullptr);
    auto table = kelnt::rc::ResourceTable::Parse(ReadFile(kSources / GetParam() / "rckelnt.rc"));
    ASSERT_EQ(table->Error(), "");
    for (const RcDialog* dialog : table->Dialogs()) {
        for (uint32_t i = 0; i < dialog->controlCount; ++i) {
            const RcControl& c = dialog->controls[i];
            const std::string text = c.text;
            // One line, with '&' taken as the mnemonic's mark as the controls draw it.
            RECT line{0, 0, 0, 0};
            DrawTextA(dc, text.c_str(), -1, &line, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
            int needed = line.right;
            int lines = 1;
            switch (c.kind) {
            case kRcCheckBox:
            case kRcRadio:
                needed += 15; // the box and the gap before the label
                break;
            case kRcGroup:
                needed += 12; // the label sits in the frame's top edge
                break;
            case kRcButton:
                needed += 6;
                break;
            case kRcStatic: {
                // Wrapped as the control draws it; a word wider than the control widens the measure.
                RECT wrapped{0, 0, c.width, 0};
                int height = DrawTextA(dc, text.c_str(), -1, &wrapped, DT_LEFT | DT_WORDBREAK | DT_CALCRECT);
                needed = wrapped.right;
                lines = height / lineHeight;
                EXPECT_LE(lines, std::max(1, c.height / lineHeight))
                    << GetParam() << " dialog " << dialog->id << " control " << c.id << ": \"" << text
                    << "\" wraps into " << lines << " lines";
                break;
            }
            default:
                continue;
            }
            EXPECT_LE(needed, c.width) << GetParam() << " dialog " << dialog->id << " control " << c.id
                                       << ": \"" << text << "\" needs " << needed;
            EXPECT_LE(c.x + c.width, dialog->width)
                << GetParam() << " dialog " << dialog->id << " control " << c.id;
        }
    }
    DeleteDC(dc);
}

INSTANTIATE_TEST_SUITE_P(ShippedLanguages, LanguageLayout, ::testing::Values("English", "German"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return info.param; });

} // namespace
