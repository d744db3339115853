// The module's start as the host causes it: the language, the resource library, the locale check, the help.
#include "CoreFixture.h"

#include "host/services/HostServices.h"
#include "module/core/KelNTApp.h"
#include "platform/locale/Locale.h"
#include "platform/ui/String.h"
#include "platform/ui/WinApp.h"
#include "platform/winapi/Prompter.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const std::string kLib = std::string(KELNT_BINARY_DIR) + "/lib/";
constexpr const char* kSession = "Software\\Tandry\\SessionSettings";

void SetLanguage(const std::string& language) {
    SetRegistryString(HKEY_LOCAL_MACHINE, kSession, "CVLANGUAGE", language);
}

std::string Text(UINT id) {
    CString text;
    text.LoadString(id);
    return text.Str();
}

// Runs the tests matching filter in a new process of this program whose library search path holds the
// English folder, as a host whose search path finds the resource library would have it. Answers the exit
// status, or -1 when the child's test did not reach its end (a filter that matched nothing also exits 0).
int RunWithEnglishOnSearchPath(const std::string& filter) {
    char marker[] = "/tmp/kelnt-core-child-XXXXXX";
    int fd = mkstemp(marker);
    if (fd < 0) {
        return -1;
    }
    close(fd);
    std::string self = "/proc/self/exe";
    std::string filterArg = "--gtest_filter=" + filter;
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("LD_LIBRARY_PATH=", 0) != 0) {
            env.emplace_back(*e);
        }
    }
    env.push_back("LD_LIBRARY_PATH=" + kLib + "English");
    env.push_back(std::string("KELNT_CORE_CHILD=") + marker);
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    char* argv[] = {self.data(), filterArg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::ifstream in(marker);
    std::string reached;
    std::getline(in, reached);
    unlink(marker);
    if (reached != "reached") {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool InChild() {
    return std::getenv("KELNT_CORE_CHILD") != nullptr;
}

// The child's test calls this at its end.
void MarkChildReachedEnd() {
    std::ofstream(std::getenv("KELNT_CORE_CHILD")) << "reached\n";
}

class KelNTAppTest : public CoreTest {};

TEST_F(KelNTAppTest, StartsWithTheLibraryOfTheUsersLanguage) {
    CKelNTApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_NE(app.GetResourceLibraryHandle(), nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), app.GetResourceLibraryHandle());
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(std::string(app.GetHelpFilePath()), kLib + "English/qor.hlp");
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
    EXPECT_FALSE(Text(4).empty());

    // Init takes the library as the resource instance; ShutDown frees it.
    ASSERT_EQ(InitSnapin(), 0);
    EXPECT_EQ(app.GetResourceInstance(), app.GetResourceLibraryHandle());
    EXPECT_EQ(ShutDown(), TRUE);
    EXPECT_EQ(app.GetResourceLibraryHandle(), nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), nullptr);
}

TEST_F(KelNTAppTest, AMissingLibraryStopsTheStartWithItsMessage) {
    if (InChild()) {
        GTEST_SKIP() << "the search path of this process holds the library";
    }
    SetLanguage("Klingon");
    CKelNTApp app;
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(Prompter::Instance().Messages().size(), 1u);
    const MessageBoxRecord& box = Prompter::Instance().Messages()[0];
    EXPECT_EQ(box.stringId, kNoStringId);
    EXPECT_EQ(box.text, "The resource library \"rckelnt.so\" could not be found.");
    EXPECT_EQ(box.icon, MB_ICONEXCLAMATION);
    EXPECT_EQ(box.buttons, MB_OK);
    EXPECT_EQ(AfxGetResourceHandle(), nullptr);
}

TEST_F(KelNTAppTest, ALibraryOnlyOnTheSearchPathStillStartsTheModule) {
    if (!InChild()) {
        EXPECT_EQ(RunWithEnglishOnSearchPath("KelNTAppTest.ALibraryOnlyOnTheSearchPathStillStartsTheModule"),
                  0);
        return;
    }
    SetLanguage("Klingon");
    CKelNTApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
    EXPECT_FALSE(Text(57346).empty());
    EXPECT_EQ(std::string(app.GetHelpFilePath()), kLib + "Klingon/qor.hlp")
        << "the help file still belongs to the language folder";
    MarkChildReachedEnd();
}

TEST_F(KelNTAppTest, AnUnusableHostAnswerFallsBackToTheSearchPath) {
    if (!InChild()) {
        EXPECT_EQ(RunWithEnglishOnSearchPath("KelNTAppTest.AnUnusableHostAnswerFallsBackToTheSearchPath"), 0);
        // Without the library on the search path the same start fails.
        HostServices::Instance().SetResourceRoot("/" + std::string(300, 'r'));
        CKelNTApp app;
        EXPECT_FALSE(app.InitInstance());
        return;
    }
    // An answer too long for the path buffer is refused by the host; one that fits but leaves no room for
    // the language folder is refused by the module. Neither is cut into a path that names something else.
    for (std::string root : {"/" + std::string(300, 'r'), "/" + std::string(240, 'r')}) {
        HostServices::Instance().SetResourceRoot(root);
        CKelNTApp app;
        ASSERT_TRUE(app.InitInstance()) << root.size();
        EXPECT_EQ(std::string(app.GetHelpFilePath()), kLib + "English/qor.hlp")
            << "the help file beside the library that was found";
    }
    MarkChildReachedEnd();
}

TEST_F(KelNTAppTest, ALanguageNameThatIsAPathIsRefusedAndEnglishUsed) {
    // Beside the English folder sits a folder that a "../" language would reach.
    SetLanguage("../English");
    HostServices::Instance().SetResourceRoot(kLib + "English");
    CKelNTApp app;
    EXPECT_FALSE(app.InitInstance()) << "English/English does not exist, and ../English was not followed";
    ASSERT_GE(Prompter::Instance().Messages().size(), 1u);
    const MessageBoxRecord& warning = Prompter::Instance().Messages()[0];
    EXPECT_NE(warning.text.find("\"../English\""), std::string::npos) << warning.text;
    EXPECT_EQ(warning.icon, MB_ICONEXCLAMATION);

    Prompter::Instance().Reset();
    HostServices::Instance().SetResourceRoot("");
    CKelNTApp again;
    EXPECT_TRUE(again.InitInstance());
    ASSERT_EQ(Prompter::Instance().Messages().size(), 1u) << "the warning, then a normal start in English";
    EXPECT_EQ(std::string(again.GetHelpFilePath()), kLib + "English/qor.hlp");
}

TEST_F(KelNTAppTest, LocaleProblemsAreShownAndTheStartGoesOn) {
    struct Case {
        bool initFails;
        bool versionRefused;
        std::vector<int> shown;
    };
    const Case cases[] = {
        // A record the locale library could not fill holds no version either, so the check refuses it too.
        {true, false, {57345, 57347}},
        {false, true, {57347}},
        {true, true, {57345, 57347}},
    };
    for (const Case& c : cases) {
        Prompter::Instance().Reset();
        LocResetTestHooks();
        LocSetInitializeFails(c.initFails ? 1 : 0);
        LocSetVersionRefused(c.versionRefused ? 1 : 0);
        CKelNTApp app;
        EXPECT_TRUE(app.InitInstance());
        const auto& boxes = Prompter::Instance().Messages();
        ASSERT_EQ(boxes.size(), c.shown.size());
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].stringId, c.shown[i]);
            EXPECT_EQ(boxes[i].text, Text(static_cast<UINT>(c.shown[i])));
            EXPECT_EQ(boxes[i].caption, Text(57346));
            EXPECT_EQ(boxes[i].buttons, MB_OK);
        }
    }
}

TEST_F(KelNTAppTest, TheLocaleRecordHoldsWhatTheLocaleLibraryFilled) {
    CKelNTApp app;
    ASSERT_TRUE(app.InitInstance());
    uint32_t version = 0;
    std::memcpy(&version, app.GetLocaleRecord() + LOC_RECORD_VERSION_OFFSET, sizeof version);
    EXPECT_EQ(version, LOC_INTERFACE_VERSION);
}

} // namespace
