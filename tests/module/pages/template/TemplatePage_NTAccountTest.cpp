// The NT account defaults of a template as an administrator meets them: open the template's details, read
// what is stored, type, pick groups in the host's browser, apply, and find what the directory holds and
// which messages were shown.
#include "SheetPicture.h"
#include "TemplatePagesWorld.h"

#include <cstdlib>

namespace {

const BrowsePick kPickGlobal{kClassNtGlobalGroup, kGlobalGroup};
const BrowsePick kPickLocal{kClassNtLocalGroup, kLocalGroup};

} // namespace

class TemplatePage_NTAccountTest : public TemplatePagesWorld {
protected:
    HWND Open() { return OpenTemplatePage(kDefaultsTitle); }
    static void PutFlag(const char* attr, bool on) {
        CDirContext dir;
        const uint32_t value = on ? 1 : 0;
        ASSERT_EQ(SetAttrValue(dir.Get(), kTemplate, attr, kSyntaxBoolean, &value), 1) << attr;
    }
    static bool Flag(const char* attr) {
        CDirContext dir;
        uint32_t* value = nullptr;
        const bool on = ReadAttrValue(dir.Get(), kTemplate, attr, kSyntaxBoolean,
                                      reinterpret_cast<void**>(&value)) == 1 && *value != 0;
        std::free(value);
        return on;
    }
};

TEST_F(TemplatePage_NTAccountTest, StoredDefaultsShowAndAChangeWritesOnlyWhatChanged) {
    PutFlag(kAttrMustChangePassword, true);
    PutFlag(kAttrExpirePassword, false);
    PutFlag(kAttrGlobalAccount, false);
    PutTemplate(kAttrAlternateHomeDirectory, kSyntaxCaseIgnoreString, "\\\\srv\\home");
    PutTemplate(kAttrHomeDirDrive, kSyntaxCaseIgnoreString, "H:");
    PutTemplate(kAttrTemplateGroups, kSyntaxCaseIgnoreString, "g.Admins");
    PutTemplate(kAttrTemplateGroups, kSyntaxCaseIgnoreString, "l.Locals");
    PutTemplate(kAttrTemplatePrimaryGroup, kSyntaxCaseIgnoreString, "Admins");
    std::vector<std::string> stations;
    for (int i = 1; i <= 10; ++i) {
        stations.push_back("PC" + std::to_string(i));
        PutTemplate(kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, stations.back());
    }
    HWND page = Open();
    EXPECT_EQ(GetDialogTemplateId(page), kIddTemplateAccount);
    EXPECT_TRUE(Checked(page, kIdcTplMustChange));
    EXPECT_TRUE(Checked(page, kIdcTplNeverExpires));
    EXPECT_FALSE(Checked(page, kIdcTplGlobalAccount));
    EXPECT_TRUE(Checked(page, kIdcTplConnect));
    EXPECT_FALSE(Checked(page, kIdcTplLocal));
    EXPECT_EQ(Text(page, kIdcTplNetworkPath), "\\\\srv\\home");
    EXPECT_EQ(Text(page, kIdcTplDrive), "H:");
    EXPECT_EQ(Rows(page, kIdcTplGroups), (std::vector<std::string>{"Admins", "Locals"}));
    EXPECT_EQ(Text(page, kIdcTplPrimaryGroup), "Admins");
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(Text(page, kTplWorkstationIds[i]), stations[i]);
    }
    EXPECT_TRUE(Enabled(page, kIdcTplAddGroup));

    ASSERT_EQ(TypeText(page, kIdcTplProfilePath, "\\\\srv\\profiles"), UiActionError::None);
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(ShownIds(), (std::vector<int>{26})) << "both password boxes were set";
    EXPECT_EQ(TemplateValues(kAttrProfilePath), (std::vector<std::string>{"\\\\srv\\profiles"}));
    EXPECT_FALSE(Flag(kAttrMustChangePassword)) << "cleared";
    EXPECT_FALSE(Flag(kAttrExpirePassword));
    EXPECT_FALSE(Flag(kAttrGlobalAccount));
    EXPECT_EQ(TemplateValues(kAttrEnabledWorkstationList), stations);
    EXPECT_EQ(TemplateValues(kAttrTemplateGroups), (std::vector<std::string>{"g.Admins", "l.Locals"}));

    // An emptied field leaves the list; the names past the fields stay after the others, in order.
    page = Open();
    ASSERT_EQ(ClearText(page, kTplWorkstationIds[7]), UiActionError::None);
    EXPECT_TRUE(m_sheet->Ok());
    std::vector<std::string> kept(stations.begin(), stations.begin() + 7);
    kept.insert(kept.end(), {"PC9", "PC10"});
    EXPECT_EQ(TemplateValues(kAttrEnabledWorkstationList), kept);
}

TEST_F(TemplatePage_NTAccountTest, MalformedScriptsAndHomeDirectoriesAreRefused) {
    struct Case {
        const char* script;
        bool local;
        const char* path;
        int shown; // 0: accepted
    };
    const Case cases[] = {
        {"logon.cmd", true, "C:\\users", 0}, {"logon.cmd", true, "", 0},
        {"c:logon.cmd", true, "", 31},       {"", true, "1:\\x", 30},
        {"", true, "C:x", 30},               {"", true, "C:\\a:b", 30},
        {"", false, "\\\\srv\\share", 0},    {"", false, "\\\\srv", 30},
        {"", false, "srv\\share", 30},       {"", false, "\\\\srv\\c:", 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + c.path);
        Prompter::Instance().Reset();
        HWND page = Open();
        ASSERT_EQ(TypeText(page, kIdcTplScript, c.script), UiActionError::None);
        ASSERT_EQ(Click(page, c.local ? kIdcTplLocal : kIdcTplConnect), UiActionError::None);
        ASSERT_EQ(TypeText(page, c.local ? kIdcTplLocalPath : kIdcTplNetworkPath, c.path), UiActionError::None);
        const HostSheet::ApplyResult result = m_sheet->Apply();
        EXPECT_EQ(result.refusedPage >= 0, c.shown != 0);
        EXPECT_EQ(ShownIds(), c.shown != 0 ? std::vector<int>{c.shown} : std::vector<int>{});
        m_sheet->Close(kEndPagesCancel);
    }
    EXPECT_EQ(TemplateValues(kAttrAlternateHomeDirectory), (std::vector<std::string>{"\\\\srv\\share"}));
}

TEST_F(TemplatePage_NTAccountTest, SwitchingTheHomeDirectoryRestoresEachPathTyped) {
    HWND page = Open();
    ASSERT_EQ(Click(page, kIdcTplConnect), UiActionError::None);
    EXPECT_EQ(Text(page, kIdcTplDrive), "Z:");
    ASSERT_EQ(TypeText(page, kIdcTplNetworkPath, "\\\\srv\\home"), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcTplLocal), UiActionError::None);
    EXPECT_EQ(Text(page, kIdcTplNetworkPath), "");
    ASSERT_EQ(TypeText(page, kIdcTplLocalPath, "D:\\users"), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcTplConnect), UiActionError::None);
    EXPECT_EQ(Text(page, kIdcTplNetworkPath), "\\\\srv\\home");
    EXPECT_EQ(Text(page, kIdcTplLocalPath), "");
    EXPECT_EQ(Text(page, kIdcTplDrive), "Z:");
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(TemplateValues(kAttrAlternateHomeDirectory), (std::vector<std::string>{"\\\\srv\\home"}));
    EXPECT_EQ(TemplateValues(kAttrHomeDirDrive), (std::vector<std::string>{"Z:"}));
    page = Open();
    EXPECT_TRUE(Checked(page, kIdcTplConnect));
    EXPECT_EQ(Text(page, kIdcTplNetworkPath), "\\\\srv\\home");
    m_sheet->Close(kEndPagesCancel);
}

TEST_F(TemplatePage_NTAccountTest, GroupsArePickedStoredByTypeAndThePrimaryGroupStays) {
    HWND page = Open();
    PickThrough(page, kIdcTplAddGroup, {kPickGlobal, kPickLocal});
    ASSERT_EQ(m_queries.size(), 1u);
    EXPECT_EQ(m_queries[0].startContext, "Corp");
    EXPECT_EQ(m_queries[0].classFilter, (std::vector<std::string>{kClassNtLocalGroup, kClassNtGlobalGroup}));
    EXPECT_EQ(Rows(page, kIdcTplGroups), (std::vector<std::string>{"Admins", "Locals"}));
    ASSERT_EQ(SelectItems(page, kIdcTplGroups, {"Admins"}), UiActionError::None);
    ASSERT_TRUE(Enabled(page, kIdcTplSetPrimary));
    ASSERT_EQ(Click(page, kIdcTplSetPrimary), UiActionError::None);
    EXPECT_EQ(Text(page, kIdcTplPrimaryGroup), "Admins");
    ASSERT_EQ(SelectItems(page, kIdcTplGroups, {"Admins", "Locals"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcTplRemoveGroup), UiActionError::None);
    EXPECT_EQ(ShownIds(), (std::vector<int>{38}));
    EXPECT_EQ(Rows(page, kIdcTplGroups), (std::vector<std::string>{"Admins"}));
    PickThrough(page, kIdcTplAddGroup, {kPickLocal});
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(TemplateValues(kAttrTemplateGroups), (std::vector<std::string>{"g.Admins", "l.Locals"}));
    EXPECT_EQ(TemplateValues(kAttrTemplatePrimaryGroup), (std::vector<std::string>{"Admins"}));

    // The primary group removed alone takes the primary group with it.
    page = Open();
    ASSERT_EQ(SelectItems(page, kIdcTplGroups, {"Admins"}), UiActionError::None);
    ASSERT_EQ(Click(page, kIdcTplRemoveGroup), UiActionError::None);
    EXPECT_EQ(Text(page, kIdcTplPrimaryGroup), "");
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(TemplateValues(kAttrTemplateGroups), (std::vector<std::string>{"l.Locals"}));
    EXPECT_TRUE(TemplateValues(kAttrTemplatePrimaryGroup).empty());
}

TEST_F(TemplatePage_NTAccountTest, WithoutWriteRightsNothingCanBeChanged) {
    PutTemplate(kAttrTemplateGroups, kSyntaxCaseIgnoreString, "g.Admins");
    SignIn(kReader);
    HWND page = Open();
    EXPECT_EQ(Rows(page, kIdcTplGroups), (std::vector<std::string>{"Admins"}));
    for (int id : {kIdcTplAddGroup, kIdcTplMustChange, kIdcTplProfilePath, kIdcTplLocalPath, kIdcTplDrive,
                   kTplWorkstationIds[0]}) {
        EXPECT_FALSE(Enabled(page, id)) << id;
    }
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(TemplateValues(kAttrTemplateGroups), (std::vector<std::string>{"g.Admins"}));
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(TemplatePage_NTAccountTest, TheGlobalAccountBoxShownIsWhatIsStored) {
    // A template that holds no value shows the box checked; the first apply stores what it shows.
    HWND page = Open();
    EXPECT_TRUE(Checked(page, kIdcTplGlobalAccount));
    ASSERT_EQ(TypeText(page, kIdcTplScript, "logon.cmd"), UiActionError::None);
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_TRUE(Flag(kAttrGlobalAccount));

    page = Open();
    EXPECT_TRUE(Checked(page, kIdcTplGlobalAccount));
    ASSERT_EQ(Click(page, kIdcTplGlobalAccount), UiActionError::None);
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_FALSE(Flag(kAttrGlobalAccount));
    page = Open();
    EXPECT_FALSE(Checked(page, kIdcTplGlobalAccount)) << "stored as cleared, not taken away";
    m_sheet->Close(kEndPagesCancel);
}

TEST_F(TemplatePage_NTAccountTest, TheClosedDriveListLeavesWhatLiesUnderItToBeSeen) {
    // The drive list's template reaches down over the workstation fields; closed, it covers none of them,
    // nor the page between them.
    HWND page = Open();
    const RECT drive = ControlRect(page, kIdcTplDrive);
    const RECT first = ControlRect(page, kTplWorkstationIds[0]);
    const RECT second = ControlRect(page, kTplWorkstationIds[4]);
    const int x = drive.left + 20;
    ASSERT_GT(drive.bottom, second.bottom);
    ASSERT_TRUE(x > first.left && x < first.right && first.bottom < second.top);
    const SheetPicture picture(page);
    EXPECT_EQ(picture.At(x, (drive.top + 4)), 0xFFFFFFu) << "the closed box";
    for (int y = first.bottom; y < second.top; ++y)
        EXPECT_EQ(picture.At(x, y), 0xC0C0C0u) << "the page between the workstation fields, row " << y;
    EXPECT_EQ(picture.At(x, first.top), 0x808080u) << "the first workstation field's sunken edge";
    m_sheet->Close(kEndPagesCancel);
}
