#include "platform/winapi/RegistryTree.h"
#include "platform/winapi/WinApi.h"
#include "tests/platform/winapi/TestFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// The bytes of a file that regedit exports: UTF-16LE after its byte order mark.
std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// "[HKEY_CURRENT_USER\\L\\L...]" with levels levels.
std::string DeepSection(const std::string& prefix, size_t levels) {
    std::string section = "[" + prefix + "HKEY_CURRENT_USER";
    for (size_t i = 0; i < levels; ++i)
        section += "\\L";
    return section + "]\n";
}

std::string LevelName(size_t level) {
    std::string name(1, 'L');
    name += std::to_string(level);
    return name;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { RegistryUseMemory(); }
    void TearDown() override { RegistryUseMemory(); }

    static HKEY Create(HKEY root, const char* path) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    static void SetString(HKEY key, const char* name, const std::string& text) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
    }
    static void SetDword(HKEY key, const char* name, DWORD value) {
        ASSERT_EQ(
            RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
            ERROR_SUCCESS);
    }
    // The module's way: a fixed buffer, the string read only when the call succeeds.
    static LONG QueryString(HKEY key, const char* name, DWORD bufferSize, std::string* text, DWORD* size) {
        std::vector<BYTE> buffer(bufferSize + 1, 0xEE);
        DWORD type = 0;
        *size = bufferSize;
        LONG code = RegQueryValueExA(key, name, nullptr, &type, buffer.data(), size);
        if (code == ERROR_SUCCESS) {
            EXPECT_EQ(type, REG_SZ);
            *text = reinterpret_cast<const char*>(buffer.data());
        }
        EXPECT_EQ(buffer[bufferSize], 0xEE) << "wrote past the caller's buffer";
        return code;
    }
};

TEST_F(RegistryTest, StringValuesRespectTheCallersBufferSize) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Tandry\\SessionSettings");
    SetString(key, "CVLANGUAGE", "English");
    SetString(key, "Empty", "");
    struct Case {
        const char* name;
        DWORD bufferSize;
        LONG code;
        DWORD size;
        const char* text;
    } cases[] = {
        {"CVLANGUAGE", 256, ERROR_SUCCESS, 8, "English"},
        {"CVLANGUAGE", 8, ERROR_SUCCESS, 8, "English"},
        {"CVLANGUAGE", 7, ERROR_MORE_DATA, 8, nullptr},
        {"CVLANGUAGE", 1, ERROR_MORE_DATA, 8, nullptr},
        {"Empty", 1, ERROR_SUCCESS, 1, ""},
        {"Missing", 256, ERROR_FILE_NOT_FOUND, 256, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(c.bufferSize));
        std::string text = "unchanged";
        DWORD size = 0;
        EXPECT_EQ(QueryString(key, c.name, c.bufferSize, &text, &size), c.code);
        EXPECT_EQ(size, c.size);
        if (c.text != nullptr) {
            EXPECT_EQ(text, c.text);
        }
    }
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "CVLANGUAGE", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u) << "with no buffer the size needed is reported";
    RegCloseKey(key);
}

TEST_F(RegistryTest, DwordValuesNeedFourBytes) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Corvane\\Parameters\\KelNTIntegration");
    SetDword(key, "ShowWindow", 7);
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "ShowWindow", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 7u);
    BYTE small[3];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "ShowWindow", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    BYTE two[2] = {1, 2};
    EXPECT_EQ(RegSetValueExA(key, "Bad", 0, REG_DWORD, two, 2), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryTest, NullAndEmptyNamesAreTheDefaultValue) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Network\\Tandry\\System Config\\Language\\CVLANGUAGE");
    DWORD size = 256;
    std::string text;
    EXPECT_EQ(QueryString(key, nullptr, 256, &text, &size), ERROR_FILE_NOT_FOUND)
        << "a new key has no default value";
    SetString(key, nullptr, "Deutsch");
    EXPECT_EQ(QueryString(key, "", 256, &text, &size), ERROR_SUCCESS);
    EXPECT_EQ(text, "Deutsch");
    SetString(key, "", "Francais");
    EXPECT_EQ(QueryString(key, nullptr, 256, &text, &size), ERROR_SUCCESS);
    EXPECT_EQ(text, "Francais");
    EXPECT_EQ(RegDeleteValueA(key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, "", 256, &text, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, KeyAndValueNamesIgnoreLetterCase) {
    HKEY made = Create(HKEY_CURRENT_USER, "Software\\Corvane\\Parameters\\KelNTSnapIn");
    SetDword(made, "CreateNTUser", 1);
    RegCloseKey(made);
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\corvane\\PARAMETERS\\kelntsnapin", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "createntuser", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Corvane", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
        << "the two roots are separate";
    EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryTest, HandlesCarryTheirAccessAndDieWhenClosed) {
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\A"));
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_READ, &reader), ERROR_SUCCESS);
    const BYTE one[] = "1";
    EXPECT_EQ(RegSetValueExA(reader, "X", 0, REG_SZ, one, 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(reader, "X"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(reader), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(reader, "X", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, CreateTellsWhetherTheKeyWasNew) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New\\Deep", 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "software\\new\\deep", 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);
    HKEY middle = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, KEY_READ, &middle), ERROR_SUCCESS)
        << "every missing level is made";
    RegCloseKey(middle);
}

TEST_F(RegistryTest, OnlyAKeyWithoutSubkeysIsDeleted) {
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Old\\Leaf"));
    HKEY leaf = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Old\\Leaf", 0, KEY_READ, &leaf), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Old"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Old\\Leaf"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Old\\Leaf"), ERROR_FILE_NOT_FOUND);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(leaf, "X", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED)
        << "a handle to a deleted key stays a handle, to nothing";
    EXPECT_EQ(RegCloseKey(leaf), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Old"), ERROR_SUCCESS);
}

TEST_F(RegistryTest, FileBackendWritesRegTextAfterEveryChange) {
    TestFolder folder;
    const std::string path = folder.File("cvadmin/registry.reg");
    ASSERT_TRUE(RegistryUseFile(path).Ok());
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing is written before the first change";

    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Corvane\\Parameters\\KelNTIntegration");
    SetString(key, "PgmName", "C:\\Tools\\\"Integrate\"");
    SetDword(key, "ShowWindow", 10);
    SetString(key, nullptr, "default");
    RegCloseKey(key);
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Software\\Tandry\\SessionSettings"));

    const std::string expected = "REGEDIT4\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software]\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Corvane]\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Corvane\\Parameters]\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Corvane\\Parameters\\KelNTIntegration]\n"
                                 "\"PgmName\"=\"C:\\\\Tools\\\\\\\"Integrate\\\"\"\n"
                                 "\"ShowWindow\"=dword:0000000a\n"
                                 "@=\"default\"\n"
                                 "\n"
                                 "[HKEY_LOCAL_MACHINE\\Software]\n"
                                 "\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\Tandry]\n"
                                 "\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\Tandry\\SessionSettings]\n"
                                 "\n";
    EXPECT_EQ(ReadWholeFile(path), expected);
    EXPECT_EQ(RegistryExportText(), expected);
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("cvadmin")))
        EXPECT_EQ(entry.path().filename(), "registry.reg") << "no temporary file stays behind";

    // Read back from the file alone: the same keys, values and the key without values.
    RegistryUseMemory();
    ASSERT_TRUE(RegistryUseFile(path).Ok());
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Corvane\\Parameters\\KelNTIntegration", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
    std::string text;
    DWORD size = 0;
    EXPECT_EQ(QueryString(key, "PgmName", 260, &text, &size), ERROR_SUCCESS);
    EXPECT_EQ(text, "C:\\Tools\\\"Integrate\"");
    DWORD value = 0;
    size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "ShowWindow", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 10u);
    RegCloseKey(key);
    HKEY session = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tandry\\SessionSettings", 0, KEY_READ, &session),
              ERROR_SUCCESS);
    RegCloseKey(session);
    EXPECT_EQ(RegistryExportText(), expected);
}

TEST_F(RegistryTest, StringsWithLineBreaksAndBinaryValuesSurviveTheFile) {
    TestFolder folder;
    const std::string path = folder.File("registry.reg");
    ASSERT_TRUE(RegistryUseFile(path).Ok());
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Odd");
    SetString(key, "Lines", "one\r\ntwo");
    const BYTE blob[] = {0x00, 0xFF, 0x10};
    ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string written = ReadWholeFile(path);
    EXPECT_NE(written.find("\"Lines\"=hex(1):6f,6e,65,0d,0a,74,77,6f,00\n"), std::string::npos) << written;
    EXPECT_NE(written.find("\"Blob\"=hex:00,ff,10\n"), std::string::npos) << written;

    RegistryUseMemory();
    ASSERT_TRUE(RegistryUseFile(path).Ok());
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Odd", 0, KEY_READ, &key), ERROR_SUCCESS);
    std::string text;
    DWORD size = 0;
    EXPECT_EQ(QueryString(key, "Lines", 64, &text, &size), ERROR_SUCCESS);
    EXPECT_EQ(text, "one\r\ntwo");
    BYTE back[8] = {};
    DWORD type = 0;
    size = sizeof back;
    EXPECT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, back, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::memcmp(back, blob, 3), 0);
    RegCloseKey(key);
}

TEST_F(RegistryTest, ImportsAHandWrittenFile) {
    TestFolder folder;
    const std::string path = folder.File("imported.reg");
    WriteWholeFile(path, "\xEF\xBB\xBFREGEDIT4\r\n"
                         "\r\n"
                         "; written by an administrator\r\n"
                         "[HKEY_LOCAL_MACHINE\\Software\\Tandry\\Parameters\\CVLanguage]\r\n"
                         "@=\"English\"\r\n"
                         "\r\n"
                         "[hkey_current_user\\Software\\Corvane\\Parameters\\KelNTIntegration]\r\n"
                         "\"PgmName\" = \"/opt/integration/bin/run \\\"quoted\\\" \\\\share\"\r\n"
                         "\"ShowWindow\"=dword:0000000A\r\n"
                         "\"Gone\"=\"x\"\r\n"
                         "\"Gone\"=-\r\n"
                         "\"Wide\"=hex:01,02,\\\r\n"
                         "  03\r\n");
    RegistryResult result = RegistryUseFile(path);
    ASSERT_TRUE(result.Ok()) << result.message;

    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tandry\\Parameters\\CVLanguage", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    std::string text;
    DWORD size = 0;
    EXPECT_EQ(QueryString(key, nullptr, 256, &text, &size), ERROR_SUCCESS);
    EXPECT_EQ(text, "English");
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Corvane\\Parameters\\KelNTIntegration", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, "PgmName", 260, &text, &size), ERROR_SUCCESS);
    EXPECT_EQ(text, "/opt/integration/bin/run \"quoted\" \\share");
    DWORD value = 0;
    size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "ShowWindow", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 10u);
    EXPECT_EQ(QueryString(key, "Gone", 16, &text, &size), ERROR_FILE_NOT_FOUND);
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Wide", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    RegCloseKey(key);
}

// An export with many sibling keys: each is found in any letter case, a deleted one is gone, and one made
// again afterwards or through the API is found as well (the lookup of many subkeys is kept in step).
TEST_F(RegistryTest, ManySiblingKeysAreFoundDeletedAndMadeAgain) {
    TestFolder folder;
    const std::string path = folder.File("many.reg");
    std::string text = "REGEDIT4\r\n\r\n";
    const int kKeys = 300;
    for (int i = 0; i < kKeys; ++i)
        text += "[HKEY_CURRENT_USER\\Software\\Many\\Key" + std::to_string(i) + "]\r\n\"V\"=\"" +
                std::to_string(i) + "\"\r\n\r\n";
    text += "[-HKEY_CURRENT_USER\\Software\\Many\\KEY7]\r\n\r\n";
    text += "[-HKEY_CURRENT_USER\\Software\\Many\\Key8]\r\n\r\n";
    text += "[HKEY_CURRENT_USER\\Software\\Many\\key8]\r\n\"V\"=\"again\"\r\n";
    WriteWholeFile(path, text);
    RegistryResult result = RegistryUseFile(path);
    ASSERT_TRUE(result.Ok()) << result.message;

    HKEY made = Create(HKEY_CURRENT_USER, "Software\\Many\\Made Later");
    RegCloseKey(made);
    const struct {
        const char* key;
        const char* value; // null: the key is not there
    } cases[] = {
        {"Software\\Many\\Key0", "0"},       {"SOFTWARE\\many\\kEY299", "299"},
        {"Software\\Many\\Key150", "150"},   {"Software\\Many\\Key7", nullptr},
        {"Software\\Many\\Key8", "again"},   {"Software\\Many\\made later", ""},
        {"Software\\Many\\Key300", nullptr},
    };
    for (const auto& c : cases) {
        HKEY key = nullptr;
        const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, c.key, 0, KEY_READ, &key);
        if (c.value == nullptr) {
            EXPECT_EQ(opened, ERROR_FILE_NOT_FOUND) << c.key;
            continue;
        }
        ASSERT_EQ(opened, ERROR_SUCCESS) << c.key;
        std::string read;
        DWORD size = 0;
        if (c.value[0] != '\0') {
            EXPECT_EQ(QueryString(key, "V", 64, &read, &size), ERROR_SUCCESS) << c.key;
            EXPECT_EQ(read, c.value) << c.key;
        }
        RegCloseKey(key);
    }
}

TEST_F(RegistryTest, MalformedFilesAreRefusedAndLeftAlone) {
    using namespace std::string_literals;
    struct Case {
        std::string content;
        const char* where; // "file:LINE:" prefix expected after the path
        const char* what;
    } cases[] = {
        {"", ":1:", "REGEDIT4"},
        {"Windows Registry Editor Version 4.00\n", ":1:", "REGEDIT4 or Windows Registry Editor Version 5.00"},
        {"REGEDIT4\n\n\"Name\"=\"x\"\n", ":3:", "before the first [key]"},
        {"REGEDIT4\n\n[HKEY_CLASSES_ROOT\\x]\n", ":3:", "unknown root key"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\n", ":3:", "closing ']'"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A\\\\B]\n", ":3:", "empty key name"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"Name\"=\"open\n", ":4:", "closing quote"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"N\"=\"a\\nb\"\n", ":4:", "unknown escape"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"N\"=\"a\" junk\n", ":4:", "after the closing quote"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"N\"=dword:1234567890\n", ":4:", "dword"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"N\"=dword:xyz\n", ":4:", "dword"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"N\"=hex:0g\n", ":4:", "hex"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\n\n\"N\"=number\n", ":6:", "unknown value form"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"N\"\n", ":4:", "'='"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"N\"=\"a\0b\"\n"s, ":4:", "NUL byte"},
        {"REGEDIT4\n\n" + DeepSection("", 513),
         ":3:", "key nested 513 levels deep (at most 512 are allowed)"},
        {"REGEDIT4\n\n" + DeepSection("", 100000),
         ":3:", "key nested 100000 levels deep (at most 512 are allowed)"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n" + DeepSection("-", 100000),
         ":4:", "key nested 100000 levels deep"},
        {Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\\xD800"
                   u"A]\r\n"),
         ":3:", "unpaired UTF-16 surrogate d800"},
        {Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n\xDC01"),
         ":3:", "unpaired UTF-16 surrogate dc01"},
        {Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n\xD83D"),
         ":3:", "unpaired UTF-16 surrogate d83d"},
        {Utf16File(u"Windows Registry Editor Version 5.00\r\n") + "\n",
         ":2:", "odd number of bytes, which UTF-16 cannot have"},
        {"\xFE\xFF\0R\0E", ":1:", "UTF-16 big-endian"},
        {Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
                   u"\"P\"=hex(2):00,d8,41,00,00,00\r\n"),
         ":4:", "a hex(2) value of a Version 5.00 file holds UTF-16 text: unpaired UTF-16 surrogate d800"},
        {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"M\"=hex(7):41,00,00\n",
         ":4:", "a hex(7) value of a Version 5.00 file holds UTF-16 text: odd number of bytes"},
        {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"L\"=\"Stra\xDF"
         "e\"\n",
         ":4:", "a string of a Version 5.00 file is Unicode text, and this one is not UTF-8"},
    };
    TestFolder folder;
    const std::string good = folder.File("good.reg");
    WriteWholeFile(good, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Kept]\n\"V\"=\"1\"\n");
    ASSERT_TRUE(RegistryUseFile(good).Ok());
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        const std::string path = folder.File("bad" + std::to_string(index++) + ".reg");
        WriteWholeFile(path, c.content);
        RegistryResult result = RegistryUseFile(path);
        EXPECT_EQ(result.code, ERROR_BADDB);
        EXPECT_EQ(result.message.rfind(path + c.where, 0), 0u) << result.message;
        EXPECT_NE(result.message.find(c.what), std::string::npos) << result.message;
        EXPECT_EQ(ReadWholeFile(path), c.content) << "a refused file is never rewritten";
    }
    // The registry in use is still the good one, and changes still go to its file.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Kept", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const BYTE two[] = "2";
    EXPECT_EQ(RegSetValueExA(key, "W", 0, REG_SZ, two, 2), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_NE(ReadWholeFile(good).find("\"W\"=\"2\""), std::string::npos);
}

TEST_F(RegistryTest, AChangeThatCannotBeWrittenIsUndone) {
    TestFolder folder;
    ASSERT_TRUE(RegistryUseFile(folder.File("blocker/registry.reg")).Ok());
    WriteWholeFile(folder.File("blocker"), "a file where the folder should be made");
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_CANTWRITE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegistryExportText(), "REGEDIT4\n\n");
}

TEST_F(RegistryTest, DefaultFileFollowsXdgConfigHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg != nullptr ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";

    setenv("XDG_CONFIG_HOME", "/srv/config", 1);
    EXPECT_EQ(RegistryDefaultFilePath(), "/srv/config/cvadmin/registry.reg");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/admin", 1);
    EXPECT_EQ(RegistryDefaultFilePath(), "/home/admin/.config/cvadmin/registry.reg");

    if (oldXdg != nullptr)
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    if (oldHome != nullptr)
        setenv("HOME", savedHome.c_str(), 1);
    else
        unsetenv("HOME");
}

} // namespace

namespace {

TEST_F(RegistryTest, SessionValuesAreReadFirstAndNeverWritten) {
    TestFolder folder;
    const std::string path = folder.File("registry.reg");
    ASSERT_TRUE(RegistryUseFile(path).Ok());
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Tandry\\Parameters\\CVLanguage");
    SetString(key, nullptr, "German");
    RegCloseKey(key);
    const std::string stored = ReadWholeFile(path);

    ASSERT_EQ(RegistrySetSessionString(HKEY_LOCAL_MACHINE, "Software\\Tandry\\SessionSettings", "CVLANGUAGE",
                                       "French"),
              ERROR_SUCCESS);
    ASSERT_EQ(RegistrySetSessionString(HKEY_LOCAL_MACHINE, "Software\\Tandry\\Parameters\\CVLanguage",
                                       nullptr, "French"),
              ERROR_SUCCESS);
    HKEY session = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tandry\\SessionSettings", 0, KEY_READ, &session),
              ERROR_SUCCESS)
        << "a key that exists only for the session opens";
    std::string text;
    DWORD size = 0;
    EXPECT_EQ(QueryString(session, "CVLANGUAGE", 256, &text, &size), ERROR_SUCCESS);
    EXPECT_EQ(text, "French");
    RegCloseKey(session);
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tandry\\Parameters\\CVLanguage", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, nullptr, 256, &text, &size), ERROR_SUCCESS);
    EXPECT_EQ(text, "French") << "the session value hides the stored one";
    RegCloseKey(key);

    // A later stored change writes the file without the session values.
    key = Create(HKEY_CURRENT_USER, "Software\\Corvane");
    SetDword(key, "Other", 1);
    RegCloseKey(key);
    EXPECT_EQ(ReadWholeFile(path).find("French"), std::string::npos);
    EXPECT_NE(ReadWholeFile(path).find("German"), std::string::npos);
    EXPECT_NE(ReadWholeFile(path), stored);

    ASSERT_TRUE(RegistryUseFile(path).Ok());
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tandry\\SessionSettings", 0, KEY_READ, &session),
              ERROR_FILE_NOT_FOUND)
        << "a new backend forgets the session";
}

TEST_F(RegistryTest, KeysNestAtMost512LevelsDeep) {
    TestFolder folder;
    const std::string path = folder.File("deep.reg");
    std::string deepest;
    for (int i = 0; i < 512; ++i)
        deepest += "L\\";
    // A deleted tree as deep as a tree may be.
    WriteWholeFile(path, "REGEDIT4\n\n" + DeepSection("", 512) + "\"At512\"=dword:00000001\n\n" +
                             "[HKEY_CURRENT_USER\\Gone\\" + deepest.substr(2, deepest.size() - 3) + "]\n\n" +
                             "[-HKEY_CURRENT_USER\\Gone]\n");
    RegistryResult result = RegistryUseFile(path);
    ASSERT_TRUE(result.Ok()) << result.message;

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, deepest.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Gone", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCreateKeyExA(key, "One more", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (deepest + "One more").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegistrySetSessionString(HKEY_CURRENT_USER, (deepest + "One more").c_str(), "V", "x"),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
    RegCloseKey(Create(HKEY_CURRENT_USER, "New"));
    const std::string written = ReadWholeFile(path);
    EXPECT_NE(written.find(DeepSection("", 512) + "\"At512\"=dword:00000001\n"), std::string::npos);
    EXPECT_NE(written.find("[HKEY_CURRENT_USER\\New]"), std::string::npos);
    EXPECT_EQ(written.find("Gone"), std::string::npos);
    ASSERT_TRUE(RegistryUseFile(path).Ok()) << "what was written reads back";
    EXPECT_EQ(RegistryExportText(), written);
}

// However deep a tree is built in code, copying and freeing it do not nest a call per level.
TEST_F(RegistryTest, ADeepTreeIsCopiedAndFreedInALoop) {
    constexpr size_t kLevels = 200000;
    auto tree = std::make_unique<RegistryTree>();
    RegistryKey* key = &tree->currentUser;
    for (size_t i = 0; i < kLevels; ++i)
        key = &key->SubkeyOrNew(LevelName(i));
    key->SetValue(RegistryValue{"Bottom", REG_DWORD, {7, 0, 0, 0}});
    const RegistryTree copy = *tree;
    tree.reset();
    size_t depth = 0;
    const RegistryKey* walk = &copy.currentUser;
    while (!walk->subkeys.empty()) {
        EXPECT_EQ(walk->subkeys.size(), 1u);
        walk = walk->subkeys.front().get();
        ++depth;
    }
    EXPECT_EQ(depth, kLevels);
    EXPECT_EQ(walk->name, LevelName(kLevels - 1));
    ASSERT_NE(walk->FindValue("Bottom"), nullptr);
    EXPECT_EQ(walk->FindValue("Bottom")->data, (std::vector<BYTE>{7, 0, 0, 0}));
}

// A file exported by regedit on Windows is read, and written back in UTF-16 with its header and CRLF lines
// so that Windows imports it again.
TEST_F(RegistryTest, AWindowsUnicodeExportIsReadAndWrittenBackTheSameWay) {
    TestFolder folder;
    const std::string path = folder.File("export.reg");
    WriteWholeFile(path, Utf16File(u"Windows Registry Editor Version 5.00\r\n"
                                   u"\r\n"
                                   u"[HKEY_CURRENT_USER\\Software\\Corvane\\Parameters\\KelNTIntegration]\r\n"
                                   u"\"PgmName\"=\"C:\\\\Programme\\\\Grüße 𝄞\"\r\n"
                                   u"\"ShowWindow\"=dword:00000001\r\n"
                                   u"\"Path\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,fc,00,00,00\r\n"
                                   u"\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                                   u"\"Blob\"=hex:00,ff\r\n"
                                   u"\r\n"));
    RegistryResult result = RegistryUseFile(path);
    ASSERT_TRUE(result.Ok()) << result.message;

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Corvane\\Parameters\\KelNTIntegration", 0,
                            KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    struct Case {
        const char* name;
        DWORD type;
        std::string data; // as RegQueryValueExA gives it
    } cases[] = {
        {"PgmName", REG_SZ,
         "C:\\Programme\\Gr\xC3\xBC\xC3\x9F"
         "e \xF0\x9D\x84\x9E" +
             std::string(1, '\0')},
        {"ShowWindow", REG_DWORD, std::string("\x01\0\0\0", 4)},
        {"Path", REG_EXPAND_SZ, "%PATH%\xC3\xBC" + std::string(1, '\0')},
        {"List", REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
        {"Blob", REG_BINARY, std::string("\0\xFF", 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BYTE data[64] = {};
        DWORD type = 0;
        DWORD size = sizeof data;
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, data, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), c.data);
    }
    SetString(key, "Added",
              "Stra\xC3\x9F"
              "e");
    const std::string changed =
        Utf16File(u"Windows Registry Editor Version 5.00\r\n"
                  u"\r\n"
                  u"[HKEY_CURRENT_USER\\Software]\r\n"
                  u"\r\n"
                  u"[HKEY_CURRENT_USER\\Software\\Corvane]\r\n"
                  u"\r\n"
                  u"[HKEY_CURRENT_USER\\Software\\Corvane\\Parameters]\r\n"
                  u"\r\n"
                  u"[HKEY_CURRENT_USER\\Software\\Corvane\\Parameters\\KelNTIntegration]\r\n"
                  u"\"PgmName\"=\"C:\\\\Programme\\\\Grüße 𝄞\"\r\n"
                  u"\"ShowWindow\"=dword:00000001\r\n"
                  u"\"Path\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,fc,00,00,00\r\n"
                  u"\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                  u"\"Blob\"=hex:00,ff\r\n"
                  u"\"Added\"=\"Straße\"\r\n"
                  u"\r\n");
    EXPECT_EQ(ReadWholeFile(path), changed);
    EXPECT_EQ(RegistryExportText(), changed);

    // A string that is not UTF-8 has no UTF-16 form: the change is refused and the file stays as it was.
    const BYTE latin1[] = "Stra\xDF"
                          "e";
    EXPECT_EQ(RegSetValueExA(key, "Latin1", 0, REG_SZ, latin1, sizeof latin1), ERROR_CANTWRITE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Latin1", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadWholeFile(path), changed);
    RegCloseKey(key);
}

TEST_F(RegistryTest, AUtf8FileWithTheVersion5HeaderKeepsIt) {
    TestFolder folder;
    const std::string path = folder.File("utf8.reg");
    WriteWholeFile(path,
                   "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Gr\xC3\xBC\xC3\x9F"
                   "e]\n"
                   "\"Expand\"=hex(2):41,00,00,00\n");
    RegistryResult result = RegistryUseFile(path);
    ASSERT_TRUE(result.Ok()) << result.message;
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Gr\xC3\xBC\xC3\x9F"
                                          "e");
    SetString(key, "Lines", "one\r\n\xC3\xBC");
    RegCloseKey(key);
    EXPECT_EQ(ReadWholeFile(path), "Windows Registry Editor Version 5.00\n"
                                   "\n"
                                   "[HKEY_LOCAL_MACHINE\\Software]\n"
                                   "\n"
                                   "[HKEY_LOCAL_MACHINE\\Software\\Gr\xC3\xBC\xC3\x9F"
                                   "e]\n"
                                   "\"Expand\"=hex(2):41,00,00,00\n"
                                   "\"Lines\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,fc,00,00,00\n"
                                   "\n");
}

} // namespace
