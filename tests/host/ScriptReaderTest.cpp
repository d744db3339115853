#include "host/ScriptReader.h"

#include <gtest/gtest.h>

using cvadmin::SplitScript;

namespace {

using Words = std::vector<std::string>;

TEST(ScriptReaderTest, SplitsWordsLikeAShell) {
    struct Case {
        const char* text;
        std::vector<Words> commands;
    } cases[] = {
        {"ls Corp", {{"ls", "Corp"}}},
        {"  dump   'NT Staff.Sales.Corp'  Description ", {{"dump", "NT Staff.Sales.Corp", "Description"}}},
        {"type 1005 \"say \\\"hi\\\"\"", {{"type", "1005", "say \"hi\""}}},
        {"dir set a b 'it''s'", {{"dir", "set", "a", "b", "its"}}},
        {"dir set a b it\\'s", {{"dir", "set", "a", "b", "it's"}}},
        {"ls; ls Corp ;;", {{"ls"}, {"ls", "Corp"}}},
        {"dump x # a comment; not a command", {{"dump", "x"}}},
        {"dir set a b x#y", {{"dir", "set", "a", "b", "x#y"}}},
        {"type 1 ''", {{"type", "1", ""}}},
        {"type 1 'a;b'", {{"type", "1", "a;b"}}},
        {"# only a comment\n\n", {}},
        {"ls \\\n Corp", {{"ls", "Corp"}}},
    };
    for (const Case& c : cases) {
        cvadmin::SplitResult result = SplitScript(c.text);
        ASSERT_EQ(result.error, "") << c.text;
        ASSERT_EQ(result.commands.size(), c.commands.size()) << c.text;
        for (std::size_t i = 0; i < c.commands.size(); ++i)
            EXPECT_EQ(result.commands[i].words, c.commands[i]) << c.text;
    }
}

TEST(ScriptReaderTest, NumbersLinesForErrorReports) {
    cvadmin::SplitResult script = SplitScript("ls\n\n# note\ndump 'a\nb' x\nls Corp\n");
    ASSERT_EQ(script.commands.size(), 3u);
    EXPECT_EQ(script.commands[0].line, 1);
    EXPECT_EQ(script.commands[1].line, 4);
    EXPECT_EQ(script.commands[2].line, 6);

    cvadmin::SplitResult commands = SplitScript("ls; dump x; ls Corp", 1, /*commandsAsLines=*/true);
    ASSERT_EQ(commands.commands.size(), 3u);
    EXPECT_EQ(commands.commands[2].line, 3);
}

TEST(ScriptReaderTest, RefusesUnclosedQuotes) {
    for (const char* text : {"ls 'Corp", "ls \"Corp", "ls Corp\\"}) {
        cvadmin::SplitResult result = SplitScript(std::string("ls\n") + text);
        EXPECT_NE(result.error, "") << text;
        EXPECT_EQ(result.errorLine, 2) << text;
    }
}

TEST(ScriptReaderTest, ANulOrABrokenUtf8ByteIsAnErrorOfItsLine) {
    using namespace std::string_literals;
    const std::string nul = "the line holds a NUL byte, which no name or value may hold";
    struct Case {
        std::string text;
        bool commandsAsLines;
        int line;
        std::string error;
    } cases[] = {
        {"ls\ndir del 'Operator.Sales.Corp\0.Nothing'\nls\n"s, false, 2, nul},
        {"ls\ndir set a b \"x\0y\"\n"s, false, 2, nul},
        {"ls\ndir set a b x\0y\n"s, false, 2, nul},
        {"ls\ndir set a b x\\\0\n"s, false, 2, nul},
        {"ls\nls # note \0\n"s, false, 2, nul},
        {"ls\ndir set a b 'one\ntwo\0'\n"s, false, 3, nul},
        {"ls\ntype 1 'caf\xe9'\n", false, 2,
         "the line is not valid UTF-8 (byte 0xe9); scripts are read as UTF-8"},
        {"ls; ls; type 1 \xff", true, 3,
         "the line is not valid UTF-8 (byte 0xff); scripts are read as UTF-8"},
        // The first bad byte is the one reported, even inside a quote that is never closed.
        {"ls\nls '\xc0\xaf\n"s, false, 2,
         "the line is not valid UTF-8 (byte 0xc0); scripts are read as UTF-8"},
    };
    for (const Case& c : cases) {
        cvadmin::SplitResult result = SplitScript(c.text, 1, c.commandsAsLines);
        EXPECT_EQ(result.error, c.error) << c.text;
        EXPECT_EQ(result.errorLine, c.line) << c.text;
    }
}

TEST(ScriptReaderTest, FindsTheFirstByteThatIsNotUtf8) {
    constexpr std::size_t kNone = std::string_view::npos;
    struct Case {
        const char* text;
        std::size_t offset;
    } cases[] = {
        {"plain ASCII", kNone},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf", kNone}, // 2, 3, 4 bytes, U+10FFFF
        {"a\x80", 1},            // a continuation byte with no lead
        {"a\xc3", 1},            // cut short at the end
        {"a\xc3(", 1},           // cut short by another character
        {"\xc0\xaf", 0},         // overlong "/"
        {"\xe0\x80\xaf", 0},     // overlong "/" in three bytes
        {"\xf0\x80\x80\xaf", 0}, // overlong in four
        {"\xed\xa0\x80", 0},     // a surrogate
        {"\xf4\x90\x80\x80", 0}, // past U+10FFFF
        {"ok \xf5\x80\x80\x80", 3},
        {"\xfe", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cvadmin::FirstInvalidUtf8(c.text), c.offset) << c.text;
}

} // namespace
