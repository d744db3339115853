// A top-level window as a screen shows it: the window inside a raised border under its caption bar. The
// frame is drawn only into pictures; windows themselves keep their client coordinates, so that nothing a
// page or a test measures moves.
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/TextFace.h"
#include "platform/ui/window/Window.h"

#include <algorithm>

namespace {

constexpr COLORREF kCaptionColour = RGB(0, 0, 128);
constexpr COLORREF kCaptionTextColour = RGB(255, 255, 255);

// Draws the border, the caption bar with its text, and the close box on `dc`, which covers the whole
// picture (width x height).
void DrawFrame(HDC dc, int width, int height, const std::string& caption) {
    RECT all{0, 0, width, height};
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    auto line = [dc](COLORREF colour, int x1, int y1, int x2, int y2) {
        HGDIOBJ old = SelectObject(dc, CreatePen(PS_SOLID, 1, colour));
        MoveToEx(dc, x1, y1, nullptr);
        LineTo(dc, x2, y2);
        SelectObject(dc, old);
    };
    line(GetSysColor(COLOR_BTNHIGHLIGHT), 1, height - 2, 1, 1);
    line(GetSysColor(COLOR_BTNHIGHLIGHT), 1, 1, width - 2, 1);
    line(GetSysColor(COLOR_3DDKSHADOW), width - 1, 0, width - 1, height);
    line(GetSysColor(COLOR_3DDKSHADOW), 0, height - 1, width, height - 1);
    line(GetSysColor(COLOR_BTNSHADOW), width - 2, 1, width - 2, height - 1);
    line(GetSysColor(COLOR_BTNSHADOW), 1, height - 2, width - 1, height - 2);

    RECT bar{kWindowBorder, kWindowBorder, width - kWindowBorder, kWindowBorder + kCaptionHeight - 1};
    HBRUSH captionBrush = CreateSolidBrush(kCaptionColour);
    FillRect(dc, &bar, captionBrush);
    // The close box, a small raised button at the bar's right end.
    int boxSize = kCaptionHeight - 5;
    RECT box{bar.right - 2 - boxSize, bar.top + 2, bar.right - 2, bar.top + 2 + boxSize};
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    line(GetSysColor(COLOR_BTNHIGHLIGHT), box.left, box.bottom - 1, box.left, box.top);
    line(GetSysColor(COLOR_BTNHIGHLIGHT), box.left, box.top, box.right - 1, box.top);
    line(GetSysColor(COLOR_3DDKSHADOW), box.right - 1, box.top, box.right - 1, box.bottom);
    line(GetSysColor(COLOR_3DDKSHADOW), box.left, box.bottom - 1, box.right, box.bottom - 1);
    for (int offset = 0; offset < 2; ++offset) {
        line(RGB(0, 0, 0), box.left + 3 + offset, box.top + 3, box.right - 4 + offset, box.bottom - 3);
        line(RGB(0, 0, 0), box.right - 5 + offset, box.top + 3, box.left + 2 + offset, box.bottom - 3);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kCaptionTextColour);
    RECT label{bar.left + 4, bar.top, box.left - 4, bar.bottom};
    // A caption longer than its bar ends in "...", as a screen shows it, rather than cut off mid-letter.
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &label,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

} // namespace

std::vector<uint32_t> RenderCaptionedWindowPixels(HWND window, int* width, int* height) {
    int innerWidth = 0;
    int innerHeight = 0;
    std::vector<uint32_t> inner = RenderWindowPixels(window, &innerWidth, &innerHeight);
    if (innerWidth <= 0 || innerHeight <= 0) {
        *width = *height = 0;
        return {};
    }
    *width = innerWidth + 2 * kWindowBorder;
    *height = innerHeight + 2 * kWindowBorder + kCaptionHeight;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP canvas = CreateCompatibleBitmap(dc, *width, *height);
    HGDIOBJ old = SelectObject(dc, canvas);
    DrawFrame(dc, *width, *height, GetWindowTextString(window));
    std::vector<uint32_t> out;
    if (const BitmapPixels* drawn = GetBitmapPixels(canvas)) {
        out = drawn->pixels;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(canvas);
    if (out.size() != static_cast<size_t>(*width) * static_cast<size_t>(*height)) {
        *width = *height = 0;
        return {};
    }
    for (int y = 0; y < innerHeight; ++y) {
        std::copy_n(inner.begin() + static_cast<ptrdiff_t>(y) * innerWidth, innerWidth,
                    out.begin() + static_cast<ptrdiff_t>(y + kWindowBorder + kCaptionHeight) * *width +
                        kWindowBorder);
    }
    return out;
}

std::string RenderCaptionedWindowToPng(HWND window, const std::string& path) {
    return RenderPixelsToPng(window, path, RenderCaptionedWindowPixels);
}
