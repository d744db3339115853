#include "host/ValueText.h"

#include <gtest/gtest.h>

#include "platform/dirclient/DirClient.h"

using cvadmin::FormatValue;
using cvadmin::ParseValue;

namespace {

TEST(ValueTextTest, TextFormsRoundTrip) {
    struct Case {
        uint32_t syntax;
        const char* text;
    } cases[] = {
        {kDirSyntaxDistinguishedName, "Domain Users.NTDOM.Corp"},
        {kDirSyntaxCaseIgnoreString, "a | b"},
        {kDirSyntaxCaseIgnoreString, ""},
        {kDirSyntaxClassName, "KEL:NT User"},
        {kDirSyntaxBoolean, "true"},
        {kDirSyntaxBoolean, "false"},
        {kDirSyntaxInteger, "-2147483648"},
        {kDirSyntaxInteger, "2147483647"},
        {kDirSyntaxTime, "4294967295"},
        {kDirSyntaxInterval, "0"},
        {kDirSyntaxOctetString, "0x"},
        {kDirSyntaxOctetString, "0x00ff10ab"},
        {kDirSyntaxNetAddress, "1:10.0.0.1:524"},
        {kDirSyntaxNetAddress, "0:"},
        {kDirSyntaxObjectACL, "[All Attributes Rights]|Mary.Sales.Corp|6"},
    };
    for (const Case& c : cases) {
        cvadmin::ParsedValue parsed = ParseValue(c.syntax, c.text);
        ASSERT_EQ(parsed.error, "") << c.text;
        EXPECT_EQ(FormatValue(c.syntax, parsed.value.get()), c.text) << c.syntax;
    }
}

TEST(ValueTextTest, ClientFormsAreWhatTheDirectoryExpects) {
    cvadmin::ParsedValue flag = ParseValue(kDirSyntaxBoolean, "true");
    EXPECT_EQ(*static_cast<const uint8_t*>(flag.value.get()), 1); // read as its first byte
    cvadmin::ParsedValue octets = ParseValue(kDirSyntaxOctetString, "0xA0b1");
    const auto* os = static_cast<const DirOctetString*>(octets.value.get());
    ASSERT_EQ(os->length, 2u);
    EXPECT_EQ(os->data[0], 0xA0);
    EXPECT_EQ(os->data[1], 0xB1);
    cvadmin::ParsedValue net = ParseValue(kDirSyntaxNetAddress, "9:ab");
    const auto* na = static_cast<const DirNetAddress*>(net.value.get());
    EXPECT_EQ(na->type, 9u);
    EXPECT_EQ(na->length, 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(na->address), 2), "ab");
}

TEST(ValueTextTest, RefusesTextOfTheWrongForm) {
    struct Case {
        uint32_t syntax;
        const char* text;
    } cases[] = {
        {kDirSyntaxBoolean, "1"},        {kDirSyntaxBoolean, "TRUE"},       {kDirSyntaxInteger, "12x"},
        {kDirSyntaxInteger, ""},         {kDirSyntaxInteger, "2147483648"}, {kDirSyntaxTime, "-1"},
        {kDirSyntaxInterval, "1.5"},     {kDirSyntaxOctetString, "ff"},     {kDirSyntaxOctetString, "0xf"},
        {kDirSyntaxOctetString, "0xgg"}, {kDirSyntaxNetAddress, "x:y"},     {kDirSyntaxNetAddress, "abc"},
        {kDirSyntaxObjectACL, "a|b"},    {kDirSyntaxObjectACL, "a|b|c"},    {99, "x"},
    };
    for (const Case& c : cases) {
        cvadmin::ParsedValue parsed = ParseValue(c.syntax, c.text);
        EXPECT_NE(parsed.error, "") << c.syntax << " " << c.text;
        EXPECT_EQ(parsed.value, nullptr);
    }
}

} // namespace
