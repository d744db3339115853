// Drawing as the pages rely on it: raster operations, the inverting pen mix that undoes itself, masks made
// from a background colour, colour requests, rendering to PNG, and the mouse with capture and confinement.
#include "UiWinFixture.h"

#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dc.h"
#include "platform/ui/window/Dialog.h"
#include "platform/ui/window/UserActions.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// A 1x1 memory canvas holding one colour.
struct Pixel {
    explicit Pixel(COLORREF color)
        : dc(CreateCompatibleDC(nullptr)), bitmap(CreateCompatibleBitmap(dc, 1, 1)) {
        SelectObject(dc, bitmap);
        SetPixel(dc, 0, 0, color);
    }
    ~Pixel() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    HDC dc;
    HBITMAP bitmap;
};

} // namespace

TEST_F(UiWinTest, RasterOperationsCombineSourceDestinationAndPattern) {
    struct Case {
        DWORD rop;
        COLORREF expected;
    };
    const COLORREF source = RGB(0xF0, 0x0F, 0x55);
    const COLORREF dest = RGB(0x3C, 0x3C, 0xFF);
    const COLORREF pattern = RGB(0xFF, 0x00, 0x0F);
    const Case cases[] = {
        {SRCCOPY, source},
        {SRCAND, RGB(0x30, 0x0C, 0x55)},
        {SRCPAINT, RGB(0xFC, 0x3F, 0xFF)},
        {SRCINVERT, RGB(0xCC, 0x33, 0xAA)},
        {NOTSRCCOPY, RGB(0x0F, 0xF0, 0xAA)},
        {DSTINVERT, RGB(0xC3, 0xC3, 0x00)},
        {PATINVERT, RGB(0xC3, 0x3C, 0xF0)},
        {PATCOPY, pattern},
        {BLACKNESS, RGB(0, 0, 0)},
        {WHITENESS, RGB(255, 255, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rop);
        Pixel from(source);
        Pixel to(dest);
        SelectObject(to.dc, CreateSolidBrush(pattern));
        ASSERT_TRUE(BitBlt(to.dc, 0, 0, 1, 1, from.dc, 0, 0, c.rop));
        EXPECT_EQ(GetPixel(to.dc, 0, 0), c.expected);
    }
}

TEST_F(UiWinTest, AnInvertingRectangleDrawnTwiceLeavesWhatWasThere) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 8, 8);
    SelectObject(dc, bitmap);
    RECT all{0, 0, 8, 8};
    FillRect(dc, &all, CreateSolidBrush(RGB(10, 200, 30)));
    int oldMix = SetROP2(dc, R2_NOT);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, 1, 1, 6, 6);
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(245, 55, 225)); // corners are inverted once, not twice
    EXPECT_EQ(GetPixel(dc, 5, 3), RGB(245, 55, 225));
    EXPECT_EQ(GetPixel(dc, 3, 3), RGB(10, 200, 30)); // the null brush leaves the inside
    EXPECT_EQ(GetPixel(dc, 6, 6), RGB(10, 200, 30)); // right and bottom are outside
    Rectangle(dc, 1, 1, 6, 6);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(GetPixel(dc, x, y), RGB(10, 200, 30)) << x << "," << y;
        }
    }
    EXPECT_EQ(SetROP2(dc, oldMix), R2_NOT);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST_F(UiWinTest, AMaskFromABackgroundColourIsWhereThatColourWas) {
    CBitmap picture;
    ASSERT_TRUE(picture.LoadBitmap(300));
    HDC image = CreateCompatibleDC(nullptr);
    HDC mask = CreateCompatibleDC(nullptr);
    HBITMAP maskBitmap = CreateBitmap(4, 2, 1, 1, nullptr);
    ASSERT_TRUE(IsMonochromeBitmap(maskBitmap));
    SelectObject(image, picture.GetHandle());
    SelectObject(mask, maskBitmap);
    SetBkColor(image, RGB(128, 0, 128));
    BitBlt(mask, 0, 0, 4, 2, image, 0, 0, SRCCOPY);
    const char* expected[] = {"1001", "0110"};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            COLORREF want = expected[y][x] == '1' ? RGB(255, 255, 255) : RGB(0, 0, 0);
            EXPECT_EQ(GetPixel(mask, x, y), want) << x << "," << y;
        }
    }
    DeleteDC(image);
    DeleteDC(mask);
    DeleteObject(maskBitmap);
}

namespace {

// A page that paints its disabled edit light grey, as the identification pages do.
class CGreyPage : public CDialog {
public:
    CGreyPage() : CDialog(202) {}

protected:
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) override {
        if ((ctlColor == CTLCOLOR_EDIT || ctlColor == CTLCOLOR_MSGBOX) && control->GetDlgCtrlID() == 1102 &&
            !control->IsWindowEnabled()) {
            return static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
        }
        return CDialog::OnCtlColor(dc, control, ctlColor);
    }
};

} // namespace

TEST_F(UiWinTest, ColourRequestsPaintTheFieldAndRenderingWritesAPng) {
    CGreyPage page;
    ASSERT_TRUE(page.Create(202));
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels = RenderWindowPixels(page.m_hWnd, &width, &height);
    ASSERT_EQ(width, 200);
    ASSERT_EQ(height, 100);
    EXPECT_EQ(pixels[static_cast<size_t>(12) * width + 100], 0xFFFFFFu); // inside 1101, near its right end
    EXPECT_EQ(pixels[static_cast<size_t>(32) * width + 100], 0xC0C0C0u); // inside the disabled 1102

    std::string path = ::testing::TempDir() + "uiwin-render.png";
    ASSERT_EQ(RenderWindowToPng(page.m_hWnd, path), "");
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    auto word = [&](size_t at) {
        return (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 24) |
               (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
               (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
               static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
    };
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    EXPECT_EQ(word(16), 200u);
    EXPECT_EQ(word(20), 100u);
    size_t idat = bytes.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    uint32_t packedSize = word(idat - 4);
    std::vector<unsigned char> raw(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)) + 16);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    ASSERT_EQ(
        uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(bytes.data() + idat + 4), packedSize),
        Z_OK);
    ASSERT_EQ(rawSize, static_cast<uLongf>(height) * (1 + 3 * width));
    size_t grey = static_cast<size_t>(32) * (1 + 3 * width) + 1 + 3 * 100;
    EXPECT_EQ(raw[grey], 0xC0);
    std::remove(path.c_str());
    page.DestroyWindow();
}

namespace {

// A grid-like control: a drag beyond two pixels captures the mouse, confines the cursor and draws an
// inverted band; button up frees both and tells the parent.
class CDragStatic : public CStatic {
public:
    POINT m_anchor{-1, -1};
    bool m_dragging = false;
    CRect m_band;
    std::vector<POINT> m_ups;

protected:
    void OnLButtonDown(UINT /*flags*/, CPoint point) override { m_anchor = point; }
    void OnMouseMove(UINT /*flags*/, CPoint point) override {
        if (m_anchor.x < 0) {
            return;
        }
        if (!m_dragging) {
            CRect near(m_anchor.x - 2, m_anchor.y - 2, m_anchor.x + 2, m_anchor.y + 2);
            if (near.PtInRect(point)) {
                return;
            }
            m_dragging = true;
            m_band = CRect(m_anchor.x, m_anchor.y, m_anchor.x, m_anchor.y);
            SetCapture();
            CRect client;
            GetClientRect(client);
            ClientToScreen(static_cast<LPRECT>(client));
            ::ClipCursor(client);
            DrawBand();
        }
        DrawBand();
        m_band.right = point.x;
        m_band.bottom = point.y;
        DrawBand();
    }
    void OnLButtonUp(UINT flags, CPoint point) override {
        if (m_dragging) {
            DrawBand();
            ::ReleaseCapture();
            ::ClipCursor(nullptr);
        }
        m_ups.push_back(point);
        GetParent()->SendMessage(WM_LBUTTONUP, flags,
                                 MAKELPARAM(static_cast<unsigned>(point.x), static_cast<unsigned>(point.y)));
        m_anchor = {-1, -1};
        m_dragging = false;
    }
    void DrawBand() {
        CClientDC dc(this);
        int old = dc.SetROP2(R2_NOT);
        CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
        CPen* oldPen = dc.SelectObject(&pen);
        CGdiObject* oldBrush = dc.SelectStockObject(NULL_BRUSH);
        CRect band = m_band;
        band.NormalizeRect();
        dc.Rectangle(band);
        dc.SelectObject(oldPen);
        (void)oldBrush;
        dc.SetROP2(old);
    }
};

class CGridDialog : public CDialog {
public:
    CGridDialog() : CDialog(204) {}
    CDragStatic m_grid;
    int m_parentUps = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, 1113, m_grid); }
    void OnLButtonUp(UINT /*flags*/, CPoint /*point*/) override { ++m_parentUps; }
};

} // namespace

TEST_F(UiWinTest, ADragCapturesTheMouseAndConfinesTheCursorToTheControl) {
    CGridDialog dialog;
    ASSERT_TRUE(dialog.Create(204));
    int width = 0;
    int height = 0;
    std::vector<uint32_t> before = RenderWindowPixels(dialog.m_hWnd, &width, &height);

    EXPECT_EQ(MouseAction(dialog.m_hWnd, 1113, UiMouse::Down, 5, 5), UiActionError::None);
    EXPECT_EQ(MouseAction(dialog.m_hWnd, 1113, UiMouse::Move, 6, 6), UiActionError::None);
    EXPECT_EQ(GetCapture(), nullptr); // still within two pixels
    EXPECT_EQ(MouseAction(dialog.m_hWnd, 1113, UiMouse::Move, 30, 20), UiActionError::None);
    EXPECT_EQ(GetCapture(), dialog.m_grid.m_hWnd);
    RECT clip{};
    ASSERT_TRUE(GetClipCursor(&clip));
    RECT screen{};
    GetWindowRect(dialog.m_grid.m_hWnd, &screen);
    EXPECT_EQ(clip.left, screen.left);
    EXPECT_EQ(clip.bottom, screen.bottom);

    // The band shows inverted on the screen: the grid's (5, 5) is the dialog's (15, 15).
    HDC screenDC = GetDC(dialog.m_hWnd);
    COLORREF banded = GetPixel(screenDC, 15, 15);
    EXPECT_EQ(banded, RGB(255 - 192, 255 - 192, 255 - 192));

    // Far outside: the cursor stops at the control's last pixel.
    EXPECT_EQ(MouseAction(dialog.m_hWnd, 1113, UiMouse::Move, 1000, 1000), UiActionError::None);
    EXPECT_EQ(MouseAction(dialog.m_hWnd, 1113, UiMouse::Up, 1000, 1000), UiActionError::None);
    ASSERT_EQ(dialog.m_grid.m_ups.size(), 1u);
    EXPECT_EQ(dialog.m_grid.m_ups[0].x, 239);
    EXPECT_EQ(dialog.m_grid.m_ups[0].y, 69);
    EXPECT_EQ(dialog.m_parentUps, 1);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(GetClipCursor(&clip));
    // The band was drawn an even number of times: the screen is as it was.
    EXPECT_EQ(GetPixel(screenDC, 15, 15), RGB(192, 192, 192));
    ReleaseDC(dialog.m_hWnd, screenDC);
    (void)before;
    dialog.DestroyWindow();
}

namespace {

// A control that paints itself and leaves its background alone, as the hours grid does: cells only while
// enabled, lines always.
class CCellsStatic : public CStatic {
protected:
    BOOL OnEraseBkgnd(CDC* /*dc*/) override { return TRUE; }
    void OnPaint() override {
        CPaintDC dc(this);
        CRect client;
        GetClientRect(client);
        CGdiObject* oldBrush = dc.SelectStockObject(WHITE_BRUSH);
        CPen pen(PS_SOLID, 1, IsWindowEnabled() ? RGB(0, 0, 0) : GetSysColor(COLOR_BTNFACE));
        CPen* oldPen = dc.SelectObject(&pen);
        for (int x = 0; x < client.Width(); x += 10) {
            dc.MoveTo(x, 0);
            dc.LineTo(x, client.bottom);
        }
        if (IsWindowEnabled()) {
            CRect cell(1, 1, 10, 10);
            dc.FillSolidRect(cell, RGB(200, 0, 0));
        }
        dc.SelectObject(oldPen);
        (void)oldBrush;
    }
};

class CCellsDialog : public CDialog {
public:
    CCellsDialog() : CDialog(204) {}
    CCellsStatic m_cells;

protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, 1113, m_cells); }
};

} // namespace

TEST_F(UiWinTest, AControlThatPaintsItselfIsDrawnWhereItLies) {
    CCellsDialog dialog;
    ASSERT_TRUE(dialog.Create(204));
    int width = 0;
    int height = 0;
    // The control lies at (10, 10) in the dialog.
    std::vector<uint32_t> enabled = RenderWindowPixels(dialog.m_hWnd, &width, &height);
    EXPECT_EQ(enabled[static_cast<size_t>(15) * width + 15], 0xC80000u);
    EXPECT_EQ(enabled[static_cast<size_t>(15) * width + 10], 0x000000u);
    dialog.m_cells.EnableWindow(FALSE);
    std::vector<uint32_t> disabled = RenderWindowPixels(dialog.m_hWnd, &width, &height);
    EXPECT_EQ(disabled[static_cast<size_t>(15) * width + 15], 0xC0C0C0u); // no cells while disabled
    EXPECT_EQ(disabled[static_cast<size_t>(15) * width + 10], 0xC0C0C0u);
    dialog.DestroyWindow();
}
