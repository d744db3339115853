#include "platform/locale/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <string>

namespace {

uint32_t Field(const unsigned char* record, size_t offset) {
    uint32_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

class LocaleTest : public ::testing::Test {
protected:
    void SetUp() override { LocResetTestHooks(); }
    void TearDown() override { LocResetTestHooks(); }

    struct Converted {
        int32_t code;
        std::string bytes; // up to the NUL
        uint32_t length;
        std::string buffer; // the whole output buffer
    };
    static Converted Convert(const char* text, uint32_t size) {
        uintptr_t handle = 0;
        EXPECT_EQ(LocGetConversionHandle(&handle), LOC_OK);
        std::string buffer(size, '\xAA');
        uint32_t length = 12345;
        int32_t code = LocConvertString(handle, buffer.data(), size, text, 0, &length);
        return Converted{code, std::string(buffer.c_str()), length, buffer};
    }
};

TEST_F(LocaleTest, InitializeFillsTheRecordThatTheCheckAccepts) {
    unsigned char record[LOC_RECORD_SIZE];
    std::memset(record, 0xAA, sizeof record);
    ASSERT_NE(LocInitialize(record), 0);
    EXPECT_EQ(Field(record, LOC_RECORD_CODE_PAGE_OFFSET), 1252u);
    EXPECT_EQ(Field(record, LOC_RECORD_VERSION_OFFSET), LOC_INTERFACE_VERSION);
    // the module hands over the field at 60 first, then the one at 56
    EXPECT_EQ(LocCheckVersion(Field(record, 60), Field(record, 56)), LOC_OK);
    EXPECT_EQ(LocInitialize(nullptr), 0);
}

TEST_F(LocaleTest, TheCheckRefusesOtherVersionsAndPages) {
    struct Case {
        uint32_t version;
        uint32_t codePage;
        int32_t answer;
    } cases[] = {
        {LOC_INTERFACE_VERSION, 1252, LOC_OK},
        {LOC_INTERFACE_VERSION + 7, 850, LOC_OK}, // a newer minor version is compatible
        {0x00020000, 1252, LOC_ERR_VERSION},
        {0, 0, LOC_ERR_VERSION},
        {LOC_INTERFACE_VERSION, 932, LOC_ERR_CODE_PAGE},
        {1252, LOC_INTERFACE_VERSION, LOC_ERR_VERSION}, // the arguments swapped
    };
    for (const Case& c : cases)
        EXPECT_EQ(LocCheckVersion(c.version, c.codePage), c.answer) << c.version << " " << c.codePage;
}

TEST_F(LocaleTest, HooksMakeStartUpFail) {
    unsigned char record[LOC_RECORD_SIZE];
    LocSetInitializeFails(1);
    EXPECT_EQ(LocInitialize(record), 0);
    LocSetInitializeFails(0);
    ASSERT_NE(LocInitialize(record), 0);
    LocSetVersionRefused(1);
    EXPECT_NE(LocCheckVersion(Field(record, 60), Field(record, 56)), LOC_OK);

    setenv("KELNT_LOC_FAIL_INIT", "1", 1);
    setenv("KELNT_LOC_REFUSE_VERSION", "0", 1);
    LocResetTestHooks();
    EXPECT_EQ(LocInitialize(record), 0);
    EXPECT_EQ(LocCheckVersion(LOC_INTERFACE_VERSION, 1252), LOC_OK);
    unsetenv("KELNT_LOC_FAIL_INIT");
    unsetenv("KELNT_LOC_REFUSE_VERSION");
}

TEST_F(LocaleTest, ConvertsUtf8IntoCodePage1252) {
    struct Case {
        const char* name;
        const char* text;
        uint32_t size;
        int32_t code;
        const char* bytes;
    } cases[] = {
        {"ascii", "Secret42!", 28, LOC_OK, "Secret42!"},
        {"empty", "", 28, LOC_OK, ""},
        {"e acute", "caf\xC3\xA9", 28, LOC_OK, "caf\xE9"},
        {"euro",
         "\xE2\x82\xAC"
         "5",
         28, LOC_OK,
         "\x80"
         "5"},
        {"s caron and dagger", "\xC5\xA1\xE2\x80\xA0", 28, LOC_OK, "\x9A\x86"},
        {"y diaeresis", "\xC3\xBF", 28, LOC_OK, "\xFF"},
        {"hole U+0081", "a\xC2\x81", 28, LOC_ERR_NO_MAPPING, ""},
        {"hole U+008D", "\xC2\x8D", 28, LOC_ERR_NO_MAPPING, ""},
        {"CJK", "\xE6\x97\xA5\xE6\x9C\xAC", 28, LOC_ERR_NO_MAPPING, ""},
        {"emoji", "\xF0\x9F\x98\x80", 28, LOC_ERR_NO_MAPPING, ""},
        {"bare continuation byte", "a\x80", 28, LOC_ERR_INVALID_UTF8, ""},
        {"cut sequence", "\xC3", 28, LOC_ERR_INVALID_UTF8, ""},
        {"overlong slash", "\xC0\xAF", 28, LOC_ERR_INVALID_UTF8, ""},
        {"overlong three bytes", "\xE0\x80\xAF", 28, LOC_ERR_INVALID_UTF8, ""},
        {"surrogate", "\xED\xA0\x80", 28, LOC_ERR_INVALID_UTF8, ""},
        {"above U+10FFFF", "\xF4\x90\x80\x80", 28, LOC_ERR_INVALID_UTF8, ""},
        {"latin-1 byte, not UTF-8", "caf\xE9", 28, LOC_ERR_INVALID_UTF8, ""},
        {"exact fit", "abcd", 5, LOC_OK, "abcd"},
        {"exact fit with a two-byte character", "abc\xC3\xA9", 5, LOC_OK, "abc\xE9"},
        {"one past", "abcde", 5, LOC_ERR_BUFFER_SMALL, ""},
        {"27 of 28", "123456789012345678901234567", 28, LOC_OK, "123456789012345678901234567"},
        {"28 of 28", "1234567890123456789012345678", 28, LOC_ERR_BUFFER_SMALL, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Converted out = Convert(c.text, c.size);
        EXPECT_EQ(out.code, c.code);
        EXPECT_EQ(out.bytes, c.bytes);
        EXPECT_EQ(out.length, c.code == LOC_OK ? std::strlen(c.bytes) : 0u);
        // the rest of the buffer is zero: after a success past the text, after a failure all of it
        for (size_t i = out.bytes.size(); i < out.buffer.size(); ++i)
            EXPECT_EQ(out.buffer[i], '\0') << "byte " << i;
    }
}

TEST_F(LocaleTest, BadArgumentsAreRefused) {
    uintptr_t handle = 0;
    ASSERT_EQ(LocGetConversionHandle(&handle), LOC_OK);
    char out[8];
    uint32_t length = 0;
    EXPECT_EQ(LocConvertString(handle, out, sizeof out, "a", 1, &length), LOC_ERR_PARAMETER);
    EXPECT_EQ(LocConvertString(handle + 1, out, sizeof out, "a", 0, &length), LOC_ERR_HANDLE);
    EXPECT_EQ(LocConvertString(0, out, sizeof out, "a", 0, &length), LOC_ERR_HANDLE);
    EXPECT_EQ(LocConvertString(handle, out, 0, "a", 0, &length), LOC_ERR_PARAMETER);
    EXPECT_EQ(LocConvertString(handle, out, sizeof out, nullptr, 0, &length), LOC_ERR_PARAMETER);
    EXPECT_EQ(LocConvertString(handle, out, sizeof out, "a", 0, nullptr), LOC_OK) << "the length is optional";
    EXPECT_EQ(LocGetConversionHandle(nullptr), LOC_ERR_PARAMETER);
}

TEST_F(LocaleTest, TheTargetPageIsSelectable) {
    EXPECT_EQ(LocSetTargetCodePage(932), 0);
    EXPECT_EQ(LocGetTargetCodePage(), 1252u);
    ASSERT_NE(LocSetTargetCodePage(850), 0);
    EXPECT_EQ(Convert("caf\xC3\xA9", 8).bytes, "caf\x82");
    ASSERT_NE(LocSetTargetCodePage(20127), 0);
    EXPECT_EQ(Convert("caf\xC3\xA9", 8).code, LOC_ERR_NO_MAPPING);
    setenv("KELNT_LOC_CODE_PAGE", "28591", 1);
    LocResetTestHooks();
    EXPECT_EQ(LocGetTargetCodePage(), 28591u);
    EXPECT_EQ(Convert("\xC2\x81", 8).bytes, "\x81") << "Latin-1 has every character up to U+00FF";
    unsetenv("KELNT_LOC_CODE_PAGE");
}

// Every character of the Basic Multilingual Plane converts as the C library's own converter does.
TEST_F(LocaleTest, TablesAgreeWithIconv) {
    struct Page {
        uint32_t codePage;
        const char* iconvName;
    } pages[] = {{1252, "CP1252"}, {850, "CP850"}, {28591, "ISO-8859-1"}, {20127, "ASCII"}};
    for (const Page& page : pages) {
        SCOPED_TRACE(page.iconvName);
        iconv_t cd = iconv_open(page.iconvName, "UTF-8");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            ADD_FAILURE() << "iconv has no " << page.iconvName;
            continue;
        }
        ASSERT_NE(LocSetTargetCodePage(page.codePage), 0);
        int mismatches = 0;
        for (uint32_t cp = 1; cp < 0x10000 && mismatches < 5; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF)
                continue;
            char utf8[5] = {};
            if (cp < 0x80) {
                utf8[0] = static_cast<char>(cp);
            } else if (cp < 0x800) {
                utf8[0] = static_cast<char>(0xC0 | (cp >> 6));
                utf8[1] = static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                utf8[0] = static_cast<char>(0xE0 | (cp >> 12));
                utf8[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                utf8[2] = static_cast<char>(0x80 | (cp & 0x3F));
            }
            char in[5];
            std::memcpy(in, utf8, sizeof in);
            char* inPtr = in;
            size_t inLeft = std::strlen(in);
            char out[8];
            char* outPtr = out;
            size_t outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const bool iconvMaps =
                iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && outPtr - out == 1;
            Converted ours = Convert(utf8, 4);
            const bool oursMaps = ours.code == LOC_OK;
            if (iconvMaps != oursMaps || (oursMaps && ours.bytes[0] != out[0])) {
                ++mismatches;
                ADD_FAILURE() << "U+" << std::hex << cp << ": iconv " << iconvMaps << " ours " << oursMaps;
            }
        }
        iconv_close(cd);
    }
}

} // namespace
