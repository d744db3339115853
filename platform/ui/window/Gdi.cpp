#include "platform/ui/window/Gdi.h"

#include "platform/ui/window/TextFace.h"
#include "platform/ui/window/Window.h"
#include "platform/ui/window/WindowRecord.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <set>

namespace uiwin {
namespace {

enum class GdiKind { Pen, Brush, Font };

struct GdiObject {
    GdiKind kind;
    int style = 0;
    int width = 1;
    COLORREF color = 0;
    bool null = false;
};

struct GdiObjects {
    std::deque<GdiObject> objects; // stable addresses; a handle is an object's address
    std::set<const void*> known;
    std::map<std::tuple<int, int, int, COLORREF, bool>, GdiObject*> interned;
};

GdiObjects& Objects() {
    static GdiObjects objects;
    return objects;
}

GdiObject* Intern(GdiKind kind, int style, int width, COLORREF color, bool null) {
    GdiObjects& all = Objects();
    auto key = std::make_tuple(static_cast<int>(kind), style, width, color, null);
    auto found = all.interned.find(key);
    if (found != all.interned.end()) {
        return found->second;
    }
    all.objects.push_back(GdiObject{kind, style, width, color, null});
    GdiObject* object = &all.objects.back();
    all.known.insert(object);
    all.interned.emplace(key, object);
    return object;
}

GdiObject* FindGdi(HGDIOBJ handle) {
    return Objects().known.count(handle) ? static_cast<GdiObject*>(handle) : nullptr;
}

// Monochrome bitmaps are remembered with the pixel block they had, so that a later bitmap that happens to
// reuse a deleted one's handle is not taken for monochrome.
std::map<HBITMAP, const uint32_t*>& MonochromeBitmaps() {
    static std::map<HBITMAP, const uint32_t*> bitmaps;
    return bitmaps;
}

struct DeviceContext {
    HWND window = nullptr;
    HBITMAP bitmap = nullptr;
    HBITMAP ownBitmap = nullptr; // the 1x1 monochrome bitmap a memory context starts with
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    int rop2 = R2_COPYPEN;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    POINT position{0, 0};
    std::vector<std::string> texts;
};

std::set<DeviceContext*>& Contexts() {
    static std::set<DeviceContext*> contexts;
    return contexts;
}

std::map<HWND, HDC>& PaintContexts() {
    static std::map<HWND, HDC> contexts;
    return contexts;
}

DeviceContext* FindDC(HDC dc) {
    auto* context = reinterpret_cast<DeviceContext*>(dc);
    return Contexts().count(context) ? context : nullptr;
}

uint32_t ToPixel(COLORREF c) {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
           GetBValue(c);
}

COLORREF ToColor(uint32_t p) {
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

uint32_t ToMono(uint32_t p) {
    int luminance = (((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
    return luminance >= 128 ? 0xFFFFFFu : 0u;
}

// Where a context draws: a pixel block, the context's origin in it, and the rectangle it may touch.
struct Target {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    bool mono = false;
    POINT origin{0, 0};
    RECT clip{0, 0, 0, 0};

    [[nodiscard]] bool Valid() const { return pixels != nullptr; }
    uint32_t* At(int x, int y) {
        int sx = x + origin.x;
        int sy = y + origin.y;
        if (sx < clip.left || sy < clip.top || sx >= clip.right || sy >= clip.bottom) {
            return nullptr;
        }
        return &pixels[static_cast<size_t>(sy) * width + sx];
    }
    void Put(int x, int y, uint32_t value) {
        if (uint32_t* p = At(x, y)) {
            *p = mono ? ToMono(value) : value;
        }
    }
};

bool IsMono(HBITMAP bitmap) {
    auto found = MonochromeBitmaps().find(bitmap);
    const BitmapPixels* pixels = GetBitmapPixels(bitmap);
    return found != MonochromeBitmaps().end() && pixels != nullptr && found->second == pixels->pixels.data();
}

Target TargetOf(DeviceContext& dc) {
    Target target;
    if (dc.window == nullptr) {
        const BitmapPixels* bitmap = GetBitmapPixels(dc.bitmap);
        if (bitmap == nullptr || bitmap->pixels.empty()) {
            return target;
        }
        // The table hands out read-only views; a bitmap selected into a memory context is drawn on.
        target.pixels = const_cast<uint32_t*>(bitmap->pixels.data());
        target.width = bitmap->width;
        target.height = bitmap->height;
        target.mono = IsMono(dc.bitmap);
        target.clip = {0, 0, bitmap->width, bitmap->height};
        return target;
    }
    POINT origin{};
    HWND top = TopLevelOf(dc.window, &origin);
    WindowRecord* topRecord = FindRecord(top, true);
    WindowRecord* self = FindRecord(dc.window, true);
    if (topRecord == nullptr || self == nullptr) {
        return target;
    }
    std::vector<uint32_t>& surface = SurfaceOf(*topRecord);
    target.pixels = surface.data();
    target.width = topRecord->Width();
    target.height = topRecord->Height();
    target.origin = origin;
    // Clipped to the window and each of its ancestors.
    RECT clip{origin.x, origin.y, origin.x + self->Width(), origin.y + self->Height()};
    POINT at = origin;
    for (WindowRecord* r = self; r != nullptr && r->parent != nullptr && !r->popup;
         r = FindRecord(r->parent, true)) {
        at.x -= r->rect.left;
        at.y -= r->rect.top;
        WindowRecord* parent = FindRecord(r->parent, true);
        if (parent == nullptr) {
            break;
        }
        clip.left = std::max(clip.left, at.x);
        clip.top = std::max(clip.top, at.y);
        clip.right = std::min(clip.right, at.x + parent->Width());
        clip.bottom = std::min(clip.bottom, at.y + parent->Height());
    }
    clip.left = std::max(clip.left, static_cast<LONG>(0));
    clip.top = std::max(clip.top, static_cast<LONG>(0));
    clip.right = std::min(clip.right, static_cast<LONG>(target.width));
    clip.bottom = std::min(clip.bottom, static_cast<LONG>(target.height));
    target.clip = clip;
    return target;
}

uint32_t Mix(int rop2, uint32_t pen, uint32_t dest) {
    switch (rop2) {
    case R2_BLACK:
        return 0;
    case R2_WHITE:
        return 0xFFFFFF;
    case R2_NOP:
        return dest;
    case R2_NOT:
        return ~dest & 0xFFFFFF;
    case R2_XORPEN:
        return (pen ^ dest) & 0xFFFFFF;
    case R2_MASKPEN:
        return pen & dest;
    case R2_MERGEPEN:
        return pen | dest;
    case R2_NOTMERGEPEN:
        return ~(pen | dest) & 0xFFFFFF;
    default:
        return pen;
    }
}

void MixPixel(Target& target, int rop2, int x, int y, uint32_t color) {
    if (uint32_t* p = target.At(x, y)) {
        uint32_t value = Mix(rop2, target.mono ? ToMono(color) : color, *p);
        *p = target.mono ? ToMono(value) : value;
    }
}

GdiObject* PenOf(DeviceContext& dc) {
    return FindGdi(dc.pen);
}
GdiObject* BrushOf(DeviceContext& dc) {
    return FindGdi(dc.brush);
}

void DrawPenPixel(DeviceContext& dc, Target& target, int x, int y) {
    GdiObject* pen = PenOf(dc);
    if (pen == nullptr || pen->null) {
        return;
    }
    int w = std::max(1, pen->width);
    for (int dy = 0; dy < w; ++dy) {
        for (int dx = 0; dx < w; ++dx) {
            MixPixel(target, dc.rop2, x + dx - w / 2, y + dy - w / 2, ToPixel(pen->color));
        }
    }
}

uint32_t Blend(DWORD rop, uint32_t s, uint32_t d, uint32_t p) {
    switch (rop) {
    case SRCCOPY:
        return s;
    case SRCPAINT:
        return s | d;
    case SRCAND:
        return s & d;
    case SRCINVERT:
        return (s ^ d) & 0xFFFFFF;
    case SRCERASE:
        return s & ~d & 0xFFFFFF;
    case NOTSRCCOPY:
        return ~s & 0xFFFFFF;
    case MERGEPAINT:
        return (~s | d) & 0xFFFFFF;
    case PATCOPY:
        return p;
    case PATINVERT:
        return (p ^ d) & 0xFFFFFF;
    case DSTINVERT:
        return ~d & 0xFFFFFF;
    case BLACKNESS:
        return 0;
    case WHITENESS:
        return 0xFFFFFF;
    default:
        return s;
    }
}

} // namespace

HDC MakeWindowDC(HWND window) {
    if (FindRecord(window) == nullptr) {
        return nullptr;
    }
    auto* dc = new DeviceContext();
    dc->window = window;
    dc->pen = GetStockObject(BLACK_PEN);
    dc->brush = GetStockObject(WHITE_BRUSH);
    dc->font = GetStockObject(SYSTEM_FONT);
    Contexts().insert(dc);
    return reinterpret_cast<HDC>(dc);
}

void SetPaintContext(HWND window, HDC dc) {
    if (dc == nullptr) {
        PaintContexts().erase(window);
    } else {
        PaintContexts()[window] = dc;
    }
}

} // namespace uiwin

using uiwin::DeviceContext;
using uiwin::FindDC;
using uiwin::GdiKind;
using uiwin::Target;

HGDIOBJ GetStockObject(int index) {
    switch (index) {
    case WHITE_BRUSH:
        return uiwin::Intern(GdiKind::Brush, 0, 0, RGB(255, 255, 255), false);
    case LTGRAY_BRUSH:
        return uiwin::Intern(GdiKind::Brush, 0, 0, RGB(192, 192, 192), false);
    case GRAY_BRUSH:
        return uiwin::Intern(GdiKind::Brush, 0, 0, RGB(128, 128, 128), false);
    case DKGRAY_BRUSH:
        return uiwin::Intern(GdiKind::Brush, 0, 0, RGB(64, 64, 64), false);
    case BLACK_BRUSH:
        return uiwin::Intern(GdiKind::Brush, 0, 0, RGB(0, 0, 0), false);
    case NULL_BRUSH:
        return uiwin::Intern(GdiKind::Brush, 0, 0, 0, true);
    case WHITE_PEN:
        return uiwin::Intern(GdiKind::Pen, PS_SOLID, 1, RGB(255, 255, 255), false);
    case BLACK_PEN:
        return uiwin::Intern(GdiKind::Pen, PS_SOLID, 1, RGB(0, 0, 0), false);
    case NULL_PEN:
        return uiwin::Intern(GdiKind::Pen, PS_NULL, 1, 0, true);
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT:
        return uiwin::Intern(GdiKind::Font, 0, 0, 0, false);
    default:
        return nullptr;
    }
}

HBRUSH GetSysColorBrush(int index) {
    return static_cast<HBRUSH>(
        static_cast<void*>(uiwin::Intern(GdiKind::Brush, 0, 0, GetSysColor(index), false)));
}

HPEN CreatePen(int style, int width, COLORREF color) {
    return static_cast<HPEN>(
        static_cast<void*>(uiwin::Intern(GdiKind::Pen, style, std::max(1, width), color, style == PS_NULL)));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return static_cast<HBRUSH>(static_cast<void*>(uiwin::Intern(GdiKind::Brush, 0, 0, color, false)));
}

namespace {
HBITMAP NewBitmap(int width, int height, uint32_t fill, bool mono) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return nullptr;
    }
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, fill);
    RcBitmap resource{0, nullptr, width, height, pixels.data()};
    HBITMAP bitmap = CreateBitmapFromResource(resource);
    if (bitmap == nullptr) {
        return nullptr;
    }
    if (mono) {
        uiwin::MonochromeBitmaps()[bitmap] = GetBitmapPixels(bitmap)->pixels.data();
    } else {
        uiwin::MonochromeBitmaps().erase(bitmap);
    }
    return bitmap;
}
} // namespace

HBITMAP CreateCompatibleBitmap(HDC /*dc*/, int width, int height) {
    return NewBitmap(width, height, 0, false);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    bool mono = planes == 1 && bitsPerPixel == 1;
    HBITMAP bitmap = NewBitmap(width, height, 0, mono);
    if (bitmap != nullptr && bits != nullptr && mono) {
        // Rows of bits, most significant first, each row padded to 16 bits as on the original platform.
        auto* pixels = const_cast<uint32_t*>(GetBitmapPixels(bitmap)->pixels.data());
        const auto* bytes = static_cast<const uint8_t*>(bits);
        int stride = ((width + 15) / 16) * 2;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                bool set = (bytes[y * stride + x / 8] & (0x80 >> (x % 8))) != 0;
                pixels[static_cast<size_t>(y) * width + x] = set ? 0xFFFFFFu : 0u;
            }
        }
    }
    return bitmap;
}

bool IsMonochromeBitmap(HBITMAP bitmap) {
    return uiwin::IsMono(bitmap);
}

HDC GetDC(HWND window) {
    return uiwin::MakeWindowDC(window);
}

int ReleaseDC(HWND /*window*/, HDC dc) {
    return DeleteDC(dc);
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    auto found = uiwin::PaintContexts().find(window);
    HDC dc = found != uiwin::PaintContexts().end() ? found->second : nullptr;
    bool own = dc == nullptr;
    if (own) {
        dc = uiwin::MakeWindowDC(window);
    }
    if (paint != nullptr) {
        paint->hdc = dc;
        paint->fErase = FALSE;
        GetClientRect(window, &paint->rcPaint);
        // A context made here is released by EndPaint; the painting pass releases its own.
        paint->fErase = own ? TRUE : FALSE;
    }
    if (uiwin::WindowRecord* record = uiwin::FindRecord(window)) {
        record->invalid = false;
    }
    return dc;
}

BOOL EndPaint(HWND /*window*/, const PAINTSTRUCT* paint) {
    if (paint != nullptr && paint->fErase) {
        DeleteDC(paint->hdc);
    }
    return TRUE;
}

HDC CreateCompatibleDC(HDC /*dc*/) {
    auto* context = new DeviceContext();
    context->ownBitmap = CreateBitmap(1, 1, 1, 1, nullptr);
    context->bitmap = context->ownBitmap;
    context->pen = GetStockObject(BLACK_PEN);
    context->brush = GetStockObject(WHITE_BRUSH);
    context->font = GetStockObject(SYSTEM_FONT);
    uiwin::Contexts().insert(context);
    return reinterpret_cast<HDC>(context);
}

BOOL DeleteDC(HDC dc) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr) {
        return FALSE;
    }
    for (auto it = uiwin::PaintContexts().begin(); it != uiwin::PaintContexts().end(); ++it) {
        if (it->second == dc) {
            uiwin::PaintContexts().erase(it);
            break;
        }
    }
    if (context->ownBitmap != nullptr && context->bitmap != context->ownBitmap) {
        // Still selected elsewhere? Only this context used it.
    }
    if (context->ownBitmap != nullptr) {
        uiwin::MonochromeBitmaps().erase(context->ownBitmap);
        DeleteObject(context->ownBitmap);
    }
    uiwin::Contexts().erase(context);
    delete context;
    return TRUE;
}

bool IsLiveDC(HDC dc) {
    return FindDC(dc) != nullptr;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr || object == nullptr) {
        return nullptr;
    }
    if (uiwin::GdiObject* gdi = uiwin::FindGdi(object)) {
        HGDIOBJ* slot = gdi->kind == GdiKind::Pen     ? &context->pen
                        : gdi->kind == GdiKind::Brush ? &context->brush
                                                      : &context->font;
        HGDIOBJ old = *slot;
        *slot = object;
        return old;
    }
    if (context->window == nullptr && GetBitmapPixels(static_cast<HBITMAP>(object)) != nullptr) {
        HGDIOBJ old = context->bitmap;
        context->bitmap = static_cast<HBITMAP>(object);
        return old;
    }
    return nullptr;
}

namespace {

// The DC setters all answer the earlier value, or `failed` for a handle that is no DC.
template <typename T> T ExchangeState(HDC dc, T DeviceContext::*member, T value, T failed) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr) {
        return failed;
    }
    T old = context->*member;
    context->*member = value;
    return old;
}

template <typename T> T ReadState(HDC dc, T DeviceContext::*member) {
    DeviceContext* context = FindDC(dc);
    return context ? context->*member : T{};
}

constexpr COLORREF kInvalidColor = 0xFFFFFFFF;

} // namespace

int SetROP2(HDC dc, int mode) {
    return ExchangeState(dc, &DeviceContext::rop2, mode, 0);
}

int GetROP2(HDC dc) {
    return ReadState(dc, &DeviceContext::rop2);
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    return ExchangeState(dc, &DeviceContext::textColor, color, kInvalidColor);
}

COLORREF GetTextColor(HDC dc) {
    return ReadState(dc, &DeviceContext::textColor);
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    return ExchangeState(dc, &DeviceContext::bkColor, color, kInvalidColor);
}

COLORREF GetBkColor(HDC dc) {
    return ReadState(dc, &DeviceContext::bkColor);
}

int SetBkMode(HDC dc, int mode) {
    return ExchangeState(dc, &DeviceContext::bkMode, mode, 0);
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr) {
        return FALSE;
    }
    if (previous != nullptr) {
        *previous = context->position;
    }
    context->position = {x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr) {
        return FALSE;
    }
    Target target = uiwin::TargetOf(*context);
    int x0 = context->position.x;
    int y0 = context->position.y;
    context->position = {x, y};
    if (!target.Valid()) {
        return TRUE;
    }
    // Bresenham, the end point left out as the platform leaves it out.
    int dx = std::abs(x - x0);
    int dy = -std::abs(y - y0);
    int sx = x0 < x ? 1 : -1;
    int sy = y0 < y ? 1 : -1;
    int error = dx + dy;
    while (!(x0 == x && y0 == y)) {
        uiwin::DrawPenPixel(*context, target, x0, y0);
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
    return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr) {
        return FALSE;
    }
    Target target = uiwin::TargetOf(*context);
    if (!target.Valid()) {
        return TRUE;
    }
    if (right < left) {
        std::swap(left, right);
    }
    if (bottom < top) {
        std::swap(top, bottom);
    }
    uiwin::GdiObject* pen = uiwin::PenOf(*context);
    bool hasPen = pen != nullptr && !pen->null;
    uiwin::GdiObject* brush = uiwin::BrushOf(*context);
    if (brush != nullptr && !brush->null) {
        int inset = hasPen ? 1 : 0;
        for (int y = top + inset; y < bottom - 1; ++y) {
            for (int x = left + inset; x < right - 1; ++x) {
                uiwin::MixPixel(target, context->rop2, x, y, uiwin::ToPixel(brush->color));
            }
        }
    }
    if (hasPen && right - left >= 1 && bottom - top >= 1) {
        // Each outline pixel once, so that an inverting mix applied twice gives back what was there.
        std::set<std::pair<int, int>> outline;
        for (int x = left; x < right; ++x) {
            outline.insert({x, top});
            outline.insert({x, bottom - 1});
        }
        for (int y = top; y < bottom; ++y) {
            outline.insert({left, y});
            outline.insert({right - 1, y});
        }
        for (const auto& [x, y] : outline) {
            uiwin::DrawPenPixel(*context, target, x, y);
        }
    }
    return TRUE;
}

int FillRect(HDC dc, LPCRECT rect, HBRUSH brush) {
    DeviceContext* context = FindDC(dc);
    uiwin::GdiObject* gdi = uiwin::FindGdi(brush);
    if (context == nullptr || rect == nullptr || gdi == nullptr || gdi->kind != GdiKind::Brush) {
        return 0;
    }
    if (gdi->null) {
        return 1;
    }
    Target target = uiwin::TargetOf(*context);
    if (!target.Valid()) {
        return 1;
    }
    for (int y = rect->top; y < rect->bottom; ++y) {
        for (int x = rect->left; x < rect->right; ++x) {
            target.Put(x, y, uiwin::ToPixel(gdi->color));
        }
    }
    return 1;
}

BOOL InvertRect(HDC dc, LPCRECT rect) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr || rect == nullptr) {
        return FALSE;
    }
    return PatBlt(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, DSTINVERT);
}

BOOL DrawFocusRect(HDC dc, LPCRECT rect) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr || rect == nullptr) {
        return FALSE;
    }
    Target target = uiwin::TargetOf(*context);
    if (!target.Valid()) {
        return TRUE;
    }
    std::set<std::pair<int, int>> outline;
    for (int x = rect->left; x < rect->right; ++x) {
        outline.insert({x, rect->top});
        outline.insert({x, rect->bottom - 1});
    }
    for (int y = rect->top; y < rect->bottom; ++y) {
        outline.insert({rect->left, y});
        outline.insert({rect->right - 1, y});
    }
    for (const auto& [x, y] : outline) {
        if (((x + y) & 1) == 0) {
            uiwin::MixPixel(target, R2_NOT, x, y, 0);
        }
    }
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr) {
        return FALSE;
    }
    Target target = uiwin::TargetOf(*context);
    if (!target.Valid()) {
        return TRUE;
    }
    uiwin::GdiObject* brush = uiwin::BrushOf(*context);
    uint32_t pattern = brush && !brush->null ? uiwin::ToPixel(brush->color) : 0xFFFFFF;
    if (target.mono) {
        pattern = uiwin::ToMono(pattern);
    }
    for (int row = y; row < y + height; ++row) {
        for (int col = x; col < x + width; ++col) {
            if (uint32_t* p = target.At(col, row)) {
                uint32_t value = uiwin::Blend(rop, 0, *p, pattern);
                *p = target.mono ? uiwin::ToMono(value) : value;
            }
        }
    }
    return TRUE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
    DeviceContext* to = FindDC(dest);
    if (to == nullptr) {
        return FALSE;
    }
    DeviceContext* from = FindDC(source);
    bool needsSource =
        rop != PATCOPY && rop != PATINVERT && rop != DSTINVERT && rop != BLACKNESS && rop != WHITENESS;
    if (needsSource && from == nullptr) {
        return FALSE;
    }
    Target targetTo = uiwin::TargetOf(*to);
    if (!targetTo.Valid()) {
        return TRUE;
    }
    // The source is read whole before writing, so a copy within one surface is not disturbed by itself.
    std::vector<uint32_t> copied(
        static_cast<size_t>(std::max(0, width)) * static_cast<size_t>(std::max(0, height)), 0);
    std::vector<bool> present(copied.size(), !needsSource);
    if (needsSource) {
        Target targetFrom = uiwin::TargetOf(*from);
        if (!targetFrom.Valid()) {
            return TRUE;
        }
        uint32_t sourceBackground = uiwin::ToPixel(from->bkColor);
        for (int row = 0; row < height; ++row) {
            for (int col = 0; col < width; ++col) {
                uint32_t* p = targetFrom.At(sourceX + col, sourceY + row);
                if (p == nullptr) {
                    continue;
                }
                uint32_t s = *p;
                if (targetTo.mono && !targetFrom.mono) {
                    s = s == sourceBackground ? 0xFFFFFFu : 0u;
                } else if (targetFrom.mono && !targetTo.mono) {
                    s = s != 0 ? uiwin::ToPixel(to->bkColor) : uiwin::ToPixel(to->textColor);
                }
                size_t i = static_cast<size_t>(row) * width + col;
                copied[i] = s;
                present[i] = true;
            }
        }
    }
    uiwin::GdiObject* brush = uiwin::BrushOf(*to);
    uint32_t pattern = brush && !brush->null ? uiwin::ToPixel(brush->color) : 0xFFFFFF;
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            size_t i = static_cast<size_t>(row) * width + col;
            if (!present[i]) {
                continue;
            }
            if (uint32_t* p = targetTo.At(x + col, y + row)) {
                uint32_t value = uiwin::Blend(rop, copied[i], *p, pattern);
                *p = targetTo.mono ? uiwin::ToMono(value) : value;
            }
        }
    }
    return TRUE;
}

namespace {

// Where a text call may draw, in the context's coordinates; a null rectangle leaves only the target's clip.
struct TextClip {
    bool on = false;
    RECT rect{0, 0, 0, 0};
};

// Draws one line with its top at y: the background cell first when the mode is opaque, then each glyph's
// coverage mixed over what is there, so that edges are anti-aliased against the real background.
void DrawLine(DeviceContext& context, Target& target, int x, int y, std::u32string_view line,
              const TextClip& clip) {
    uiwin::TextFace& face = uiwin::TextFace::Default();
    auto inside = [&](int px, int py) {
        return !clip.on ||
               (px >= clip.rect.left && px < clip.rect.right && py >= clip.rect.top && py < clip.rect.bottom);
    };
    uint32_t ink = uiwin::ToPixel(context.textColor);
    if (context.bkMode == OPAQUE) {
        uint32_t paper = uiwin::ToPixel(context.bkColor);
        int width = face.Measure(line);
        for (int py = y; py < y + face.LineHeight(); ++py) {
            for (int px = x; px < x + width; ++px) {
                if (inside(px, py)) {
                    target.Put(px, py, paper);
                }
            }
        }
    }
    int pen = x;
    int baseline = y + face.Ascent();
    for (char32_t c : line) {
        const uiwin::GlyphImage& glyph = face.Glyph(c);
        for (int row = 0; row < glyph.rows; ++row) {
            for (int col = 0; col < glyph.width; ++col) {
                uint32_t alpha = glyph.coverage[static_cast<size_t>(row) * glyph.width + col];
                int px = pen + glyph.left + col;
                int py = baseline - glyph.top + row;
                if (alpha == 0 || !inside(px, py)) {
                    continue;
                }
                uint32_t* p = target.At(px, py);
                if (p == nullptr) {
                    continue;
                }
                if (target.mono) {
                    if (alpha >= 128) {
                        *p = uiwin::ToMono(ink);
                    }
                    continue;
                }
                uint32_t mixed = 0;
                for (int shift = 0; shift <= 16; shift += 8) {
                    uint32_t under = (*p >> shift) & 0xFF;
                    uint32_t over = (ink >> shift) & 0xFF;
                    mixed |= ((over * alpha + under * (255 - alpha) + 127) / 255) << shift;
                }
                *p = mixed;
            }
        }
        pen += glyph.advance;
    }
}

// The lines a DrawText request shows: broken at line ends unless single-line, and at spaces where a word
// would pass the rectangle's right edge when word breaking is asked for.
std::vector<std::u32string> LayOutLines(std::u32string_view text, UINT format, int width) {
    uiwin::TextFace& face = uiwin::TextFace::Default();
    std::vector<std::u32string> lines;
    auto addParagraph = [&](std::u32string_view paragraph) {
        if ((format & DT_WORDBREAK) == 0) {
            lines.emplace_back(paragraph);
            return;
        }
        std::u32string line;
        size_t i = 0;
        while (i < paragraph.size()) {
            size_t wordEnd = paragraph.find(U' ', i);
            if (wordEnd == std::u32string_view::npos) {
                wordEnd = paragraph.size();
            }
            std::u32string candidate = line;
            if (!candidate.empty()) {
                candidate += U' ';
            }
            candidate += paragraph.substr(i, wordEnd - i);
            if (!line.empty() && face.Measure(candidate) > width) {
                lines.push_back(line);
                line = std::u32string(paragraph.substr(i, wordEnd - i));
            } else {
                line = candidate;
            }
            i = wordEnd + 1;
        }
        lines.push_back(line);
    };
    if ((format & DT_SINGLELINE) != 0) {
        std::u32string flat(text);
        for (char32_t& c : flat) {
            if (c == U'\n' || c == U'\r') {
                c = U' ';
            }
        }
        lines.push_back(flat);
        return lines;
    }
    size_t start = 0;
    while (true) {
        size_t end = text.find(U'\n', start);
        std::u32string_view paragraph =
            text.substr(start, end == std::u32string_view::npos ? end : end - start);
        if (!paragraph.empty() && paragraph.back() == U'\r') {
            paragraph.remove_suffix(1);
        }
        addParagraph(paragraph);
        if (end == std::u32string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return lines;
}

// A line wider than `width` loses characters at its end until it fits with "..." after them, so that a
// person sees that it goes on.
void FitWithEllipsis(std::u32string& line, int width) {
    uiwin::TextFace& face = uiwin::TextFace::Default();
    if (face.Measure(line) <= width) {
        return;
    }
    static constexpr std::u32string_view kEllipsis = U"...";
    while (!line.empty() && face.Measure(line) + face.Measure(kEllipsis) > width) {
        line.pop_back();
    }
    while (!line.empty() && line.back() == U' ') {
        line.pop_back();
    }
    line += kEllipsis;
}

} // namespace

namespace uiwin {
int TextLineHeight() {
    return TextFace::Default().LineHeight();
}
} // namespace uiwin

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr || text == nullptr) {
        return FALSE;
    }
    std::string_view view(text,
                          length < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(length));
    context->texts.emplace_back(view);
    Target target = uiwin::TargetOf(*context);
    if (target.Valid()) {
        DrawLine(*context, target, x, y, uiwin::DecodeText(view), TextClip{});
    }
    return TRUE;
}

int DrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr || text == nullptr || rect == nullptr) {
        return 0;
    }
    std::string_view raw(text,
                         length < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(length));
    std::string shown;
    for (size_t i = 0; i < raw.size(); ++i) {
        // '&' marks the next character as the mnemonic; "&&" shows one '&'.
        if (raw[i] == '&' && (format & DT_NOPREFIX) == 0) {
            if (i + 1 < raw.size() && raw[i + 1] == '&') {
                shown += '&';
                ++i;
            }
            continue;
        }
        shown += raw[i];
    }
    uiwin::TextFace& face = uiwin::TextFace::Default();
    std::vector<std::u32string> lines =
        LayOutLines(uiwin::DecodeText(shown), format, rect->right - rect->left);
    int lineHeight = face.LineHeight();
    int total = lineHeight * static_cast<int>(lines.size());
    if ((format & DT_CALCRECT) != 0) {
        int widest = 0;
        for (const std::u32string& line : lines) {
            widest = std::max(widest, face.Measure(line));
        }
        if ((format & DT_WORDBREAK) == 0 || widest > rect->right - rect->left) {
            rect->right = rect->left + widest;
        }
        rect->bottom = rect->top + total;
        return total;
    }
    context->texts.emplace_back(shown);
    Target target = uiwin::TargetOf(*context);
    if (!target.Valid()) {
        return total;
    }
    int y = rect->top;
    if ((format & DT_SINGLELINE) != 0) {
        if ((format & DT_VCENTER) != 0) {
            y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        } else if ((format & DT_BOTTOM) != 0) {
            y = rect->bottom - lineHeight;
        }
    }
    TextClip clip;
    clip.on = (format & DT_NOCLIP) == 0;
    clip.rect = *rect;
    for (std::u32string& line : lines) {
        if ((format & DT_END_ELLIPSIS) != 0) {
            FitWithEllipsis(line, rect->right - rect->left);
        }
        int lineWidth = face.Measure(line);
        int x = rect->left;
        if ((format & DT_CENTER) != 0) {
            x = rect->left + (rect->right - rect->left - lineWidth) / 2;
        } else if ((format & DT_RIGHT) != 0) {
            x = rect->right - lineWidth;
        }
        DrawLine(*context, target, x, y, line, clip);
        y += lineHeight;
    }
    return total;
}

BOOL GetTextExtentPoint32A(HDC /*dc*/, LPCSTR text, int length, SIZE* size) {
    if (text == nullptr || size == nullptr) {
        return FALSE;
    }
    std::string_view view(text,
                          length < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(length));
    uiwin::TextFace& face = uiwin::TextFace::Default();
    size->cx = static_cast<LONG>(face.Measure(uiwin::DecodeText(view)));
    size->cy = face.LineHeight();
    return TRUE;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr) {
        return 0xFFFFFFFF;
    }
    Target target = uiwin::TargetOf(*context);
    uint32_t* p = target.Valid() ? target.At(x, y) : nullptr;
    return p ? uiwin::ToColor(*p) : 0xFFFFFFFF;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    DeviceContext* context = FindDC(dc);
    if (context == nullptr) {
        return 0xFFFFFFFF;
    }
    Target target = uiwin::TargetOf(*context);
    if (target.Valid()) {
        target.Put(x, y, uiwin::ToPixel(color));
    }
    return color;
}

BOOL DrawTransparentBitmap(HDC dc, int x, int y, HBITMAP bitmap, COLORREF transparent) {
    const BitmapPixels* pixels = GetBitmapPixels(bitmap);
    if (FindDC(dc) == nullptr || pixels == nullptr) {
        return FALSE;
    }
    int width = pixels->width;
    int height = pixels->height;
    HDC image = CreateCompatibleDC(dc);
    HDC maskDC = CreateCompatibleDC(dc);
    HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
    HGDIOBJ oldImage = SelectObject(image, bitmap);
    HGDIOBJ oldMask = SelectObject(maskDC, mask);
    SetBkColor(image, transparent);
    BitBlt(maskDC, 0, 0, width, height, image, 0, 0, SRCCOPY);
    // Where the mask is white the background stays: dest ^ image, then & mask, then ^ image again.
    COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
    COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    BitBlt(dc, x, y, width, height, image, 0, 0, SRCINVERT);
    BitBlt(dc, x, y, width, height, maskDC, 0, 0, SRCAND);
    BitBlt(dc, x, y, width, height, image, 0, 0, SRCINVERT);
    SetBkColor(dc, oldBk);
    SetTextColor(dc, oldText);
    SelectObject(image, oldImage);
    SelectObject(maskDC, oldMask);
    DeleteDC(image);
    DeleteDC(maskDC);
    uiwin::MonochromeBitmaps().erase(mask);
    DeleteObject(mask);
    return TRUE;
}

std::vector<std::string> GetDrawnTexts(HDC dc) {
    DeviceContext* context = FindDC(dc);
    return context ? context->texts : std::vector<std::string>{};
}
