#include "platform/ui/Bitmap.h"

#include "platform/ui/ResourceAccess.h"
#include "platform/ui/WinApp.h"

#include <memory>
#include <unordered_map>

namespace {

std::unordered_map<HGDIOBJ, std::unique_ptr<BitmapPixels>>& LiveBitmaps() {
    static std::unordered_map<HGDIOBJ, std::unique_ptr<BitmapPixels>> live;
    return live;
}

} // namespace

HBITMAP CreateBitmapFromResource(const RcBitmap& resource) {
    if (resource.width <= 0 || resource.height <= 0 || resource.pixels == nullptr) {
        return nullptr;
    }
    auto bitmap = std::make_unique<BitmapPixels>();
    bitmap->width = resource.width;
    bitmap->height = resource.height;
    bitmap->pixels.assign(resource.pixels,
                          resource.pixels + static_cast<size_t>(resource.width) * resource.height);
    HGDIOBJ handle = bitmap.get();
    LiveBitmaps().emplace(handle, std::move(bitmap));
    return static_cast<HBITMAP>(handle);
}

const BitmapPixels* GetBitmapPixels(HBITMAP bitmap) {
    auto found = LiveBitmaps().find(static_cast<HGDIOBJ>(bitmap));
    return found == LiveBitmaps().end() ? nullptr : found->second.get();
}

BOOL DeleteObject(HGDIOBJ object) {
    return LiveBitmaps().erase(object) == 1 ? TRUE : FALSE;
}

BOOL CGdiObject::DeleteObject() {
    if (m_hObject == nullptr) {
        return FALSE;
    }
    ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return TRUE;
}

BOOL CBitmap::LoadBitmap(UINT id) {
    return LoadBitmap(MAKEINTRESOURCEA(id));
}

BOOL CBitmap::LoadBitmap(LPCSTR name) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    const RcBitmap* resource = FindBitmapResource(AfxGetResourceHandle(), name);
    if (resource == nullptr) {
        return FALSE;
    }
    m_hObject = CreateBitmapFromResource(*resource);
    return m_hObject != nullptr ? TRUE : FALSE;
}

int32_t CBitmap::GetWidth() const {
    const BitmapPixels* pixels = GetBitmapPixels(GetHandle());
    return pixels ? pixels->width : 0;
}

int32_t CBitmap::GetHeight() const {
    const BitmapPixels* pixels = GetBitmapPixels(GetHandle());
    return pixels ? pixels->height : 0;
}

uint32_t CBitmap::GetPixel(int32_t x, int32_t y) const {
    const BitmapPixels* pixels = GetBitmapPixels(GetHandle());
    if (pixels == nullptr || x < 0 || y < 0 || x >= pixels->width || y >= pixels->height) {
        return 0xFFFFFFFFu;
    }
    return pixels->pixels[static_cast<size_t>(y) * pixels->width + x];
}
