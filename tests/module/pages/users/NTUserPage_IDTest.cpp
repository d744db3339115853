// The NT user identification page as an administrator meets it: open the user's details as the host does,
// type, click, apply, and find the values (and the sealed password, which the agent's private key opens) in
// the directory.
#include "ModuleWorld.h"

#include "agent/KeyGenerator.h"
#include "agent/Unsealer.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

constexpr char kUser[] = "jdoe.NTD.Corp";
constexpr char kTitle[] = "Identification";
// An identity that may read everything under Corp and write only what a test grants it.
constexpr char kOperator[] = "Operator.Corp";

enum Id : int {
    kName = 1014,
    kFullName = 1015,
    kDescription = 1016,
    kPassword = 1017,
    kConfirm = 1018,
    kMustChange = 1019,
    kCannotChange = 1020,
    kNeverExpires = 1021,
    kDisabled = 1022,
    kLockedOut = 1023,
    kPasswordLabel = 1143,
    kConfirmLabel = 1144,
};

const agent::KeyPair& AgentKey(int which) {
    static const agent::KeyPair keys[] = {agent::GenerateKeyPair(848), agent::GenerateKeyPair(848)};
    return keys[which];
}

void SetOctets(const char* object, const char* attr, const uint8_t* data, size_t length) {
    CDirContext dir;
    DirOctetString value{static_cast<uint32_t>(length), const_cast<uint8_t*>(data)};
    ASSERT_EQ(SetAttrValue(dir.Get(), object, attr, kSyntaxOctetString, &value), 1) << GetLastAttrError();
}

void Unpublish() {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), kDomain, kAttrKelPublicKey, kSyntaxOctetString);
    ASSERT_TRUE(value);
    ASSERT_EQ(RemoveAttrValue(dir.Get(), kDomain, kAttrKelPublicKey, kSyntaxOctetString, value.get()), 1);
}

void Publish(int which) {
    const agent::KeyPair& key = AgentKey(which);
    ASSERT_EQ(key.code, agent::kKeygenOk);
    SetOctets(kDomain, kAttrKelPublicKey, key.publicBlob.data(), key.publicBlob.size());
}

void SetFlag(const char* attr, bool on) {
    CDirContext dir;
    const uint32_t value = on ? 1 : 0;
    ASSERT_EQ(SetAttrValue(dir.Get(), kUser, attr, kSyntaxBoolean, &value), 1);
}

// "true", "false" or "" for a flag without a value, read as the administrator.
std::string Flag(const char* attr) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), kUser, attr, kSyntaxBoolean);
    return !value ? "" : *static_cast<const uint32_t*>(value.get()) != 0 ? "true" : "false";
}

std::string Text(const char* attr) {
    CDirContext dir;
    CString text;
    static_cast<void>(ReadStringAttr(dir.Get(), kUser, attr, kSyntaxCaseIgnoreString, &text));
    return text.Str();
}

std::vector<uint8_t> Sealed() {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), kUser, kAttrAuthentication, kSyntaxOctetString);
    if (!value) {
        return {};
    }
    const auto* octets = static_cast<const DirOctetString*>(value.get());
    return {octets->data, octets->data + octets->length};
}

// What the agent reads out of the stored value with private key `which`; nullopt when it cannot open it.
std::optional<std::string> Unseal(const std::vector<uint8_t>& sealed, int which) {
    const agent::KeyPair& key = AgentKey(which);
    agent::UnsealResult result =
        agent::UnsealPassword(key.privateBlob.data(), key.privateBlob.size(), sealed.data(), sealed.size());
    if (!result.ok) {
        return std::nullopt;
    }
    return std::string(result.password.begin(), result.password.end());
}

bool Enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

// As the host's `show` lists it: "ID | KIND | STATES | TEXT".
bool ReadOnly(HWND page, int id) {
    const std::string prefix = std::to_string(id) + " | edit | ";
    for (const std::string& line : DescribeControls(page)) {
        if (line.rfind(prefix, 0) == 0) {
            return line.find("readonly") != std::string::npos;
        }
    }
    return false;
}

bool Checked(HWND page, int id) {
    return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string Shown(HWND page, int id) {
    return GetWindowTextString(GetDlgItem(page, id));
}

} // namespace

class NTUserPageIdTest : public ModuleWorld {
protected:
    void SetUp() override {
        ModuleWorld::SetUp();
        AddObject(kUser, kClassNtUser);
        Publish(0);
    }

    HWND OpenUser() {
        OpenDetails(kClassNtUser, kUser);
        const int index = m_sheet->FindPage(kTitle);
        EXPECT_EQ(index, 0) << "the identification page comes first";
        return m_sheet->Page(index);
    }

    // A fresh user of the same name, without any value.
    void RecreateUser() {
        CDirContext dir;
        ASSERT_EQ(DirRemoveObject(dir.Get(), kUser), kDirOk);
        AddObject(kUser, kClassNtUser);
    }

    // Types a password and its confirmation.
    static void TypePassword(HWND page, const std::string& password, const std::string& confirmation) {
        ASSERT_EQ(TypeText(page, kPassword, password), UiActionError::None);
        ASSERT_EQ(TypeText(page, kConfirm, confirmation), UiActionError::None);
    }

    // A directory user who may read everything under Corp; `grants` are attribute rights on the NT user.
    void SignInAsOperator(const std::vector<std::pair<const char*, uint32_t>>& grants) {
        AddObject(kOperator, kClassUser);
        Grant(kCorp, kOperator, kAclAllAttributesRights, kDirRightRead | kDirRightCompare);
        Grant(kCorp, kOperator, kAclEntryRights, kDirEntryBrowse);
        for (const auto& [attr, rights] : grants) {
            Grant(kUser, kOperator, attr, rights);
        }
        SignIn(kOperator);
    }
};

TEST_F(NTUserPageIdTest, TheStoredFlagsAreShownAndTheInvertedOnesWrittenBackInverted) {
    struct FlagCase {
        const char* attr;
        int box;
        std::optional<bool> stored;
        bool checked;
    };
    const FlagCase kCases[] = {
        {kAttrPasswordAllowChange, kCannotChange, false, true},
        {kAttrPasswordAllowChange, kCannotChange, true, false},
        {kAttrExpirePassword, kNeverExpires, false, true},
        {kAttrExpirePassword, kNeverExpires, true, false},
        {kAttrMustChangePassword, kMustChange, true, true},
        {kAttrUfLockout, kLockedOut, true, true},
        {kAttrLoginDisabled, kDisabled, true, true},
        {kAttrLoginDisabled, kDisabled, std::nullopt, false},
    };
    for (const FlagCase& c : kCases) {
        SCOPED_TRACE(std::string(c.attr) + (c.stored ? (*c.stored ? " true" : " false") : " missing"));
        if (c.stored) {
            SetFlag(c.attr, *c.stored);
        } else {
            CDirContext dir;
            const uint32_t any = 0;
            static_cast<void>(SetAttrValue(dir.Get(), kUser, c.attr, kSyntaxBoolean, &any));
            static_cast<void>(RemoveAttrValue(dir.Get(), kUser, c.attr, kSyntaxBoolean, &any));
        }
        HWND page = OpenUser();
        EXPECT_EQ(Checked(page, c.box), c.checked);
        EXPECT_TRUE(m_sheet->Changes().empty());
        // Touching another box writes this one as shown: back as it was stored, a missing one as shown.
        const int other = c.box == kLockedOut ? kDisabled : kLockedOut;
        ASSERT_EQ(Click(page, other), UiActionError::None);
        ASSERT_EQ(Click(page, other), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Flag(c.attr), c.stored ? (*c.stored ? "true" : "false") : "false");
    }
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(NTUserPageIdTest, AnAdministratorEditsTheUserAndFindsItInTheDirectory) {
    CDirContext dir;
    ASSERT_EQ(SetAttrValue(dir.Get(), kUser, kAttrFullName, kSyntaxCaseIgnoreString, "John Doe"), 1);
    SetDescription(kUser, "Sales");
    HWND page = OpenUser();
    EXPECT_EQ(GetDialogTemplateId(page), 120u);
    EXPECT_EQ(Shown(page, kName), kUser);
    EXPECT_EQ(Shown(page, kFullName), "John Doe");
    EXPECT_EQ(Shown(page, kDescription), "Sales");
    EXPECT_FALSE(Enabled(page, kConfirm)) << "the confirmation follows the password";

    ASSERT_EQ(TypeText(page, kFullName, std::string(130, 'f')), UiActionError::None);
    EXPECT_EQ(Shown(page, kFullName).size(), 126u);
    ASSERT_EQ(TypeText(page, kDescription, std::string(50, 'd')), UiActionError::None);
    EXPECT_EQ(Shown(page, kDescription).size(), 48u);
    const size_t typed = 126 + 48; // every change is reported; refused characters change nothing
    ASSERT_EQ(Click(page, kCannotChange), UiActionError::None);
    ASSERT_EQ(Click(page, kDisabled), UiActionError::None);
    EXPECT_EQ(m_sheet->Changes().size(), typed + 2);
    EXPECT_EQ(Flag(kAttrLoginDisabled), "") << "nothing is written before the sheet is applied";

    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Text(kAttrFullName), std::string(126, 'f'));
    EXPECT_EQ(Description(kUser), std::string(48, 'd'));
    EXPECT_EQ(Flag(kAttrPasswordAllowChange), "false");
    EXPECT_EQ(Flag(kAttrLoginDisabled), "true");
    EXPECT_EQ(Flag(kAttrMustChangePassword), "false");
    EXPECT_EQ(Flag(kAttrExpirePassword), "true");
    EXPECT_EQ(Flag(kAttrUfLockout), "false");
    EXPECT_TRUE(Sealed().empty()) << "no password typed, none stored";

    // Clearing the texts removes the attributes.
    page = OpenUser();
    ASSERT_EQ(ClearText(page, kFullName), UiActionError::None);
    ASSERT_EQ(ClearText(page, kDescription), UiActionError::None);
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Text(kAttrFullName), "");
    EXPECT_EQ(Description(kUser), "");
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(NTUserPageIdTest, ANewPasswordIsSealedAndOnlyTheAgentsPrivateKeyOpensIt) {
    struct PasswordCase {
        std::string typed;
        std::string agentReads; // the NT side's code page 1252
    };
    const PasswordCase kCases[] = {
        {"Secret1", "Secret1"},
        {"Grüße-ÄÖ", "Gr\xFC\xDF"
                     "e-\xC4\xD6"},
        {"exactly14chars", "exactly14chars"},
        {"fifteen-chars-x", "fifteen-chars-"}, // the field takes 14
    };
    for (const PasswordCase& c : kCases) {
        SCOPED_TRACE(c.typed);
        HWND page = OpenUser();
        ASSERT_TRUE(Enabled(page, kPassword));
        ASSERT_TRUE(Enabled(page, kPasswordLabel));
        ASSERT_EQ(TypeText(page, kPassword, c.typed), UiActionError::None);
        EXPECT_TRUE(Enabled(page, kConfirm));
        EXPECT_TRUE(Enabled(page, kConfirmLabel));
        ASSERT_EQ(TypeText(page, kConfirm, c.typed), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        const std::vector<uint8_t> sealed = Sealed();
        EXPECT_EQ(sealed.size(), 500u);
        EXPECT_EQ(Unseal(sealed, 0), c.agentReads);
        EXPECT_EQ(Unseal(sealed, 1), std::nullopt) << "another NT system's key opens nothing";
        EXPECT_EQ(std::search(sealed.begin(), sealed.end(), c.agentReads.begin(), c.agentReads.end()),
                  sealed.end());
    }
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(NTUserPageIdTest, TheStoreFileNeverHoldsThePasswordInClear) {
    const std::string store =
        std::string(KELNT_BINARY_DIR) + "/ntuser-id-" + std::to_string(getpid()) + ".db";
    std::filesystem::remove(store);
    StopModule();
    ASSERT_EQ(DirCloseStore(), kDirOk);
    ASSERT_EQ(DirOpenStore(store.c_str(), 1), kDirOk);
    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    AddObject(kCorp, "Organization");
    AddObject(kDomain, kClassNtDomain);
    AddObject(kUser, kClassNtUser);
    Publish(0);
    StartModule();

    const std::string password = "Plain8Text";
    HWND page = OpenUser();
    TypePassword(page, password, password);
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Unseal(Sealed(), 0), password);
    StopModule();
    ASSERT_EQ(DirCloseStore(), kDirOk);

    for (const std::string suffix : {"", "-wal", "-journal"}) {
        std::ifstream file(store + suffix, std::ios::binary);
        if (!file && !suffix.empty()) {
            continue;
        }
        ASSERT_TRUE(file) << store + suffix;
        const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        EXPECT_EQ(bytes.find(password), std::string::npos) << store + suffix;
        EXPECT_EQ(bytes.find("Plain8"), std::string::npos) << store + suffix;
    }
    for (const std::string suffix : {"", "-wal", "-journal", "-shm"}) {
        std::filesystem::remove(store + suffix);
    }
    ASSERT_EQ(DirOpenMemoryStore(), kDirOk);
    StartModule();
}

TEST_F(NTUserPageIdTest, ValidationRefusesWhatTheNTSideCannotTake) {
    struct ValidateCase {
        const char* name;
        const char* password; // nullptr: none typed
        const char* confirmation;
        bool cannotChange;
        bool mustChange;
        int message; // 0: accepted
    };
    const ValidateCase kCases[] = {
        {"same password", "Secret1", "Secret1", false, false, 0},
        {"differs in letter case", "Secret1", "secret1", false, false, 19},
        {"confirmation missing", "Secret1", "", false, false, 19},
        {"cannot and must change", nullptr, nullptr, true, true, 25},
        {"both refusals: the flags first", "a", "b", true, true, 25},
        {"must change alone", nullptr, nullptr, false, true, 0},
        {"a character the NT code page lacks", "Ω-omega", "Ω-omega", false, false, 57368},
    };
    for (const ValidateCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Prompter::Instance().Reset();
        HWND page = OpenUser();
        if (c.password != nullptr) {
            ASSERT_EQ(TypeText(page, kPassword, c.password), UiActionError::None);
            if (*c.confirmation != '\0') {
                ASSERT_EQ(TypeText(page, kConfirm, c.confirmation), UiActionError::None);
            }
        }
        if (c.cannotChange) {
            ASSERT_EQ(Click(page, kCannotChange), UiActionError::None);
        }
        if (c.mustChange) {
            ASSERT_EQ(Click(page, kMustChange), UiActionError::None);
        }
        const HostSheet::ApplyResult applied = m_sheet->Apply();
        EXPECT_EQ(applied.refusedPage, c.message == 0 ? -1 : 0);
        EXPECT_EQ(ShownIds(), c.message == 0 ? std::vector<int>{} : std::vector<int>{c.message});
        EXPECT_EQ(Flag(kAttrMustChangePassword), c.message != 0 ? ""
                                                 : c.mustChange ? "true"
                                                                : "false")
            << "a refusal writes nothing";
        EXPECT_EQ(Sealed().empty(), c.message != 0 || c.password == nullptr);
        m_sheet->Close(kEndPagesCancel);
        RecreateUser();
    }
}

TEST_F(NTUserPageIdTest, MustChangeIsStoredClearedForAPasswordThatNeverExpires) {
    HWND page = OpenUser();
    ASSERT_EQ(Click(page, kMustChange), UiActionError::None);
    ASSERT_EQ(Click(page, kNeverExpires), UiActionError::None);
    ASSERT_TRUE(m_sheet->Ok()) << "validation accepts the pair";
    EXPECT_EQ(ShownIds(), (std::vector<int>{26}));
    EXPECT_EQ(Flag(kAttrMustChangePassword), "false");
    EXPECT_EQ(Flag(kAttrExpirePassword), "false");
}

TEST_F(NTUserPageIdTest, FieldsFollowTheRightsOfTheSignedInIdentity) {
    struct RightsCase {
        const char* name;
        std::vector<std::pair<const char*, uint32_t>> grants;
        bool publishedKey;
        bool textsWritable;
        bool flagsEnabled;
        bool passwordEnabled;
    };
    const uint32_t kWrite = kDirRightWrite | kDirRightRead;
    const RightsCase kCases[] = {
        {"reads only", {}, true, false, false, false},
        {"writes the values, not the rights",
         {{kAttrFullName, kWrite},
          {kAttrDescription, kWrite},
          {kAttrUfLockout, kWrite},
          {kAttrMustChangePassword, kWrite},
          {kAttrPasswordAllowChange, kWrite},
          {kAttrExpirePassword, kWrite},
          {kAttrLoginDisabled, kWrite}},
         true,
         true,
         true,
         false},
        {"writes the rights", {{kAttrAcl, kWrite}}, true, false, false, true},
        {"writes the rights, no key published", {{kAttrAcl, kWrite}}, false, false, false, false},
    };
    for (const RightsCase& c : kCases) {
        SCOPED_TRACE(c.name);
        SignIn("Admin");
        CDirContext dir;
        static_cast<void>(DirRemoveObject(dir.Get(), kOperator));
        if (!c.publishedKey) {
            Unpublish();
        }
        SignInAsOperator(c.grants);
        HWND page = OpenUser();
        for (int text : {kFullName, kDescription}) {
            EXPECT_TRUE(Enabled(page, text)) << "read-only, not disabled: its text can be selected";
            EXPECT_EQ(ReadOnly(page, text), !c.textsWritable) << text;
        }
        for (int box : {kMustChange, kCannotChange, kNeverExpires, kDisabled, kLockedOut}) {
            EXPECT_EQ(Enabled(page, box), c.flagsEnabled) << box;
        }
        EXPECT_EQ(Enabled(page, kPassword), c.passwordEnabled);
        EXPECT_EQ(Enabled(page, kPasswordLabel), c.passwordEnabled);
        EXPECT_EQ(TypeText(page, kConfirm, "x"), UiActionError::Disabled);
        m_sheet->Close(kEndPagesCancel);
        SignIn("Admin");
        Publish(0);
    }
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(NTUserPageIdTest, AValueTheIdentityMayNotReadIsEmptyDisabledAndNeverWritten) {
    SetDescription(kUser, "Hidden");
    SetFlag(kAttrLoginDisabled, true);
    CDirContext dir;
    ASSERT_EQ(SetAttrValue(dir.Get(), kUser, kAttrFullName, kSyntaxCaseIgnoreString, "Hidden Name"), 1);
    AddObject(kOperator, kClassUser);
    Grant(kCorp, kOperator, kAclEntryRights, kDirEntryBrowse);
    Grant(kCorp, kOperator, kAclAllAttributesRights, kDirRightWrite);
    Grant(kUser, kOperator, kAttrUfLockout, kDirRightRead | kDirRightWrite);
    SignIn(kOperator);
    HWND page = OpenUser();
    for (int id : {kFullName, kDescription, kDisabled}) {
        EXPECT_FALSE(Enabled(page, id)) << id;
    }
    EXPECT_EQ(Shown(page, kFullName), "");
    EXPECT_FALSE(Checked(page, kDisabled));
    EXPECT_TRUE(Enabled(page, kLockedOut));
    ASSERT_EQ(Click(page, kLockedOut), UiActionError::None);
    ASSERT_TRUE(m_sheet->Ok());
    SignIn("Admin");
    EXPECT_EQ(Text(kAttrFullName), "Hidden Name");
    EXPECT_EQ(Description(kUser), "Hidden");
    EXPECT_EQ(Flag(kAttrLoginDisabled), "true");
    EXPECT_EQ(Flag(kAttrUfLockout), "true");
}

TEST_F(NTUserPageIdTest, APasswordThatCannotBeSealedOrStoredIsReportedWithTheFlagsItTakesAlong) {
    struct FailureCase {
        const char* name;
        const char* password;
        bool badKey;
        bool authenticationWritable;
        int message;
        bool flagsWritten;
    };
    const FailureCase kCases[] = {
        {"a key the sealing refuses", "Secret1", true, true, 57369, false},
        {"the sealed value refused", "Secret1", false, false, 57371, true},
    };
    const uint32_t kWrite = kDirRightWrite | kDirRightRead;
    for (const FailureCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Prompter::Instance().Reset();
        SignIn("Admin");
        RecreateUser();
        CDirContext dir;
        static_cast<void>(DirRemoveObject(dir.Get(), kOperator));
        if (c.badKey) {
            const uint8_t garbage[] = {1, 2, 3, 4};
            SetOctets(kDomain, kAttrKelPublicKey, garbage, sizeof garbage);
        } else {
            Publish(0);
        }
        SetDescription(kUser, "Before");
        SignInAsOperator({{kAttrAcl, kWrite},
                          {kAttrDescription, kWrite},
                          {kAttrLoginDisabled, kWrite},
                          {kAttrAuthentication, c.authenticationWritable ? kWrite : kDirRightRead}});
        HWND page = OpenUser();
        ASSERT_EQ(TypeText(page, kDescription, "After"), UiActionError::None);
        ASSERT_EQ(Click(page, kDisabled), UiActionError::None);
        TypePassword(page, c.password, c.password);
        EXPECT_TRUE(m_sheet->Ok()) << "the page answers 0 and the sheet closes";
        EXPECT_EQ(ShownIds(), std::vector<int>{c.message});
        SignIn("Admin");
        EXPECT_TRUE(Sealed().empty());
        EXPECT_EQ(Description(kUser), "After") << "the texts go before the password";
        EXPECT_EQ(Flag(kAttrLoginDisabled), c.flagsWritten ? "true" : "");
    }
}

TEST_F(NTUserPageIdTest, TheKeyReadAtLoadSealsTheNextWriteAndALaterOneIsReadAgain) {
    HWND page = OpenUser();
    Publish(1); // the agent publishes a new key while the sheet is open
    TypePassword(page, "First1", "First1");
    ASSERT_EQ(m_sheet->Apply().refusedPage, -1);
    EXPECT_EQ(Unseal(Sealed(), 0), "First1") << "sealed under the key the page loaded";

    // The write released that key; the sheet stays open and a second password takes the key published now.
    TypePassword(page, "Second2", "Second2");
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Unseal(Sealed(), 1), "Second2");

    // An apply of an unchanged page writes nothing and still lets the key go.
    page = OpenUser();
    Publish(0);
    ASSERT_EQ(m_sheet->Apply().refusedPage, -1);
    EXPECT_EQ(Unseal(Sealed(), 1), "Second2");
    TypePassword(page, "Third3", "Third3");
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Unseal(Sealed(), 0), "Third3");
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(NTUserPageIdTest, EnterAndEscapeInsideThePagesLeaveThemAsTheyAre) {
    OpenDetails(kClassNtUser, kUser);
    for (int index = 0; index < m_sheet->PageCount(); ++index) {
        SCOPED_TRACE(m_sheet->PageTitle(index));
        HWND page = m_sheet->Page(index);
        for (UiKey key : {UiKey::Enter, UiKey::Escape}) {
            EXPECT_EQ(PressKey(page, key), UiActionError::None);
            EXPECT_TRUE(IsWindow(page));
            EXPECT_TRUE(m_sheet->IsOpen());
        }
    }
    HWND id = m_sheet->Page(m_sheet->FindPage(kTitle));
    ASSERT_EQ(TypeText(id, kDescription, "Typed"), UiActionError::None);
    EXPECT_EQ(PressKey(id, UiKey::Enter), UiActionError::None);
    EXPECT_EQ(Shown(id, kDescription), "Typed");
    EXPECT_EQ(Description(kUser), "") << "Enter in a page applies nothing";
    EXPECT_EQ(m_sheet->TargetOfKey(UiKey::Enter), HostSheet::KeyTarget::SheetOk);
    EXPECT_EQ(m_sheet->TargetOfKey(UiKey::Escape), HostSheet::KeyTarget::SheetCancel);
}

TEST_F(NTUserPageIdTest, DisabledPasswordFieldsAreDrawnOnLightGreyAndHelpIsContext11) {
    HWND page = OpenUser();
    const LRESULT grey = reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH));
    struct ColourCase {
        int id;
        UINT kind;
        bool lightGrey;
    };
    for (const ColourCase& c :
         {ColourCase{kConfirm, WM_CTLCOLOREDIT, true}, ColourCase{kPassword, WM_CTLCOLOREDIT, false},
          ColourCase{kFullName, WM_CTLCOLOREDIT, false}}) {
        HWND field = GetDlgItem(page, c.id);
        HDC dc = GetDC(field);
        const LRESULT brush =
            SendMessageA(page, c.kind, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(field));
        EXPECT_EQ(brush == grey, c.lightGrey) << c.id;
        ReleaseDC(field, dc);
    }
    EXPECT_EQ(SendMessageA(page, kMsgPageHelp, 0, 0), 0);
    ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
    EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, 11u);
}

TEST_F(NTUserPageIdTest, APasswordTypedAndErasedIsStoredEmptyOnlyAfterAYes) {
    struct EraseCase {
        const char* name;
        int answer;
        bool flagClicked;
        std::optional<std::string> stored;
        const char* disabled;
    };
    const EraseCase kCases[] = {
        {"yes: the empty password is sealed", IDYES, false, std::string(), "false"},
        {"no: nothing changes", IDNO, false, std::nullopt, ""},
        {"no with a flag clicked: only the flags", IDNO, true, std::nullopt, "true"},
    };
    for (const EraseCase& c : kCases) {
        SCOPED_TRACE(c.name);
        RecreateUser();
        Prompter::Instance().Reset();
        Prompter::Instance().QueueAnswer(c.answer);
        HWND page = OpenUser();
        ASSERT_EQ(TypeText(page, kPassword, "Typed1"), UiActionError::None);
        ASSERT_EQ(ClearText(page, kPassword), UiActionError::None);
        if (c.flagClicked) {
            ASSERT_EQ(Click(page, kDisabled), UiActionError::None);
        }
        EXPECT_TRUE(m_sheet->Ok());
        EXPECT_EQ(ShownIds(), std::vector<int>{20});
        const std::vector<uint8_t> sealed = Sealed();
        EXPECT_EQ(sealed.empty() ? std::nullopt : Unseal(sealed, 0), c.stored);
        EXPECT_EQ(Flag(kAttrLoginDisabled), c.disabled);
    }
}

TEST_F(NTUserPageIdTest, ALongStoredTextLimitsTypingButNeverHoldsUpTheSheet) {
    // Written by another tool: longer than the page lets a person type.
    const std::string description(60, 'd');
    const std::string fullName(130, 'f');
    SetDescription(kUser, description);
    {
        CDirContext dir;
        ASSERT_EQ(SetAttrValue(dir.Get(), kUser, kAttrFullName, kSyntaxCaseIgnoreString, fullName.c_str()),
                  1);
    }
    HWND page = OpenUser();
    EXPECT_EQ(Shown(page, kDescription), description) << "shown whole";
    EXPECT_EQ(Shown(page, kFullName), fullName);
    ASSERT_EQ(Click(page, kDisabled), UiActionError::None);
    EXPECT_TRUE(m_sheet->Ok()) << "an unchanged long text does not hold up the sheet";
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_EQ(Description(kUser), description) << "nor is it cut";
    EXPECT_EQ(Flag(kAttrLoginDisabled), "true");

    // Typing is limited to what the NT side takes.
    page = OpenUser();
    ASSERT_EQ(TypeText(page, kDescription, std::string(50, 'n')), UiActionError::None);
    EXPECT_EQ(Shown(page, kDescription), std::string(48, 'n'));
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Description(kUser), std::string(48, 'n'));
}
