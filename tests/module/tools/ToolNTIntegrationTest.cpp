// The NT Integration command as an administrator meets it: its menu state, the request file and the start
// of a real program, and the messages of a start that fails.
#include "module/tools/ToolNTIntegration.h"

#include "host/services/HostServices.h"
#include "module/core/SnapinModule.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/String.h"
#include "platform/ui/WinApp.h"
#include "platform/winapi/Prompter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "Software\\Corvane\\Parameters\\KelNTIntegration";
const std::string kEnglish = std::string(KELNT_BINARY_DIR) + "/lib/English/rckelnt.so";

void SetProgram(const std::string& program) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "PgmName", 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                             static_cast<DWORD>(program.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetShowWindow(DWORD show) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExA(key, "ShowWindow", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&show), sizeof show),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Text(UINT id) {
    CString text;
    text.LoadString(id);
    return text.Str();
}

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegistryUseMemory();
        HostServices::Instance().Reset();
        Prompter::Instance().Reset();
        m_library = LoadLibraryA(kEnglish.c_str());
        ASSERT_NE(m_library, nullptr);
        AfxSetResourceHandle(m_library);
        // A temporary folder and a program folder with spaces in their names: the command line must keep
        // each path one word.
        // Under the build folder rather than /tmp, which may forbid running programs.
        std::string pattern = std::string(KELNT_BINARY_DIR) + "/kelnt tools XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern.c_str();
        m_temp = m_root / "temp dir";
        m_programs = m_root / "program files";
        fs::create_directories(m_temp);
        fs::create_directories(m_programs);
        const char* old = std::getenv("TMPDIR");
        m_oldTmp = old ? old : "";
        m_hadTmp = old != nullptr;
        setenv("TMPDIR", m_temp.c_str(), 1);
    }
    void TearDown() override {
        if (m_hadTmp) {
            setenv("TMPDIR", m_oldTmp.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        FlushAllProfileCaches();
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
        AfxSetResourceHandle(nullptr);
        FreeLibrary(m_library);
        HostServices::Instance().Reset();
        Prompter::Instance().Reset();
        RegistryUseMemory();
    }

    // The recorder under a given file name in the program folder.
    fs::path InstallRecorder(const std::string& name) {
        fs::path target = m_programs / name;
        fs::copy_file(KELNT_RECORDER, target, fs::copy_options::overwrite_existing);
        return target;
    }

    std::vector<fs::path> RequestFiles() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(m_temp)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("~AI", 0) == 0 && name.find(".rec") == std::string::npos) {
                files.push_back(entry.path());
            }
        }
        return files;
    }

    // Waits for the started program to write its record (it runs on its own, the start does not wait).
    static std::string AwaitRecord(const fs::path& request) {
        fs::path record = request.string() + ".rec";
        for (int i = 0; i < 2000 && !fs::exists(record); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return ReadFile(record);
    }

    HINSTANCE m_library = nullptr;
    fs::path m_root;
    fs::path m_temp;
    fs::path m_programs;
    std::string m_oldTmp;
    bool m_hadTmp = false;
};

TEST_F(ToolTest, TheMenuIsEnabledExactlyWhenTheUtilityIsSetUp) {
    unsigned int state = 99;
    CToolNTIntegration::MenuValid(&state);
    EXPECT_EQ(state, 3u) << "no command object";

    CToolNTIntegration tool;
    tool.Attach();
    EXPECT_EQ(tool.GetMenuValid(), &CToolNTIntegration::MenuValid);
    EXPECT_EQ(tool.GetMenuAction(), &CToolNTIntegration::MenuAction);
    EXPECT_STREQ(tool.GetMenuName(), "ListMenu");
    EXPECT_EQ(std::string(tool.GetMenuText()), Text(4));
    EXPECT_EQ(std::string(tool.GetStatusText()), Text(5));

    struct Case {
        const char* what;
        const char* program; // null: no value
        bool show;
        unsigned int state;
        unsigned int button;
    };
    const Case cases[] = {
        {"nothing set", nullptr, false, 1, 0},        {"only the program", "/usr/bin/integrate", false, 1, 0},
        {"only the show state", nullptr, true, 1, 0}, {"an empty program", "", true, 1, 0},
        {"both", "/usr/bin/integrate", true, 0, 1},
    };
    for (const Case& c : cases) {
        RegistryUseMemory();
        if (c.program) {
            SetProgram(c.program);
        }
        if (c.show) {
            SetShowWindow(SW_SHOWNORMAL);
        }
        CToolNTIntegration::MenuValid(&state);
        EXPECT_EQ(state, c.state) << c.what;
        unsigned int button = 99;
        EXPECT_EQ(SnapinToolButtonState(0, &button),
                  c.program || c.show ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND)
            << c.what;
        EXPECT_EQ(button, c.button) << c.what;
    }
    // The menu reads the program name into 256 bytes: a longer one does not read.
    SetProgram("/" + std::string(255, 'p'));
    CToolNTIntegration::MenuValid(&state);
    EXPECT_EQ(state, 1u);
}

TEST_F(ToolTest, CommandLinesKeepEachPathOneWord) {
    struct Case {
        const char* program;
        const char* file;
        const char* line;
    };
    const Case cases[] = {
        {"/usr/bin/integrate", "/tmp/~AI1A.tmp", "/usr/bin/integrate /f:/tmp/~AI1A.tmp"},
        {"/usr/bin/Notepad", "/tmp/~AI1A.tmp", "/usr/bin/Notepad /tmp/~AI1A.tmp"},
        {"/usr/bin/notepad", "/tmp/~AI1A.tmp", "/usr/bin/notepad /f:/tmp/~AI1A.tmp"},
        {"/opt/my tools/integrate", "/tmp/a b/~AI1A.tmp",
         "\"/opt/my tools/integrate\" \"/f:/tmp/a b/~AI1A.tmp\""},
        {"/opt/NoteTaker", "/tmp/a b/~AI1A.tmp", "/opt/NoteTaker \"/tmp/a b/~AI1A.tmp\""},
    };
    for (const Case& c : cases) {
        std::string line = BuildIntegrationCommandLine(c.program, c.file);
        EXPECT_EQ(line, c.line);
        auto words = SplitCommandLine(line);
        ASSERT_EQ(words.size(), 2u) << line;
        EXPECT_EQ(words[0], c.program);
    }
}

TEST_F(ToolTest, EachStartAnswerChoosesItsMessage) {
    struct Case {
        UINT answer;
        unsigned format;
    };
    for (Case c : {Case{0, 7}, Case{2, 9}, Case{3, 10}, Case{11, 8}, Case{5, 11}, Case{31, 11}}) {
        EXPECT_EQ(StartFailureFormat(c.answer), c.format) << c.answer;
    }
}

TEST_F(ToolTest, ARequestStartsTheUtilityWithTheRequestFile) {
    CWinApp app("KELNT");
    fs::path program = InstallRecorder("integrate");
    SetProgram(program.string());
    SetShowWindow(SW_SHOWMINIMIZED);
    HostServices::Instance().SetTreeName("CORP_TREE");
    CToolNTIntegration tool;
    tool.Attach();

    EXPECT_EQ(tool.Upload("NTDOM.Sales.Corp"), 1);
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
    auto requests = RequestFiles();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(std::string(app.GetProfileName()), requests[0].string()) << "the request is the profile file";
    std::string record = AwaitRecord(requests[0]);
    EXPECT_EQ(record,
              "arg=/f:" + requests[0].string() +
                  "\n--\n[Integration]\nTreeName=CORP_TREE\nContext=[Root]\nObjectName=NTDOM.Sales.Corp\n"
                  "Request=Upload\n");
}

TEST_F(ToolTest, TheMenuCommandAsksForTheWholeTreeAndANoteProgramGetsThePlainFile) {
    CWinApp app("KELNT");
    fs::path program = InstallRecorder("Notebook");
    SetProgram(program.string());
    SetShowWindow(SW_SHOWNORMAL);
    CToolNTIntegration tool;
    tool.Attach();
    CToolNTIntegration::MenuAction();

    auto requests = RequestFiles();
    ASSERT_EQ(requests.size(), 1u);
    std::string record = AwaitRecord(requests[0]);
    EXPECT_EQ(record.substr(0, record.find("--")), "arg=" + requests[0].string() + "\n");
    EXPECT_NE(record.find("\nObjectName=\n"), std::string::npos) << record;
    EXPECT_NE(record.find("TreeName=KELNT_TREE\n"), std::string::npos) << record;
}

TEST_F(ToolTest, AFailedStartShowsTheMessageItsAnswerChooses) {
    CWinApp app("KELNT");
    fs::path notAProgram = m_programs / "readme.txt";
    std::ofstream(notAProgram) << "not a program\n";
    fs::permissions(notAProgram, fs::perms::owner_exec, fs::perm_options::add);
    struct Case {
        std::string program;
        int format;
        UINT answer;
    };
    const Case cases[] = {
        {(m_programs / "missing").string(), 9, 2},
        {(m_programs / "no folder" / "integrate").string(), 10, 3},
        {notAProgram.string(), 8, 11},
    };
    CToolNTIntegration tool;
    tool.Attach();
    SetShowWindow(SW_SHOWNORMAL);
    for (const Case& c : cases) {
        Prompter::Instance().Reset();
        SetProgram(c.program);
        EXPECT_EQ(tool.RunRequest(""), 1) << c.program;
        ASSERT_EQ(Prompter::Instance().Messages().size(), 1u) << c.program;
        const MessageBoxRecord& box = Prompter::Instance().Messages()[0];
        EXPECT_EQ(box.stringId, c.format) << c.program;
        EXPECT_EQ(box.text,
                  FormatResourceText(Text(static_cast<UINT>(c.format)),
                                     {std::string_view(c.program), static_cast<int64_t>(c.answer)}));
        EXPECT_NE(box.text.find(c.program), std::string::npos) << box.text;
    }
    EXPECT_EQ(RequestFiles().size(), 3u) << "each request file stays";
}

TEST_F(ToolTest, WithoutTheRegistrySetUpNothingStartsAndNothingIsShown) {
    CWinApp app("KELNT");
    CToolNTIntegration tool;
    tool.Attach();
    EXPECT_EQ(tool.RunRequest("NTDOM.Corp"), 0);
    SetProgram("/usr/bin/integrate");
    EXPECT_EQ(tool.RunRequest("NTDOM.Corp"), 0) << "ShowWindow missing";
    SetShowWindow(SW_SHOWNORMAL);
    SetProgram("");
    EXPECT_EQ(tool.RunRequest("NTDOM.Corp"), 0) << "an empty program name";
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
    auto requests = RequestFiles();
    ASSERT_EQ(requests.size(), 3u) << "the request files stay";
    EXPECT_NE(ReadFile(requests[0]).find("ObjectName=NTDOM.Corp"), std::string::npos);
}

TEST_F(ToolTest, AnUploadAskedForWithoutTheRegistrySetUpIsReported) {
    CWinApp app("KELNT");
    CToolNTIntegration tool;
    tool.Attach();
    EXPECT_EQ(tool.Upload("NTDOM.Corp"), 0);
    ASSERT_EQ(Prompter::Instance().Messages().size(), 1u);
    EXPECT_EQ(Prompter::Instance().Messages()[0].stringId, 57511);
    EXPECT_EQ(RequestFiles().size(), 1u) << "the request was written before the registry was read";
}

TEST_F(ToolTest, ANameHoldingAControlCharacterWritesNoRequestAndStartsNothing) {
    CWinApp app("KELNT");
    fs::path program = InstallRecorder("integrate");
    SetProgram(program.string());
    SetShowWindow(SW_SHOWNORMAL);
    CToolNTIntegration tool;
    tool.Attach();
    // A line break would end ObjectName and make "Request=Delete" a key of its own.
    for (const char* name : {"NTDOM.Corp\nRequest=Delete", "NT\rDOM.Corp", "NT\tDOM.Corp", "NT\x7f.Corp"}) {
        Prompter::Instance().Reset();
        EXPECT_EQ(tool.Upload(name), 0) << name;
        ASSERT_EQ(Prompter::Instance().Messages().size(), 1u) << name;
        const MessageBoxRecord& box = Prompter::Instance().Messages()[0];
        EXPECT_EQ(box.stringId, 57512);
        EXPECT_NE(box.text.find(name), std::string::npos) << box.text;
    }
    Prompter::Instance().Reset();
    HostServices::Instance().SetTreeName("KELNT\nTREE");
    EXPECT_EQ(tool.RunRequest("NTDOM.Corp"), 0) << "the tree name goes into the request too";
    ASSERT_EQ(Prompter::Instance().Messages().size(), 1u);
    EXPECT_EQ(Prompter::Instance().Messages()[0].stringId, 57512);
    EXPECT_TRUE(RequestFiles().empty());
    EXPECT_STREQ(app.GetProfileName(), "");
}

TEST_F(ToolTest, ARequestFileThatCannotBeMadeIsReportedAndNothingStarts) {
    CWinApp app("KELNT");
    fs::path program = InstallRecorder("integrate");
    SetProgram(program.string());
    SetShowWindow(SW_SHOWNORMAL);
    CToolNTIntegration tool;
    tool.Attach();
    WinApiInjectFailure(WinApiFailure::TempFile);
    EXPECT_EQ(tool.RunRequest("NTDOM.Corp"), 0);
    WinApiClearInjectedFailures();
    ASSERT_EQ(Prompter::Instance().Messages().size(), 1u);
    const MessageBoxRecord& box = Prompter::Instance().Messages()[0];
    EXPECT_EQ(box.stringId, 57500);
    EXPECT_NE(box.text.find("\"" + m_temp.string() + "/\""), std::string::npos) << box.text;
    EXPECT_TRUE(RequestFiles().empty());
    EXPECT_STREQ(app.GetProfileName(), "") << "no request file became the profile";
}

TEST_F(ToolTest, OnlyTheAttachedToolIsTheModulesCommand) {
    auto tool = std::make_unique<CToolNTIntegration>();
    EXPECT_EQ(CToolNTIntegration::Current(), nullptr);
    tool->Attach();
    EXPECT_EQ(CToolNTIntegration::Current(), tool.get());
    tool.reset();
    EXPECT_EQ(CToolNTIntegration::Current(), nullptr);
    unsigned int state = 0;
    CToolNTIntegration::MenuValid(&state);
    EXPECT_EQ(state, 3u);
    CToolNTIntegration::MenuAction(); // nothing to run, nothing happens
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

} // namespace
