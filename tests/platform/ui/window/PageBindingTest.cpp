// Pages as the host creates them: a dialog from a template with the page's own dialog procedure and the page
// as creation parameter; the page binds itself on 272 by subclassing, and every message it leaves goes on to
// the earlier procedure (1313, 1337, commands passed to the default procedure). Change reports reach the
// host's frame in every form.
#include "UiWinFixture.h"

#include "platform/ui/window/Dialog.h"
#include "platform/ui/window/UserActions.h"

#include <map>

namespace {

class CTestPage : public CDialog {
public:
    static std::map<HWND, CTestPage*>& Bound() {
        static std::map<HWND, CTestPage*> bound;
        return bound;
    }

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            if (Bound().count(window) != 0) {
                return 0;
            }
            auto* page = reinterpret_cast<CTestPage*>(lParam);
            Bound()[window] = page;
            page->SubclassWindow(window);
            return page->OnInitDialog();
        }
        auto found = Bound().find(window);
        if (found == Bound().end()) {
            return 0;
        }
        CTestPage* page = found->second;
        page->m_procMessages.push_back(message);
        if (message == kMsgPageValidate) {
            return page->m_valid;
        }
        if (message == kMsgPageHelp) {
            return 1;
        }
        return 0;
    }

    int m_valid = 1;
    int m_inits = 0;
    std::vector<UINT> m_procMessages;

protected:
    BOOL OnInitDialog() override {
        ++m_inits;
        return CDialog::OnInitDialog();
    }
    // Enter and Escape go to the default procedure instead of closing anything.
    void OnOK() override { DefWindowProc(WM_COMMAND, IDOK, 0); }
    void OnCancel() override { DefWindowProc(WM_COMMAND, IDCANCEL, 0); }
    void OnNameChange() { SendMessage(kMsgPageChanged, 0, 1 << 16); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestPage, CDialog)
ON_EN_CHANGE(1101, OnNameChange)
END_MESSAGE_MAP()

std::vector<std::pair<WPARAM, LPARAM>>& HostChanges() {
    static std::vector<std::pair<WPARAM, LPARAM>> changes;
    return changes;
}

LRESULT CALLBACK HostFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgPageChanged) {
        HostChanges().emplace_back(wParam, lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST_F(UiWinTest, AHostCreatedPageBindsOnceAndChainsWhatItLeaves) {
    HostChanges().clear();
    RECT place{0, 0, 300, 200};
    HWND frame = CreateFrameWindow(nullptr, "Details", place, &HostFrameProc);
    CTestPage page;
    HWND window = CreateDialogParamA(m_resources, MAKEINTRESOURCEA(202), frame, &CTestPage::DialogProc,
                                     reinterpret_cast<LPARAM>(&page));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(page.m_hWnd, window);
    EXPECT_EQ(page.m_inits, 1);
    EXPECT_EQ(CWnd::FromHandlePermanent(window), &page);

    // A second 272 answers 0 and changes nothing.
    EXPECT_EQ(SendMessageA(window, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&page)), 0);
    EXPECT_EQ(page.m_inits, 1);

    EXPECT_EQ(SendMessageA(window, kMsgPageValidate, 0, 0), 1);
    page.m_valid = 0;
    EXPECT_EQ(SendMessageA(window, kMsgPageValidate, 0, 0), 0);
    EXPECT_EQ(SendMessageA(window, kMsgPageHelp, 0, 0), 1);

    // Each typed character is one change report; the host hears it with the page's handle.
    EXPECT_EQ(TypeText(window, 1101, "ab"), UiActionError::None);
    ASSERT_EQ(HostChanges().size(), 2u);
    EXPECT_EQ(HostChanges()[0].first, reinterpret_cast<WPARAM>(window));
    EXPECT_EQ(HostChanges()[0].second, 1 << 16);
    SendMessageA(window, kMsgPageChanged, reinterpret_cast<WPARAM>(window), 65536);
    EXPECT_EQ(HostChanges().size(), 3u);

    // Enter reaches the page's procedure as command 273 with 1, and the page stays.
    page.m_procMessages.clear();
    EXPECT_EQ(PressKey(window, UiKey::Enter), UiActionError::None);
    EXPECT_EQ(PressKey(window, UiKey::Escape), UiActionError::None);
    EXPECT_EQ(page.m_procMessages, (std::vector<UINT>{WM_COMMAND, WM_COMMAND}));
    EXPECT_TRUE(IsWindow(window));

    DestroyWindow(frame);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(page.m_hWnd, nullptr);
    CTestPage::Bound().clear();
}
