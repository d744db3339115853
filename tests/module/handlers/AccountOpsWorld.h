// The world of the NT account operations: a fresh in-memory directory signed in as "Admin" with two NT
// domains and a workgroup system, the English resource library, an application object for help calls, a
// fresh prompter and a scripted user. At the end no window and no unused step may be left over.
#pragma once

#include "platform/ui/WinApp.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/winapi/WinApi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AccountOpsWorld : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Directory set-up and reading, as its administrator (or whoever is signed in).
    static void AddObject(const std::string& object, const std::string& objectClass);
    // Adds one value in the form `dump` prints: text, a number, true/false, ACL values "ATTR|SUBJECT|RIGHTS".
    static void AddValue(const std::string& object, const std::string& attr, const std::string& value);
    static void Grant(const std::string& object, const std::string& subject, const std::string& attr,
                      uint32_t rights);
    // Every value of attr in that form, in stored order; empty when it has none.
    static std::vector<std::string> Values(const std::string& object, const std::string& attr);
    static bool Exists(const std::string& object);
    // An NT system object with its default group (a global group of that name inside it).
    static void AddNtSystem(const std::string& system, const std::string& systemClass,
                            const std::string& defaultGroup);
    // Makes account a member of group on both sides.
    static void Link(const std::string& account, const std::string& group);

    // String ids of the message boxes shown so far, and their texts.
    static std::vector<int> ShownIds();
    static std::vector<std::string> ShownTexts();

    std::unique_ptr<CWinApp> m_app;
    std::unique_ptr<ScriptedUser> m_user;
    HMODULE m_resources = nullptr;
};
