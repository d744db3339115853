// The eight class handlers as the host meets them: registered in the module's order with their names,
// display names, bitmaps and class flags, each with the pages that exist, applied in the class's order.
#include "ModuleWorld.h"

#include "host/services/HostServices.h"
#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/handlers/KelNTClass.h"
#include "platform/winapi/WinApi.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kSnapInKey[] = "Software\\Corvane\\Parameters\\KelNTSnapIn";

void SetSwitch(const char* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, kSnapInKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetSwitchText(const char* name, const char* text) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, kSnapInKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             static_cast<DWORD>(std::strlen(text) + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

long Send(const char* className, const std::string& object, unsigned short message, unsigned long param1 = 0,
          unsigned long param2 = 0) {
    return HostServices::Instance().SendToClass(className, object, message, param1, param2).value_or(-999);
}

} // namespace

class HandlerTest : public ModuleWorld {};

TEST_F(HandlerTest, EveryClassIsRegisteredInTheModulesOrderWithItsNamesFlagsAndBitmaps) {
    struct Expected {
        const char* className;
        const char* displayName;
        long flags;
        bool bitmaps;
    };
    const std::vector<Expected> expected = {
        {"User", "User", 1, false},
        {"Template", "Template", 1, false},
        {"KEL:NT Domain", "QOR NT Domain", 137, true},
        {"KEL:NT Workgroup System", "QOR NT Workgroup System", 137, true},
        {"KEL:NT User", "QOR NT User", 221, true},
        {"KEL:NT Global Group", "QOR NT Global Group", 141, true},
        {"KEL:NT Local Group", "QOR NT Local Group", 141, true},
        {"KEL:Hybrid User", "QOR Hybrid User", 137, true},
    };
    std::vector<ClassListing> listed = HostServices::Instance().ListClasses();
    ASSERT_EQ(listed.size(), expected.size());
    const auto& registered = HostServices::Instance().Classes();
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].className);
        EXPECT_EQ(listed[i].className, expected[i].className);
        EXPECT_EQ(listed[i].displayName, expected[i].displayName);
        EXPECT_EQ(listed[i].flags, expected[i].flags);
        EXPECT_EQ(registered[i].nameSpace, "DS");
        EXPECT_EQ(registered[i].normal != nullptr, expected[i].bitmaps);
        EXPECT_EQ(registered[i].alias != nullptr, expected[i].bitmaps);
        EXPECT_EQ(registered[i].readOnly != nullptr, expected[i].bitmaps);
        EXPECT_EQ(registered[i].version, kSnapinInterfaceVersion);
    }
}

TEST_F(HandlerTest, TheRegistrySwitchesDecideWhetherDomainsWorkstationsAndHybridUsersMayBeCreated) {
    struct SwitchCase {
        const char* className;
        const char* valueName;
    };
    const SwitchCase switches[] = {{"KEL:NT Domain", "CreateNTDomain"},
                                   {"KEL:NT Workgroup System", "CreateNTWorkgroup"},
                                   {"KEL:Hybrid User", "CreateHybridUser"}};
    for (const SwitchCase& item : switches) {
        SCOPED_TRACE(item.valueName);
        EXPECT_EQ(Send(item.className, "", SNAP_GET_CLASS_FLAGS), 137) << "no key or value";
        SetSwitch(item.valueName, 1);
        EXPECT_EQ(Send(item.className, "", SNAP_GET_CLASS_FLAGS), 141);
        SetSwitch(item.valueName, 0);
        EXPECT_EQ(Send(item.className, "", SNAP_GET_CLASS_FLAGS), 137);
        SetSwitch(item.valueName, 2);
        EXPECT_EQ(Send(item.className, "", SNAP_GET_CLASS_FLAGS), 137);
        SetSwitchText(item.valueName, "1");
        EXPECT_EQ(Send(item.className, "", SNAP_GET_CLASS_FLAGS), 137) << "only a 32-bit value counts";
        SetSwitch(item.valueName, 1);
    }
    // Each switch governs its own class only.
    SetSwitch("CreateNTDomain", 0);
    EXPECT_EQ(Send("KEL:NT Domain", "", SNAP_GET_CLASS_FLAGS), 137);
    EXPECT_EQ(Send("KEL:NT Workgroup System", "", SNAP_GET_CLASS_FLAGS), 141);
    EXPECT_EQ(Send("KEL:NT Global Group", "", SNAP_GET_CLASS_FLAGS), 141);
    EXPECT_EQ(Send("KEL:NT User", "", SNAP_GET_CLASS_FLAGS), 221);
}

TEST_F(HandlerTest, EachClassHandsOutItsFirstPageWhereOneExists) {
    struct PageCase {
        const char* className;
        const char* object;
        long count;
        uintptr_t templateId;
        const char* firstTitle;
    };
    const PageCase pages[] = {
        {"KEL:NT Domain", kDomain, 3, 112, "Identification"},
        {"KEL:NT Workgroup System", kWorkstation, 3, 116, "Identification"},
        {"KEL:NT Global Group", kGlobalGroup, 2, 123, "Identification"},
        {"KEL:NT Local Group", kLocalGroup, 2, 126, "Identification"},
        {"KEL:NT User", "Ann.NTD.Corp", 6, 120, "Identification"},
        {"KEL:Hybrid User", "Ann.NTD.Corp", 4, 151, "Identification"},
        {"User", kReader, 1, 110, "NT Accounts"},
        {"Template", "T.Corp", 2, 110, "NT Accounts"},
    };
    HINSTANCE resources = m_app->GetResourceLibraryHandle();
    for (const PageCase& page : pages) {
        SCOPED_TRACE(page.className);
        EXPECT_EQ(Send(page.className, page.object, SNAP_GET_PAGE_COUNT), page.count);
        SnapPageRecord record{};
        if (page.count > 0) {
            ASSERT_EQ(
                Send(page.className, page.object, SNAP_GET_PAGE, 0, reinterpret_cast<unsigned long>(&record)),
                0);
            EXPECT_EQ(record.templateId, page.templateId);
            EXPECT_STREQ(record.title, page.firstTitle);
            EXPECT_EQ(record.resource, resources);
            EXPECT_NE(record.dialogProc, nullptr);
            EXPECT_NE(record.pageParam, nullptr);
        }
        SnapPageRecord untouched{};
        EXPECT_EQ(Send(page.className, page.object, SNAP_GET_PAGE, static_cast<unsigned long>(page.count),
                       reinterpret_cast<unsigned long>(&untouched)),
                  -1);
        EXPECT_EQ(untouched.dialogProc, nullptr) << "an index out of range writes nothing";
        EXPECT_EQ(Send(page.className, page.object, SNAP_END_PAGES, kEndPagesCancel), 0);
    }
}

TEST_F(HandlerTest, DeletionIsAllowedForEveryClassAndOtherQuestionsGetTheBaseAnswers) {
    for (const char* className :
         {"KEL:NT Domain", "KEL:NT Workgroup System", "KEL:NT User", "KEL:NT Global Group",
          "KEL:NT Local Group", "KEL:Hybrid User", "Template"}) {
        SCOPED_TRACE(className);
        EXPECT_EQ(Send(className, kDomain, SNAP_QUERY_DELETE), 0);
        EXPECT_EQ(Send(className, kDomain, SNAP_QUERY_COPY), 0);
        EXPECT_EQ(Send(className, kDomain, SNAP_QUERY_MOVE), 0);
        // The KEL: classes run their creation dialogs, which a host without a name buffer cannot use.
        EXPECT_EQ(Send(className, kDomain, SNAP_CREATE_OBJECT),
                  std::string(className) == "Template" ? 0 : -1);
        EXPECT_EQ(Send(className, kDomain, 268), 0);
    }
    // A user without NT accounts leaves nothing behind, so its delete goes on without a question.
    EXPECT_EQ(Send("User", kReader, SNAP_QUERY_DELETE), 0);
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(HandlerTest, AClosedClassHandsOutNoPagesAndStartsAfreshWhenInitialisedAgain) {
    EXPECT_EQ(Send("KEL:NT Domain", kDomain, SNAP_CLOSE_CLASS), 0);
    EXPECT_EQ(HostServices::Instance().FindClass("KEL:NT Domain")->normal, nullptr) << "bitmaps released";
    EXPECT_EQ(Send("KEL:NT Domain", kDomain, SNAP_GET_PAGE_COUNT), 0);
    SnapPageRecord record{};
    EXPECT_EQ(Send("KEL:NT Domain", kDomain, SNAP_GET_PAGE, 0, reinterpret_cast<unsigned long>(&record)), -1);
    EXPECT_EQ(Send("KEL:NT Domain", kDomain, SNAP_APPLY_PAGES), 0) << "no deleted page is asked to write";
    EXPECT_EQ(Send("KEL:NT Domain", kDomain, SNAP_INIT_CLASS), 0);
    EXPECT_EQ(Send("KEL:NT Domain", kDomain, SNAP_GET_PAGE_COUNT), 3);
    EXPECT_NE(HostServices::Instance().FindClass("KEL:NT Domain")->normal, nullptr);
    EXPECT_EQ(Send("KEL:NT Domain", kDomain, SNAP_END_PAGES, kEndPagesCancel), 0);
}

namespace {

// Pages that record their writes and answer what the test says.
std::vector<std::string> g_writes;

class CRecordingPage : public CSnapinPage {
public:
    explicit CRecordingPage(const char* title) : CSnapinPage(title, 112, this) {}
    DLGPROC GetDialogProc() override { return nullptr; }
    LONG WriteChanges(const char* name) {
        g_writes.push_back(std::string(GetTitle()) + ":" + name);
        return m_answer;
    }
    LONG m_answer = 0;
};
struct CFirstPage : CRecordingPage {
    CFirstPage() : CRecordingPage("first") {}
};
struct CSecondPage : CRecordingPage {
    CSecondPage() : CRecordingPage("second") {}
};
struct CThirdPage : CRecordingPage {
    CThirdPage() : CRecordingPage("third") {}
};

// Created first, second, third; applied first, third, second, as the domain's pages are.
class CThreePageClass : public CKelNTClass {
public:
    CThreePageClass() : CKelNTClass("KEL:NT Domain", nullptr, {}, {}, {}) {}
    void CreatePages() override {
        CreatePage(m_first);
        CreatePage(m_second);
        CreatePage(m_third);
    }
    LONG OnApplyPages(const char* name) override {
        return WriteInOrder(name,
                            {WriterOf(m_first), WriterOf(m_missing), WriterOf(m_third), WriterOf(m_second)});
    }
    SnapCallBack GetCallBack() override { return nullptr; }

    CFirstPage* m_first = nullptr;
    CSecondPage* m_second = nullptr;
    CThirdPage* m_third = nullptr;
    CFirstPage* m_missing = nullptr; // a page that does not exist yet
};

} // namespace

TEST_F(HandlerTest, ApplyFollowsTheClassOrderAndStopsAtTheFirstPageThatRefuses) {
    CThreePageClass handler;
    ASSERT_EQ(handler.OnInitClass(), 0);
    ASSERT_EQ(handler.GetPageCount(), 3);
    SnapPageRecord record{};
    ASSERT_EQ(handler.GetPage("x", 2, &record), 0);
    EXPECT_STREQ(record.title, "third") << "pages are listed in creation order";

    g_writes.clear();
    EXPECT_EQ(handler.OnApplyPages("NTD.Corp"), 0);
    EXPECT_EQ(g_writes, (std::vector<std::string>{"first:NTD.Corp", "third:NTD.Corp", "second:NTD.Corp"}));

    g_writes.clear();
    handler.m_third->m_answer = 7;
    EXPECT_EQ(handler.OnApplyPages("NTD.Corp"), 7);
    EXPECT_EQ(g_writes, (std::vector<std::string>{"first:NTD.Corp", "third:NTD.Corp"}));

    g_writes.clear();
    handler.m_first->m_answer = -1;
    EXPECT_EQ(handler.OnApplyPages("NTD.Corp"), -1);
    EXPECT_EQ(g_writes, (std::vector<std::string>{"first:NTD.Corp"}))
        << "nothing else of that object is written";
    EXPECT_EQ(handler.OnCloseClass(), 0);
    EXPECT_EQ(handler.GetPageCount(), 0);
}

TEST_F(HandlerTest, AClosedClassWritesNoPageUntilItIsInitialisedAgain) {
    CThreePageClass handler;
    ASSERT_EQ(handler.OnInitClass(), 0);
    ASSERT_EQ(handler.OnCloseClass(), 0);

    EXPECT_EQ(handler.m_first, nullptr);
    EXPECT_EQ(handler.m_second, nullptr);
    EXPECT_EQ(handler.m_third, nullptr);
    g_writes.clear();
    EXPECT_EQ(handler.OnApplyPages("NTD.Corp"), 0);
    EXPECT_TRUE(g_writes.empty()) << "a deleted page was reached";

    ASSERT_EQ(handler.OnInitClass(), 0);
    EXPECT_EQ(handler.OnApplyPages("NTD.Corp"), 0);
    EXPECT_EQ(g_writes, (std::vector<std::string>{"first:NTD.Corp", "third:NTD.Corp", "second:NTD.Corp"}));
    EXPECT_EQ(handler.OnCloseClass(), 0);
}
