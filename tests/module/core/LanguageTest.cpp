#include "CoreFixture.h"

#include "module/core/Language.h"

namespace {

constexpr const char* kSession = "Software\\Tandry\\SessionSettings";
constexpr const char* kNetwork = "Network\\Tandry\\System Config\\Language\\CVLANGUAGE";
constexpr const char* kParameters = "Software\\Tandry\\Parameters\\CVLanguage";

class LanguageTest : public CoreTest {};

TEST_F(LanguageTest, FollowsTheRegistryKeysInTheirOrder) {
    struct Case {
        const char* what;
        bool sessionKey;
        const char* sessionValue; // null: no value
        bool networkKey;
        const char* networkValue;
        const char* parametersValue; // null: no key
        const char* expected;
    };
    const Case cases[] = {
        {"no keys at all", false, nullptr, false, nullptr, nullptr, "English"},
        {"session value", true, "German", true, "French", "Dutch", "German"},
        {"session key without value: the others are not asked", true, nullptr, true, "French", "Dutch",
         "English"},
        {"session value empty", true, "", true, "French", "Dutch", "English"},
        {"network default value", false, nullptr, true, "French", "Dutch", "French"},
        {"network key with empty value", false, nullptr, true, "", "Dutch", "Dutch"},
        {"network key without value", false, nullptr, true, nullptr, "Dutch", "Dutch"},
        {"parameters only", false, nullptr, false, nullptr, "Dutch", "Dutch"},
        {"parameters empty", false, nullptr, false, nullptr, "", "English"},
    };
    for (const Case& c : cases) {
        RegistryUseMemory();
        if (c.sessionKey) {
            MakeRegistryKey(HKEY_LOCAL_MACHINE, kSession);
        }
        if (c.sessionValue) {
            SetRegistryString(HKEY_LOCAL_MACHINE, kSession, "CVLANGUAGE", c.sessionValue);
        }
        if (c.networkKey) {
            MakeRegistryKey(HKEY_LOCAL_MACHINE, kNetwork);
        }
        if (c.networkValue) {
            SetRegistryString(HKEY_LOCAL_MACHINE, kNetwork, nullptr, c.networkValue);
        }
        if (c.parametersValue) {
            SetRegistryString(HKEY_LOCAL_MACHINE, kParameters, nullptr, c.parametersValue);
        }
        EXPECT_EQ(ReadLanguageName(), c.expected) << c.what;
    }
}

TEST_F(LanguageTest, TheHostsLanguageForOneRunComesFirst) {
    SetRegistryString(HKEY_LOCAL_MACHINE, kNetwork, nullptr, "French");
    ASSERT_EQ(RegistrySetSessionString(HKEY_LOCAL_MACHINE, kSession, "CVLANGUAGE", "German"), ERROR_SUCCESS);
    EXPECT_EQ(ReadLanguageName(), "German");
}

TEST_F(LanguageTest, AValueTooLongForTheBufferDoesNotRead) {
    MakeRegistryKey(HKEY_LOCAL_MACHINE, kSession);
    SetRegistryString(HKEY_LOCAL_MACHINE, kSession, "CVLANGUAGE", std::string(255, 'L'));
    EXPECT_EQ(ReadLanguageName(), std::string(255, 'L'));
    SetRegistryString(HKEY_LOCAL_MACHINE, kSession, "CVLANGUAGE", std::string(256, 'L'));
    EXPECT_EQ(ReadLanguageName(), "English");
}

TEST_F(LanguageTest, ALanguageIsOneFolderName) {
    for (const char* good : {"English", "Deutsch", "Portugu\xc3\xaas", "en.US", "a b"}) {
        EXPECT_TRUE(IsUsableLanguageName(good)) << good;
    }
    for (const char* bad :
         {"", ".", "..", "../English", "English/..", "/etc", "a/b", "..\\x", "a\\b", "x..y"}) {
        EXPECT_FALSE(IsUsableLanguageName(bad)) << bad;
    }
}

TEST_F(LanguageTest, PathsLieInTheLanguageFolderBesideTheHostsAnswer) {
    auto paths = LanguagePaths("/opt/kelnt/lib/rckelnt.so", "English");
    ASSERT_TRUE(paths.has_value());
    EXPECT_EQ(paths->library, "/opt/kelnt/lib/English/rckelnt.so");
    EXPECT_EQ(paths->help, "/opt/kelnt/lib/English/qor.hlp");
    EXPECT_FALSE(LanguagePaths("rckelnt.so", "English").has_value()) << "an answer without a folder";

    // The longest folder whose library path still fits 255 bytes and a NUL.
    std::string suffix = "English/rckelnt.so";
    std::string folder = "/" + std::string(255 - suffix.size() - 2, 'd') + "/";
    auto longest = LanguagePaths(folder + "rckelnt.so", "English");
    ASSERT_TRUE(longest.has_value());
    EXPECT_EQ(longest->library.size(), 255u);
    EXPECT_FALSE(LanguagePaths("/d" + folder + "rckelnt.so", "English").has_value())
        << "one byte more is refused";
}

} // namespace
