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

// Folding takes eight bytes at a time where it can: a byte must fold alike wherever it stands, and a byte of
// 0x80 or above must leave the folding of its neighbours alone, whether or not it leads a pair.
TEST(DirNames, FoldingIsTheSameAtEveryPlace) {
    for (int byte = 0; byte < 0x80; ++byte) {
        const char folded = static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte);
        for (size_t at = 0; at < 20; ++at) {
            std::string name(20, 'Q');
            std::string expected(20, 'q');
            name[at] = static_cast<char>(byte);
            expected[at] = folded;
            EXPECT_EQ(FoldName(name), expected) << byte << " at " << at;
        }
    }
    struct Case {
        int codePage;
        std::string name;
        std::string key;
    } cases[] = {
        {932, "ABCDEFG\x83ZBCDEFGHIJ", "abcdefg\x83Zbcdefghij"},
        {932, "\x83ZBCDEFGHIJK", "\x83Zbcdefghijk"},
        {932, "ABCDEFGH\x83", "abcdefgh\x83"},
        {1252, "ABCDEFG\xC4ZBCDEFGHIJ", "abcdefg\xC4zbcdefghij"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SetActiveCodePage(c.codePage));
        EXPECT_EQ(FoldName(c.name), c.key) << c.name;
    }
    ASSERT_TRUE(SetActiveCodePage(1252));
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
