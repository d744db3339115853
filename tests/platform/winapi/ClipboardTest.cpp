#include "platform/winapi/WinApi.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        WinApiClearInjectedFailures();
        ASSERT_TRUE(OpenClipboard(nullptr));
        ASSERT_TRUE(EmptyClipboard());
        ASSERT_TRUE(CloseClipboard());
    }
    void TearDown() override { WinApiClearInjectedFailures(); }

    static HGLOBAL Block(const std::string& text) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
        EXPECT_NE(block, nullptr);
        char* p = static_cast<char*>(GlobalLock(block));
        std::memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(block);
        return block;
    }
};

TEST_F(ClipboardTest, TextHandedOverCanBeReadByTheHost) {
    const std::string results = "admin\r\nSuccess\tSALES\r\nFailure\tWS01\r\n";
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL block = Block(results);
    EXPECT_EQ(SetClipboardData(CF_TEXT, block), block);
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(ClipboardGetText(), results);
    EXPECT_EQ(GlobalFree(block), block) << "the clipboard owns the block now";
    EXPECT_EQ(ClipboardGetText(), results);
}

TEST_F(ClipboardTest, EmptyingDropsTheText) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    SetClipboardData(CF_TEXT, Block("old"));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(ClipboardGetText().has_value());
}

TEST_F(ClipboardTest, CallsOutsideAnOpenClipboardFail) {
    HGLOBAL block = Block("x");
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));
    EXPECT_EQ(SetClipboardData(CF_TEXT, block), nullptr);
    EXPECT_FALSE(CloseClipboard());
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr)) << "one owner at a time";
    int local = 0;
    EXPECT_EQ(SetClipboardData(CF_TEXT, &local), nullptr) << "not a global block";
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST_F(ClipboardTest, InjectedFailuresForTheWizardsMessages) {
    WinApiInjectFailure(WinApiFailure::ClipboardOpen);
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_TRUE(OpenClipboard(nullptr));
    WinApiInjectFailure(WinApiFailure::GlobalAlloc);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 10), nullptr);
    EXPECT_TRUE(CloseClipboard());
}

TEST_F(ClipboardTest, GlobalBlocksLockAndFree) {
    HGLOBAL block = GlobalAlloc(GHND, 5);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 5u);
    const char* p = static_cast<const char*>(GlobalLock(block));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::memcmp(p, "\0\0\0\0\0", 5), 0) << "GMEM_ZEROINIT";
    EXPECT_NE(GlobalLock(block), nullptr);
    EXPECT_TRUE(GlobalUnlock(block)) << "still locked once";
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalLock(block), nullptr) << "a freed handle is refused";
    EXPECT_EQ(GlobalFree(block), block);
}

} // namespace
