#include "host/services/HelpFile.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(HelpFile, ShowsTheSectionOfAContextNumber) {
    const std::string english = std::string(KELNT_BINARY_DIR) + "/lib/English/qor.hlp";
    auto selection = ReadHelpSection(english, 53);
    ASSERT_TRUE(selection.has_value());
    EXPECT_EQ(selection->title, "Selecting objects");
    EXPECT_NE(selection->text.find("OK is enabled"), std::string::npos);
    EXPECT_EQ(selection->text.find("@"), std::string::npos) << "the next section is not part of it";

    EXPECT_FALSE(ReadHelpSection(english, 99999).has_value());
    EXPECT_FALSE(ReadHelpSection("/nonexistent/qor.hlp", 1).has_value());
}

TEST(HelpFile, ReadsNumbersExactly) {
    const std::string path = testing::TempDir() + "kelnt-help-test.hlp";
    std::ofstream(path) << "# comment\n@5 Five\nfive text\n\n@53 Fifty-three\nline one\r\nline two\n@530\n";
    EXPECT_EQ(ReadHelpSection(path, 5)->text, "five text");
    EXPECT_EQ(ReadHelpSection(path, 53)->text, "line one\nline two");
    EXPECT_EQ(ReadHelpSection(path, 530)->title, "");
    EXPECT_FALSE(ReadHelpSection(path, 0).has_value());
    std::remove(path.c_str());
}

} // namespace
