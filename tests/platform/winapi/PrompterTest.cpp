#include "platform/winapi/Prompter.h"

#include <gtest/gtest.h>

namespace {

class PrompterTest : public ::testing::Test {
protected:
    void SetUp() override { Prompter::Instance().Reset(); }
    void TearDown() override { Prompter::Instance().Reset(); }
    Prompter& prompter = Prompter::Instance();
};

TEST_F(PrompterTest, QueuedAnswersAreUsedInOrderAndLogged) {
    prompter.QueueAnswer(IDNO);
    prompter.QueueAnswer(IDCANCEL);
    EXPECT_EQ(PrompterShowMessage(57360, "Upload the domain \"Sales\"?", "KelNT", MB_YESNO | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Really?", "Title", MB_OKCANCEL | MB_ICONEXCLAMATION), IDCANCEL);
    EXPECT_EQ(prompter.PendingAnswers(), 0u);

    ASSERT_EQ(prompter.Messages().size(), 2u);
    const MessageBoxRecord& first = prompter.Messages()[0];
    EXPECT_EQ(first.stringId, 57360);
    EXPECT_EQ(first.text, "Upload the domain \"Sales\"?");
    EXPECT_EQ(first.caption, "KelNT");
    EXPECT_EQ(first.buttons, MB_YESNO);
    EXPECT_EQ(first.icon, MB_ICONQUESTION);
    EXPECT_EQ(first.answer, IDNO);
    const MessageBoxRecord& second = prompter.Messages()[1];
    EXPECT_EQ(second.stringId, kNoStringId);
    EXPECT_EQ(second.buttons, MB_OKCANCEL);
    EXPECT_EQ(second.icon, MB_ICONEXCLAMATION);
    EXPECT_EQ(second.answer, IDCANCEL);
    EXPECT_FALSE(prompter.TakeFailure(nullptr));
}

TEST_F(PrompterTest, WithoutAQueuedAnswerOnlyABoxWithOkIsAnswered) {
    struct Case {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},       {MB_OKCANCEL, IDOK}, {MB_YESNO, 0},
        {MB_YESNOCANCEL, 0}, {MB_RETRYCANCEL, 0}, {MB_ABORTRETRYIGNORE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        prompter.Reset();
        EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", c.type), c.answer);
        MessageBoxRecord failed;
        EXPECT_EQ(prompter.TakeFailure(&failed), c.answer == 0);
        if (c.answer == 0) {
            EXPECT_NE(failed.error.find("no answer queued"), std::string::npos) << failed.error;
        }
    }
}

TEST_F(PrompterTest, AnAnswerThatIsNotOneOfTheButtonsFailsTheBox) {
    prompter.QueueAnswer(IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "Done.", "caption", MB_OK), 0);
    EXPECT_EQ(prompter.PendingAnswers(), 0u) << "the wrong answer is used up";
    MessageBoxRecord failed;
    ASSERT_TRUE(prompter.TakeFailure(&failed));
    EXPECT_EQ(failed.error, "answer yes does not fit a message box with ok");
    EXPECT_FALSE(prompter.TakeFailure(&failed)) << "a failure is reported once";
}

TEST_F(PrompterTest, AnAnswererTakesPrecedenceOverTheQueue) {
    std::vector<std::string> asked;
    prompter.SetAnswerer([&](const MessageBoxRecord& box) {
        asked.push_back(box.text);
        return box.buttons == MB_YESNO ? IDYES : 0;
    });
    prompter.QueueAnswer(IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "one", "c", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "two", "c", MB_OK), 0);
    EXPECT_EQ(asked, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(prompter.PendingAnswers(), 1u);
    EXPECT_TRUE(prompter.TakeFailure(nullptr));
}

TEST_F(PrompterTest, TheHostPrintsEachBoxOnOneLine) {
    std::vector<std::string> printed;
    prompter.SetMessageObserver(
        [&](const MessageBoxRecord& box) { printed.push_back(FormatMessageLine(box)); });
    PrompterShowMessage(37, "The date is not valid.\r\nUse the form 12/31/1999.", "KelNT", MB_OK);
    prompter.QueueAnswer(IDYES);
    MessageBoxA(nullptr, "line\nbreak\rhere", "c", MB_YESNO);
    MessageBoxA(nullptr, "unanswered", "c", MB_YESNO);
    EXPECT_EQ(printed, (std::vector<std::string>{
                           "message 37 | The date is not valid.\\nUse the form 12/31/1999. | ok",
                           "message - | line\\nbreak\\nhere | yes",
                           "message - | unanswered | none",
                       }));
}

TEST_F(PrompterTest, AnswerNamesReadBack) {
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
        EXPECT_EQ(AnswerFromName(AnswerName(id)), id);
    EXPECT_EQ(AnswerFromName("maybe"), 0);
}

TEST_F(PrompterTest, HelpCallsAreLoggedAndPrinted) {
    std::vector<std::string> printed;
    prompter.SetHelpObserver([&](const HelpCallRecord& call) { printed.push_back(FormatHelpLine(call)); });
    EXPECT_TRUE(WinHelpA(nullptr, "/opt/kelnt/English/qor.hlp", HELP_CONTEXT, 20));
    EXPECT_TRUE(WinHelpA(nullptr, "/opt/kelnt/English/qor.hlp", HELP_FINDER, 0));
    ASSERT_EQ(prompter.HelpCalls().size(), 2u);
    EXPECT_EQ(prompter.HelpCalls()[0].file, "/opt/kelnt/English/qor.hlp");
    EXPECT_EQ(prompter.HelpCalls()[0].command, HELP_CONTEXT);
    EXPECT_EQ(prompter.HelpCalls()[0].data, 20u);
    EXPECT_EQ(printed, (std::vector<std::string>{"help 20", "help finder"}));
}

TEST_F(PrompterTest, BeepsAreCounted) {
    MessageBeep(0);
    MessageBeep(MB_ICONEXCLAMATION);
    EXPECT_EQ(prompter.BeepCount(), 2u);
}

} // namespace
