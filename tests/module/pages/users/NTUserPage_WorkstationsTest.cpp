// The workstations page of an NT user as an administrator meets it: all workstations or the named ones,
// the names typed into the eight fields, and the list the directory holds after apply.
#include "UserPagesWorld.h"

#include "module/pages/users/NTUserPage_Workstations.h"

namespace {

constexpr char kPageTitle[] = "Workstations";

} // namespace

class NTUserWorkstationsPageTest : public UserPagesWorld {
protected:
    static std::vector<std::string> Stored() {
        return Values(kUser, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString);
    }
    static void Store(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            Put(kUser, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, name);
        }
    }
};

TEST_F(NTUserWorkstationsPageTest, NamesTypedIntoTheFieldsAreStoredInFieldOrderWithoutGaps) {
    struct TypeCase {
        std::vector<std::pair<int, std::string>> typed; // field index, name
        std::vector<std::string> stored;
    };
    const TypeCase cases[] = {
        {{{0, "WS01"}, {1, "WS02"}}, {"WS01", "WS02"}},
        {{{0, "WS01"}, {2, "WS03"}}, {"WS01", "WS03"}},
        {{{7, "LAST"}, {3, "MID"}}, {"MID", "LAST"}},
    };
    for (const TypeCase& typeCase : cases) {
        HWND page = OpenPage(kUser, kPageTitle);
        EXPECT_EQ(GetDialogTemplateId(page), kIddNTUserWorkstations);
        EXPECT_TRUE(Checked(page, kIdcWorkstationsAll));
        EXPECT_FALSE(Checked(page, kIdcWorkstationsListed));
        for (int i = 0; i < kWorkstationFields; ++i) {
            EXPECT_FALSE(Enabled(page, kIdcWorkstationEdits[i]));
            EXPECT_FALSE(Enabled(page, kIdcWorkstationLabels[i]));
        }
        ASSERT_EQ(Click(page, kIdcWorkstationsListed), UiActionError::None);
        EXPECT_TRUE(Checked(page, kIdcWorkstationsListed));
        EXPECT_FALSE(Checked(page, kIdcWorkstationsAll));
        for (const auto& [field, name] : typeCase.typed) {
            ASSERT_EQ(TypeText(page, kIdcWorkstationEdits[field], name), UiActionError::None);
        }
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Stored(), typeCase.stored);
        // Back to all workstations: every name goes.
        page = OpenPage(kUser, kPageTitle);
        EXPECT_TRUE(Checked(page, kIdcWorkstationsListed));
        ASSERT_EQ(Click(page, kIdcWorkstationsAll), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_TRUE(Stored().empty());
    }
}

TEST_F(NTUserWorkstationsPageTest, NamesBeyondTheEighthAreKeptAfterTheEightFields) {
    Store({"W1", "W2", "W3", "W4", "W5", "W6", "W7", "W8", "W9", "W10"});
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_TRUE(Checked(page, kIdcWorkstationsListed));
    EXPECT_EQ(Text(page, kIdcWorkstationEdits[0]), "W1");
    EXPECT_EQ(Text(page, kIdcWorkstationEdits[7]), "W8");
    ASSERT_EQ(TypeText(page, kIdcWorkstationEdits[1], "NEW2"), UiActionError::None);
    ASSERT_EQ(ClearText(page, kIdcWorkstationEdits[4]), UiActionError::None);
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Stored(), (std::vector<std::string>{"W1", "NEW2", "W3", "W4", "W6", "W7", "W8", "W9", "W10"}));
}

TEST_F(NTUserWorkstationsPageTest, ANameHasAtMostFifteenCharacters) {
    HWND page = OpenPage(kUser, kPageTitle);
    ASSERT_EQ(Click(page, kIdcWorkstationsListed), UiActionError::None);
    ASSERT_EQ(TypeText(page, kIdcWorkstationEdits[0], "ABCDEFGHIJKLMNOPQ"), UiActionError::None);
    EXPECT_EQ(Text(page, kIdcWorkstationEdits[0]), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(m_sheet->Changes().size(), 16u) << "the choice and one report a character taken";
}

TEST_F(NTUserWorkstationsPageTest, WithoutTheWriteRightTheChoiceAndTheNamesCannotBeChanged) {
    Store({"W1"});
    SignIn(kReader);
    HWND page = OpenPage(kUser, kPageTitle);
    EXPECT_EQ(Text(page, kIdcWorkstationEdits[0]), "W1");
    EXPECT_FALSE(Enabled(page, kIdcWorkstationsAll));
    EXPECT_FALSE(Enabled(page, kIdcWorkstationsListed));
    for (int id : kIdcWorkstationEdits) {
        EXPECT_TRUE(ReadOnly(page, id)) << id;
    }
    EXPECT_EQ(SendMessageA(page, kMsgPageHelp, 0, 0), 0);
    ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
    EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, kHelpNTUserWorkstations);
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Stored(), (std::vector<std::string>{"W1"}));
}

TEST_F(NTUserWorkstationsPageTest, AWorkgroupAccountSeesOnlyTheNote) {
    HWND page = OpenPage(kWorkgroupUser, kPageTitle);
    EXPECT_TRUE(Visible(page, kIdcWorkstationsWorkgroupNote));
    for (int id :
         {kIdcWorkstationsAll, kIdcWorkstationsListed, kIdcWorkstationsFrame, kIdcWorkstationEdits[0]}) {
        EXPECT_FALSE(Visible(page, id)) << id;
    }
}
