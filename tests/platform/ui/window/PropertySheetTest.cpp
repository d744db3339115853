// Property sheets and wizards: the sheet flags and icon, kill-active refusal, applying only pages that were
// shown, change reports in any form, and a wizard page that hides Cancel, refuses it with a beep and works
// through a posted command before it lets the person go on.
#include "UiWinFixture.h"

#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/PropertySheet.h"
#include "platform/ui/window/UserActions.h"

namespace {

class CFirstPage : public CPropertyPage {
public:
    CFirstPage() : CPropertyPage(202, 101) {}
    bool m_refuseLeaving = false;
    int m_applied = 0;
    int m_helps = 0;
    CString m_text;

protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, 1101, m_text); }
    BOOL OnKillActive() override { return m_refuseLeaving ? FALSE : CPropertyPage::OnKillActive(); }
    BOOL OnApply() override {
        ++m_applied;
        return TRUE;
    }
    void OnHelp() override { ++m_helps; }
};

class CSecondPage : public CPropertyPage {
public:
    CSecondPage() : CPropertyPage(203) {}
    int m_applied = 0;
    int m_worked = 0;
    bool m_workInWizard = false;

protected:
    BOOL OnApply() override {
        ++m_applied;
        return TRUE;
    }
    BOOL OnSetActive() override {
        CPropertyPage::OnSetActive();
        if (m_workInWizard) {
            GetSheet()->SetWizardButtons(0);
            GetSheet()->GetDlgItem(IDCANCEL)->ShowWindow(SW_HIDE);
            PostMessage(WM_COMMAND, 1150, 0);
        }
        return TRUE;
    }
    BOOL OnQueryCancel() override {
        MessageBeep(0);
        return FALSE;
    }
    void OnWork() {
        ++m_worked;
        auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(1201));
        bar->SetRange(1, 7);
        bar->SetPos(0);
        for (int i = 0; i < 6; ++i) {
            bar->OffsetPos(1);
        }
        auto* results = static_cast<CListCtrl*>(GetDlgItem(1202));
        CRect client;
        results->GetClientRect(client);
        results->InsertColumn(0, "Result", LVCFMT_LEFT, client.Width() / 3);
        results->InsertColumn(1, "NT System", LVCFMT_LEFT,
                              2 * (client.Width() / 3) - GetSystemMetrics(SM_CXVSCROLL) - 1);
        int row = results->InsertItem(0, "Success");
        results->SetItemText(row, 1, "Sales");
        GetSheet()->SetWizardButtons(PSWIZB_NEXT);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSecondPage, CPropertyPage)
ON_COMMAND(1150, OnWork)
END_MESSAGE_MAP()

class CLastPage : public CPropertyPage {
public:
    CLastPage() : CPropertyPage(204) {}

protected:
    BOOL OnSetActive() override {
        GetSheet()->SetWizardButtons(PSWIZB_FINISH);
        return CPropertyPage::OnSetActive();
    }
};

} // namespace

TEST_F(UiWinTest, ASheetWithFlags0x28CHasHelpAndNoApplyAndTakesItsIconByName) {
    CFirstPage first;
    CSecondPage second;
    CPropertySheet sheet(100u);
    sheet.m_psh.dwFlags = 0x28C;
    sheet.m_psh.pszIcon = "idi_test";
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    m_user->Expect(202, [&](ModalContext& modal) {
        EXPECT_EQ(modal.kind, ModalKind::PropertySheet);
        EXPECT_NE(sheet.GetIconBitmap(), nullptr);
        EXPECT_EQ(GetWindowTextString(modal.window), "Test sheet");
        EXPECT_EQ(FindUiControl(modal.window, ID_APPLY_NOW), nullptr);
        EXPECT_NE(FindUiControl(modal.window, IDHELP), nullptr);
        EXPECT_EQ(Click(modal.window, IDHELP), UiActionError::None);
        EXPECT_EQ(TypeText(modal.window, 1101, "typed"), UiActionError::None);
        // Leaving the page is refused: the sheet stays on it and OK does not close it.
        first.m_refuseLeaving = true;
        EXPECT_FALSE(sheet.SetActivePage(1));
        EXPECT_EQ(sheet.GetActiveIndex(), 0);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });
    m_user->Expect(202, [&](ModalContext& modal) {
        EXPECT_EQ(SelectSheetPage(modal.window, 1), UiActionError::None); // refused: not an error
        EXPECT_EQ(sheet.GetActiveIndex(), 0);
        first.m_refuseLeaving = false;
        EXPECT_EQ(SelectSheetPage(modal.window, 1), UiActionError::None);
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
        EXPECT_EQ(modal.ActiveTemplateId(), 203u);
        int width = 0;
        int height = 0;
        EXPECT_FALSE(RenderWindowPixels(modal.window, &width, &height).empty());
        EXPECT_EQ(SelectSheetPage(modal.window, 0), UiActionError::None);
        EXPECT_EQ(SelectSheetPage(modal.window, 7), UiActionError::NoSuchControl);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(first.m_helps, 1);
    EXPECT_EQ(first.m_text, "typed");
    EXPECT_EQ(first.m_applied, 1);
    EXPECT_EQ(second.m_applied, 1);
    EXPECT_EQ(first.m_hWnd, nullptr);
}

TEST_F(UiWinTest, OkAppliesOnlyThePagesThatWereShown) {
    CFirstPage first;
    CSecondPage second;
    CPropertySheet sheet("Two pages");
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    m_user->Expect(202,
                   [](ModalContext& modal) { EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None); });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(first.m_applied, 1);
    EXPECT_EQ(second.m_applied, 0);
}

TEST_F(UiWinTest, AChangeReportInAnyFormMarksTheSheetChanged) {
    const WPARAM forms[] = {0, 1};
    for (WPARAM form : forms) {
        CFirstPage first;
        CPropertySheet sheet("Changes");
        sheet.AddPage(&first);
        m_user->Expect(202, [&](ModalContext& modal) {
            HWND page = modal.ActivePage();
            EXPECT_FALSE(sheet.IsChanged());
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(modal.window, ID_APPLY_NOW)));
            // wParam 0, or the page's own handle; lParam the flag shifted left by 16.
            SendMessageA(page, kMsgPageChanged, form == 0 ? 0 : reinterpret_cast<WPARAM>(page), 1 << 16);
            EXPECT_TRUE(sheet.IsChanged());
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(modal.window, ID_APPLY_NOW)));
            EXPECT_EQ(Click(modal.window, ID_APPLY_NOW), UiActionError::None);
            EXPECT_FALSE(sheet.IsChanged());
            EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
        });
        EXPECT_EQ(sheet.DoModal(), IDCANCEL);
        EXPECT_EQ(first.m_applied, 1);
    }
}

TEST_F(UiWinTest, AWizardPageHidesCancelRefusesItWithABeepAndWorksBeforeNext) {
    CFirstPage first;
    CSecondPage second;
    CLastPage last;
    second.m_workInWizard = true;
    CPropertySheet wizard("Wizard");
    wizard.AddPage(&first);
    wizard.AddPage(&second);
    wizard.AddPage(&last);
    wizard.SetWizardMode();
    m_user->Expect(202, [](ModalContext& modal) {
        EXPECT_EQ(modal.kind, ModalKind::Wizard);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None); // Next
    });
    m_user->Expect(203, [&](ModalContext& modal) {
        // The posted command ran before this step: the work is done and Next is on again.
        EXPECT_EQ(second.m_worked, 1);
        std::vector<std::string> lines = DescribeControls(modal.window);
        EXPECT_EQ(lines[0], "1201 | progress | - | 7"); // the position 0 was taken as the range's first, 1
        EXPECT_EQ(lines[1], "1202 | listview | focused | "); // the first control that takes the focus
        EXPECT_EQ(lines[2], "1202.0 | Success\tSales | -");
        auto* results = static_cast<CListCtrl*>(CWnd::FromHandle(GetDlgItem(modal.ActivePage(), 1202)));
        EXPECT_EQ(results->GetColumnWidth(0), 66);
        EXPECT_EQ(results->GetColumnWidth(1), 2 * 66 - 16 - 1);
        EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::Hidden);
        EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
        EXPECT_EQ(Prompter::Instance().BeepCount(), 1u);
        EXPECT_EQ(Click(modal.window, ID_WIZBACK), UiActionError::Disabled);
        EXPECT_EQ(Click(modal.window, ID_WIZNEXT), UiActionError::None);
    });
    m_user->Expect(204, [](ModalContext& modal) {
        EXPECT_EQ(FindUiControl(modal.window, ID_WIZNEXT), GetDlgItem(modal.window, ID_WIZNEXT));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(modal.window, ID_WIZNEXT)));
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None); // Finish
    });
    EXPECT_EQ(wizard.DoModal(), ID_WIZFINISH);
}
