#include "module/directory/FullName.h"

#include "platform/winapi/WinApi.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class FullNameTest : public ::testing::Test {
protected:
    void TearDown() override { SetActiveCodePage(1252); }
};

TEST_F(FullNameTest, SplitsAtTheFirstUnescapedDot) {
    struct Case {
        unsigned codePage;
        std::string fullName;
        std::string leaf;
        std::string container;
        int ntLength; // of the leaf, in characters (a double-byte pair is one)
    };
    // 0x95 is a lead byte in code page 932 (Shift-JIS); 0x5C is the backslash, also a valid trail byte there.
    const Case cases[] = {
        {1252, "Joe.Dom.Corp", "Joe", "Dom.Corp", 3},
        {1252, "Joe\\.Jr.Dom.Corp", "Joe\\.Jr", "Dom.Corp", 6},
        {1252, "a\\.b\\.c.Corp", "a\\.b\\.c", "Corp", 5},
        {1252, "Corp", "Corp", "[Root]", 4},
        {1252, "Sales.Corp.[Root]", "Sales", "Corp.[Root]", 5},
        {1252, "[Root]", "[Root]", "", 6},
        {1252, "", "", "", 0},
        // A backslash before something else than a dot escapes nothing, but one right before the dot does.
        {1252, "a\\b.Corp", "a\\b", "Corp", 3},
        {1252, "a\\\\.Corp", "a\\\\.Corp", "[Root]", 7},
        // Single-byte code page: 0x95 is a character of its own and the backslash escapes the dot.
        {1252, "\x95\\.x.Corp", "\x95\\.x", "Corp", 3},
        // Double-byte: the backslash is the trail byte of 0x95 0x5C, so the dot after it is a separator.
        {932, "\x95\\.x.Corp", "\x95\\", "x.Corp", 1},
        {932, "a\x95\\.Dom.Corp", "a\x95\\", "Dom.Corp", 2},
        // 0x81 0x81 is one character; the backslash after it stands alone and escapes the dot.
        {932, "\x81\x81\\.x.Corp", "\x81\x81\\.x", "Corp", 3},
        // A lead byte as the name's last byte has no trail byte and is taken as it is.
        {932, "ab\x95", "ab\x95", "[Root]", 3},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SetActiveCodePage(c.codePage));
        CString leaf;
        CString container;
        SplitFullName(c.fullName.c_str(), &leaf, &container);
        EXPECT_EQ(leaf.Str(), c.leaf) << c.fullName;
        EXPECT_EQ(container.Str(), c.container) << c.fullName;
        EXPECT_EQ(GetLeafName(c.fullName.c_str()).Str(), c.leaf) << c.fullName;
        EXPECT_EQ(GetContainerName(c.fullName.c_str()).Str(), c.container) << c.fullName;
        EXPECT_EQ(NtNameLength(leaf), c.ntLength) << c.fullName;
        if (!c.container.empty()) {
            // Splitting and rebuilding gives the name back (below the root as the directory writes it).
            const std::string rebuilt = MakeFullName(leaf, container).Str();
            EXPECT_EQ(rebuilt, c.container == "[Root]" ? c.leaf : c.fullName) << c.fullName;
        }
    }
}

TEST_F(FullNameTest, RebuildsLeafDotContainer) {
    struct Case {
        const char* leaf;
        const char* container;
        std::string fullName;
    };
    const Case cases[] = {
        {"Joe", "Dom.Corp", "Joe.Dom.Corp"},
        {"Joe\\.Jr", "Dom.Corp", "Joe\\.Jr.Dom.Corp"},
        {"Corp", "[Root]", "Corp"},
        {"Corp", "[root]", "Corp"},
        {"Corp", "", "Corp"},
        {"Corp", nullptr, "Corp"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MakeFullName(c.leaf, c.container).Str(), c.fullName) << c.fullName;
    }
}

TEST_F(FullNameTest, NtLengthCountsAnEscapedDotAsOneCharacter) {
    struct Case {
        std::string leaf;
        int length;
        bool fitsNt;
    };
    const Case cases[] = {
        {std::string(20, 'a'), 20, true},
        {std::string(21, 'a'), 21, false},
        {std::string(19, 'a') + "\\.", 20, true}, // 21 bytes, one of them an escaping backslash
        {std::string(18, 'a') + "\\.\\.", 20, true},
        {std::string(19, 'a') + "\\.b", 21, false},
        {"a\\b", 3, true}, // a backslash that escapes no dot counts
        // Characters, not UTF-8 bytes: "é" takes two bytes, "€" three, and each is one NT character.
        {"Zoë", 3, true},
        {"éééééééééééééééé", 16, true},
        {"€€€€€€€€€€€€€€€€€€€€", 20, true},
        {"ééééééééééééééééééééé", 21, false},
        {"ééééééééééééééééééé\\.", 20, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NtNameLength(c.leaf.c_str()), c.length) << c.leaf;
        EXPECT_EQ(NtNameLength(c.leaf.c_str()) <= kMaxNtNameLength, c.fitsNt) << c.leaf;
    }
    EXPECT_EQ(NtNameLength(nullptr), 0);
    EXPECT_EQ(EscapedDotCount("a\\.b\\.c\\d"), 2);
    EXPECT_EQ(EscapedDotCount(nullptr), 0);
}

TEST_F(FullNameTest, FindLeafEndGivesTheSeparatorIndex) {
    EXPECT_EQ(FindLeafEnd("Joe.Dom"), 3u);
    EXPECT_EQ(FindLeafEnd("Joe\\.Jr.Dom"), 7u);
    EXPECT_EQ(FindLeafEnd("Joe"), std::string_view::npos);
    EXPECT_EQ(FindLeafEnd(".Dom"), 0u);
}

} // namespace
