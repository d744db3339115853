#include "platform/winapi/WinApi.h"

#include <gtest/gtest.h>

namespace {

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override { ASSERT_TRUE(SetActiveCodePage(1252)); }
};

TEST_F(CodePageTest, SingleByteByDefault) {
    EXPECT_EQ(GetACP(), 1252u);
    for (int b = 0; b < 256; ++b)
        EXPECT_FALSE(IsDBCSLeadByte(static_cast<BYTE>(b))) << b;
}

TEST_F(CodePageTest, ShiftJisLeadBytes) {
    ASSERT_TRUE(SetActiveCodePage(932));
    struct Case {
        BYTE byte;
        BOOL lead;
    } cases[] = {{0x5C, FALSE}, {0x2E, FALSE}, {0x80, FALSE}, {0x81, TRUE}, {0x95, TRUE},  {0x9F, TRUE},
                 {0xA0, FALSE}, {0xDF, FALSE}, {0xE0, TRUE},  {0xFC, TRUE}, {0xFD, FALSE}, {0x41, FALSE}};
    for (const Case& c : cases)
        EXPECT_EQ(IsDBCSLeadByte(c.byte), c.lead) << static_cast<int>(c.byte);
}

TEST_F(CodePageTest, ABackslashAfterALeadByteIsATrailByte) {
    // "\x95\x5C.Corp": in code page 932 the backslash is the second byte of one character, so the dot
    // after it is not escaped; in 1252 the same bytes escape the dot.
    const BYTE name[] = {0x95, 0x5C, '.', 'C'};
    ASSERT_TRUE(SetActiveCodePage(932));
    EXPECT_TRUE(IsDBCSLeadByte(name[0]));
    ASSERT_TRUE(SetActiveCodePage(1252));
    EXPECT_FALSE(IsDBCSLeadByte(name[0]));
}

TEST_F(CodePageTest, UnknownPagesAreRefused) {
    EXPECT_FALSE(SetActiveCodePage(12345));
    EXPECT_EQ(GetACP(), 1252u);
    ASSERT_TRUE(SetActiveCodePage(936));
    EXPECT_TRUE(IsDBCSLeadByte(0xFE));
    EXPECT_FALSE(IsDBCSLeadByte(0xFF));
}

} // namespace
