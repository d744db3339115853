// The framework over the English resource library: strings, bitmaps, message boxes and the application.
#include "platform/ui/Bitmap.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ResourceAccess.h"
#include "platform/ui/String.h"
#include "platform/ui/WinApp.h"
#include "platform/winapi/Prompter.h"

#include <gtest/gtest.h>

namespace {

const std::string kEnglish = std::string(KELNT_BINARY_DIR) + "/lib/English/rckelnt.so";

class WithEnglish : public ::testing::Test {
protected:
    void SetUp() override {
        Prompter::Instance().Reset();
        m_library = LoadLibraryA(kEnglish.c_str());
        ASSERT_NE(m_library, nullptr);
        AfxSetResourceHandle(m_library);
    }
    void TearDown() override {
        AfxSetResourceHandle(nullptr);
        FreeLibrary(m_library);
        Prompter::Instance().Reset();
    }
    HINSTANCE m_library = nullptr;
};

TEST_F(WithEnglish, LoadsStringsFromTheCurrentLibrary) {
    CString text;
    EXPECT_TRUE(text.LoadString(57347));
    EXPECT_FALSE(text.IsEmpty());
    EXPECT_FALSE(text.LoadString(64999));
    EXPECT_TRUE(text.IsEmpty());
    char buffer[8];
    EXPECT_EQ(LoadStringA(nullptr, 4, buffer, sizeof buffer), 0) << "no library, no string";
    EXPECT_STREQ(buffer, "");
}

TEST_F(WithEnglish, LoadsBitmapsByNameInAnyCaseAndByNumber) {
    CBitmap byName;
    ASSERT_TRUE(byName.LoadBitmap("ckelntdomainbitmap"));
    EXPECT_EQ(byName.GetWidth(), 16);
    EXPECT_EQ(byName.GetPixel(0, 0), 0x800080u);
    EXPECT_EQ(byName.GetPixel(16, 0), 0xFFFFFFFFu);
    EXPECT_FALSE(byName.LoadBitmap("CKelNTWSBitmap")) << "a CBitmap holds one bitmap";

    CBitmap byNumber;
    ASSERT_TRUE(byNumber.LoadBitmap(150));
    EXPECT_NE(byNumber.GetHandle(), byName.GetHandle());
    CBitmap missing;
    EXPECT_FALSE(missing.LoadBitmap("NoSuchBitmap"));
    EXPECT_FALSE(missing.LoadBitmap(999));
    EXPECT_EQ(missing.GetHandle(), nullptr);
    EXPECT_NE(FindBitmapResource(m_library, MAKEINTRESOURCEA(146)), nullptr);
    EXPECT_NE(FindIconResource(m_library, MAKEINTRESOURCEA(134)), nullptr);
}

TEST_F(WithEnglish, DeletedBitmapHandlesNameNothing) {
    HBITMAP handle = nullptr;
    {
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.LoadBitmap(147));
        handle = bitmap;
        EXPECT_NE(GetBitmapPixels(handle), nullptr);
    }
    EXPECT_EQ(GetBitmapPixels(handle), nullptr);
    EXPECT_FALSE(DeleteObject(handle));
}

TEST_F(WithEnglish, MessageBoxesCarryTheirStringIds) {
    CWinApp app("KELNT");
    EXPECT_EQ(ResourceMessageBox(nullptr, 57345, 57346, MB_OK), IDOK);
    Prompter::Instance().QueueAnswer(IDNO);
    EXPECT_EQ(FormatMessageBox(9, MB_YESNO, {std::string_view("/opt/tool"), int64_t{2}}), IDNO);
    EXPECT_EQ(AfxMessageBox("plain text"), IDOK);

    const auto& boxes = Prompter::Instance().Messages();
    ASSERT_EQ(boxes.size(), 3u);
    CString text;
    CString caption;
    text.LoadString(57345);
    caption.LoadString(57346);
    EXPECT_EQ(boxes[0].stringId, 57345);
    EXPECT_EQ(boxes[0].text, text.Str());
    EXPECT_EQ(boxes[0].caption, caption.Str());
    EXPECT_EQ(boxes[1].stringId, 9);
    EXPECT_NE(boxes[1].text.find("\"/opt/tool\""), std::string::npos) << boxes[1].text;
    EXPECT_NE(boxes[1].text.find("(code 2)"), std::string::npos) << boxes[1].text;
    EXPECT_EQ(boxes[1].caption, "KELNT");
    EXPECT_EQ(boxes[2].stringId, kNoStringId);
}

TEST(CWinApp, TheFirstApplicationIsTheOneAndOnlyWhileItLives) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        CWinApp first("first");
        CWinApp second("second");
        EXPECT_EQ(AfxGetApp(), &first);
        first.SetHelpFilePath("/x/English/qor.hlp");
        Prompter::Instance().Reset();
        first.WinHelp(53);
        ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
        EXPECT_EQ(Prompter::Instance().HelpCalls()[0].file, "/x/English/qor.hlp");
        EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, 53u);
        EXPECT_TRUE(first.InitInstance());
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
    Prompter::Instance().Reset();
}

} // namespace
