// Creating objects of the six KEL: classes as the administrator meets it: host message 258 with the parent
// container, the creation dialog, and what the directory holds and which messages were shown afterwards.
#include "ModuleWorld.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "host/services/HostServices.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/ui/window/UserActions.h"
#include "platform/winapi/Prompter.h"
#include "platform/winapi/WinApi.h"

#include <gmock/gmock.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr char kSnapInKey[] = "Software\\Corvane\\Parameters\\KelNTSnapIn";
constexpr char kIntegrationKey[] = "Software\\Corvane\\Parameters\\KelNTIntegration";
constexpr char kEmptyDomain[] = "EMPTY.Corp";

void SetDword(const char* keyName, const char* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetText(const char* keyName, const char* name, const char* text) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             static_cast<DWORD>(std::strlen(text) + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

struct Created {
    long answer = -999;
    std::string name;
};

Created Create(const char* className, const std::string& parent) {
    char buffer[514] = {};
    Created created;
    created.answer =
        HostServices::Instance()
            .SendToClass(className, parent, SNAP_CREATE_OBJECT, reinterpret_cast<unsigned long>(buffer))
            .value_or(-999);
    created.name = buffer;
    return created;
}

// Every value of a string attribute (syntax 1, 3 or 20), read as the signed-in identity.
std::vector<std::string> Values(const std::string& object, const char* attr, uint32_t syntax) {
    CDirContext dir;
    CStringArray values;
    static_cast<void>(ReadAttrValues(dir.Get(), object.c_str(), attr, syntax, &values));
    std::vector<std::string> out;
    for (int i = 0; i < values.GetSize(); ++i) {
        out.emplace_back(static_cast<const char*>(values[i]));
    }
    return out;
}

std::vector<std::string> Names(const std::string& object, const char* attr) {
    return Values(object, attr, kSyntaxDistinguishedName);
}

std::vector<std::string> Texts(const std::string& object, const char* attr) {
    return Values(object, attr, kSyntaxCaseIgnoreString);
}

std::string ClassOf(const std::string& object) {
    std::vector<std::string> classes = Values(object, kAttrObjectClass, kSyntaxClassName);
    return classes.empty() ? "" : classes.front();
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

std::string TextOf(HWND dialog, int id) {
    char text[600] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

class CreateDialogsTest : public ModuleWorld {
protected:
    void SetUp() override {
        ModuleWorld::SetUp();
        // An upload's request file stays for the integration utility: it goes to a folder the test removes.
        std::string pattern = (std::filesystem::temp_directory_path() / "create-dialogs-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_temp = pattern;
        const char* old = std::getenv("TMPDIR");
        m_oldTmp = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        setenv("TMPDIR", m_temp.c_str(), 1);
        AddObject(kEmptyDomain, kClassNtDomain);
        CDirContext dir;
        ASSERT_EQ(
            SetAttrValue(dir.Get(), kDomain, kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString, "Admins"), 1);
    }

    // The browser picks these objects, and remembers which classes it was asked to offer.
    void PickInBrowser(std::vector<std::string> names) {
        HostServices::Instance().SetBrowser([this, names](const BrowseQuery& query) {
            m_browsedClasses = query.classFilter;
            m_browsedFrom = query.startContext;
            BrowseAnswer answer;
            for (const std::string& name : names) {
                answer.picks.push_back({ClassOf(name), name});
            }
            return answer;
        });
    }

    void TearDown() override {
        if (m_oldTmp) {
            setenv("TMPDIR", m_oldTmp->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_temp, ignored);
        ModuleWorld::TearDown();
    }

    std::vector<std::string> m_browsedClasses;
    std::string m_browsedFrom;
    std::string m_temp;
    std::optional<std::string> m_oldTmp;
};

TEST_F(CreateDialogsTest, EachDialogAddsItsObjectWithItsNameAsCNOnceANameIsTyped) {
    struct Case {
        const char* className;
        UINT templateId;
        int nameId;
        const char* parent;
        const char* name;
    } cases[] = {
        {kClassNtDomain, 129, 1001, kCorp, "NEWDOM"},
        {kClassNtWorkgroupSystem, 130, 1001, kCorp, "WS2"},
        {kClassNtUser, 131, 100, kDomain, "pat\\.lee"},
        {kClassNtGlobalGroup, 132, 1004, kDomain, "Staff"},
        {kClassNtLocalGroup, 133, 100, kDomain, "Printers"},
        {kClassHybridUser, 145, 100, kDomain, "Hybrid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.className);
        m_user->Expect(c.templateId, [&c](ModalContext& modal) {
            EXPECT_FALSE(Enabled(modal.window, IDOK)) << "no name yet";
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::Disabled);
            EXPECT_EQ(TypeText(modal.window, c.nameId, c.name), UiActionError::None);
            EXPECT_TRUE(Enabled(modal.window, IDOK));
            if (c.templateId == 145) {
                EXPECT_EQ(TypeText(modal.window, 1025, kReader), UiActionError::None);
            }
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
        });
        const Created created = Create(c.className, c.parent);
        const std::string fullName = std::string(c.name) + "." + c.parent;
        EXPECT_EQ(created.answer, 0);
        EXPECT_EQ(created.name, fullName);
        EXPECT_EQ(ClassOf(fullName), c.className);
        // Added with its naming attribute: the leaf as typed.
        EXPECT_THAT(Texts(fullName, kAttrCN), ElementsAre(c.name));
    }
    // The profile and workstations pages show it as the account's user name.
    OpenDetails(kClassNtUser, "pat\\.lee.NTD.Corp");
    for (const auto& [title, id] : {std::pair{"Profile", 1104}, std::pair{"Workstations", 1109}}) {
        const int page = m_sheet->FindPage(title);
        ASSERT_GE(page, 0) << title;
        EXPECT_EQ(TextOf(m_sheet->Page(page), id), "pat\\.lee") << title;
    }
    m_sheet->Close(kEndPagesCancel);
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(CreateDialogsTest, TheTwoCheckBoxesExcludeEachOtherAndChooseTheAnswer) {
    struct Case {
        int box;
        int other;
        long answer;
    } cases[] = {{1002, 1003, 2}, {1003, 1002, 3}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "Group" + std::to_string(++n);
        m_user->Expect(133, [&c, &name](ModalContext& modal) {
            EXPECT_EQ(Click(modal.window, c.box), UiActionError::None);
            EXPECT_FALSE(Enabled(modal.window, c.other));
            EXPECT_EQ(Click(modal.window, c.box), UiActionError::None);
            EXPECT_TRUE(Enabled(modal.window, c.other)) << "clearing one box frees the other";
            EXPECT_EQ(Click(modal.window, c.box), UiActionError::None);
            EXPECT_EQ(TypeText(modal.window, 100, name), UiActionError::None);
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
        });
        const Created created = Create(kClassNtLocalGroup, kDomain);
        EXPECT_EQ(created.answer, c.answer) << c.box;
        EXPECT_EQ(created.name, name + "." + kDomain);
    }
}

TEST_F(CreateDialogsTest, AnEmptiedNameDisablesOkAndCancelAnswersMinusOne) {
    m_user->Expect(132, [](ModalContext& modal) {
        EXPECT_EQ(TypeText(modal.window, 1004, "Staff"), UiActionError::None);
        EXPECT_EQ(ClearText(modal.window, 1004), UiActionError::None);
        EXPECT_FALSE(Enabled(modal.window, IDOK));
        EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
    });
    const Created created = Create(kClassNtGlobalGroup, kDomain);
    EXPECT_EQ(created.answer, -1);
    EXPECT_EQ(created.name, "");
}

TEST_F(CreateDialogsTest, NamesStopAtTheirLimits) {
    struct Case {
        const char* className;
        UINT templateId;
        int id;
        size_t limit;
    } cases[] = {
        {kClassNtGlobalGroup, 132, 1004, 20}, {kClassNtUser, 131, 100, 20},
        {kClassNtUser, 131, 101, 64},         {kClassNtLocalGroup, 133, 100, 64},
        {kClassNtDomain, 129, 1001, 64},      {kClassHybridUser, 145, 100, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        m_user->Expect(c.templateId, [&c](ModalContext& modal) {
            EXPECT_EQ(TypeText(modal.window, c.id, std::string(c.limit + 1, 'x')), UiActionError::None);
            EXPECT_EQ(TextOf(modal.window, c.id), std::string(c.limit, 'x'));
            EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
        });
        EXPECT_EQ(Create(c.className, c.templateId == 129 ? kCorp : kDomain).answer, -1);
    }
}

TEST_F(CreateDialogsTest, AnAddTheDirectoryRefusesIsShownAndTheDialogStaysOpen) {
    struct Case {
        const char* className;
        UINT templateId;
        const char* parent;
        const char* name;
        int code;
    } cases[] = {
        {kClassNtGlobalGroup, 132, kDomain, "Admins", -709}, // the name is taken
        {kClassNtUser, 131, kDomain, "Locals", -709},        // taken by the local group
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prompter::Instance().Reset();
        m_user->Expect(c.templateId, [&c](ModalContext& modal) {
            EXPECT_EQ(TypeText(modal.window, c.templateId == 132 ? 1004 : 100, c.name), UiActionError::None);
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
            EXPECT_EQ(ActiveModals().size(), 1u) << "still open";
            EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
        });
        EXPECT_EQ(Create(c.className, c.parent).answer, -1);
        ASSERT_EQ(ShownIds(), std::vector<int>{18});
        EXPECT_NE(Prompter::Instance().Messages()[0].text.find("(error " + std::to_string(c.code) + ")"),
                  std::string::npos)
            << Prompter::Instance().Messages()[0].text;
    }
}

// Accounts and groups live directly in an NT system, NT systems never below one or below an account: a
// creation asked anywhere else is refused before its dialog opens, with nothing typed in vain (the host
// says what it asked and that it was refused).
TEST_F(CreateDialogsTest, ACreationWhereTheClassCannotLiveIsRefusedBeforeItsDialog) {
    const struct {
        const char* className;
        const char* parent;
    } cases[] = {
        {kClassNtUser, kCorp},     {kClassNtGlobalGroup, kCorp}, {kClassNtLocalGroup, "Nowhere.Corp"},
        {kClassHybridUser, kCorp}, {kClassNtDomain, kDomain},    {kClassNtWorkgroupSystem, "Nowhere.Corp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.className) + " in " + c.parent);
        Prompter::Instance().Reset();
        EXPECT_EQ(Create(c.className, c.parent).answer, -1);
        EXPECT_TRUE(ShownIds().empty());
    }
}

TEST_F(CreateDialogsTest, HelpIsTheClassesSectionOrAMessage) {
    struct Case {
        const char* className;
        UINT templateId;
        const char* parent;
        int helpContext; // 0: the message box
    } cases[] = {
        {kClassNtDomain, 129, kCorp, 0},       {kClassNtWorkgroupSystem, 130, kCorp, 0},
        {kClassNtUser, 131, kDomain, 4},       {kClassNtGlobalGroup, 132, kDomain, 2},
        {kClassNtLocalGroup, 133, kDomain, 3}, {kClassHybridUser, 145, kDomain, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.className);
        Prompter::Instance().Reset();
        m_user->Expect(c.templateId, [](ModalContext& modal) {
            EXPECT_EQ(PressKey(modal.window, UiKey::F1), UiActionError::None);
            EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
        });
        EXPECT_EQ(Create(c.className, c.parent).answer, -1);
        const Prompter& prompter = Prompter::Instance();
        if (c.helpContext == 0) {
            EXPECT_EQ(ShownIds(), std::vector<int>{57510});
            EXPECT_THAT(prompter.HelpCalls(), IsEmpty());
        } else {
            EXPECT_THAT(ShownIds(), IsEmpty());
            ASSERT_EQ(prompter.HelpCalls().size(), 1u);
            EXPECT_EQ(prompter.HelpCalls()[0].data, static_cast<ULONG_PTR>(c.helpContext));
        }
    }
}

TEST_F(CreateDialogsTest, AnEmptyNtSystemOffersTheUploadFirst) {
    struct Case {
        const char* className;
        const char* switchName;
        int answer; // to question 16
        bool switchOn;
        bool utility; // the registry names an integration utility
        std::vector<int> shown;
        bool dialog;
    } cases[] = {
        {kClassNtUser, "CreateNTUser", IDYES, true, true, {16, 10}, false},
        {kClassNtUser, "CreateNTUser", IDYES, true, false, {16, 57511}, false},
        {kClassNtUser, "CreateNTUser", IDNO, false, false, {16}, false},
        {kClassNtUser, "CreateNTUser", IDNO, true, false, {16}, true},
        {kClassNtGlobalGroup, "CreateGlobalGroup", IDNO, false, false, {16}, false},
        {kClassNtLocalGroup, "CreateLocalGroup", IDNO, true, false, {16}, true},
        {kClassHybridUser, "CreateHybridUser", IDNO, false, false, {16}, false},
    };
    const std::map<std::string, UINT> templates = {
        {kClassNtUser, 131}, {kClassNtGlobalGroup, 132}, {kClassNtLocalGroup, 133}, {kClassHybridUser, 145}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.className) + " " + std::to_string(c.answer) + " " +
                     std::to_string(c.switchOn));
        RegistryUseMemory();
        Prompter::Instance().Reset();
        SetDword(kSnapInKey, c.switchName, c.switchOn ? 1 : 0);
        if (c.utility) {
            // A utility that cannot start says so: proof that the upload was tried.
            SetText(kIntegrationKey, "PgmName", "/no/such/folder/ntupload");
            SetDword(kIntegrationKey, "ShowWindow", 1);
        }
        Prompter::Instance().QueueAnswer(c.answer);
        if (c.dialog) {
            m_user->Expect(templates.at(c.className), [](ModalContext& modal) {
                EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
            });
        }
        EXPECT_EQ(Create(c.className, kEmptyDomain).answer, -1);
        EXPECT_EQ(ShownIds(), c.shown);
        EXPECT_EQ(Prompter::Instance().Messages()[0].type & MB_YESNO, static_cast<UINT>(MB_YESNO));
    }
    // The NT systems themselves are never asked about.
    m_user->Expect(
        130, [](ModalContext& modal) { EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None); });
    Prompter::Instance().Reset();
    EXPECT_EQ(Create(kClassNtWorkgroupSystem, kCorp).answer, -1);
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(CreateDialogsTest, AnNtUserJoinsTheDefaultGroupAndTakesTheTemplate) {
    AddObject("Printers.NTD.Corp", kClassNtLocalGroup);
    AddObject("Staff.NTD.Corp", kClassNtGlobalGroup);
    AddObject("Tmpl.Corp", kClassTemplate);
    CDirContext dir;
    CStringArray groups;
    groups.Add("l.Printers");
    groups.Add("g.Staff");
    ASSERT_EQ(SetAttrValues(dir.Get(), "Tmpl.Corp", kAttrTemplateGroups, kSyntaxCaseIgnoreString, &groups),
              1);
    ASSERT_EQ(
        SetAttrValue(dir.Get(), "Tmpl.Corp", kAttrTemplatePrimaryGroup, kSyntaxCaseIgnoreString, "STAFF"), 1);
    ASSERT_EQ(SetAttrValue(dir.Get(), "Tmpl.Corp", kAttrDescription, kSyntaxCaseIgnoreString, "Sales staff"),
              1);
    ASSERT_EQ(SetAttrValue(dir.Get(), "Tmpl.Corp", kAttrScriptName, kSyntaxCaseIgnoreString, "logon.cmd"), 1);
    uint32_t on = 1;
    ASSERT_EQ(SetAttrValue(dir.Get(), "Tmpl.Corp", kAttrLoginDisabled, kSyntaxBoolean, &on), 1);
    uint8_t hours[21] = {};
    hours[0] = 0xF0;
    hours[20] = 0x0F;
    DirOctetString map{sizeof hours, hours};
    ASSERT_EQ(SetAttrValue(dir.Get(), "Tmpl.Corp", kAttrLoginAllowedTimeMap, kSyntaxOctetString, &map), 1);

    PickInBrowser({"Tmpl.Corp"});
    m_user->Expect(131, [](ModalContext& modal) {
        EXPECT_EQ(TypeText(modal.window, 100, "pmiller"), UiActionError::None);
        EXPECT_EQ(TypeText(modal.window, 101, "Pat van Miller"), UiActionError::None);
        EXPECT_EQ(Click(modal.window, 110), UiActionError::None);
        EXPECT_EQ(Click(modal.window, 1210), UiActionError::None);
        EXPECT_EQ(TextOf(modal.window, 1209), "Tmpl.Corp");
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    const std::string user = "pmiller.NTD.Corp";
    EXPECT_EQ(Create(kClassNtUser, kDomain).answer, 0);
    EXPECT_EQ(m_browsedClasses, std::vector<std::string>{"Template"});
    EXPECT_EQ(m_browsedFrom, kDomain);
    EXPECT_THAT(ShownIds(), IsEmpty());
    EXPECT_THAT(Texts(user, kAttrSurname), ElementsAre("Miller"));
    EXPECT_THAT(Texts(user, kAttrFullName), ElementsAre("Pat van Miller"));
    EXPECT_THAT(Texts(user, kAttrDescription), ElementsAre("Sales staff"));
    EXPECT_THAT(Texts(user, kAttrScriptName), ElementsAre("logon.cmd"));
    EXPECT_THAT(Names(user, kAttrGroupMembership),
                ElementsAre("Admins.NTD.Corp", "Printers.NTD.Corp", "Staff.NTD.Corp"));
    EXPECT_THAT(Names(user, kAttrPrimaryGroup), ElementsAre("Staff.NTD.Corp"));
    for (const char* group : {"Admins.NTD.Corp", "Printers.NTD.Corp", "Staff.NTD.Corp"}) {
        EXPECT_THAT(Names(group, kAttrMember), ElementsAre(user)) << group;
    }
    DirValuePtr disabled = ReadAttrValueOwned(dir.Get(), user.c_str(), kAttrLoginDisabled, kSyntaxBoolean);
    ASSERT_NE(disabled, nullptr);
    EXPECT_EQ(*static_cast<uint32_t*>(disabled.get()), 1u);
    // The template holds no global account value, which its page shows as global.
    DirValuePtr global = ReadAttrValueOwned(dir.Get(), user.c_str(), kAttrGlobalAccount, kSyntaxBoolean);
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(*static_cast<uint32_t*>(global.get()), 1u);
    DirValuePtr logonHours = ReadAttrValueOwned(dir.Get(), user.c_str(), kAttrLogonHours, kSyntaxOctetString);
    ASSERT_NE(logonHours, nullptr);
    const auto* stored = static_cast<DirOctetString*>(logonHours.get());
    ASSERT_EQ(stored->length, sizeof hours);
    EXPECT_EQ(std::memcmp(stored->data, hours, sizeof hours), 0);
}

TEST_F(CreateDialogsTest, WithoutUseTemplateOnlyTheDefaultGroupIsJoined) {
    AddObject("Tmpl.Corp", kClassTemplate);
    CDirContext dir;
    ASSERT_EQ(SetAttrValue(dir.Get(), "Tmpl.Corp", kAttrDescription, kSyntaxCaseIgnoreString, "Sales staff"),
              1);
    m_user->Expect(131, [](ModalContext& modal) {
        EXPECT_EQ(TypeText(modal.window, 100, "pat"), UiActionError::None);
        EXPECT_EQ(TypeText(modal.window, 1209, "Tmpl.Corp"), UiActionError::None);
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    EXPECT_EQ(Create(kClassNtUser, kDomain).answer, 0);
    EXPECT_THAT(Texts("pat.NTD.Corp", kAttrDescription), IsEmpty());
    EXPECT_THAT(Texts("pat.NTD.Corp", kAttrSurname), IsEmpty()) << "no full name typed";
    EXPECT_THAT(Names("pat.NTD.Corp", kAttrPrimaryGroup), ElementsAre(kGlobalGroup));
}

TEST_F(CreateDialogsTest, ADefaultGroupThatCannotBeJoinedIsReported) {
    CDirContext dir;
    ASSERT_EQ(SetAttrValue(dir.Get(), kDomain, kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString, "Nobody"),
              1);
    m_user->Expect(131, [](ModalContext& modal) {
        EXPECT_EQ(TypeText(modal.window, 100, "pat"), UiActionError::None);
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    EXPECT_EQ(Create(kClassNtUser, kDomain).answer, 0) << "the user stays";
    EXPECT_EQ(ShownIds(), (std::vector<int>{57352, 57375}));
    EXPECT_THAT(Names("pat.NTD.Corp", kAttrGroupMembership), IsEmpty());
    EXPECT_THAT(Names("pat.NTD.Corp", kAttrPrimaryGroup), IsEmpty());
}

TEST_F(CreateDialogsTest, AnNtUserDialogRemembersCreateAnother) {
    m_user->Expect(131, [](ModalContext& modal) {
        EXPECT_FALSE(Checked(modal.window, 1003));
        EXPECT_EQ(TypeText(modal.window, 100, "one"), UiActionError::None);
        EXPECT_EQ(Click(modal.window, 1003), UiActionError::None);
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    m_user->Expect(131, [](ModalContext& modal) {
        EXPECT_TRUE(Checked(modal.window, 1003));
        EXPECT_FALSE(Enabled(modal.window, 1002));
        EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
    });
    m_user->Expect(131, [](ModalContext& modal) {
        EXPECT_FALSE(Checked(modal.window, 1003)) << "a cancel clears it";
        EXPECT_TRUE(Enabled(modal.window, 1002));
        EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
    });
    EXPECT_EQ(Create(kClassNtUser, kDomain).answer, 3);
    EXPECT_EQ(Create(kClassNtUser, kDomain).answer, -1);
    EXPECT_EQ(Create(kClassNtUser, kDomain).answer, -1);
}

TEST_F(CreateDialogsTest, AHybridUserTakesTheWholeLeafOfItsDirectoryUser) {
    const std::string user = "J\\.Smith.Corp";
    AddObject(user, kClassUser);
    PickInBrowser({user});
    m_user->Expect(145, [](ModalContext& modal) {
        EXPECT_EQ(Click(modal.window, 1026), UiActionError::None);
        EXPECT_EQ(TextOf(modal.window, 1025), "J\\.Smith.Corp");
        EXPECT_EQ(TextOf(modal.window, 100), "J\\.Smith");
        EXPECT_TRUE(Enabled(modal.window, IDOK));
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    const Created created = Create(kClassHybridUser, kDomain);
    EXPECT_EQ(created.answer, 0);
    EXPECT_EQ(created.name, "J\\.Smith.NTD.Corp");
    EXPECT_EQ(m_browsedClasses, std::vector<std::string>{"User"});
    EXPECT_THAT(Names(created.name, kAttrQdsUser), ElementsAre(user));
    EXPECT_THAT(Names(user, kAttrApplicationServerList), ElementsAre(created.name));
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(CreateDialogsTest, AHybridUserItsDirectoryUserCannotListIsReported) {
    // The reader may create accounts in the domain but change nothing on the directory users.
    Grant(kDomain, kReader, kAclEntryRights, kDirEntryBrowse | kDirEntryCreate);
    Grant(kDomain, kReader, kAclAllAttributesRights, kDirRightRead | kDirRightWrite | kDirRightCompare);
    AddObject("Other.Corp", kClassUser);
    SignIn(kReader);
    m_user->Expect(145, [](ModalContext& modal) {
        EXPECT_EQ(TypeText(modal.window, 1025, "Other.Corp"), UiActionError::None);
        EXPECT_EQ(TypeText(modal.window, 100, "Other"), UiActionError::None);
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
    });
    EXPECT_EQ(Create(kClassHybridUser, kDomain).answer, 0);
    EXPECT_EQ(ShownIds(), std::vector<int>{57365});
    EXPECT_EQ(ClassOf("Other.NTD.Corp"), kClassHybridUser) << "the account stays";
    EXPECT_THAT(Names("Other.Corp", kAttrApplicationServerList), IsEmpty());
}

} // namespace

TEST_F(CreateDialogsTest, ANameThatIsNoLeafOfTheChosenContainerIsRefusedAndTheDialogStaysOpen) {
    AddObject("Sales.Corp", "Organizational Unit");
    struct Case {
        const char* className;
        UINT templateId;
        const char* typed;
        const char* wouldBe; // where the directory would have put it
    } cases[] = {
        {kClassNtDomain, 129, "NEW.Sales", "NEW.Sales.Corp"},
        {kClassNtWorkgroupSystem, 130, "WS\\", "WS\\.Corp"},
        {kClassNtDomain, 129, "D.", "D..Corp"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Prompter::Instance().Reset();
        const std::string corrected = "SYS" + std::to_string(++n);
        m_user->Expect(c.templateId, [&c, &corrected](ModalContext& modal) {
            EXPECT_EQ(TypeText(modal.window, 1001, c.typed), UiActionError::None);
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
            EXPECT_EQ(ActiveModals().size(), 1u) << "still open";
            EXPECT_EQ(TextOf(modal.window, 1001), c.typed) << "the name stays for correcting";
            EXPECT_EQ(TypeText(modal.window, 1001, corrected), UiActionError::None);
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
        });
        const Created created = Create(c.className, kCorp);
        EXPECT_EQ(created.answer, 0);
        EXPECT_EQ(created.name, corrected + "." + kCorp);
        EXPECT_EQ(ClassOf(c.wouldBe), "") << "nothing was made elsewhere";
        EXPECT_EQ(ClassOf(created.name), c.className);
        ASSERT_EQ(ShownIds(), std::vector<int>{57580});
        const std::string text = Prompter::Instance().Messages()[0].text;
        EXPECT_NE(text.find(std::string("\"") + c.typed + "\""), std::string::npos) << text;
        EXPECT_NE(text.find(kCorp), std::string::npos) << text;
    }
}
