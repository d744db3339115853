// The change-password wizard as an administrator meets it: start it for a directory user, type the new
// password, go through its pages, and find the user's directory password changed, each NT account's sealed
// password (which only its NT system's private key opens), the messages shown, the result list and the
// clipboard.
#include "ModuleWorld.h"

#include "agent/KeyGenerator.h"
#include "agent/Unsealer.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/password/ChgPswdWizard.h"
#include "platform/dirclient/DirClient.h"
#include "platform/locale/Locale.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"
#include "platform/winapi/WinApi.h"

#include <algorithm>
#include <optional>

namespace {

constexpr char kAnn[] = "Ann.Corp";
constexpr char kOtherDomain[] = "NTD2.Corp";
constexpr char kAccountDomain[] = "Ann.NTD.Corp";
constexpr char kAccountWorkstation[] = "Ann.WS1.Corp";
constexpr char kAccountOther[] = "Ann.NTD2.Corp";

enum Id : int {
    kOldLabel = 1145,
    kOld = 1146,
    kNew = 1147,
    kConfirm = 1148,
    kAccountLine = 1151,
    kStepLine = 1152,
    kProgress = 1153,
    kResults = 1154,
    kCopy = 1155,
};

const agent::KeyPair& AgentKey(int which) {
    static const agent::KeyPair keys[] = {agent::GenerateKeyPair(848), agent::GenerateKeyPair(424)};
    return keys[which];
}

std::optional<std::string> Unseal(const std::vector<uint8_t>& sealed, int which) {
    const agent::KeyPair& key = AgentKey(which);
    agent::UnsealResult result =
        agent::UnsealPassword(key.privateBlob.data(), key.privateBlob.size(), sealed.data(), sealed.size());
    if (!result.ok) {
        return std::nullopt;
    }
    return std::string(result.password.begin(), result.password.end());
}

std::vector<uint8_t> Sealed(const char* account) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), account, kAttrAuthentication, kSyntaxOctetString);
    if (!value) {
        return {};
    }
    const auto* octets = static_cast<const DirOctetString*>(value.get());
    return {octets->data, octets->data + octets->length};
}

bool Contains(const std::vector<uint8_t>& haystack, const std::string& needle) {
    return !needle.empty() && std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
                                  haystack.end();
}

// Whether the directory takes `password` for `user`; signs in as the administrator again afterwards.
bool SignsInWith(const char* user, const char* password) {
    const bool ok = DirLogin(user, password) == kDirOk;
    EXPECT_EQ(DirLogin("Admin", ""), kDirOk);
    return ok;
}

std::vector<std::string> ReportRows(HWND page) {
    std::vector<std::string> rows;
    HWND list = GetDlgItem(page, kResults);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        rows.push_back(ListRowText(list, row));
    }
    return rows;
}

class ChgPswdWizardTest : public ModuleWorld {
protected:
    void SetUp() override {
        ModuleWorld::SetUp();
        AddObject(kOtherDomain, kClassNtDomain);
        AddObject(kAnn, kClassUser);
        for (const char* account : {kAccountDomain, kAccountWorkstation, kAccountOther}) {
            AddObject(account, kClassHybridUser);
        }
        Publish(kDomain, 0);
        Publish(kWorkstation, 1);
        ASSERT_EQ(DirPasswordCallB(Ctx().Get(), kAnn, "Before1", 0), kDirOk);
    }

    static CDirContext Ctx() { return CDirContext(); }

    static void Publish(const char* system, int which) {
        const agent::KeyPair& key = AgentKey(which);
        ASSERT_EQ(key.code, agent::kKeygenOk);
        CDirContext dir;
        DirOctetString value{static_cast<uint32_t>(key.publicBlob.size()),
                             const_cast<uint8_t*>(key.publicBlob.data())};
        ASSERT_EQ(SetAttrValue(dir.Get(), system, kAttrKelPublicKey, kSyntaxOctetString, &value), 1);
    }

    // Ann's stored list, which her page then lists.
    void ListAccounts(std::initializer_list<const char*> accounts) {
        CDirContext dir;
        for (const char* account : accounts) {
            m_listed.emplace_back(account);
            ASSERT_EQ(AddAttrValue(dir.Get(), kAnn, kAttrApplicationServerList, kSyntaxDistinguishedName, account),
                      1);
        }
    }

    // Starts the wizard as Ann's NT accounts page does, for the accounts it lists.
    INT_PTR RunWizard() { return RunChgPswdWizard(kAnn, m_listed); }

    static void SetInteger(const char* object, const char* attr, uint32_t value) {
        CDirContext dir;
        ASSERT_EQ(SetAttrValue(dir.Get(), object, attr, kSyntaxInteger, &value), 1);
    }

    // Page 1: types what is given (an empty text is left untouched) and presses Next.
    void TypeAndNext(std::string newPassword, std::string confirmation, std::string old = "") {
        m_user->Expect(kIddChgPswdPage1, [=](ModalContext& context) {
            HWND page = context.ActivePage();
            if (!old.empty()) {
                EXPECT_EQ(TypeText(page, kOld, old), UiActionError::None);
            }
            if (!newPassword.empty()) {
                EXPECT_EQ(TypeText(page, kNew, newPassword), UiActionError::None);
            }
            if (!confirmation.empty()) {
                EXPECT_EQ(TypeText(page, kConfirm, confirmation), UiActionError::None);
            }
            EXPECT_EQ(Click(context.window, ID_WIZNEXT), UiActionError::None);
        });
    }

    void CancelOnPage1() {
        m_user->Expect(kIddChgPswdPage1, [](ModalContext& context) {
            EXPECT_EQ(Click(context.window, IDCANCEL), UiActionError::None);
        });
    }

    // Page 2 has run by the time the person sees it: note what it shows, then Next.
    void NextOnPage2() {
        m_user->Expect(kIddChgPswdPage2, [this](ModalContext& context) {
            HWND page = context.ActivePage();
            m_progressEnd = static_cast<int>(SendMessageA(GetDlgItem(page, kProgress), PBM_GETPOS, 0, 0));
            m_doneLine = GetWindowTextString(GetDlgItem(page, kAccountLine));
            m_stepLine = GetWindowTextString(GetDlgItem(page, kStepLine));
            m_cancelVisible = IsWindowVisible(GetDlgItem(context.window, IDCANCEL)) != FALSE;
            EXPECT_EQ(Click(context.window, ID_WIZNEXT), UiActionError::None);
        });
    }

    // Page 3: note the rows, copy when asked, then Finish.
    void FinishOnPage3(bool copy) {
        m_user->Expect(kIddChgPswdPage3, [this, copy](ModalContext& context) {
            HWND page = context.ActivePage();
            m_rows = ReportRows(page);
            EXPECT_EQ(PressKey(context.window, UiKey::Escape), UiActionError::None) << "refused, not an error";
            if (copy) {
                EXPECT_EQ(Click(page, kCopy), UiActionError::None);
            }
            EXPECT_EQ(Click(context.window, ID_WIZFINISH), UiActionError::None);
        });
    }

    std::vector<CString> m_listed;
    int m_progressEnd = -1;
    std::string m_doneLine;
    std::string m_stepLine;
    bool m_cancelVisible = true;
    std::vector<std::string> m_rows;
};

TEST_F(ChgPswdWizardTest, TheNewPasswordReachesTheDirectoryAndEveryAccountSealedForItsSystem) {
    ListAccounts({kAccountDomain, kAccountWorkstation, kAccountOther});
    TypeAndNext("Secret9", "Secret9");
    NextOnPage2();
    FinishOnPage3(/*copy=*/true);

    EXPECT_EQ(RunWizard(), ID_WIZFINISH);

    EXPECT_TRUE(SignsInWith(kAnn, "Secret9"));
    EXPECT_FALSE(SignsInWith(kAnn, "Before1"));
    const std::vector<uint8_t> domainValue = Sealed(kAccountDomain);
    const std::vector<uint8_t> workstationValue = Sealed(kAccountWorkstation);
    ASSERT_EQ(domainValue.size(), 500u);
    ASSERT_EQ(workstationValue.size(), 500u);
    EXPECT_EQ(Unseal(domainValue, 0), "Secret9");
    EXPECT_EQ(Unseal(workstationValue, 1), "Secret9");
    EXPECT_EQ(Unseal(domainValue, 1), std::nullopt) << "another NT system's key opens nothing";
    EXPECT_FALSE(Contains(domainValue, "Secret9"));
    EXPECT_FALSE(Contains(workstationValue, "Secret9"));
    EXPECT_TRUE(Sealed(kAccountOther).empty()) << "its NT system published no key";

    EXPECT_EQ(m_progressEnd, 6 * 3 + 1);
    EXPECT_EQ(m_doneLine, "All NT accounts are done. Choose Next to see the results.");
    EXPECT_EQ(m_stepLine, "");
    EXPECT_FALSE(m_cancelVisible);
    EXPECT_EQ(m_rows, (std::vector<std::string>{"Success\tNTD.Corp", "Success\tWS1.Corp", "Failure\tNTD2.Corp"}));
    EXPECT_EQ(ClipboardGetText(),
              "Ann.Corp\r\nSuccess\tNTD.Corp\r\nSuccess\tWS1.Corp\r\nFailure\tNTD2.Corp\r\n");
    EXPECT_EQ(ShownIds(), std::vector<int>{kMsgChgPswdCopied});
    EXPECT_GE(Prompter::Instance().BeepCount(), 1u) << "Cancel on the last page is refused with a beep";
}

TEST_F(ChgPswdWizardTest, AUserWithoutAccountsChangesOnlyTheDirectoryPassword) {
    TypeAndNext("Alone12", "Alone12");
    NextOnPage2();
    FinishOnPage3(/*copy=*/false);

    EXPECT_EQ(RunWizard(), ID_WIZFINISH);

    EXPECT_TRUE(SignsInWith(kAnn, "Alone12"));
    EXPECT_EQ(m_progressEnd, 1);
    EXPECT_TRUE(m_rows.empty());
    EXPECT_TRUE(ShownIds().empty());
}

// Each refused page stays: the person cancels, and nothing has changed anywhere.
TEST_F(ChgPswdWizardTest, RefusedPasswordsChangeNothing) {
    struct Case {
        const char* name;
        const char* newPassword;
        const char* confirmation;
        uint32_t codePage;
        int message;
    };
    const Case cases[] = {
        {"new password empty", "", "", 1252, kMsgChgPswdNewMissing},
        {"confirmation empty", "Secret9", "", 1252, kMsgChgPswdConfirmMissing},
        {"confirmation differs", "Secret9", "Secret8", 1252, kMsgChgPswdMismatch},
        {"shorter than the largest NT minimum", "Seven77", "Seven77", 1252, kMsgChgPswdTooShort},
        // The conversion fails before the directory is asked: the directory password stays as it was.
        {"not in the NT code page", "Caf\xC3\xA9" "9999", "Caf\xC3\xA9" "9999", 20127, kMsgChgPswdNotConverted},
    };
    ListAccounts({kAccountDomain, kAccountWorkstation});
    SetInteger(kDomain, kAttrPasswordMinimumLength, 6);
    SetInteger(kWorkstation, kAttrPasswordMinimumLength, 8);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prompter::Instance().Reset();
        ASSERT_NE(LocSetTargetCodePage(c.codePage), 0);
        TypeAndNext(c.newPassword, c.confirmation);
        CancelOnPage1();

        EXPECT_EQ(RunWizard(), IDCANCEL);

        EXPECT_EQ(ShownIds(), std::vector<int>{c.message});
        EXPECT_TRUE(SignsInWith(kAnn, "Before1"));
        EXPECT_TRUE(Sealed(kAccountDomain).empty());
        EXPECT_TRUE(Sealed(kAccountWorkstation).empty());
    }
    LocResetTestHooks();
    static_cast<void>(LocSetTargetCodePage(1252));
}

TEST_F(ChgPswdWizardTest, TheDirectoryRefusalsAreNamedAndTheAccountsKeepTheirPasswords) {
    ListAccounts({kAccountDomain});
    // Eight characters suit the NT system; the directory asks for ten.
    SetInteger(kAnn, kAttrPasswordMinimumLength, 10);
    TypeAndNext("Eight888", "Eight888");
    CancelOnPage1();

    EXPECT_EQ(RunWizard(), IDCANCEL);

    EXPECT_EQ(ShownIds(), std::vector<int>{kMsgChgPswdDirTooShort});
    EXPECT_TRUE(SignsInWith(kAnn, "Before1"));
    EXPECT_TRUE(Sealed(kAccountDomain).empty());
}

TEST_F(ChgPswdWizardTest, ChangingOnesOwnPasswordAsksForTheOldOne) {
    ListAccounts({kAccountDomain});
    {
        CDirContext dir;
        const uint32_t yes = 1;
        ASSERT_EQ(SetAttrValue(dir.Get(), kAnn, kAttrPasswordRequired, kSyntaxBoolean, &yes), 1);
    }
    Grant(kAnn, kAnn, kAclAllAttributesRights, kDirRightRead | kDirRightWrite | kDirRightCompare);
    Grant(kCorp, kAnn, kAclAllAttributesRights, kDirRightRead | kDirRightWrite | kDirRightCompare);
    Grant(kCorp, kAnn, kAclEntryRights, kDirEntryBrowse);
    ASSERT_EQ(DirLogin(kAnn, "Before1"), kDirOk);
    bool oldEnabled = false;
    m_user->Expect(kIddChgPswdPage1, [&](ModalContext& context) {
        HWND page = context.ActivePage();
        oldEnabled = IsWindowEnabled(GetDlgItem(page, kOld)) != FALSE &&
                     IsWindowEnabled(GetDlgItem(page, kOldLabel)) != FALSE;
        EXPECT_EQ(TypeText(page, kNew, "Mine1234"), UiActionError::None);
        EXPECT_EQ(TypeText(page, kConfirm, "Mine1234"), UiActionError::None);
        EXPECT_EQ(Click(context.window, ID_WIZNEXT), UiActionError::None);
    });
    TypeAndNext("", "", "Before1");
    NextOnPage2();
    FinishOnPage3(/*copy=*/false);

    EXPECT_EQ(RunWizard(), ID_WIZFINISH);

    EXPECT_TRUE(oldEnabled);
    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    EXPECT_EQ(ShownIds(), std::vector<int>{kMsgChgPswdOldMissing});
    EXPECT_TRUE(SignsInWith(kAnn, "Mine1234"));
    EXPECT_EQ(Unseal(Sealed(kAccountDomain), 0), "Mine1234");
    EXPECT_EQ(m_rows, std::vector<std::string>{"Success\tNTD.Corp"});
}

// A site that offers self-service lets its users read their NT accounts and their NT systems' keys, and
// nothing more: a flag the user may not read leaves the old password asked for.
TEST_F(ChgPswdWizardTest, OnesOwnPasswordChangesWithTheOldOneWhenTheRequiredFlagCannotBeRead) {
    ListAccounts({kAccountDomain});
    Grant(kAnn, kAnn, kAttrApplicationServerList, kDirRightRead);
    Grant(kDomain, kAnn, kAttrKelPublicKey, kDirRightRead);
    Grant(kAccountDomain, kAnn, kAttrAuthentication, kDirRightRead | kDirRightWrite);
    ASSERT_EQ(DirLogin(kAnn, "Before1"), kDirOk);
    bool oldEnabled = false;
    m_user->Expect(kIddChgPswdPage1, [&](ModalContext& context) {
        HWND page = context.ActivePage();
        oldEnabled = IsWindowEnabled(GetDlgItem(page, kOld)) != FALSE;
        EXPECT_EQ(TypeText(page, kOld, "Before1"), UiActionError::None);
        EXPECT_EQ(TypeText(page, kNew, "Mine1234"), UiActionError::None);
        EXPECT_EQ(TypeText(page, kConfirm, "Mine1234"), UiActionError::None);
        EXPECT_EQ(Click(context.window, ID_WIZNEXT), UiActionError::None);
    });
    NextOnPage2();
    FinishOnPage3(/*copy=*/false);

    EXPECT_EQ(RunWizard(), ID_WIZFINISH);

    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    EXPECT_TRUE(oldEnabled);
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_TRUE(SignsInWith(kAnn, "Mine1234"));
    EXPECT_EQ(Unseal(Sealed(kAccountDomain), 0), "Mine1234");
    EXPECT_EQ(m_rows, std::vector<std::string>{"Success\tNTD.Corp"});
}

// Accounts that cannot be seen cannot follow: the wizard says so before anything changes.
TEST_F(ChgPswdWizardTest, AUserWhoseAccountsCannotBeReadKeepsEveryPassword) {
    ListAccounts({kAccountDomain});
    Grant(kDomain, kAnn, kAttrKelPublicKey, kDirRightRead);
    Grant(kAccountDomain, kAnn, kAttrAuthentication, kDirRightRead | kDirRightWrite);
    ASSERT_EQ(DirLogin(kAnn, "Before1"), kDirOk);
    m_listed.clear(); // her page shows nothing it could not read

    EXPECT_EQ(RunWizard(), -1);

    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    EXPECT_EQ(ShownIds(), std::vector<int>{kFmtChgPswdAccountsUnreadable});
    EXPECT_TRUE(SignsInWith(kAnn, "Before1"));
    EXPECT_TRUE(Sealed(kAccountDomain).empty());
}

TEST_F(ChgPswdWizardTest, AnotherUsersPasswordIsSetWithoutTheOldOne) {
    ListAccounts({kAccountDomain});
    bool oldEnabled = true;
    m_user->Expect(kIddChgPswdPage1, [&](ModalContext& context) {
        HWND page = context.ActivePage();
        oldEnabled = IsWindowEnabled(GetDlgItem(page, kOld)) != FALSE;
        EXPECT_EQ(TypeText(page, kNew, "123456789012345"), UiActionError::None);
        EXPECT_EQ(GetWindowTextString(GetDlgItem(page, kNew)), "12345678901234") << "14 characters at most";
        EXPECT_EQ(TypeText(page, kConfirm, "12345678901234"), UiActionError::None);
        EXPECT_EQ(Click(context.window, ID_WIZNEXT), UiActionError::None);
    });
    NextOnPage2();
    FinishOnPage3(/*copy=*/false);

    EXPECT_EQ(RunWizard(), ID_WIZFINISH);

    EXPECT_FALSE(oldEnabled);
    EXPECT_TRUE(SignsInWith(kAnn, "12345678901234"));
    EXPECT_EQ(Unseal(Sealed(kAccountDomain), 0), "12345678901234");
}

TEST_F(ChgPswdWizardTest, ClipboardFailuresAreShown) {
    struct Case {
        WinApiFailure failure;
        const char* password;
        int message;
    };
    for (const Case& c : {Case{WinApiFailure::ClipboardOpen, "First111", kMsgChgPswdNoClipboard},
                          Case{WinApiFailure::GlobalAlloc, "Second22", kMsgChgPswdNoMemory}}) {
        Prompter::Instance().Reset();
        TypeAndNext(c.password, c.password);
        NextOnPage2();
        m_user->Expect(kIddChgPswdPage3, [&](ModalContext& context) {
            WinApiInjectFailure(c.failure);
            EXPECT_EQ(Click(context.ActivePage(), kCopy), UiActionError::None);
            EXPECT_EQ(Click(context.window, ID_WIZFINISH), UiActionError::None);
        });

        EXPECT_EQ(RunWizard(), ID_WIZFINISH);

        EXPECT_EQ(ShownIds(), std::vector<int>{c.message});
        WinApiClearInjectedFailures();
    }
}

TEST(ChgPswdSystemOf, TheNTSystemFollowsTheFirstUnescapedDot) {
    struct Case {
        const char* account;
        const char* system;
    };
    const Case cases[] = {
        {"Ann.NTD.Corp", "NTD.Corp"},
        {"a\\.b.SALES.CORP", "SALES.CORP"},
        {"a\\.b\\.c.NTD", "NTD"},
        {"Alone", "Alone"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChgPswdSystemOf(c.account).Str(), c.system) << c.account;
    }
}

} // namespace
