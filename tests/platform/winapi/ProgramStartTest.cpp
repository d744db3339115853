#include "platform/winapi/WinApi.h"
#include "tests/platform/winapi/TestFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLineTest, FollowsThePlatformsRules) {
    struct Case {
        const char* line;
        Words words;
    } cases[] = {
        {"prog \"a b c\" d e", {"prog", "a b c", "d", "e"}},
        {"prog \"ab\\\"c\" \"\\\\\" d", {"prog", "ab\"c", "\\", "d"}},
        {"prog a\\\\\\b d\"e f\"g h", {"prog", "a\\\\\\b", "de fg", "h"}},
        {"prog a\\\\\\\"b c d", {"prog", "a\\\"b", "c", "d"}},
        {"prog a\\\\\\\\\"b c\" d e", {"prog", "a\\\\b c", "d", "e"}},
        {"prog \"say \"\"hi\"\"\"", {"prog", "say \"hi\""}},
        {"  prog\t one  two ", {"prog", "one", "two"}},
        {"prog \"\"", {"prog", ""}},
        {"\"/opt/My Tools\\run\" /f:/tmp/~AI1.tmp", {"/opt/My Tools\\run", "/f:/tmp/~AI1.tmp"}},
        {"C:\\Tools\\run.exe x", {"C:\\Tools\\run.exe", "x"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(SplitCommandLine(c.line), c.words);
    }
}

TEST(QuoteCommandLineArgTest, SplittingGivesTheWordBack) {
    const Words words = {
        "plain",         "",         "with space",        "tab\there", "quote\"inside",   "\"", "trailing\\",
        "trail space\\", "a\\\\\"b", "\\\\server\\share", "end\\\\\"", "/f:/tmp/~AI1.tmp"};
    std::string line = "prog";
    for (const std::string& w : words) {
        line += ' ';
        line += QuoteCommandLineArg(w);
    }
    Words expected = {"prog"};
    expected.insert(expected.end(), words.begin(), words.end());
    EXPECT_EQ(SplitCommandLine(line), expected) << line;
    EXPECT_EQ(QuoteCommandLineArg("plain"), "plain") << "a word that needs no quotes gets none";
    EXPECT_EQ(SplitCommandLine(QuoteCommandLineArg("/opt/My Tools/run") + " x"),
              (Words{"/opt/My Tools/run", "x"}));
}

class WinExecTest : public ::testing::Test {
protected:
    TestFolder folder;

    // Waits for the helper's record of its words (the helper runs on its own; a lost start would wait
    // forever, so the wait gives up after a generous bound).
    Words RecordedWords(const std::string& file) {
        for (int i = 0; i < 1000 && !std::filesystem::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string content = ReadWholeFile(file);
        Words words;
        size_t start = 0;
        for (size_t i = 0; i < content.size(); ++i) {
            if (content[i] == 0) {
                words.push_back(content.substr(start, i - start));
                start = i + 1;
            }
        }
        return words;
    }
};

TEST_F(WinExecTest, StartsTheProgramWithItsWords) {
    const std::string record = folder.File("words");
    const std::string line = std::string(EXEC_HELPER_PATH) + " " + QuoteCommandLineArg(record) +
                             " /f:/tmp/~AI3F.tmp \"two words\"";
    ClearProgramStartLog();
    EXPECT_GT(WinExec(line.c_str(), SW_SHOWMINIMIZED), 31u);
    EXPECT_EQ(RecordedWords(record), (Words{EXEC_HELPER_PATH, record, "/f:/tmp/~AI3F.tmp", "two words"}));
    std::vector<ProgramStartRecord> log = ProgramStartLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].commandLine, line);
    EXPECT_EQ(log[0].showCmd, SW_SHOWMINIMIZED);
    EXPECT_GT(log[0].answer, 31u);
}

TEST_F(WinExecTest, AnUnquotedProgramPathWithBlanksIsFound) {
    std::filesystem::create_directory(folder.File("My Tools"));
    const std::string program = folder.File("My Tools/integrate");
    std::filesystem::copy_file(EXEC_HELPER_PATH, program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const std::string record = folder.File("words");
    const std::string line = program + " " + record + " /f:x";
    EXPECT_GT(WinExec(line.c_str(), SW_SHOWNORMAL), 31u);
    EXPECT_EQ(RecordedWords(record), (Words{program, record, "/f:x"}));
}

TEST_F(WinExecTest, FailuresAnswerLikeThePlatform) {
    WriteWholeFile(folder.File("notes.txt"), "just text\n");
    WriteWholeFile(folder.File("noshebang"), "echo hello\n");
    std::filesystem::permissions(folder.File("noshebang"), std::filesystem::perms::owner_all);
    WriteWholeFile(folder.File("badinterp"), "#!/no/such/interpreter\n");
    std::filesystem::permissions(folder.File("badinterp"), std::filesystem::perms::owner_all);
    struct Case {
        std::string line;
        UINT answer;
    } cases[] = {
        {folder.File("missing-program") + " /f:x", ERROR_FILE_NOT_FOUND},
        {folder.File("no-folder/program") + " /f:x", ERROR_PATH_NOT_FOUND},
        {folder.File("notes.txt/program"), ERROR_PATH_NOT_FOUND},
        {folder.File("notes.txt") + " /f:x", ERROR_BAD_FORMAT},
        {folder.File("noshebang"), ERROR_BAD_FORMAT},
        {folder.File("badinterp"), ERROR_BAD_FORMAT},
        {folder.Path(), ERROR_BAD_FORMAT},
        {"no-such-program-anywhere-kelnt /f:x", ERROR_FILE_NOT_FOUND},
        {"", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(WinExec(c.line.c_str(), SW_SHOWNORMAL), c.answer);
    }
}

} // namespace
