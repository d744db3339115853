#include "AccountOpsWorld.h"

#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "tests/platform/dirclient/TestStore.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"

#include <cstdlib>

namespace {

// A request buffer freed on every path.
struct Buffer {
    DirBuffer* buf = nullptr;
    explicit Buffer(uint32_t size) { EXPECT_EQ(DirAllocBuffer(size, &buf), kDirOk); }
    ~Buffer() { static_cast<void>(DirFreeBuffer(buf)); }
};

std::string ValueText(uint32_t syntax, const void* value) {
    switch (syntax) {
    case kDirSyntaxBoolean:
        return *static_cast<const uint32_t*>(value) != 0 ? "true" : "false";
    case kDirSyntaxInteger:
        return std::to_string(*static_cast<const int32_t*>(value));
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        return std::to_string(*static_cast<const uint32_t*>(value));
    case kDirSyntaxObjectACL: {
        const auto* acl = static_cast<const DirObjectACL*>(value);
        return std::string(acl->protectedAttrName) + "|" + acl->subjectName + "|" +
               std::to_string(acl->privileges);
    }
    default:
        return static_cast<const char*>(value);
    }
}

} // namespace

void AccountOpsWorld::SetUp() {
    Prompter::Instance().Reset();
    ASSERT_EQ(dirtest::OpenTestStore(), kDirOk);
    ASSERT_EQ(DirSetPasswordHashCost(1, 8192), kDirOk);
    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    m_app = std::make_unique<CWinApp>("KELNT");
    m_app->SetHelpFilePath("qor.hlp");
    m_resources = LoadLibraryA(KELNT_BINARY_DIR "/lib/English/rckelnt.so");
    ASSERT_NE(m_resources, nullptr) << LoadLibraryLastErrorText();
    AfxSetResourceHandle(m_resources);
    m_user = std::make_unique<ScriptedUser>();

    AddObject("Corp", "Organization");
    AddNtSystem("DomA.Corp", kClassNtDomain, "Domain Users");
    AddNtSystem("DomB.Corp", kClassNtDomain, "Domain Users");
    AddNtSystem("WS1.Corp", kClassNtWorkgroupSystem, "Users");
}

void AccountOpsWorld::TearDown() {
    for (const std::string& failure : m_user->Failures()) {
        ADD_FAILURE() << failure;
    }
    EXPECT_EQ(m_user->PendingSteps(), 0u) << "scripted steps were never used";
    std::vector<HWND> left = GetTopLevelWindows();
    EXPECT_TRUE(left.empty()) << left.size() << " window(s) left over";
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
    static_cast<void>(DirCloseStore());
    Prompter::Instance().Reset();
}

void AccountOpsWorld::AddObject(const std::string& object, const std::string& objectClass) {
    CDirContext dir;
    Buffer request(kDirBufferSmall);
    int32_t rc = DirInitBuffer(dir.Get(), kDirOpAdd, request.buf);
    if (rc == kDirOk) {
        rc = DirPutAttrName(dir.Get(), request.buf, kAttrObjectClass);
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(dir.Get(), request.buf, kSyntaxClassName, objectClass.c_str());
    }
    if (rc == kDirOk) {
        rc = DirAddObject(dir.Get(), object.c_str(), 0, 0, request.buf);
    }
    ASSERT_EQ(rc, kDirOk) << object;
}

void AccountOpsWorld::AddValue(const std::string& object, const std::string& attr, const std::string& value) {
    const uint32_t syntax = SchemaSyntaxOf(attr.c_str());
    ASSERT_NE(syntax, 0u) << attr;
    uint32_t word = 0;
    std::string acl[2];
    DirObjectACL aclValue{};
    const void* data = value.c_str();
    if (syntax == kDirSyntaxBoolean) {
        word = value == "true" ? 1 : 0;
        data = &word;
    } else if (syntax == kDirSyntaxInteger || syntax == kDirSyntaxTime || syntax == kDirSyntaxInterval) {
        word = static_cast<uint32_t>(std::stoul(value));
        data = &word;
    } else if (syntax == kDirSyntaxObjectACL) {
        const size_t first = value.find('|');
        const size_t second = value.find('|', first + 1);
        acl[0] = value.substr(0, first);
        acl[1] = value.substr(first + 1, second - first - 1);
        aclValue = {acl[0].data(), acl[1].data(),
                    static_cast<uint32_t>(std::stoul(value.substr(second + 1)))};
        data = &aclValue;
    }
    CDirContext dir;
    Buffer request(kDirBufferSmall);
    int32_t rc = DirInitBuffer(dir.Get(), kDirOpModify, request.buf);
    if (rc == kDirOk) {
        rc = DirPutChange(dir.Get(), request.buf, kDirChangeAddValue, attr.c_str());
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(dir.Get(), request.buf, syntax, data);
    }
    if (rc == kDirOk) {
        rc = DirModifyObject(dir.Get(), object.c_str(), 0, 0, request.buf);
    }
    ASSERT_EQ(rc, kDirOk) << object << " " << attr << " " << value;
}

void AccountOpsWorld::Grant(const std::string& object, const std::string& subject, const std::string& attr,
                            uint32_t rights) {
    AddValue(object, kAttrAcl, attr + "|" + subject + "|" + std::to_string(rights));
}

std::vector<std::string> AccountOpsWorld::Values(const std::string& object, const std::string& attr) {
    std::vector<std::string> values;
    CDirContext dir;
    Buffer names(kDirBufferSmall);
    Buffer reply(kDirBufferLarge);
    EXPECT_EQ(DirInitBuffer(dir.Get(), kDirOpRead, names.buf), kDirOk);
    EXPECT_EQ(DirPutAttrName(dir.Get(), names.buf, attr.c_str()), kDirOk);
    int32_t iteration = -1;
    do {
        if (DirRead(dir.Get(), object.c_str(), 1, 0, names.buf, &iteration, reply.buf) != kDirOk) {
            return values;
        }
        uint32_t count = 0;
        EXPECT_EQ(DirGetAttrCount(dir.Get(), reply.buf, &count), kDirOk);
        for (uint32_t a = 0; a < count; ++a) {
            char name[kDirClassNameBytes] = {};
            uint32_t valueCount = 0;
            uint32_t syntax = 0;
            EXPECT_EQ(DirGetAttrName(dir.Get(), reply.buf, name, &valueCount, &syntax), kDirOk);
            for (uint32_t v = 0; v < valueCount; ++v) {
                uint32_t size = 0;
                EXPECT_EQ(DirComputeValueSize(dir.Get(), reply.buf, syntax, &size), kDirOk);
                std::vector<char> block(size + 1);
                EXPECT_EQ(DirGetAttrValue(dir.Get(), reply.buf, syntax, block.data()), kDirOk);
                values.push_back(ValueText(syntax, block.data()));
            }
        }
    } while (iteration != -1);
    return values;
}

bool AccountOpsWorld::Exists(const std::string& object) {
    CDirContext dir;
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    return DirReadObjectInfo(dir.Get(), object.c_str(), stored, &info) == kDirOk;
}

void AccountOpsWorld::AddNtSystem(const std::string& system, const std::string& systemClass,
                                  const std::string& defaultGroup) {
    AddObject(system, systemClass);
    AddValue(system, kAttrNtDefaultGroupName, defaultGroup);
    AddObject(defaultGroup + "." + system, kClassNtGlobalGroup);
}

void AccountOpsWorld::Link(const std::string& account, const std::string& group) {
    AddValue(group, kAttrMember, account);
    AddValue(account, kAttrGroupMembership, group);
}

std::vector<int> AccountOpsWorld::ShownIds() {
    std::vector<int> ids;
    for (const auto& box : Prompter::Instance().Messages()) {
        ids.push_back(box.stringId);
    }
    return ids;
}

std::vector<std::string> AccountOpsWorld::ShownTexts() {
    std::vector<std::string> texts;
    for (const auto& box : Prompter::Instance().Messages()) {
        texts.push_back(box.text);
    }
    return texts;
}
