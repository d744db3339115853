// The whole sheet as the host shows it (caption, tabs, buttons), with a page's pixels read at the page's
// place in the picture, so that a page drawn anywhere but where it stands would be caught.
#pragma once

#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/Window.h"

#include <cstdint>
#include <vector>

struct SheetPicture {
    explicit SheetPicture(HWND page) {
        HWND frame = GetParent(page);
        pixels = RenderCaptionedWindowPixels(frame, &width, &height);
        POINT pageAt{0, 0};
        POINT frameAt{0, 0};
        ClientToScreen(page, &pageAt);
        ClientToScreen(frame, &frameAt);
        left = pageAt.x - frameAt.x + kWindowBorder;
        top = pageAt.y - frameAt.y + kWindowBorder + kCaptionHeight;
    }
    // A pixel of the page, in the page's client coordinates.
    [[nodiscard]] uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(top + y) * static_cast<size_t>(width) +
                      static_cast<size_t>(left + x)];
    }
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
};

// Where control `id` lies on `page`, in the page's client coordinates.
inline RECT ControlRect(HWND page, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(page, id), &rect);
    POINT corner{rect.left, rect.top};
    ScreenToClient(page, &corner);
    return {corner.x, corner.y, corner.x + rect.right - rect.left, corner.y + rect.bottom - rect.top};
}
