#include "UiWinFixture.h"

#include "platform/ui/window/Window.h"

#include <string>

void UiWinTest::SetUp() {
    Prompter::Instance().Reset();
    m_app = std::make_unique<CWinApp>("UiWinTest");
    m_resources = LoadLibraryA(KELNT_BINARY_DIR "/lib/UiWinTest/rckelnt.so");
    ASSERT_NE(m_resources, nullptr) << LoadLibraryLastErrorText();
    AfxSetResourceHandle(m_resources);
    m_user = std::make_unique<ScriptedUser>();
}

std::vector<std::string> UiWinTest::TakeDriverFailures() {
    std::vector<std::string> all = m_user->Failures();
    std::vector<std::string> fresh(all.begin() + static_cast<long>(m_taken.size()), all.end());
    m_taken = all;
    return fresh;
}

void UiWinTest::TearDown() {
    std::vector<std::string> failures = TakeDriverFailures();
    for (const std::string& failure : failures) {
        ADD_FAILURE() << failure;
    }
    EXPECT_EQ(m_user->PendingSteps(), 0u) << "scripted steps were never used";
    std::vector<HWND> left = GetTopLevelWindows();
    EXPECT_TRUE(left.empty()) << left.size() << " top-level window(s) left over";
    for (HWND window : left) {
        DestroyWindow(window);
    }
    DrainPostedMessages();
    m_user.reset();
    AfxSetResourceHandle(nullptr);
    if (m_resources != nullptr) {
        FreeLibrary(m_resources);
    }
    m_app.reset();
    Prompter::Instance().Reset();
}
