// The host's view of KELNT.so: loaded, started, registered, shut down.
#include "host/services/SnapinLoader.h"
#include "host/services/HostServices.h"
#include "platform/winapi/Prompter.h"
#include "platform/winapi/WinApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

const std::string kModule = std::string(KELNT_BINARY_DIR) + "/lib/KELNT.so";
constexpr const char* kIntegrationKey = "Software\\Corvane\\Parameters\\KelNTIntegration";

class SnapinLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegistryUseMemory();
        HostServices::Instance().Reset();
        Prompter::Instance().Reset();
    }
    void TearDown() override {
        HostServices::Instance().Reset();
        Prompter::Instance().Reset();
        RegistryUseMemory();
    }
    static void SetIntegration(const char* program, bool withShow) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kIntegrationKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, "PgmName", 0, REG_SZ, reinterpret_cast<const BYTE*>(program),
                                 static_cast<DWORD>(std::strlen(program) + 1)),
                  ERROR_SUCCESS);
        if (withShow) {
            DWORD show = SW_SHOWNORMAL;
            ASSERT_EQ(
                RegSetValueExA(key, "ShowWindow", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&show), 4),
                ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }
};

TEST_F(SnapinLoaderTest, LoadsTheModuleWhichRegistersItsToolsCommand) {
    SnapinLoader loader;
    auto loaded = loader.Load(kModule);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_TRUE(Prompter::Instance().Messages().empty()) << "a clean start shows nothing";

    auto tools = HostServices::Instance().ListTools();
    ASSERT_EQ(tools.size(), 1u);
    EXPECT_EQ(tools[0].text, "NT Integration...");
    EXPECT_FALSE(tools[0].menuEnabled);
    EXPECT_TRUE(tools[0].hasButton);
    EXPECT_FALSE(tools[0].buttonOn);
    ASSERT_EQ(HostServices::Instance().ToolButtons().size(), 1u);
    const ToolButtonRecord& button = HostServices::Instance().ToolButtons()[0].record;
    EXPECT_EQ(button.commandId, HostServices::Instance().Tools()[0].commandId);
    EXPECT_EQ(button.iconId, 134u);
    EXPECT_EQ(button.menuTextId, 4u);
    EXPECT_EQ(button.statusTextId, 5u);
    EXPECT_EQ(button.version, 0x01010000u);
    EXPECT_NE(button.resource, nullptr);

    SetIntegration("/usr/bin/integrate", /*withShow=*/true);
    tools = HostServices::Instance().ListTools();
    EXPECT_TRUE(tools[0].menuEnabled);
    EXPECT_TRUE(tools[0].buttonOn);

    EXPECT_EQ(loader.Unload(), TRUE) << "ShutDown answers what freeing the resource library answers";
    EXPECT_TRUE(HostServices::Instance().Tools().empty());
    EXPECT_FALSE(loader.IsLoaded());
}

TEST_F(SnapinLoaderTest, TheToolsCommandFollowsARegistryFileAndReportsAFailedStart) {
    char folder[] = "/tmp/kelnt-loader-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string registry = std::string(folder) + "/R.reg";
    // The request files go to the test's folder, which is removed at the end.
    const char* oldTemp = std::getenv("TMPDIR");
    const std::string savedTemp = oldTemp ? oldTemp : "";
    setenv("TMPDIR", folder, 1);
    const std::string missing = std::string(folder) + "/integrate";
    struct Case {
        const char* what;
        std::string text; // the .reg file
        bool enabled;
    };
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Corvane\\Parameters\\KelNTIntegration]\n";
    const Case cases[] = {
        {"no key", "REGEDIT4\n", false},
        {"program only", "REGEDIT4\n\n" + key + "\"PgmName\"=\"" + missing + "\"\n", false},
        {"empty program", "REGEDIT4\n\n" + key + "\"PgmName\"=\"\"\n\"ShowWindow\"=dword:00000001\n", false},
        {"show state only", "REGEDIT4\n\n" + key + "\"ShowWindow\"=dword:00000001\n", false},
        {"both", "REGEDIT4\n\n" + key + "\"PgmName\"=\"" + missing + "\"\n\"ShowWindow\"=dword:00000001\n",
         true},
    };
    for (const Case& c : cases) {
        {
            std::ofstream out(registry);
            out << c.text;
        }
        auto used = RegistryUseFile(registry);
        ASSERT_TRUE(used.Ok()) << used.message;
        HostServices::Instance().Reset();
        Prompter::Instance().Reset();
        SnapinLoader loader;
        ASSERT_TRUE(loader.Load(kModule).ok);
        auto tools = HostServices::Instance().ListTools();
        ASSERT_EQ(tools.size(), 1u);
        EXPECT_EQ(tools[0].menuEnabled, c.enabled) << c.what;
        EXPECT_EQ(tools[0].buttonOn, c.enabled) << c.what;
        EXPECT_EQ(HostServices::Instance().RunTool("NT Integration"), c.enabled) << c.what;
        if (c.enabled) {
            ASSERT_EQ(Prompter::Instance().Messages().size(), 1u);
            EXPECT_EQ(Prompter::Instance().Messages()[0].stringId, 9) << "the program file is missing";
            EXPECT_NE(Prompter::Instance().Messages()[0].text.find(missing), std::string::npos);
        }
        loader.Unload();
    }
    RegistryUseMemory();
    FlushAllProfileCaches();
    if (oldTemp) {
        setenv("TMPDIR", savedTemp.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    std::filesystem::remove_all(folder);
}

TEST_F(SnapinLoaderTest, AModuleThatCannotFindItsResourcesIsNotStarted) {
    // The language folder is missing and the plain name is not on the library search path.
    HostServices::Instance().SetResourceRoot("/nonexistent/kelnt");
    SnapinLoader loader;
    auto loaded = loader.Load(kModule);
    EXPECT_FALSE(loaded.ok);
    EXPECT_NE(loaded.error.find("refused to start"), std::string::npos) << loaded.error;
    EXPECT_FALSE(loader.IsLoaded());
    EXPECT_TRUE(HostServices::Instance().Tools().empty()) << "InitSnapin never ran";
    ASSERT_EQ(Prompter::Instance().Messages().size(), 1u);
    EXPECT_EQ(Prompter::Instance().Messages()[0].text,
              "The resource library \"rckelnt.so\" could not be found.");
    EXPECT_EQ(Prompter::Instance().Messages()[0].icon, MB_ICONEXCLAMATION);
}

TEST_F(SnapinLoaderTest, RefusesWhatIsNotASnapin) {
    SnapinLoader loader;
    EXPECT_FALSE(loader.Load("/nonexistent/KELNT.so").ok);
    auto notSnapin = loader.Load(std::string(KELNT_BINARY_DIR) + "/lib/English/rckelnt.so");
    EXPECT_FALSE(notSnapin.ok);
    EXPECT_NE(notSnapin.error.find("not a snap-in module"), std::string::npos) << notSnapin.error;
    EXPECT_EQ(loader.Unload(), 0);
}

} // namespace
