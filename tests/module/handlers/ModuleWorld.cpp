#include "ModuleWorld.h"

#include "host/services/HostServices.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "tests/platform/dirclient/TestStore.h"
#include "platform/dirclient/DirClient.h"
#include "platform/locale/Locale.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"
#include "platform/winapi/WinApi.h"

void ModuleWorld::SetUp() {
    RegistryUseMemory();
    HostServices::Instance().Reset();
    Prompter::Instance().Reset();
    LocResetTestHooks();
    ASSERT_EQ(dirtest::OpenTestStore(), kDirOk);
    ASSERT_EQ(DirSetPasswordHashCost(1, 8192), kDirOk);
    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    AddObject(kCorp, "Organization");
    AddObject(kDomain, kClassNtDomain);
    AddObject(kWorkstation, kClassNtWorkgroupSystem);
    AddObject(kGlobalGroup, kClassNtGlobalGroup);
    AddObject(kLocalGroup, kClassNtLocalGroup);
    AddObject(kReader, kClassUser);
    Grant(kCorp, kReader, kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
    Grant(kCorp, kReader, kAclEntryRights, kDirEntryBrowse);
    m_user = std::make_unique<ScriptedUser>();
    StartModule();
}

void ModuleWorld::StartModule() {
    m_app = std::make_unique<CKelNTApp>();
    ASSERT_TRUE(m_app->InitInstance());
    ASSERT_EQ(InitSnapin(), 0);
}

void ModuleWorld::StopModule() {
    m_sheet.reset();
    HostServices::Instance().CloseAllClasses();
    static_cast<void>(ShutDown());
    HostServices::Instance().ForgetRegistrations();
    m_app.reset();
}

void ModuleWorld::TearDown() {
    StopModule();
    EXPECT_TRUE(GetTopLevelWindows().empty()) << "a window was left over";
    if (m_user) {
        EXPECT_TRUE(m_user->Failures().empty()) << m_user->Failures().front();
        EXPECT_EQ(m_user->PendingSteps(), 0u);
    }
    m_user.reset();
    static_cast<void>(DirCloseStore());
    HostServices::Instance().Reset();
    Prompter::Instance().Reset();
    AfxSetResourceHandle(nullptr);
    RegistryUseMemory();
}

void ModuleWorld::AddObject(const std::string& object, const std::string& objectClass) {
    CDirContext dir;
    ASSERT_TRUE(dir.IsOpen());
    DirBuffer* buffer = nullptr;
    ASSERT_EQ(DirAllocBuffer(kDirBufferSmall, &buffer), kDirOk);
    int32_t rc = DirInitBuffer(dir.Get(), kDirOpAdd, buffer);
    if (rc == kDirOk) {
        rc = DirPutAttrName(dir.Get(), buffer, kAttrObjectClass);
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(dir.Get(), buffer, kSyntaxClassName, objectClass.c_str());
    }
    if (rc == kDirOk) {
        rc = DirAddObject(dir.Get(), object.c_str(), 0, 0, buffer);
    }
    static_cast<void>(DirFreeBuffer(buffer));
    ASSERT_EQ(rc, kDirOk) << object;
}

void ModuleWorld::SetDescription(const std::string& object, const std::string& text) {
    CDirContext dir;
    ASSERT_EQ(
        SetAttrValue(dir.Get(), object.c_str(), kAttrDescription, kSyntaxCaseIgnoreString, text.c_str()), 1);
}

std::string ModuleWorld::Description(const std::string& object) {
    char identity[kDirMaxNameBytes + 1] = {};
    CDirContext dir;
    static_cast<void>(DirWhoAmI(dir.Get(), identity));
    // Read as the administrator, whoever is signed in now, with buffers large enough for any description.
    bool other = std::string(identity) != "Admin";
    if (other) {
        EXPECT_EQ(DirLogin("Admin", ""), kDirOk);
    }
    std::string text;
    DirBuffer* names = nullptr;
    DirBuffer* reply = nullptr;
    EXPECT_EQ(DirAllocBuffer(kDirBufferLarge, &names), kDirOk);
    EXPECT_EQ(DirAllocBuffer(kDirBufferLarge, &reply), kDirOk);
    CDirContext admin;
    int32_t iteration = -1;
    uint32_t count = 0;
    uint32_t values = 0;
    uint32_t syntax = 0;
    uint32_t size = 0;
    char name[kDirClassNameBytes] = {};
    if (DirInitBuffer(admin.Get(), kDirOpRead, names) == kDirOk &&
        DirPutAttrName(admin.Get(), names, kAttrDescription) == kDirOk &&
        DirRead(admin.Get(), object.c_str(), 1, 0, names, &iteration, reply) == kDirOk &&
        DirGetAttrCount(admin.Get(), reply, &count) == kDirOk && count > 0 &&
        DirGetAttrName(admin.Get(), reply, name, &values, &syntax) == kDirOk && values > 0 &&
        DirComputeValueSize(admin.Get(), reply, syntax, &size) == kDirOk) {
        std::string value(size, '\0');
        if (DirGetAttrValue(admin.Get(), reply, syntax, value.data()) == kDirOk) {
            text = value.c_str();
        }
    }
    static_cast<void>(DirFreeBuffer(names));
    static_cast<void>(DirFreeBuffer(reply));
    if (other) {
        EXPECT_EQ(DirLogin(identity, ""), kDirOk);
    }
    return text;
}

void ModuleWorld::SetLongDescription(const std::string& object, const std::string& text) {
    CDirContext dir;
    DirBuffer* buffer = nullptr;
    ASSERT_EQ(DirAllocBuffer(kDirBufferLarge, &buffer), kDirOk);
    int32_t rc = DirInitBuffer(dir.Get(), kDirOpModify, buffer);
    if (rc == kDirOk) {
        rc = DirPutChange(dir.Get(), buffer, kDirChangeRemoveAllValues, kAttrDescription);
    }
    if (rc == kDirOk) {
        rc = DirPutChange(dir.Get(), buffer, kDirChangeAddValue, kAttrDescription);
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(dir.Get(), buffer, kSyntaxCaseIgnoreString, text.c_str());
    }
    if (rc == kDirOk) {
        rc = DirModifyObject(dir.Get(), object.c_str(), 0, 0, buffer);
    }
    static_cast<void>(DirFreeBuffer(buffer));
    ASSERT_EQ(rc, kDirOk);
}

void ModuleWorld::Grant(const std::string& object, const std::string& subject, const std::string& attr,
                        uint32_t rights) {
    CDirContext dir;
    DirObjectACL acl{const_cast<char*>(attr.c_str()), const_cast<char*>(subject.c_str()), rights};
    ASSERT_EQ(AddAttrValue(dir.Get(), object.c_str(), kAttrAcl, kSyntaxObjectACL, &acl), 1)
        << GetLastAttrError();
}

void ModuleWorld::SignIn(const std::string& name) {
    ASSERT_EQ(DirLogin(name.c_str(), ""), kDirOk);
}

void ModuleWorld::OpenDetails(const std::string& className, const std::string& object) {
    m_sheet = std::make_unique<HostSheet>();
    m_sheet->SetObserver([this](const std::string& line) { m_hostLines.push_back(line); });
    std::string error = m_sheet->Open(className, object);
    ASSERT_EQ(error, "");
}

std::vector<int> ModuleWorld::ShownIds() {
    std::vector<int> ids;
    for (const auto& box : Prompter::Instance().Messages()) {
        ids.push_back(box.stringId);
    }
    return ids;
}
