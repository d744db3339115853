// The host's details sheet and the page binding it relies on: all pages created at once from the class's
// resource library, validation in order stopping at the first refusal, the page-changed report in every
// form, and the sheet's end.
#include "ModuleWorld.h"

#include "host/services/Host.h"
#include "host/services/HostServices.h"
#include "module/core/SnapinPage.h"
#include "platform/ui/window/Window.h"

#include <algorithm>

namespace {

class CFakePage : public CDialog, public CSnapinPage {
public:
    explicit CFakePage(UINT templateId) : CSnapinPage("Fake", templateId, static_cast<CDialog*>(this)) {}
    DLGPROC GetDialogProc() override { return &SnapinPageDialogProc<CFakePage>; }
    BOOL Validate() override { return m_valid; }
    BOOL OnInitDialog() override {
        ++m_inits;
        return CDialog::OnInitDialog();
    }
    BOOL m_valid = TRUE;
    int m_inits = 0;
};

struct FakeClass {
    std::vector<std::unique_ptr<CFakePage>> pages;
    std::vector<std::string> calls;
    long applyAnswer = 0;
};
FakeClass* g_fake = nullptr;

long __stdcall FakeCallBack(char* name, unsigned short message, unsigned long param1, unsigned long param2) {
    switch (message) {
    case SNAP_GET_PAGE_COUNT:
        return static_cast<long>(g_fake->pages.size());
    case SNAP_GET_PAGE: {
        if (param1 >= g_fake->pages.size()) {
            return -1;
        }
        CFakePage* page = g_fake->pages[param1].get();
        auto* record = reinterpret_cast<SnapPageRecord*>(param2);
        *record = SnapPageRecord{page->GetDialogProc(), AfxGetResourceHandle(),
                                 page->CSnapinPage::GetTemplateId(), page->GetTitle(), page->GetPageParam()};
        return 0;
    }
    case SNAP_APPLY_PAGES:
        g_fake->calls.push_back(std::string("apply ") + name);
        return g_fake->applyAnswer;
    case SNAP_END_PAGES:
        g_fake->calls.push_back("end " + std::to_string(param1));
        return 0;
    default:
        return 0;
    }
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

class HostSheetTest : public ModuleWorld {
protected:
    void SetUp() override {
        ModuleWorld::SetUp();
        m_fake.pages.push_back(std::make_unique<CFakePage>(112));
        m_fake.pages.push_back(std::make_unique<CFakePage>(116));
        m_fake.pages.push_back(std::make_unique<CFakePage>(123));
        g_fake = &m_fake;
        ASSERT_EQ(HostRegisterClass("DS", "Fake", "banner", AfxGetResourceHandle(), &FakeCallBack,
                                    kSnapinInterfaceVersion),
                  0);
    }
    void TearDown() override {
        m_sheet.reset();
        g_fake = nullptr;
        ModuleWorld::TearDown();
    }
    FakeClass m_fake;
};

TEST_F(HostSheetTest, OpeningCreatesEveryPageAtOnceWithThePageAsParameter) {
    OpenDetails("Fake", "Obj.Corp");
    ASSERT_EQ(m_sheet->PageCount(), 3);
    EXPECT_EQ(m_hostLines,
              (std::vector<std::string>{"-> 259 | 3", "-> 260 | 0", "-> 260 | 0", "-> 260 | 0"}));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        CFakePage* page = m_fake.pages[static_cast<size_t>(i)].get();
        EXPECT_EQ(page->m_hWnd, m_sheet->Page(i));
        EXPECT_EQ(page->m_inits, 1);
        EXPECT_EQ(FindSnapinPage(m_sheet->Page(i)), page);
        EXPECT_EQ(IsWindowVisible(m_sheet->Page(i)) != FALSE, i == 0) << "page 0 is current";
    }
    ASSERT_TRUE(m_sheet->SetCurrentPage(2));
    EXPECT_TRUE(IsWindowVisible(m_sheet->Page(2)));
    EXPECT_FALSE(IsWindowVisible(m_sheet->Page(0)));
    EXPECT_FALSE(m_sheet->SetCurrentPage(3));

    // A second sheet cannot open while one is open.
    HostSheet second;
    EXPECT_NE(second.Open("Fake", "Other.Corp"), "");
}

TEST_F(HostSheetTest, APageBindsOnceAndAnswersOnlyWhenBound) {
    OpenDetails("Fake", "Obj.Corp");
    HWND window = m_sheet->Page(0);
    CFakePage* page = m_fake.pages[0].get();
    EXPECT_EQ(SendMessageA(window, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(static_cast<CDialog*>(page))),
              0);
    EXPECT_EQ(page->m_inits, 1) << "a second initialisation leaves the binding as it was";
    EXPECT_EQ(page->m_hWnd, window);
    EXPECT_EQ(SendMessageA(window, kMsgPageValidate, 0, 0), 1);
    EXPECT_EQ(SendMessageA(window, kMsgPageHelp, 0, 0), 1);

    // A window no page is bound to: validate before initialisation answers 0.
    EXPECT_EQ(SnapinPageDialogProc<CFakePage>(m_sheet->Frame(), kMsgPageValidate, 0, 0), 0);
    EXPECT_EQ(SnapinPageDialogProc<CFakePage>(m_sheet->Frame(), kMsgPageHelp, 0, 0), 0);
}

TEST_F(HostSheetTest, ApplyStopsAtTheFirstPageThatRefusesAndMakesItCurrent) {
    OpenDetails("Fake", "Obj.Corp");
    m_fake.pages[1]->m_valid = FALSE;
    m_fake.pages[2]->m_valid = FALSE;
    m_hostLines.clear();
    HostSheet::ApplyResult result = m_sheet->Apply();
    EXPECT_EQ(result.refusedPage, 1);
    EXPECT_EQ(m_sheet->CurrentPage(), 1);
    EXPECT_EQ(m_hostLines, (std::vector<std::string>{"-> 1313 | 0"}));
    EXPECT_TRUE(m_fake.calls.empty()) << "no 262 after a refusal";
    EXPECT_FALSE(m_sheet->Ok()) << "OK keeps a refusing sheet open";
    EXPECT_TRUE(m_sheet->IsOpen());

    m_fake.pages[1]->m_valid = TRUE;
    m_fake.pages[2]->m_valid = TRUE;
    m_hostLines.clear();
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(m_hostLines, (std::vector<std::string>{"-> 262 | 0", "-> 273 | 0"}));
    EXPECT_EQ(m_fake.calls, (std::vector<std::string>{"apply Obj.Corp", "end 1"}));
    EXPECT_FALSE(m_sheet->IsOpen());
    for (auto& page : m_fake.pages) {
        EXPECT_EQ(page->m_hWnd, nullptr) << "the page windows are gone, the pages stay";
    }
}

TEST_F(HostSheetTest, EveryFormOfThePageChangedReportReachesTheSheet) {
    OpenDetails("Fake", "Obj.Corp");
    m_fake.pages[2]->NotifyChanged(TRUE); // to its own window, wParam 0
    SendMessageA(m_sheet->Page(1), kMsgPageChanged, reinterpret_cast<WPARAM>(m_sheet->Page(1)), 65536);
    ASSERT_TRUE(m_sheet->SetCurrentPage(0));
    SendMessageA(m_sheet->Frame(), kMsgPageChanged, 0, 0); // straight to the sheet, naming no page
    EXPECT_EQ(m_sheet->Changes(), (std::vector<int>{2, 1, 0}));
    EXPECT_TRUE(Has(m_hostLines, "changed | 2"));
    EXPECT_EQ(m_sheet->Close(kEndPagesCancel), 0);
    EXPECT_EQ(m_fake.calls, (std::vector<std::string>{"end 2"}));
}

TEST_F(HostSheetTest, TheNextSheetBindsTheSamePagesToNewWindows) {
    OpenDetails("Fake", "Obj.Corp");
    HWND first = m_sheet->Page(0);
    m_sheet->Close(kEndPagesCancel);
    OpenDetails("Fake", "Obj2.Corp");
    EXPECT_EQ(m_fake.pages[0]->m_hWnd, m_sheet->Page(0));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(m_fake.pages[0]->m_inits, 2);
}

TEST_F(HostSheetTest, ASheetThatCannotOpenLeavesNothingOpen) {
    HostSheet sheet;
    EXPECT_NE(sheet.Open("No Such Class", "X.Corp"), "");
    m_fake.pages.push_back(std::make_unique<CFakePage>(999)); // a template the library lacks
    std::string error = sheet.Open("Fake", "Obj.Corp");
    EXPECT_NE(error.find("999"), std::string::npos) << error;
    EXPECT_FALSE(sheet.IsOpen());
    EXPECT_EQ(HostSheet::Current(), nullptr);
    EXPECT_EQ(m_fake.calls, (std::vector<std::string>{"end 2"}));
}

TEST_F(HostSheetTest, AClassThatCouldNotStoreTheChangesKeepsTheSheetOpenOnOk) {
    OpenDetails("Fake", "Obj.Corp");
    m_fake.applyAnswer = -1;
    m_hostLines.clear();
    EXPECT_FALSE(m_sheet->Ok());
    EXPECT_TRUE(m_sheet->IsOpen());
    EXPECT_EQ(m_hostLines, (std::vector<std::string>{"-> 262 | -1"}));
    m_fake.applyAnswer = 0;
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(m_fake.calls, (std::vector<std::string>{"apply Obj.Corp", "apply Obj.Corp", "end 1"}));
}
