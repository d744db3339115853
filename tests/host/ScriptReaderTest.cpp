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

} // namespace
