// The profile page of an NT user as an administrator meets it: stored paths shown in their form, the
// choice between a local and a connected home directory, the refusals of what cannot be a path, and the
// values the directory holds after apply.
#include "UserPagesWorld.h"

#include "host/services/HostServices.h"
#include "module/pages/users/NTUserPage_Profile.h"

namespace {

constexpr char kPageTitle[] = "Profile";

} // namespace

class NTUserProfilePageTest : public UserPagesWorld {
protected:
    static std::string Stored(const char* attr) {
        std::vector<std::string> values = Values(kUser, attr, kSyntaxCaseIgnoreString);
        return values.empty() ? "" : values.front();
    }
};

TEST_F(NTUserProfilePageTest, AStoredHomeDirectoryIsShownInItsForm) {
    struct LoadCase {
        const char* stored;
        int field;
        int radio;
    };
    const LoadCase cases[] = {
        {"C:\\Users\\Ann", kIdcProfileLocalPath, kIdcProfileLocal},
        {"\\\\Srv\\Home\\Ann", kIdcProfileNetworkPath, kIdcProfileConnect},
    };
    for (const LoadCase& load : cases) {
        SCOPED_TRACE(load.stored);
        SetAttr(kAttrAlternateHomeDirectory, load.stored);
        HWND page = OpenPage(kUser, kPageTitle);
        EXPECT_EQ(GetDialogTemplateId(page), kIddNTUserProfile);
        EXPECT_EQ(Text(page, load.field), load.stored);
        EXPECT_TRUE(Checked(page, load.radio));
        EXPECT_FALSE(Checked(page, load.radio == kIdcProfileLocal ? kIdcProfileConnect : kIdcProfileLocal));
        m_sheet->Close(kEndPagesCancel);
    }
}

TEST_F(NTUserProfilePageTest, ChoosingConnectFillsTheDriveAndChoosingLocalClearsIt) {
    SetAttr(kAttrAlternateHomeDirectory, "C:\\Users\\Ann");
    HWND page = OpenPage(kUser, kPageTitle);
    ASSERT_EQ(Click(page, kIdcProfileConnect), UiActionError::None);
    EXPECT_EQ(Text(page, kIdcProfileDrive), "Z:");
    EXPECT_EQ(Text(page, kIdcProfileLocalPath), "");
    ASSERT_EQ(TypeText(page, kIdcProfileNetworkPath, "\\\\Srv\\Home"), UiActionError::None);
    ASSERT_EQ(ChooseItem(page, kIdcProfileDrive, "H:"), UiActionError::None);
    ASSERT_TRUE(m_sheet->Apply().refusedPage == -1);
    EXPECT_EQ(Stored(kAttrAlternateHomeDirectory), "\\\\Srv\\Home");
    EXPECT_EQ(Stored(kAttrHomeDirDrive), "H:");

    // Back to local: the path typed for it before comes back, and the drive is emptied and written so.
    ASSERT_EQ(Click(page, kIdcProfileLocal), UiActionError::None);
    EXPECT_EQ(Text(page, kIdcProfileLocalPath), "C:\\Users\\Ann");
    EXPECT_EQ(Text(page, kIdcProfileDrive), "");
    EXPECT_EQ(Text(page, kIdcProfileNetworkPath), "");
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Stored(kAttrAlternateHomeDirectory), "C:\\Users\\Ann");
    EXPECT_EQ(Stored(kAttrHomeDirDrive), "");
}

TEST_F(NTUserProfilePageTest, TypingIntoAPathFieldChoosesItsForm) {
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_TRUE(Checked(page, kIdcProfileLocal));
    ASSERT_EQ(TypeText(page, kIdcProfileNetworkPath, "\\\\Srv\\Home"), UiActionError::None);
    EXPECT_TRUE(Checked(page, kIdcProfileConnect));
    ASSERT_EQ(TypeText(page, kIdcProfileLocalPath, "D:\\Home"), UiActionError::None);
    EXPECT_TRUE(Checked(page, kIdcProfileLocal));
    ASSERT_EQ(FocusControl(page, kIdcProfileDrive), UiActionError::None);
    EXPECT_TRUE(Checked(page, kIdcProfileConnect));
    EXPECT_EQ(Text(page, kIdcProfileNetworkPath), "\\\\Srv\\Home") << "the path last typed for it";
}

TEST_F(NTUserProfilePageTest, WhatCannotBeAPathIsRefusedWithItsMessage) {
    struct ValidateCase {
        int radio;
        int field;
        const char* typed;
        int message; // 0: accepted
    };
    const ValidateCase cases[] = {
        {kIdcProfileLocal, kIdcProfileLocalPath, "C:\\A:B", 30},
        {kIdcProfileLocal, kIdcProfileLocalPath, "CC\\Home", 30},
        {kIdcProfileLocal, kIdcProfileLocalPath, "1:\\Home", 30},
        {kIdcProfileLocal, kIdcProfileLocalPath, "d:\\Home\\Ann", 0},
        {kIdcProfileConnect, kIdcProfileNetworkPath, "\\\\Srv", 30},
        {kIdcProfileConnect, kIdcProfileNetworkPath, "\\\\Srv\\C:", 30},
        {kIdcProfileConnect, kIdcProfileNetworkPath, "\\Srv\\Home", 30},
        {kIdcProfileConnect, kIdcProfileNetworkPath, "\\\\Srv\\Home", 0},
        {kIdcProfileScript, kIdcProfileScript, "A:B.CMD", 31},
        {kIdcProfileScript, kIdcProfileScript, "Logon\\Ann.cmd", 0},
    };
    for (const ValidateCase& check : cases) {
        SCOPED_TRACE(check.typed);
        Prompter::Instance().Reset();
        HWND page = OpenPage(kUser, kPageTitle);
        if (check.radio != kIdcProfileScript) {
            ASSERT_EQ(Click(page, check.radio), UiActionError::None);
        }
        ASSERT_EQ(TypeText(page, check.field, check.typed), UiActionError::None);
        const HostSheet::ApplyResult applied = m_sheet->Apply();
        if (check.message == 0) {
            EXPECT_EQ(applied.refusedPage, -1);
            EXPECT_TRUE(ShownIds().empty());
        } else {
            EXPECT_EQ(applied.refusedPage, m_sheet->FindPage(kPageTitle));
            EXPECT_EQ(ShownIds(), (std::vector<int>{check.message}));
            EXPECT_NE(Prompter::Instance().Messages()[0].text.find(check.typed), std::string::npos);
            EXPECT_EQ(
                Stored(check.field == kIdcProfileScript ? kAttrScriptName : kAttrAlternateHomeDirectory), "");
        }
        m_sheet->Close(kEndPagesCancel);
        SetAttr(kAttrScriptName, "");
        SetAttr(kAttrAlternateHomeDirectory, "");
    }
}

TEST_F(NTUserProfilePageTest, ProfileAndScriptAreWrittenAndAnEmptyFieldRemovesItsValue) {
    SetAttr(kAttrScriptName, "old.cmd");
    SetAttr(kAttrCN, "Ann");
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_EQ(Text(page, kIdcProfileScript), "old.cmd");
    EXPECT_EQ(Text(page, kIdcProfileCommonName), "Ann");
    ASSERT_EQ(TypeText(page, kIdcProfilePath, "\\\\Srv\\Profiles\\Ann"), UiActionError::None);
    ASSERT_EQ(ClearText(page, kIdcProfileScript), UiActionError::None);
    EXPECT_FALSE(m_sheet->Changes().empty());
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Stored(kAttrProfilePath), "\\\\Srv\\Profiles\\Ann");
    EXPECT_EQ(Stored(kAttrScriptName), "");
    EXPECT_EQ(Prompter::Instance().HelpCalls().size(), 0u);
}

TEST_F(NTUserProfilePageTest, WithoutTheWriteRightTheFieldsCannotBeChanged) {
    SetAttr(kAttrProfilePath, "\\\\Srv\\Profiles\\Ann");
    SignIn(kReader);
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_EQ(Text(page, kIdcProfilePath), "\\\\Srv\\Profiles\\Ann");
    EXPECT_TRUE(ReadOnly(page, kIdcProfilePath));
    EXPECT_TRUE(ReadOnly(page, kIdcProfileScript));
    for (int id : {kIdcProfileLocal, kIdcProfileConnect, kIdcProfileLocalPath, kIdcProfileNetworkPath,
                   kIdcProfileDrive}) {
        EXPECT_FALSE(Enabled(page, id)) << id;
    }
    EXPECT_EQ(SendMessageA(page, kMsgPageHelp, 0, 0), 0);
    ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
    EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, kHelpNTUserProfile);
}

TEST_F(NTUserProfilePageTest, OutsideTheNormalModeTheDrivesAreListedButNothingIsLoaded) {
    SetAttr(kAttrScriptName, "old.cmd");
    HostServices::Instance().SetQueryMode(2);
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_EQ(SendMessageA(GetDlgItem(page, kIdcProfileDrive), CB_GETCOUNT, 0, 0), 24);
    EXPECT_EQ(Text(page, kIdcProfileScript), "");
    EXPECT_EQ(Text(page, kIdcProfileCommonName), "");
}
