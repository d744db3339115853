#include "host/services/HostServices.h"
#include "host/services/Host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Seen {
    std::string name;
    unsigned short message;
    bool classKnownToHost;
};
std::vector<Seen> g_seen;

long __stdcall RecordingCallBack(char* name, unsigned short message, unsigned long, unsigned long) {
    // What the host knows while the class is being told it is registered.
    bool known = HostServices::Instance().FindClass("KEL:Test") != nullptr;
    g_seen.push_back({name, message, known});
    return message == SNAP_GET_CLASS_FLAGS ? 141 : 0;
}

unsigned int g_menuState = kMenuGrayed;
int g_actions = 0;
void __stdcall TestValid(unsigned int* state) {
    *state = g_menuState;
}
void __stdcall TestAction() {
    ++g_actions;
}
LONG __stdcall ButtonOn(uint32_t, unsigned int* state) {
    *state = g_menuState == kMenuEnabled ? 1 : 0;
    return 0;
}

class HostServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        HostServices::Instance().Reset();
        g_seen.clear();
        g_menuState = kMenuGrayed;
        g_actions = 0;
    }
    void TearDown() override { HostServices::Instance().Reset(); }
};

TEST_F(HostServicesTest, RegisteringAClassSendsItsFirstMessageBeforeReturning) {
    EXPECT_EQ(
        HostRegisterClass("DS", "KEL:Test", "banner", nullptr, &RecordingCallBack, kSnapinInterfaceVersion),
        0);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, SNAP_INIT_CLASS);
    EXPECT_TRUE(g_seen[0].classKnownToHost) << "the class can set its bitmaps while answering 256";
    EXPECT_EQ(
        HostRegisterClass("DS", "KEL:Test", "banner", nullptr, &RecordingCallBack, kSnapinInterfaceVersion),
        -1)
        << "a class registers once";
    EXPECT_EQ(HostRegisterClass("DS", "KEL:Other", "banner", nullptr, nullptr, kSnapinInterfaceVersion), -1);
    EXPECT_EQ(HostServices::Instance().Classes().size(), 1u);
    EXPECT_EQ(HostServices::Instance().Classes()[0].banner, "banner");
}

TEST_F(HostServicesTest, ListsClassesWithDisplayNamesAndFlagsAndClosesThem) {
    ASSERT_EQ(HostRegisterClass("DS", "KEL:Test", "b", nullptr, &RecordingCallBack, kSnapinInterfaceVersion),
              0);
    int dummy = 0;
    auto bitmap = reinterpret_cast<HBITMAP>(&dummy);
    EXPECT_EQ(HostSetClassBitmaps("KEL:Nope", "x", bitmap, bitmap, bitmap), -1);
    auto listed = HostServices::Instance().ListClasses();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].displayName, "KEL:Test") << "no display name set: the class name";
    EXPECT_EQ(HostSetClassBitmaps("KEL:Test", "QOR Test", bitmap, bitmap, bitmap), 0);
    listed = HostServices::Instance().ListClasses();
    EXPECT_EQ(listed[0].displayName, "QOR Test");
    EXPECT_EQ(listed[0].flags, 141);
    EXPECT_EQ(FormatClassLine(listed[0]), "KEL:Test | QOR Test | 141");

    HBITMAP a = bitmap, b = bitmap, c = bitmap;
    EXPECT_EQ(HostReleaseClassBitmaps("KEL:Test", &a, &b, &c), 0);
    EXPECT_EQ(HostReleaseClassBitmaps("KEL:Test", &a, &b, &c), -1) << "nothing left to release";

    HostServices::Instance().CloseAllClasses();
    EXPECT_EQ(g_seen.back().message, SNAP_CLOSE_CLASS);
    auto answer = HostServices::Instance().SendToClass("KEL:Missing", "x", SNAP_GET_PAGE_COUNT);
    EXPECT_FALSE(answer.has_value());
}

TEST_F(HostServicesTest, ToolsGetCommandIdsAndShowMenuAndButtonStates) {
    uint16_t id = 0;
    ASSERT_EQ(HostRegisterTool("ListMenu", 0, 0, 0, &id, "&NT Integration...", "status", &TestAction,
                               &TestValid, kSnapinInterfaceVersion),
              0);
    EXPECT_NE(id, 0);
    uint16_t second = 0;
    ASSERT_EQ(HostRegisterTool("ListMenu", 0, 0, 0, &second, "Other", "", &TestAction, &TestValid, 0), 0);
    EXPECT_NE(second, id);
    EXPECT_EQ(HostRegisterTool("ListMenu", 0, 0, 0, nullptr, "x", "", &TestAction, &TestValid, 0), -1);

    ToolButtonRecord button{};
    button.size = 48; // the original's size is refused here: this record holds pointers
    button.commandId = id;
    button.stateProc = &ButtonOn;
    EXPECT_EQ(HostAddToolButton(&button), -1);
    button.size = sizeof button;
    button.banner = "banner";
    EXPECT_EQ(HostAddToolButton(&button), 0);

    auto tools = HostServices::Instance().ListTools();
    ASSERT_EQ(tools.size(), 2u);
    EXPECT_EQ(tools[0].text, "NT Integration...");
    EXPECT_FALSE(tools[0].menuEnabled);
    EXPECT_FALSE(tools[0].buttonOn);
    EXPECT_TRUE(tools[0].hasButton);
    EXPECT_FALSE(tools[1].hasButton);
    EXPECT_EQ(FormatToolLine(tools[0]), "NT Integration... | grayed | off");
    EXPECT_FALSE(HostServices::Instance().RunTool("NT Integration")) << "a grayed command does not run";
    EXPECT_EQ(g_actions, 0);

    g_menuState = kMenuEnabled;
    tools = HostServices::Instance().ListTools();
    EXPECT_TRUE(tools[0].menuEnabled);
    EXPECT_TRUE(tools[0].buttonOn);
    EXPECT_EQ(FormatToolLine(tools[0]), "NT Integration... | enabled | on");
    EXPECT_TRUE(HostServices::Instance().RunTool("nt integration"));
    EXPECT_TRUE(HostServices::Instance().RunTool("NT Integration..."));
    EXPECT_FALSE(HostServices::Instance().RunTool("NT"));
    EXPECT_EQ(g_actions, 2);
}

TEST_F(HostServicesTest, ContextModeAndSelectionAnswerAsConfigured) {
    char context[kQueryContextBufferSize];
    EXPECT_EQ(HostQueryContext(0, context), 0);
    EXPECT_STREQ(context, "[Root]");
    uint32_t mode = 0;
    EXPECT_EQ(HostQueryMode(&mode), 0);
    EXPECT_EQ(mode, 1u);

    HostServices::Instance().SetQueryContextAnswer(-328);
    HostServices::Instance().SetQueryMode(0);
    EXPECT_EQ(HostQueryContext(0, context), -328);
    EXPECT_EQ(HostQueryMode(&mode), 0);
    EXPECT_EQ(mode, 0u);

    HostServices::Instance().SetTreeName("CORP_TREE");
    HostServices::Instance().SetSelectedObject("Sales.Corp");
    HostSelectionRecord record;
    std::memset(&record, 'x', sizeof record);
    char buffer[kSelectionBufferSize];
    EXPECT_EQ(HostGetSelection(&record, buffer), 0);
    EXPECT_STREQ(record.treeName, "CORP_TREE");
    EXPECT_EQ(record.treeName[47], '\0') << "the rest of the record is cleared";
    EXPECT_STREQ(buffer, "Sales.Corp");

    HostServices::Instance().SetTreeName(std::string(48, 'T'));
    EXPECT_EQ(HostGetSelection(&record, buffer), 0);
    EXPECT_STREQ(record.treeName, "") << "a tree name that does not fit is not cut";
}

TEST_F(HostServicesTest, FindsTheResourceLibraryInTheLanguageFoldersParent) {
    char path[kResourcePathSize];
    ASSERT_EQ(HostFindResourceLibrary("rckelnt.so", path), 0);
    // By default the folder the host services were loaded from: lib/ of the build.
    EXPECT_EQ(std::string(path), std::string(KELNT_BINARY_DIR) + "/lib/rckelnt.so");

    HostServices::Instance().SetResourceRoot("/opt/kelnt/lib");
    ASSERT_EQ(HostFindResourceLibrary("rckelnt.so", path), 0);
    EXPECT_STREQ(path, "/opt/kelnt/lib/rckelnt.so");

    EXPECT_EQ(HostFindResourceLibrary("", path), -1);
    EXPECT_EQ(HostFindResourceLibrary(nullptr, path), -1);
    HostServices::Instance().SetResourceRoot("/" + std::string(250, 'd'));
    EXPECT_EQ(HostFindResourceLibrary("rckelnt.so", path), -1);
    EXPECT_STREQ(path, "") << "a path that does not fit is refused, never cut";
}

} // namespace
