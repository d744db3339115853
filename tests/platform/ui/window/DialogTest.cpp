// Dialogs as a person uses them: typing, limits, read-only and disabled fields, data exchange with the
// numeric refusals, check boxes and radio groups, and modal runs driven by the scripted user.
#include "UiWinFixture.h"

#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dialog.h"
#include "platform/ui/window/UserActions.h"

#include <map>

namespace {

class CFieldsDialog : public CDialog {
public:
    CFieldsDialog() : CDialog(200) {}

    CString m_name = "ab";
    int m_number = 7;
    UINT m_count = 3;
    int m_check = 0;
    int m_radio = 2;
    std::map<int, int> m_changes;
    int m_checkClicks = 0;
    std::vector<UINT> m_radioClicks;
    int m_comboChanges = 0;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        auto* combo = static_cast<CComboBox*>(GetDlgItem(1042));
        combo->AddString("Second");
        combo->AddString("First");
        return TRUE;
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, 1001, m_name);
        DDV_MaxChars(dx, m_name, 5);
        DDX_Text(dx, 1004, m_number);
        DDX_Text(dx, 1005, m_count);
        DDX_Check(dx, 1010, m_check);
        DDX_Radio(dx, 1020, m_radio);
    }
    void OnNameChange() { ++m_changes[1001]; }
    void OnFixedChange() { ++m_changes[1002]; }
    void OnCheckClicked() { ++m_checkClicks; }
    void OnRadio(UINT id) { m_radioClicks.push_back(id); }
    void OnComboChange() { ++m_comboChanges; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CFieldsDialog, CDialog)
ON_EN_CHANGE(1001, OnNameChange)
ON_EN_CHANGE(1002, OnFixedChange)
ON_BN_CLICKED(1010, OnCheckClicked)
ON_CONTROL_RANGE(BN_CLICKED, 1020, 1022, OnRadio)
ON_CBN_SELCHANGE(1042, OnComboChange)
END_MESSAGE_MAP()

std::string Text(const CDialog& dialog, int id) {
    return GetWindowTextString(GetDlgItem(dialog.m_hWnd, id));
}

} // namespace

TEST_F(UiWinTest, TypingChangesOncePerCharacterAndStopsAtTheLimit) {
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(200));
    // Putting the members in notified nobody.
    EXPECT_EQ(Text(dialog, 1001), "ab");
    EXPECT_TRUE(dialog.m_changes.empty());

    EXPECT_EQ(TypeText(dialog.m_hWnd, 1001, "wxyzqv"), UiActionError::None);
    EXPECT_EQ(Text(dialog, 1001), "wxyzq");
    EXPECT_EQ(dialog.m_changes[1001], 5);

    EXPECT_EQ(TypeText(dialog.m_hWnd, 1002, "x"), UiActionError::None); // refused by the edit, not an error
    EXPECT_EQ(Text(dialog, 1002), "fixed");
    EXPECT_EQ(dialog.m_changes[1002], 0);

    EXPECT_EQ(ClearText(dialog.m_hWnd, 1001), UiActionError::None);
    EXPECT_EQ(Text(dialog, 1001), "");
    EXPECT_EQ(dialog.m_changes[1001], 6);
    EXPECT_EQ(ClearText(dialog.m_hWnd, 1001), UiActionError::None); // nothing left to delete
    EXPECT_EQ(dialog.m_changes[1001], 6);

    EXPECT_EQ(TypeText(dialog.m_hWnd, 1040, "x"), UiActionError::Disabled);
    EXPECT_EQ(Click(dialog.m_hWnd, 1041), UiActionError::Hidden);
    EXPECT_EQ(Click(dialog.m_hWnd, 4711), UiActionError::NoSuchControl);
    EXPECT_EQ(TypeText(dialog.m_hWnd, 1010, "x"), UiActionError::WrongKind);
    dialog.DestroyWindow();
}

TEST_F(UiWinTest, ShowListsEveryControlAsAPersonSeesIt) {
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(200));
    EXPECT_EQ(TypeText(dialog.m_hWnd, 1003, "sécret"), UiActionError::None);
    EXPECT_EQ(ChooseItem(dialog.m_hWnd, 1042, "Second"), UiActionError::None);
    EXPECT_EQ(dialog.m_comboChanges, 1);
    std::vector<std::string> lines = DescribeControls(dialog.m_hWnd);
    std::vector<std::string> expected = {
        "1001 | edit | - | ab",
        "1002 | edit | readonly | fixed",
        "1003 | edit | - | ******",
        "1004 | edit | - | 7",
        "1005 | edit | - | 3",
        "1010 | checkbox | - | Check",
        "1020 | radio | - | A",
        "1021 | radio | - | B",
        "65535 | static | - | label inside the group",
        "1022 | radio | checked | C",
        "1030 | radio | - | After",
        "1040 | edit | disabled | ",
        "1041 | button | hidden | Hidden",
        "1042 | combobox | focused | Second",
        "1 | button | - | OK",
        "2 | button | - | Cancel",
    };
    EXPECT_EQ(lines, expected);
    dialog.DestroyWindow();
}

TEST_F(UiWinTest, NumbersThatDoNotParseAreRefusedWithThePlatformMessage) {
    struct Case {
        int id;
        const char* typed;
        bool taken;
        int messageId;
        const char* message;
    };
    const Case cases[] = {
        {1004, "", false, 61712, "Type a whole number, please."},
        {1004, "12x", false, 61712, "Type a whole number, please."},
        {1004, "99999999999", false, 61712, "Type a whole number, please."},
        {1004, " -42 ", true, 0, ""},
        {1005, "-5", false, 61718, "Please enter a positive integer."}, // not in the library: built-in text
        {1005, "", false, 61718, "Please enter a positive integer."},
        {1005, "4294967295", true, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("field ") + std::to_string(c.id) + " with \"" + c.typed + "\"");
        Prompter::Instance().Reset();
        CFieldsDialog dialog;
        ASSERT_TRUE(dialog.Create(200));
        SetDlgItemTextA(dialog.m_hWnd, c.id, c.typed);
        BOOL taken = dialog.UpdateData(TRUE);
        EXPECT_EQ(taken != FALSE, c.taken);
        const auto& shown = Prompter::Instance().Messages();
        if (c.taken) {
            EXPECT_TRUE(shown.empty());
            if (c.id == 1004) {
                EXPECT_EQ(dialog.m_number, -42);
            } else {
                EXPECT_EQ(dialog.m_count, 4294967295u);
            }
        } else {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].stringId, c.messageId);
            EXPECT_EQ(shown[0].text, c.message);
            EXPECT_EQ(GetFocusWindow(), GetDlgItem(dialog.m_hWnd, c.id));
            EXPECT_EQ(dialog.m_number, 7);
            EXPECT_EQ(dialog.m_count, 3u);
        }
        dialog.DestroyWindow();
    }
}

TEST_F(UiWinTest, TextLongerThanItsMaximumIsRefusedWhenTakenIn) {
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(200));
    SetDlgItemTextA(dialog.m_hWnd, 1001, "abcdef"); // set directly: typing could not get past five
    EXPECT_FALSE(dialog.UpdateData(TRUE));
    ASSERT_EQ(Prompter::Instance().Messages().size(), 1u);
    EXPECT_EQ(Prompter::Instance().Messages()[0].stringId, 61715);
    EXPECT_EQ(Prompter::Instance().Messages()[0].text, "Please enter no more than 5 characters.");
    SetDlgItemTextA(dialog.m_hWnd, 1001, "abcde");
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_name, "abcde");
    dialog.DestroyWindow();
}

TEST_F(UiWinTest, CheckBoxesToggleAndRadioButtonsKeepToTheirGroup) {
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(200));
    EXPECT_EQ(Click(dialog.m_hWnd, 1010), UiActionError::None);
    EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 1010), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(Click(dialog.m_hWnd, 1010), UiActionError::None);
    EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 1010), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(dialog.m_checkClicks, 2);

    // Index 2 is the third radio button: the label between B and C does not count.
    EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 1022), static_cast<UINT>(BST_CHECKED));
    CheckDlgButton(dialog.m_hWnd, 1030, BST_CHECKED);
    EXPECT_EQ(Click(dialog.m_hWnd, 1020), UiActionError::None);
    EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 1020), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 1022), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 1030), static_cast<UINT>(BST_CHECKED)); // another group
    EXPECT_EQ(dialog.m_radioClicks, std::vector<UINT>{1020});
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_radio, 0);
    EXPECT_EQ(dialog.m_checkClicks, 2); // taking values in clicks nothing

    CheckRadioButton(dialog.m_hWnd, 1020, 1022, 0);
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_radio, -1);
    dialog.DestroyWindow();
}

TEST_F(UiWinTest, ModalDialogsEndWithWhatThePersonPressed) {
    {
        CFieldsDialog dialog;
        m_user->Expect(200, [](ModalContext& modal) {
            EXPECT_EQ(TypeText(modal.window, 1004, "12"), UiActionError::None);
            EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
        });
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(dialog.m_number, 12);
        EXPECT_EQ(dialog.m_hWnd, nullptr);
    }
    {
        // A refused field keeps the dialog open; Escape then cancels it.
        CFieldsDialog dialog;
        m_user->Expect(200, [](ModalContext& modal) {
            EXPECT_EQ(TypeText(modal.window, 1004, "twelve"), UiActionError::None);
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
        });
        m_user->Expect(200, [](ModalContext& modal) {
            EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_EQ(Prompter::Instance().Messages().size(), 1u);
        EXPECT_EQ(dialog.m_number, 7);
    }
    {
        // No step for it: the run fails, never a silent cancel.
        CFieldsDialog dialog;
        EXPECT_EQ(dialog.DoModal(), -1);
        std::vector<std::string> failures = TakeDriverFailures();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0], "no scripted step for modal window of template 200");
    }
}

namespace {

// One radio button that is a group of its own, and an edit whose focus is watched, as the expiration page
// uses them.
class COneButtonDialog : public CDialog {
public:
    COneButtonDialog() : CDialog(200) {}
    int m_after = 1;
    int m_focusEntered = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Radio(dx, 1030, m_after); }
    void OnNameFocus() { ++m_focusEntered; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COneButtonDialog, CDialog)
ON_EN_SETFOCUS(1001, OnNameFocus)
END_MESSAGE_MAP()

} // namespace

TEST_F(UiWinTest, AOneButtonRadioGroupExchangesZeroForOnAndMinusOneForOff) {
    struct Case {
        int member;
        UINT shown;
        int takenBack;
    };
    const Case cases[] = {{0, BST_CHECKED, 0}, {1, BST_UNCHECKED, -1}, {-1, BST_UNCHECKED, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        COneButtonDialog dialog;
        dialog.m_after = c.member;
        ASSERT_TRUE(dialog.Create(200));
        EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 1030), c.shown);
        ASSERT_TRUE(dialog.UpdateData(TRUE));
        EXPECT_EQ(dialog.m_after, c.takenBack);
        dialog.DestroyWindow();
    }
}

TEST_F(UiWinTest, TheFocusEnteringAnEditIsReportedEachTime) {
    COneButtonDialog dialog;
    ASSERT_TRUE(dialog.Create(200));
    int atStart = dialog.m_focusEntered; // the dialog starts with the focus in its first field
    EXPECT_EQ(atStart, 1);
    EXPECT_EQ(FocusControl(dialog.m_hWnd, 1001), UiActionError::None); // already there: nothing new
    EXPECT_EQ(dialog.m_focusEntered, 1);
    EXPECT_EQ(Click(dialog.m_hWnd, 1010), UiActionError::None);
    EXPECT_EQ(TypeText(dialog.m_hWnd, 1001, "x"), UiActionError::None);
    EXPECT_EQ(dialog.m_focusEntered, 2);
    dialog.DestroyWindow();
}
