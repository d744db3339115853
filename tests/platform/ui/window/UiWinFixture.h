// The fixture of every window-layer test: the tests' resource library as the current one, a fresh
// prompter, a scripted user, and the check that no top-level window and no unused step is left over.
#pragma once

#include "platform/ui/WinApp.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/winapi/Prompter.h"

#include <gtest/gtest.h>

#include <memory>

class UiWinTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Failures the test itself provoked, taken out so that TearDown does not report them.
    std::vector<std::string> TakeDriverFailures();

    std::unique_ptr<ScriptedUser> m_user;
    std::unique_ptr<CWinApp> m_app;
    HINSTANCE m_resources = nullptr;
    std::vector<std::string> m_taken;
};
