#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dirclient/DirErrors.h"
#include "platform/dirclient/DirNames.h"
#include "platform/winapi/WinApi.h"

using namespace dirclient;

namespace {

TEST(DirNames, SplitsAtUnescapedDotsLeafFirst) {
    struct Case {
        std::string name;
        int32_t code;
        std::vector<std::string> leaves;
    } cases[] = {
        {"[Root]", kDirOk, {}},
        {"[root]", kDirOk, {}},
        {"Corp", kDirOk, {"Corp"}},
        {"Sales.Corp", kDirOk, {"Sales", "Corp"}},
        {"Sales.Corp.[Root]", kDirOk, {"Sales", "Corp"}},
        {"J\\.Smith.Corp", kDirOk, {"J\\.Smith", "Corp"}},
        {"a\\.", kDirOk, {"a\\."}},
        {"back\\slash.Corp", kDirOk, {"back\\slash", "Corp"}},
        {"", kDirErrBadName, {}},
        {".", kDirErrBadName, {}},
        {"a..b", kDirErrBadName, {}},
        {"a.", kDirErrBadName, {}},
        {".a", kDirErrBadName, {}},
        {"a.[Root].b", kDirErrBadName, {}},
        {std::string(511, 'x'), kDirOk, {std::string(511, 'x')}},
        {std::string(512, 'x'), kDirErrNameTooLong, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> leaves;
        EXPECT_EQ(SplitName(c.name, &leaves), c.code) << c.name;
        if (c.code == kDirOk) {
            EXPECT_EQ(leaves, c.leaves) << c.name;
        }
    }
}

TEST(DirNames, BackslashAsTrailByteEscapesNothing) {
    ASSERT_TRUE(SetActiveCodePage(932)); // Shift-JIS: 0x83 leads a double-byte character
    std::vector<std::string> leaves;
    const std::string name = "A\x83\\.Corp"; // 0x83 0x5C is one character; the dot separates
    EXPECT_EQ(SplitName(name, &leaves), kDirOk);
    EXPECT_EQ(leaves, (std::vector<std::string>{"A\x83\\", "Corp"}));
    // A trail byte in the letter range is not folded.
    EXPECT_EQ(FoldName("\x83"
                       "A"
                       "B"),
              "\x83"
              "A"
              "b");
    ASSERT_TRUE(SetActiveCodePage(1252));
    EXPECT_EQ(SplitName(name, &leaves), kDirOk);
    EXPECT_EQ(leaves, (std::vector<std::string>{"A\x83\\.Corp"}));
}

TEST(DirNames, LeavesAndFolding) {
    EXPECT_EQ(CheckLeaf("Bob"), kDirOk);
    EXPECT_EQ(CheckLeaf("B\\.ob"), kDirOk);
    EXPECT_EQ(CheckLeaf("B.ob"), kDirErrBadName);
    EXPECT_EQ(CheckLeaf(""), kDirErrBadName);
    EXPECT_EQ(CheckLeaf("[Root]"), kDirErrBadName);
    EXPECT_TRUE(NamesEqual("Sales.CORP", "sales.corp"));
    EXPECT_FALSE(NamesEqual("Sales\xC4", "sales\xE4")); // only ASCII letters fold
}

} // namespace
