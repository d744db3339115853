// Two administrators at once: a page was loaded, then another administrator changed the same list (and the
// other side of its links), then the person changed the page and applied it. Each page writes only what its
// person changed, so what the other administrator added and removed meanwhile survives the apply.
#include "template/TemplatePagesWorld.h"

#include "module/core/SelectionDialog.h"
#include "module/pages/groups/GroupPage_Members.h"
#include "module/pages/users/NTUserPage_Groups.h"
#include "module/pages/users/NTUserPage_Workstations.h"

#include <functional>

namespace {

constexpr char kStaff[] = "Staff.NTD.Corp";
constexpr char kSales[] = "Sales.NTD.Corp";
constexpr char kBen[] = "Ben.NTD.Corp";
constexpr char kCat[] = "Cat.NTD.Corp";
constexpr char kDan[] = "Dan.NTD.Corp";
constexpr char kOtherDomain[] = "NTD2.Corp";

// One list to look at after the apply: its values joined by ",".
struct Watched {
    std::string object;
    const char* attr;
    uint32_t syntax;
};

struct Case {
    const char* name;
    std::function<void()> stored;
    std::function<HWND()> open;
    // The other administrator's add and remove, made while the page is open.
    std::function<void()> other;
    // The person's own change on the page.
    std::function<void(HWND)> person;
    std::vector<Watched> watched;
    std::vector<std::string> expected;
};

constexpr const char* kCaseNames[] = {"NtUserGroups",      "GlobalGroupMembers",
                                      "LocalGroupMembers", "NtUserWorkstations",
                                      "TemplateSystems",   "TemplateGroupsAndWorkstations"};

} // namespace

class OtherAdministratorTest : public TemplatePagesWorld, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        TemplatePagesWorld::SetUp();
        for (const char* group : {kStaff, kSales}) {
            AddObject(group, kClassNtGlobalGroup);
        }
        for (const char* user : {kBen, kCat, kDan}) {
            AddObject(user, kClassNtUser);
        }
        AddObject(kOtherDomain, kClassNtDomain);
        AddObject(std::string("Eve.") + kOtherDomain, kClassNtUser);
    }

    static void Take(const std::string& object, const char* attr, uint32_t syntax, const std::string& value) {
        CDirContext dir;
        ASSERT_EQ(RemoveAttrValue(dir.Get(), object.c_str(), attr, syntax, value.c_str()), 1)
            << object << " " << attr << " " << value << ": " << GetLastAttrError();
    }
    // Both sides of a membership, as another administrator's tool writes them.
    static void Join(const std::string& account, const std::string& group) {
        Put(group, kAttrMember, kSyntaxDistinguishedName, account);
        Put(account, kAttrGroupMembership, kSyntaxDistinguishedName, group);
    }
    static void Leave(const std::string& account, const std::string& group) {
        Take(account, kAttrGroupMembership, kSyntaxDistinguishedName, group);
        Take(group, kAttrMember, kSyntaxDistinguishedName, account);
    }

    // Clicks `button` and picks `rows` in the member selection dialog.
    void PickInDialog(HWND page, int button, std::vector<std::string> rows) {
        m_user->Expect(kIddSelection, [rows](ModalContext& modal) {
            EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, rows), UiActionError::None);
            EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
        });
        ASSERT_EQ(Click(page, button), UiActionError::None);
    }
    static void RemoveRow(HWND page, int list, int button, const std::string& row) {
        ASSERT_EQ(SelectItems(page, list, {row}), UiActionError::None);
        ASSERT_EQ(Click(page, button), UiActionError::None);
    }

    static std::string Joined(const Watched& watched) {
        std::string out;
        for (const std::string& value : Values(watched.object, watched.attr, watched.syntax)) {
            out += (out.empty() ? "" : ",") + value;
        }
        return out;
    }

    // The pages' cases, in the order of kCaseNames.
    std::vector<Case> Cases() {
        const auto groupMembers = [this](const char* name, const char* groupClass, const char* group) {
            return Case{name,
                        [=] {
                            Join(kUser, group);
                            Join(kBen, group);
                        },
                        [=, this] { return OpenPageOf(groupClass, group, "Members"); },
                        [=] {
                            Leave(kBen, group);
                            Join(kCat, group);
                        },
                        [this](HWND page) {
                            RemoveRow(page, kIdcGroupMembersList, kIdcGroupMembersRemove, "Ann");
                            PickInDialog(page, kIdcGroupMembersAdd, {"Dan"});
                        },
                        {{group, kAttrMember, kSyntaxDistinguishedName},
                         {kUser, kAttrGroupMembership, kSyntaxDistinguishedName},
                         {kBen, kAttrGroupMembership, kSyntaxDistinguishedName},
                         {kCat, kAttrGroupMembership, kSyntaxDistinguishedName},
                         {kDan, kAttrGroupMembership, kSyntaxDistinguishedName}},
                        {std::string(kCat) + "," + kDan, "", "", group, group}};
        };
        const std::vector<int> templateFields(std::begin(kTplWorkstationIds), std::end(kTplWorkstationIds));
        const std::vector<int> userFields(std::begin(kIdcWorkstationEdits), std::end(kIdcWorkstationEdits));
        // The person empties the first field and types a name into the third.
        const auto retypeWorkstations = [](HWND page, const std::vector<int>& fields) {
            ASSERT_EQ(ClearText(page, fields[0]), UiActionError::None);
            ASSERT_EQ(TypeText(page, fields[2], "WSP"), UiActionError::None);
        };
        const auto storeWorkstations = [](const std::string& object) {
            for (const char* name : {"WSA", "WSB"}) {
                Put(object, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, name);
            }
        };
        const auto otherWorkstations = [](const std::string& object) {
            Take(object, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, "WSB");
            Put(object, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, "WSO");
        };
        return {
            {"NtUserGroups",
             [] {
                 Join(kUser, kGlobalGroup);
                 Join(kUser, kStaff);
             },
             [this] { return OpenPageOf(kClassNtUser, kUser, "Groups"); },
             [] {
                 Leave(kUser, kStaff);
                 Join(kUser, kLocalGroup);
             },
             [this](HWND page) {
                 RemoveRow(page, kIdcUserGroupsList, kIdcUserGroupsRemove, "Admins");
                 PickInDialog(page, kIdcUserGroupsAdd, {"Sales"});
             },
             {{kUser, kAttrGroupMembership, kSyntaxDistinguishedName},
              {kGlobalGroup, kAttrMember, kSyntaxDistinguishedName},
              {kStaff, kAttrMember, kSyntaxDistinguishedName},
              {kLocalGroup, kAttrMember, kSyntaxDistinguishedName},
              {kSales, kAttrMember, kSyntaxDistinguishedName}},
             {std::string(kLocalGroup) + "," + kSales, "", "", kUser, kUser}},
            groupMembers("GlobalGroupMembers", kClassNtGlobalGroup, kGlobalGroup),
            groupMembers("LocalGroupMembers", kClassNtLocalGroup, kLocalGroup),
            {"NtUserWorkstations",
             [=] { storeWorkstations(kUser); },
             [this] { return OpenPageOf(kClassNtUser, kUser, "Workstations"); },
             [=] { otherWorkstations(kUser); },
             [=](HWND page) { retypeWorkstations(page, userFields); },
             {{kUser, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString}},
             {"WSP,WSO"}},
            {"TemplateSystems",
             [] {
                 PutTemplate(kAttrApplicationServerList, kSyntaxDistinguishedName, kDomain);
                 PutTemplate(kAttrApplicationServerList, kSyntaxDistinguishedName, kEmptyDomain);
             },
             [this] { return OpenTemplatePage(kServersTitle); },
             [] {
                 Take(kTemplate, kAttrApplicationServerList, kSyntaxDistinguishedName, kEmptyDomain);
                 PutTemplate(kAttrApplicationServerList, kSyntaxDistinguishedName, kOtherDomain);
             },
             [this](HWND page) {
                 RemoveRow(page, kIdcServersList, kIdcServersRemove, kDomain);
                 PickThrough(page, kIdcServersAdd, {kPickWs});
             },
             {{kTemplate, kAttrApplicationServerList, kSyntaxDistinguishedName}},
             {std::string(kOtherDomain) + "," + kWorkstation}},
            {"TemplateGroupsAndWorkstations",
             [=] {
                 PutTemplate(kAttrTemplateGroups, kSyntaxCaseIgnoreString, "g.Admins");
                 PutTemplate(kAttrTemplateGroups, kSyntaxCaseIgnoreString, "l.Locals");
                 storeWorkstations(kTemplate);
             },
             [this] { return OpenTemplatePage(kDefaultsTitle); },
             [=] {
                 Take(kTemplate, kAttrTemplateGroups, kSyntaxCaseIgnoreString, "l.Locals");
                 PutTemplate(kAttrTemplateGroups, kSyntaxCaseIgnoreString, "g.Staff");
                 otherWorkstations(kTemplate);
             },
             [=, this](HWND page) {
                 RemoveRow(page, kIdcTplGroups, kIdcTplRemoveGroup, "Admins");
                 PickThrough(page, kIdcTplAddGroup, {BrowsePick{kClassNtGlobalGroup, kSales}});
                 retypeWorkstations(page, templateFields);
             },
             {{kTemplate, kAttrTemplateGroups, kSyntaxCaseIgnoreString},
              {kTemplate, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString}},
             {"g.Staff,g.Sales", "WSP,WSO"}},
        };
    }
};

TEST_P(OtherAdministratorTest, WhatAnotherAdministratorChangedAfterThePageOpenedSurvivesItsApply) {
    const Case c = Cases().at(static_cast<size_t>(GetParam()));
    ASSERT_STREQ(c.name, kCaseNames[GetParam()]);
    c.stored();
    HWND page = c.open();
    ASSERT_NE(page, nullptr);
    c.other();
    c.person(page);
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_TRUE(ShownIds().empty());
    std::vector<std::string> found;
    for (const Watched& watched : c.watched) {
        found.push_back(Joined(watched));
    }
    EXPECT_EQ(found, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, OtherAdministratorTest,
                         ::testing::Range(0, static_cast<int>(std::size(kCaseNames))),
                         [](const ::testing::TestParamInfo<int>& info) { return kCaseNames[info.param]; });
