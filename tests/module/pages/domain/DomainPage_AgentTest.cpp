// The agent connection pages as an administrator meets them: the discover switch driving the port and the
// address text, the network address kept as type and text, and numbers stored as they are typed.
#include "SystemPagesWorld.h"

#include "module/pages/domain/DomainPage_Agent.h"

#include <cstring>

namespace {

constexpr char kTitle[] = "Agent";

struct AgentIds {
    const char* className;
    const char* object;
    UINT templateId;
    int discover, addressType, addressText, port, notificationDelay, retryInterval;
};

const AgentIds kBothPages[] = {
    {kClassNtDomain, kDomain, 114, 1010, 1042, 1041, 1036, 1040, 1038},
    {kClassNtWorkgroupSystem, kWorkstation, 118, 1219, 1050, 1112, 1051, 1055, 1053},
};

void SetAddress(const char* object, uint32_t type, const std::string& octets) {
    CDirContext dir;
    DirNetAddress address{type, static_cast<uint32_t>(octets.size()),
                          reinterpret_cast<uint8_t*>(const_cast<char*>(octets.data()))};
    ASSERT_EQ(SetAttrValue(dir.Get(), object, kAttrNetworkAddress, kSyntaxNetAddress, &address), 1);
}

// "TYPE:OCTETS", or "" when no address is stored.
std::string Address(const char* object) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), object, kAttrNetworkAddress, kSyntaxNetAddress);
    if (value == nullptr) {
        return "";
    }
    const auto* address = static_cast<const DirNetAddress*>(value.get());
    return std::to_string(address->type) + ":" +
           std::string(reinterpret_cast<const char*>(address->address), address->length);
}

} // namespace

class AgentPageTest : public SystemPagesWorld {};

TEST_F(AgentPageTest, TheDiscoverSwitchDisablesThePortAndTheAddressText) {
    for (const AgentIds& ids : kBothPages) {
        SCOPED_TRACE(ids.className);
        SetWord(ids.object, kAttrDiscoverNetworkAddress, kSyntaxBoolean, 1);
        HWND page = OpenPage(ids.className, ids.object, kTitle);
        EXPECT_EQ(GetDialogTemplateId(page), ids.templateId);
        struct State {
            bool port, text;
        };
        auto state = [&] { return State{Enabled(page, ids.port), Enabled(page, ids.addressText)}; };
        EXPECT_TRUE(Enabled(page, ids.addressType));
        EXPECT_FALSE(state().port);
        EXPECT_FALSE(state().text);
        ASSERT_EQ(Click(page, ids.discover), UiActionError::None);
        EXPECT_TRUE(state().port);
        EXPECT_TRUE(state().text);
        ASSERT_EQ(Click(page, ids.discover), UiActionError::None);
        EXPECT_FALSE(state().port);
        EXPECT_FALSE(state().text);
        ASSERT_EQ(Click(page, ids.discover), UiActionError::None);
        ASSERT_EQ(TypeText(page, ids.port, "524"), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Word(ids.object, kAttrDiscoverNetworkAddress, kSyntaxBoolean), 0);
        EXPECT_EQ(Word(ids.object, kAttrPortNumber, kSyntaxInteger), 524);
    }
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(AgentPageTest, TheAddressIsShownAsTypeAndTextAndStoredFromThem) {
    struct AddressCase {
        uint32_t storedType;
        std::string stored;
        const char* typedType; // null: the address is not touched
        const char* typedText;
        std::string afterApply;
    };
    const AddressCase cases[] = {
        {1, "10.1.2.3:9", nullptr, nullptr, "1:10.1.2.3:9"},
        {1, "10.1.2.3:9", "9", "host.corp", "9:host.corp"},
        {1, "10.1.2.3:9", "0", "", "0:"},
        // Octets that are no text survive an apply of the page's other fields.
        {11, std::string("\x0a\x00\x00\x01\x02", 5), nullptr, nullptr, "11:" + std::string("\x0a\x00\x00\x01\x02", 5)},
    };
    for (const AgentIds& ids : kBothPages) {
        for (const AddressCase& address : cases) {
            SCOPED_TRACE(std::string(ids.className) + " " + (address.typedText ? address.typedText : "-"));
            SetAddress(ids.object, address.storedType, address.stored);
            HWND page = OpenPage(ids.className, ids.object, kTitle);
            EXPECT_EQ(Text(page, ids.addressType), std::to_string(address.storedType));
            EXPECT_EQ(Text(page, ids.addressText), address.stored.c_str());
            if (address.typedType != nullptr) {
                ASSERT_EQ(TypeText(page, ids.addressType, address.typedType), UiActionError::None);
                ASSERT_EQ(*address.typedText == '\0' ? ClearText(page, ids.addressText)
                                                      : TypeText(page, ids.addressText, address.typedText),
                          UiActionError::None);
            }
            ASSERT_EQ(TypeText(page, ids.notificationDelay, "300"), UiActionError::None);
            ASSERT_TRUE(m_sheet->Ok());
            EXPECT_EQ(Address(ids.object), address.afterApply);
            EXPECT_EQ(Word(ids.object, kAttrNotificationDelay, kSyntaxInterval), 300) << "seconds, unconverted";
        }
    }
}

TEST_F(AgentPageTest, NumbersAreStoredAsTypedAndAnEmptyFieldIsRefused) {
    for (const AgentIds& ids : kBothPages) {
        SCOPED_TRACE(ids.className);
        Prompter::Instance().Reset();
        HWND page = OpenPage(ids.className, ids.object, kTitle);
        ASSERT_EQ(TypeText(page, ids.retryInterval, "-5"), UiActionError::None);
        ASSERT_TRUE(m_sheet->Apply().refusedPage == -1);
        EXPECT_EQ(static_cast<int32_t>(Word(ids.object, kAttrConnectionRetryInterval, kSyntaxInteger)), -5);

        ASSERT_EQ(ClearText(page, ids.retryInterval), UiActionError::None);
        EXPECT_TRUE(ShownIds().empty()) << "typing is not judged before the sheet is applied";
        EXPECT_EQ(m_sheet->Apply().refusedPage, m_sheet->FindPage(kTitle));
        EXPECT_EQ(ShownIds(), std::vector<int>{61712});
        m_sheet->Close(kEndPagesCancel);
    }
}

TEST_F(AgentPageTest, AFieldTheAdministratorMayNotWriteStaysDisabledWhateverTheSwitch) {
    Grant(kDomain, kReader, kAttrDiscoverNetworkAddress, kDirRightRead | kDirRightWrite);
    SetWord(kDomain, kAttrDiscoverNetworkAddress, kSyntaxBoolean, 1);
    SetWord(kDomain, kAttrPortNumber, kSyntaxInteger, 213);
    SignIn(kReader);
    const AgentIds& ids = kBothPages[0];
    HWND page = OpenPage(ids.className, ids.object, kTitle);
    ASSERT_EQ(Click(page, ids.discover), UiActionError::None);
    EXPECT_FALSE(Enabled(page, ids.port));
    EXPECT_FALSE(Enabled(page, ids.addressType));
    ASSERT_TRUE(m_sheet->Ok());
    SignIn("Admin");
    EXPECT_EQ(Word(kDomain, kAttrDiscoverNetworkAddress, kSyntaxBoolean), 0);
    EXPECT_EQ(Word(kDomain, kAttrPortNumber, kSyntaxInteger), 213);
}
