// The NT systems of a template as an administrator meets them: open the template's details, pick systems
// in the host's browser, remove them, apply, and find the template's list in the directory.
#include "TemplatePagesWorld.h"

class TemplatePage_ServersTest : public TemplatePagesWorld {
protected:
    static std::vector<std::string> Servers() {
        return TemplateValues(kAttrApplicationServerList, kSyntaxDistinguishedName);
    }
};

TEST_F(TemplatePage_ServersTest, PickedSystemsAreListedByFullNameAndWrittenByTheApply) {
    HWND page = OpenTemplatePage(kServersTitle);
    EXPECT_EQ(GetDialogTemplateId(page), kIddTemplateServers);
    EXPECT_TRUE(Enabled(page, kIdcServersAdd));
    EXPECT_FALSE(Enabled(page, kIdcServersRemove));
    for (int hidden : {kIdcServersUnused1, kIdcServersUnused2, kIdcServersUnused3}) {
        EXPECT_FALSE(Visible(page, hidden)) << hidden;
    }
    PickThrough(page, kIdcServersAdd, {kPickWs, kPickNtd});
    ASSERT_EQ(m_queries.size(), 1u);
    EXPECT_EQ(m_queries[0].option, 8u);
    EXPECT_EQ(m_queries[0].startContext, "Corp");
    EXPECT_EQ(m_queries[0].classFilter, (std::vector<std::string>{kClassNtWorkgroupSystem, kClassNtDomain}));
    EXPECT_EQ(Rows(page, kIdcServersList), (std::vector<std::string>{kDomain, kWorkstation}));
    EXPECT_TRUE(Servers().empty()) << "written by the apply";
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Servers(), (std::vector<std::string>{kDomain, kWorkstation}));
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(TemplatePage_ServersTest, ASystemThatCannotTakeAnAccountNamedAfterTheTemplateIsRefused) {
    AddObject("Tmpl.WS1.Corp", kClassNtUser); // named like the template
    struct Case {
        const char* name;
        std::vector<BrowsePick> picks;
        std::vector<int> shown;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"an object of the template's name exists", {kPickWs}, {24}, {}},
        {"the NT system holds nothing yet", {kPickEmpty}, {23}, {}},
        {"the same NT system twice", {kPickNtd, kPickNtd}, {}, {kDomain}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prompter::Instance().Reset();
        HWND page = OpenTemplatePage(kServersTitle);
        PickThrough(page, kIdcServersAdd, c.picks);
        EXPECT_EQ(ShownIds(), c.shown);
        EXPECT_EQ(Rows(page, kIdcServersList), c.rows);
        m_sheet->Close(kEndPagesCancel);
    }
    EXPECT_TRUE(Servers().empty());
}

TEST_F(TemplatePage_ServersTest, RemovedSystemsLeaveTheListAtTheApply) {
    for (const char* server : {kDomain, kWorkstation, kEmptyDomain}) {
        PutTemplate(kAttrApplicationServerList, kSyntaxDistinguishedName, server);
    }
    HWND page = OpenTemplatePage(kServersTitle);
    EXPECT_EQ(Rows(page, kIdcServersList), (std::vector<std::string>{kEmptyDomain, kDomain, kWorkstation}));
    ASSERT_EQ(SelectItems(page, kIdcServersList, {kDomain, kEmptyDomain}), UiActionError::None);
    ASSERT_TRUE(Enabled(page, kIdcServersRemove));
    ASSERT_EQ(Click(page, kIdcServersRemove), UiActionError::None);
    EXPECT_EQ(Rows(page, kIdcServersList), (std::vector<std::string>{kWorkstation}));
    EXPECT_FALSE(Enabled(page, kIdcServersRemove));
    EXPECT_EQ(Servers().size(), 3u) << "nothing changes before the apply";
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Servers(), (std::vector<std::string>{kWorkstation}));
}

TEST_F(TemplatePage_ServersTest, WithoutTheWriteRightTheListCannotBeChanged) {
    PutTemplate(kAttrApplicationServerList, kSyntaxDistinguishedName, kDomain);
    SignIn(kReader);
    HWND page = OpenTemplatePage(kServersTitle);
    EXPECT_EQ(Rows(page, kIdcServersList), (std::vector<std::string>{kDomain}));
    EXPECT_FALSE(Enabled(page, kIdcServersAdd));
    EXPECT_FALSE(Enabled(page, kIdcServersList));
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Servers(), (std::vector<std::string>{kDomain}));
}
