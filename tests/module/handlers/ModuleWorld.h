// A whole world for tests that act as a person does: an in-memory registry, a fresh host and prompter, a
// directory in memory with a small tree (signed in as "Admin"), the module started with the English resource
// library and all its classes registered, and a scripted user. At the end no window and no unused step may
// be left over.
#pragma once

#include "host/services/HostSheet.h"
#include "module/core/KelNTApp.h"
#include "platform/ui/window/UiDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The tree every test starts with.
inline constexpr char kCorp[] = "Corp";
inline constexpr char kDomain[] = "NTD.Corp";
inline constexpr char kWorkstation[] = "WS1.Corp";
inline constexpr char kGlobalGroup[] = "Admins.NTD.Corp";
inline constexpr char kLocalGroup[] = "Locals.NTD.Corp";
// A directory user who may read everything under Corp and write nothing.
inline constexpr char kReader[] = "Reader.Corp";

class ModuleWorld : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the module (the application's start-up, then InitSnapin); a test that changes the registry
    // switches first calls it again after StopModule.
    void StartModule();
    void StopModule();

    // Directory set-up as its administrator.
    static void AddObject(const std::string& object, const std::string& objectClass);
    static void SetDescription(const std::string& object, const std::string& text);
    // A description longer than the module's read buffers take (written as another tool might).
    static void SetLongDescription(const std::string& object, const std::string& text);
    // The object's "Description", "" when it has none.
    static std::string Description(const std::string& object);
    static void Grant(const std::string& object, const std::string& subject, const std::string& attr,
                      uint32_t rights);
    static void SignIn(const std::string& name);

    // Opens the details sheet as the host does; fails the test when it does not open.
    void OpenDetails(const std::string& className, const std::string& object);
    // The host's output lines ("-> 262 | 0", "changed | 0") since the sheet was made.
    std::vector<std::string> m_hostLines;

    // String ids of the message boxes shown so far.
    static std::vector<int> ShownIds();

    std::unique_ptr<ScriptedUser> m_user;
    std::unique_ptr<CKelNTApp> m_app;
    std::unique_ptr<HostSheet> m_sheet;
};
