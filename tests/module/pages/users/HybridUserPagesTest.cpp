// The pages of a hybrid user (an NT account of a directory user) as an administrator, or the directory user
// itself, meets them: open the account's details, type, click, apply, and find the values (and the sealed
// password, which the agent's private key opens) in the directory.
#include "UserPagesWorld.h"

#include "agent/KeyGenerator.h"
#include "agent/Unsealer.h"
#include "module/core/SelectionDialog.h"
#include "module/handlers/KelNTHybridUser.h"
#include "module/pages/users/HybridUserPage_ID.h"
#include "module/pages/users/HybridUserPages.h"

#include <optional>

namespace {

constexpr char kAccount[] = "hyb.NTD.Corp";
constexpr char kWorkgroupAccount[] = "hyb.WS1.Corp";
// The directory user the accounts belong to.
constexpr char kAnn[] = "Ann.Corp";

const agent::KeyPair& AgentKey() {
    static const agent::KeyPair key = agent::GenerateKeyPair(848);
    return key;
}

void SetOctets(const char* object, const char* attr, const agent::SecretBytes& bytes) {
    CDirContext dir;
    DirOctetString value{static_cast<uint32_t>(bytes.size()), const_cast<uint8_t*>(bytes.data())};
    ASSERT_EQ(SetAttrValue(dir.Get(), object, attr, kSyntaxOctetString, &value), 1) << GetLastAttrError();
}

void SetFlag(const char* object, const char* attr, bool on) {
    CDirContext dir;
    const uint32_t value = on ? 1 : 0;
    ASSERT_EQ(SetAttrValue(dir.Get(), object, attr, kSyntaxBoolean, &value), 1) << GetLastAttrError();
}

std::string Flag(const char* attr) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), kAccount, attr, kSyntaxBoolean);
    return !value ? "" : *static_cast<const uint8_t*>(value.get()) != 0 ? "true" : "false";
}

// What the agent reads out of the account's "KEL:Authentication"; nullopt when it holds nothing it opens.
std::optional<std::string> Unsealed(const char* account) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), account, kAttrAuthentication, kSyntaxOctetString);
    if (!value) {
        return std::nullopt;
    }
    const auto* octets = static_cast<const DirOctetString*>(value.get());
    EXPECT_EQ(octets->length, 500u);
    const agent::KeyPair& key = AgentKey();
    agent::UnsealResult result =
        agent::UnsealPassword(key.privateBlob.data(), key.privateBlob.size(), octets->data, octets->length);
    if (!result.ok) {
        return std::nullopt;
    }
    return std::string(result.password.begin(), result.password.end());
}

} // namespace

class HybridUserPagesTest : public UserPagesWorld {
protected:
    void SetUp() override {
        UserPagesWorld::SetUp();
        ASSERT_EQ(AgentKey().code, agent::kKeygenOk);
        SetOctets(kDomain, kAttrKelPublicKey, AgentKey().publicBlob);
        SetOctets(kWorkstation, kAttrKelPublicKey, AgentKey().publicBlob);
        AddObject(kAnn, kClassUser);
        for (const char* account : {kAccount, kWorkgroupAccount}) {
            AddObject(account, kClassHybridUser);
            Put(account, kAttrQdsUser, kSyntaxDistinguishedName, kAnn);
            Put(account, kAttrCN, kSyntaxCaseIgnoreString, "hyb");
        }
    }

    HWND OpenAccountPage(const char* account, const std::string& title) {
        OpenDetails(kClassHybridUser, account);
        const int index = m_sheet->FindPage(title);
        EXPECT_GE(index, 0) << title;
        EXPECT_TRUE(m_sheet->SetCurrentPage(index));
        return m_sheet->Page(index);
    }
};

TEST_F(HybridUserPagesTest, TheSheetHoldsFourPagesInOrderEachWithItsTemplateAndHelp) {
    struct PageCase {
        const char* title;
        UINT templateId;
        uint32_t domainHelp;
        uint32_t workgroupHelp;
    };
    const PageCase kCases[] = {
        {"Identification", kIddHybridUserId, 6, 6},
        {"Groups", kIddHybridUserGroups, 7, 49},
        {"Workstations", kIddNTUserWorkstations, 9, 9},
        {"Profile", kIddNTUserProfile, 8, 8},
    };
    for (const char* account : {kAccount, kWorkgroupAccount}) {
        const bool domain = std::string(account) == kAccount;
        for (size_t i = 0; i < std::size(kCases); ++i) {
            const PageCase& c = kCases[i];
            SCOPED_TRACE(std::string(account) + " " + c.title);
            HWND page = OpenAccountPage(account, c.title);
            ASSERT_NE(page, nullptr);
            EXPECT_EQ(m_sheet->FindPage(c.title), static_cast<int>(i));
            EXPECT_EQ(GetDialogTemplateId(page), c.templateId);
            Prompter::Instance().Reset();
            EXPECT_EQ(SendMessageA(page, kMsgPageHelp, 0, 0), 0);
            ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
            EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, domain ? c.domainHelp : c.workgroupHelp);
            m_sheet->Close(2);
        }
    }
}

TEST_F(HybridUserPagesTest, TheDirectoryUserSetsItsOwnPasswordSealedWithoutAnyRightToTheAccountsRights) {
    Grant(kCorp, kAnn, kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
    Grant(kCorp, kAnn, kAclEntryRights, kDirEntryBrowse);
    Grant(kAccount, kAnn, kAttrAuthentication, kDirRightWrite);
    SignIn(kAnn);
    HWND page = OpenAccountPage(kAccount, "Identification");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Text(page, kIdcHybridName), "hyb");
    EXPECT_EQ(Text(page, kIdcHybridDirectoryUser), kAnn);
    EXPECT_TRUE(Enabled(page, kIdcHybridPassword));
    EXPECT_FALSE(Enabled(page, kIdcHybridConfirm));
    // Without the Write right the flags are not Ann's to change.
    EXPECT_FALSE(Enabled(page, kIdcHybridMustChange));
    ASSERT_EQ(TypeText(page, kIdcHybridPassword, "Secret7"), UiActionError::None);
    EXPECT_TRUE(Enabled(page, kIdcHybridConfirm));
    ASSERT_EQ(TypeText(page, kIdcHybridConfirm, "Secret7"), UiActionError::None);
    EXPECT_EQ(m_sheet->Apply().refusedPage, -1);
    EXPECT_TRUE(ShownIds().empty());
    SignIn("Admin");
    EXPECT_EQ(Unsealed(kAccount), std::optional<std::string>("Secret7"));
    EXPECT_EQ(Flag(kAttrMustChangePassword), "");
}

TEST_F(HybridUserPagesTest, AReaderWhoIsNotTheDirectoryUserGetsNoPasswordFields) {
    SignIn(kReader);
    HWND page = OpenAccountPage(kAccount, "Identification");
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(Enabled(page, kIdcHybridPassword));
    EXPECT_FALSE(Enabled(page, kIdcHybridPasswordLabel));
}

TEST_F(HybridUserPagesTest, ValidationAndWriteOfTheFlags) {
    struct FlagCase {
        bool annMayChange;
        std::vector<int> clicks;
        std::string password, confirmation;
        int refusedMessage; // 0: accepted
        std::vector<int> shownAtWrite;
        const char* mustChange;
        const char* expire;
    };
    const FlagCase kCases[] = {
        {true, {kIdcHybridMustChange}, "", "", 0, {}, "true", "true"},
        {false, {kIdcHybridMustChange}, "", "", 27, {}, "", ""},
        {true, {kIdcHybridMustChange, kIdcHybridNeverExpires}, "", "", 0, {26}, "false", "false"},
        {true, {}, "abc", "ABC", 19, {}, "", ""},
        {true, {kIdcHybridGlobalAccount}, "pw", "pw", 0, {}, "false", "true"},
    };
    for (const FlagCase& c : kCases) {
        SCOPED_TRACE(c.refusedMessage);
        {
            CDirContext dir;
            ASSERT_EQ(DirRemoveObject(dir.Get(), kAccount), kDirOk);
        }
        AddObject(kAccount, kClassHybridUser);
        Put(kAccount, kAttrQdsUser, kSyntaxDistinguishedName, kAnn);
        SetFlag(kAnn, kAttrPasswordAllowChange, c.annMayChange);
        HWND page = OpenAccountPage(kAccount, "Identification");
        ASSERT_NE(page, nullptr);
        for (int box : c.clicks) {
            ASSERT_EQ(Click(page, box), UiActionError::None);
        }
        if (!c.password.empty()) {
            ASSERT_EQ(TypeText(page, kIdcHybridPassword, c.password), UiActionError::None);
            ASSERT_EQ(TypeText(page, kIdcHybridConfirm, c.confirmation), UiActionError::None);
        }
        Prompter::Instance().Reset();
        const HostSheet::ApplyResult applied = m_sheet->Apply();
        if (c.refusedMessage != 0) {
            EXPECT_EQ(applied.refusedPage, 0);
            EXPECT_EQ(ShownIds(), std::vector<int>{c.refusedMessage});
            EXPECT_FALSE(Unsealed(kAccount).has_value());
        } else {
            EXPECT_EQ(applied.refusedPage, -1);
            EXPECT_EQ(ShownIds(), c.shownAtWrite);
            EXPECT_EQ(Unsealed(kAccount),
                      c.password.empty() ? std::nullopt : std::optional<std::string>(c.password));
        }
        EXPECT_EQ(Flag(kAttrMustChangePassword), c.mustChange);
        EXPECT_EQ(Flag(kAttrExpirePassword), c.expire);
        m_sheet->Close(2);
    }
}

TEST_F(HybridUserPagesTest, TypingOnlyTheConfirmationWritesNothing) {
    HWND page = OpenAccountPage(kAccount, "Identification");
    ASSERT_NE(page, nullptr);
    // The confirmation follows the password: it is enabled only after a first change of the password.
    ASSERT_EQ(TypeText(page, kIdcHybridPassword, "x"), UiActionError::None);
    ASSERT_EQ(ClearText(page, kIdcHybridPassword), UiActionError::None);
    m_sheet->Close(2);
    page = OpenAccountPage(kAccount, "Identification");
    EXPECT_FALSE(Enabled(page, kIdcHybridConfirm));
    EXPECT_EQ(m_sheet->Apply().refusedPage, -1);
    EXPECT_FALSE(Unsealed(kAccount).has_value());
    EXPECT_EQ(Flag(kAttrExpirePassword), "");
}

TEST_F(HybridUserPagesTest, AWorkgroupAccountHidesTheGlobalAccountBox) {
    HWND page = OpenAccountPage(kWorkgroupAccount, "Identification");
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(Visible(page, kIdcHybridGlobalAccount));
    page = OpenAccountPage(kAccount, "Identification");
    EXPECT_TRUE(Visible(page, kIdcHybridGlobalAccount));
}

TEST_F(HybridUserPagesTest, GroupsPickedAreStoredOnBothSidesAndAMembershipElsewhereIsKept) {
    constexpr char kOther[] = "Far.WS1.Corp";
    AddObject(kOther, kClassNtGlobalGroup);
    Put(kOther, kAttrMember, kSyntaxDistinguishedName, kAccount);
    Put(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName, kOther);
    HWND page = OpenAccountPage(kAccount, "Groups");
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(Rows(page, kIdcUserGroupsList).empty());
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {"Admins", "Locals"}), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });
    ASSERT_EQ(Click(page, kIdcUserGroupsAdd), UiActionError::None);
    EXPECT_EQ(Rows(page, kIdcUserGroupsList), (std::vector<std::string>{"Admins", "Locals"}));
    EXPECT_EQ(m_sheet->Apply().refusedPage, -1);
    EXPECT_EQ(Values(kAccount, kAttrGroupMembership, kSyntaxDistinguishedName),
              (std::vector<std::string>{kOther, kGlobalGroup, kLocalGroup}));
    EXPECT_EQ(Values(kGlobalGroup, kAttrMember, kSyntaxDistinguishedName), std::vector<std::string>{kAccount});
    EXPECT_EQ(Values(kLocalGroup, kAttrMember, kSyntaxDistinguishedName), std::vector<std::string>{kAccount});
    EXPECT_EQ(Values(kOther, kAttrMember, kSyntaxDistinguishedName), std::vector<std::string>{kAccount});
}

TEST_F(HybridUserPagesTest, WorkstationsTypedAreWrittenWithoutAValidateAndNamesPastTheEighthKept) {
    const std::vector<std::string> stored = {"W1", "W2", "W3", "W4", "W5", "W6", "W7", "W8", "W9", "W10"};
    for (const std::string& name : stored) {
        Put(kAccount, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, name);
    }
    HWND page = OpenAccountPage(kAccount, "Workstations");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Text(page, kIdcWorkstationEdits[7]), "W8");
    ASSERT_EQ(TypeText(page, kIdcWorkstationEdits[0], "PC1"), UiActionError::None);
    // The handler's apply, as a host sends it that does not ask the pages to validate first.
    char name[] = "hyb.NTD.Corp";
    EXPECT_EQ(CKelNTHybridUser::CallBack(name, 262, 0, 0), 0);
    EXPECT_EQ(Values(kAccount, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString),
              (std::vector<std::string>{"PC1", "W2", "W3", "W4", "W5", "W6", "W7", "W8", "W9", "W10"}));
}

TEST_F(HybridUserPagesTest, AnEmptyDriveShowsZ) {
    struct DriveCase {
        const char* stored;
        const char* shown;
    };
    for (const DriveCase& c : {DriveCase{"", "Z:"}, DriveCase{"H:", "H:"}}) {
        SCOPED_TRACE(c.stored);
        CDirContext dir;
        ASSERT_EQ(SetAttrValue(dir.Get(), kAccount, kAttrHomeDirDrive, kSyntaxCaseIgnoreString, c.stored), 1);
        HWND page = OpenAccountPage(kAccount, "Profile");
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Text(page, kIdcProfileDrive), c.shown);
        m_sheet->Close(2);
    }
}

TEST_F(HybridUserPagesTest, APasswordTypedAndErasedAsksAndOneTooLongIsRefusedWithItsLimit) {
    // The converted password and its NUL fill the 28 bytes that are sealed.
    const std::string kLongest(27, 'p');
    const std::string kTooLong = kLongest + "q";
    struct PasswordCase {
        const char* name;
        std::string password; // typed and confirmed; "" typed and erased
        int answer;
        int refused; // message of a refusal that keeps the page, 0 when the sheet applies
        std::vector<int> shown;
        std::optional<std::string> stored;
        const char* mustChange;
    };
    const PasswordCase kCases[] = {
        {"erased, yes", "", IDYES, 0, {20}, std::string(), "true"},
        {"erased, no: only the flag", "", IDNO, 0, {20}, std::nullopt, "true"},
        {"the longest password", kLongest, 0, 0, {}, kLongest, "true"},
        {"one character more", kTooLong, 0, 57550, {57550}, std::nullopt, ""},
    };
    for (const PasswordCase& c : kCases) {
        SCOPED_TRACE(c.name);
        {
            CDirContext dir;
            ASSERT_EQ(DirRemoveObject(dir.Get(), kAccount), kDirOk);
        }
        AddObject(kAccount, kClassHybridUser);
        Put(kAccount, kAttrQdsUser, kSyntaxDistinguishedName, kAnn);
        Prompter::Instance().Reset();
        if (c.answer != 0) {
            Prompter::Instance().QueueAnswer(c.answer);
        }
        HWND page = OpenAccountPage(kAccount, "Identification");
        ASSERT_NE(page, nullptr);
        ASSERT_EQ(Click(page, kIdcHybridMustChange), UiActionError::None);
        if (c.password.empty()) {
            ASSERT_EQ(TypeText(page, kIdcHybridPassword, "x"), UiActionError::None);
            ASSERT_EQ(ClearText(page, kIdcHybridPassword), UiActionError::None);
        } else {
            ASSERT_EQ(TypeText(page, kIdcHybridPassword, c.password), UiActionError::None);
            ASSERT_EQ(TypeText(page, kIdcHybridConfirm, c.password), UiActionError::None);
        }
        EXPECT_EQ(m_sheet->Apply().refusedPage, c.refused != 0 ? 0 : -1);
        EXPECT_EQ(ShownIds(), c.shown);
        EXPECT_EQ(Unsealed(kAccount), c.stored);
        EXPECT_EQ(Flag(kAttrMustChangePassword), c.mustChange);
        if (c.refused != 0) {
            EXPECT_NE(Prompter::Instance().Messages()[0].text.find(" 27 "), std::string::npos);
            EXPECT_EQ(GetFocusWindow(), GetDlgItem(page, kIdcHybridPassword));
            EXPECT_EQ(Text(page, kIdcHybridPassword), c.password) << "nothing typed is lost";
            EXPECT_TRUE(Checked(page, kIdcHybridMustChange));
        }
        m_sheet->Close(2);
    }
}
