// Text as pages and owner-drawn lists use it: measured in a proportional face, drawn anti-aliased in the
// context's colour, with or without its background, aligned, wrapped and clipped to the rectangle.
#include "platform/ui/window/Gdi.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr COLORREF kPaper = RGB(192, 192, 192);

// A memory canvas of one colour that text is drawn on.
class Canvas {
public:
    Canvas(int width, int height)
        : m_width(width), m_height(height), m_dc(CreateCompatibleDC(nullptr)),
          m_bitmap(CreateCompatibleBitmap(m_dc, width, height)) {
        SelectObject(m_dc, m_bitmap);
        RECT all{0, 0, width, height};
        HBRUSH paper = CreateSolidBrush(kPaper);
        FillRect(m_dc, &all, paper);
    }
    ~Canvas() {
        DeleteDC(m_dc);
        DeleteObject(m_bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    [[nodiscard]] HDC Dc() const { return m_dc; }
    // The columns [left, right) and rows [top, bottom) that hold anything but paper; right is 0 when none.
    [[nodiscard]] RECT Inked() const {
        RECT ink{m_width, m_height, 0, 0};
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                if (GetPixel(m_dc, x, y) != kPaper) {
                    ink.left = std::min<LONG>(ink.left, x);
                    ink.top = std::min<LONG>(ink.top, y);
                    ink.right = std::max<LONG>(ink.right, x + 1);
                    ink.bottom = std::max<LONG>(ink.bottom, y + 1);
                }
        return ink;
    }
    // How many pixels have exactly this colour.
    [[nodiscard]] int Count(COLORREF colour) const {
        int count = 0;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                count += GetPixel(m_dc, x, y) == colour ? 1 : 0;
        return count;
    }

private:
    int m_width;
    int m_height;
    HDC m_dc;
    HBITMAP m_bitmap;
};

SIZE Extent(const std::string& text) {
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPoint32A(nullptr, text.c_str(), static_cast<int>(text.size()), &size));
    return size;
}

TEST(TextTest, TheFaceIsProportionalAndMeasuresWhatItDraws) {
    EXPECT_LT(Extent("iiii").cx * 2, Extent("WWWW").cx) << "a proportional face, not a fixed cell";
    EXPECT_EQ(Extent("").cx, 0);
    EXPECT_EQ(Extent("Gruß").cx, Extent("Gru").cx + Extent("ß").cx) << "UTF-8 is one character a sequence";
    EXPECT_EQ(Extent("Ag").cy, uiwin::TextLineHeight());

    Canvas canvas(200, 30);
    SetBkMode(canvas.Dc(), TRANSPARENT);
    const std::string text = "Logon Hours";
    ASSERT_TRUE(TextOutA(canvas.Dc(), 10, 5, text.c_str(), -1));
    RECT ink = canvas.Inked();
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 10 + Extent(text).cx + 1);
    EXPECT_GT(ink.right - ink.left, Extent(text).cx * 3 / 4);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.bottom, 5 + uiwin::TextLineHeight());
}

TEST(TextTest, TextIsAntiAliasedInItsColourAndKeepsOrFillsItsBackground) {
    struct Case {
        int mode;
        COLORREF ink;
        bool paperFilled; // the text's line is filled with the background colour
    } cases[] = {{TRANSPARENT, RGB(200, 0, 0), false}, {OPAQUE, RGB(0, 0, 255), true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Canvas canvas(120, 20);
        SetBkMode(canvas.Dc(), c.mode);
        SetBkColor(canvas.Dc(), RGB(255, 255, 0));
        SetTextColor(canvas.Dc(), c.ink);
        ASSERT_TRUE(TextOutA(canvas.Dc(), 2, 2, "Members", -1));
        EXPECT_GT(canvas.Count(c.ink), 10) << "the ink where a glyph covers a whole pixel";
        EXPECT_EQ(canvas.Count(RGB(255, 255, 0)) > 0, c.paperFilled);
        // Edges mix ink and what lies under it: colours that are neither.
        int mixed = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 120; ++x) {
                COLORREF p = GetPixel(canvas.Dc(), x, y);
                mixed += p != c.ink && p != kPaper && p != RGB(255, 255, 0) ? 1 : 0;
            }
        EXPECT_GT(mixed, 10) << "anti-aliased edges";
    }
}

TEST(TextTest, DrawTextAlignsWrapsAndClipsToItsRectangle) {
    const std::string word = "Cancel";
    const int width = Extent(word).cx;
    struct Case {
        UINT format;
        int expectLeft;  // where the ink may start at the earliest
        int expectRight; // and end at the latest
    } cases[] = {
        {DT_LEFT | DT_SINGLELINE, 20, 20 + width + 1},
        {DT_RIGHT | DT_SINGLELINE, 180 - width - 1, 180},
        {DT_CENTER | DT_SINGLELINE, 100 - width / 2 - 1, 100 + width / 2 + 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        Canvas canvas(200, 40);
        SetBkMode(canvas.Dc(), TRANSPARENT);
        RECT rect{20, 0, 180, 40};
        DrawTextA(canvas.Dc(), word.c_str(), -1, &rect, c.format | DT_VCENTER);
        RECT ink = canvas.Inked();
        EXPECT_GE(ink.left, c.expectLeft);
        EXPECT_LE(ink.right, c.expectRight);
        EXPECT_GT(ink.top, 20 - uiwin::TextLineHeight()) << "centred vertically";
        EXPECT_LT(ink.bottom, 20 + uiwin::TextLineHeight());
    }

    // A long text in a narrow rectangle: clipped at its edge, unless asked not to be.
    const std::string longText = "Kept in the directory for administrators.";
    for (bool clip : {true, false}) {
        Canvas canvas(300, 20);
        SetBkMode(canvas.Dc(), TRANSPARENT);
        RECT rect{0, 0, 60, 20};
        DrawTextA(canvas.Dc(), longText.c_str(), -1, &rect, DT_LEFT | DT_SINGLELINE | (clip ? 0 : DT_NOCLIP));
        EXPECT_EQ(canvas.Inked().right <= 60, clip);
    }

    // Word breaking: measured first, then drawn in as many lines as it measured.
    RECT measured{0, 0, 100, 0};
    int height = DrawTextA(nullptr, longText.c_str(), -1, &measured, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(height, 0) << "no context";
    Canvas canvas(120, 100);
    SetBkMode(canvas.Dc(), TRANSPARENT);
    height = DrawTextA(canvas.Dc(), longText.c_str(), -1, &measured, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(canvas.Inked().right, 0) << "measuring draws nothing";
    EXPECT_GE(height, 3 * uiwin::TextLineHeight());
    EXPECT_EQ(measured.bottom, height);
    EXPECT_LE(measured.right, 100);
    RECT box{0, 0, 100, 100};
    EXPECT_EQ(DrawTextA(canvas.Dc(), longText.c_str(), -1, &box, DT_WORDBREAK), height);
    RECT ink = canvas.Inked();
    EXPECT_LE(ink.right, 100);
    EXPECT_GT(ink.bottom, height - uiwin::TextLineHeight()) << "the last line is drawn";
    EXPECT_LE(ink.bottom, height);
}

} // namespace
