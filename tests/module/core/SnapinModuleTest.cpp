#include "CoreFixture.h"

#include "host/services/HostServices.h"
#include "module/core/SnapinIds.h"
#include "platform/ui/WinApp.h"

namespace {

std::vector<std::string> g_toolEvents;
unsigned int g_toolState = kMenuEnabled;

class CTestTool : public CSnapinTool {
public:
    CTestTool() : CSnapinTool("ListMenu", kIdsToolMenuText, kIdsToolStatusText) {
        g_toolEvents.push_back("made");
    }
    ~CTestTool() override { g_toolEvents.push_back("deleted"); }
    void Attach() override {
        g_toolEvents.push_back("attached");
        m_menuValid = &Valid;
        m_menuAction = &Action;
    }
    LONG RunRequest(const char*) override { return 1; }
    unsigned int IsUnavailable() override { return g_toolState; }
    static void __stdcall Valid(unsigned int* state) { *state = g_toolState; }
    static void __stdcall Action() { g_toolEvents.push_back("action"); }
};

CSnapinTool* MakeTool() {
    return new CTestTool();
}

template <SnapinClassSlot Slot>
long __stdcall SlotCallBack(char* name, unsigned short message, unsigned long p1, unsigned long p2) {
    return SnapinCallBack(Slot, name, message, p1, p2);
}

template <SnapinClassSlot Slot> CSnapinClass* Make() {
    static const char* const kNames[] = {"User",
                                         "Template",
                                         "KEL:NT Domain",
                                         "KEL:NT Workgroup System",
                                         "KEL:NT User",
                                         "KEL:NT Global Group",
                                         "KEL:NT Local Group",
                                         "KEL:Hybrid User"};
    auto* handler = new CTestHandler(kNames[static_cast<size_t>(Slot)]);
    handler->SetCallBack(&SlotCallBack<Slot>);
    return handler;
}

class SnapinModuleTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        g_toolEvents.clear();
        g_toolState = kMenuEnabled;
    }
};

TEST_F(SnapinModuleTest, WithoutAModuleObjectTheEntryPointsRefuseQuietly) {
    ASSERT_EQ(CSnapinModule::Current(), nullptr);
    EXPECT_EQ(InitSnapin(), -1);
    EXPECT_EQ(ShutDown(), 0);
    EXPECT_TRUE(HostServices::Instance().Classes().empty());
}

TEST_F(SnapinModuleTest, OnlyTheFirstModuleObjectIsTheModule) {
    auto first = std::make_unique<CSnapinModule>("first banner");
    {
        CSnapinModule second("second banner");
        EXPECT_EQ(CSnapinModule::Current(), first.get());
        EXPECT_EQ(second.GetBanner(), nullptr) << "a second object copies no banner";
    }
    EXPECT_EQ(CSnapinModule::Current(), first.get())
        << "a second object going away leaves the module in place";
    EXPECT_STREQ(first->GetBanner(), "first banner");
    first.reset();
    EXPECT_EQ(CSnapinModule::Current(), nullptr);
}

TEST_F(SnapinModuleTest, InitRegistersTheToolThenTheHandlersInTheirOrder) {
    SetSnapinToolFactory(&MakeTool);
    // Registered out of order; the module's order is fixed.
    SetSnapinClassFactory(SnapinClassSlot::KelNTHybridUser, &Make<SnapinClassSlot::KelNTHybridUser>);
    SetSnapinClassFactory(SnapinClassSlot::UserExt, &Make<SnapinClassSlot::UserExt>);
    SetSnapinClassFactory(SnapinClassSlot::KelNTDomain, &Make<SnapinClassSlot::KelNTDomain>);
    HINSTANCE english = LoadLibraryA((std::string(KELNT_BINARY_DIR) + "/lib/English/rckelnt.so").c_str());
    ASSERT_NE(english, nullptr);
    AfxSetResourceHandle(english);
    CSnapinModule module("KELNT test banner");
    ASSERT_EQ(InitSnapin(), 0);

    EXPECT_EQ(g_toolEvents, (std::vector<std::string>{"made", "attached"}));
    const auto& tools = HostServices::Instance().Tools();
    ASSERT_EQ(tools.size(), 1u);
    EXPECT_EQ(tools[0].menuName, "ListMenu");
    EXPECT_EQ(tools[0].menuText, "&NT Integration...");
    EXPECT_FALSE(tools[0].statusText.empty());
    EXPECT_EQ(tools[0].commandId, module.GetTool()->GetCommandId()) << "the host wrote the command id";
    EXPECT_EQ(tools[0].version, kSnapinInterfaceVersion);
    ASSERT_EQ(HostServices::Instance().ToolButtons().size(), 1u);
    const ToolButtonRecord& button = HostServices::Instance().ToolButtons()[0].record;
    EXPECT_EQ(button.commandId, tools[0].commandId);
    EXPECT_EQ(button.field7, 6u);

    const auto& classes = HostServices::Instance().Classes();
    ASSERT_EQ(classes.size(), 3u);
    EXPECT_EQ(classes[0].className, "User");
    EXPECT_EQ(classes[1].className, "KEL:NT Domain");
    EXPECT_EQ(classes[2].className, "KEL:Hybrid User");
    for (const auto& entry : classes) {
        EXPECT_EQ(entry.nameSpace, "DS");
        EXPECT_EQ(entry.banner, "KELNT test banner");
        EXPECT_EQ(entry.version, kSnapinInterfaceVersion);
    }
    EXPECT_EQ(CTestHandler::calls, (std::vector<std::string>{"User|OnInitClass", "KEL:NT Domain|OnInitClass",
                                                             "KEL:Hybrid User|OnInitClass"}));
    EXPECT_TRUE(HostServices::Instance().RunTool("NT Integration"));
    EXPECT_EQ(g_toolEvents.back(), "action");

    HostServices::Instance().CloseAllClasses();
    EXPECT_EQ(ShutDown(), 0) << "no resource library to free";
    EXPECT_EQ(g_toolEvents.back(), "deleted");
    EXPECT_EQ(CTestHandler::destroyed,
              (std::vector<std::string>{"User", "KEL:NT Domain", "KEL:Hybrid User"}));
    EXPECT_EQ(SnapinLatchedHandler(SnapinClassSlot::KelNTDomain), nullptr)
        << "no latch names a deleted handler";
    char name[] = "x";
    EXPECT_EQ(SlotCallBack<SnapinClassSlot::KelNTDomain>(name, SNAP_GET_CLASS_FLAGS, 0, 0), 0);
    AfxSetResourceHandle(nullptr);
    FreeLibrary(english);
}

TEST_F(SnapinModuleTest, ShutDownAfterAFailedInitSnapinDeletesNothing) {
    SetSnapinClassFactory(SnapinClassSlot::KelNTDomain, &Make<SnapinClassSlot::KelNTDomain>);
    EXPECT_EQ(InitSnapin(), -1);
    EXPECT_EQ(ShutDown(), 0);
    CSnapinModule module("m");
    EXPECT_EQ(ShutDown(), 0);
    EXPECT_TRUE(CTestHandler::destroyed.empty());
}

TEST_F(SnapinModuleTest, TheResourceInstanceDefaultsToTheCurrentResourceHandleUntilInit) {
    int fake = 0;
    AfxSetResourceHandle(reinterpret_cast<HINSTANCE>(&fake));
    CSnapinModule module("m");
    EXPECT_EQ(module.GetResourceInstance(), reinterpret_cast<HINSTANCE>(&fake));
    SetSnapinClassFactory(SnapinClassSlot::KelNTUser, &Make<SnapinClassSlot::KelNTUser>);
    ASSERT_EQ(InitSnapin(), 0);
    // The plain module object has no resource library of its own: Init takes that (none) as the instance.
    EXPECT_EQ(module.GetHandler(SnapinClassSlot::KelNTUser)->GetResourceInstance(),
              reinterpret_cast<HINSTANCE>(&fake))
        << "a module without a library of its own still hands its handlers the default handle";
    ShutDown();
}

} // namespace
