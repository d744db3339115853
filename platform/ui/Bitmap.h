// Bitmaps: pixel blocks named by HBITMAP handles, and the CBitmap object that owns one.
#pragma once

#include "platform/ui/Object.h"
#include "platform/ui/UiTypes.h"
#include "resources/RcFormat.h"

#include <cstdint>
#include <vector>

// What an HBITMAP names. Pixels are 0x00RRGGBB, row after row from the top.
struct BitmapPixels {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// A new bitmap holding a copy of a resource's pixels; the caller deletes it with DeleteObject.
HBITMAP CreateBitmapFromResource(const RcBitmap& resource);
// The pixels of a live bitmap; null for a handle that names none (never dereferenced blindly).
const BitmapPixels* GetBitmapPixels(HBITMAP bitmap);
// Deletes a bitmap made here; FALSE for a handle that names none.
BOOL DeleteObject(HGDIOBJ object);

class CGdiObject : public CObject {
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    ~CGdiObject() override { DeleteObject(); }

    [[nodiscard]] HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // Deletes the object held, if any; TRUE when one was deleted.
    BOOL DeleteObject();

protected:
    HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject {
public:
    // From the current resource library: by number, or by name without regard to letter case. FALSE when
    // missing or when this object already holds a bitmap.
    BOOL LoadBitmap(UINT id);
    BOOL LoadBitmap(LPCSTR name);

    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    [[nodiscard]] HBITMAP GetHandle() const { return static_cast<HBITMAP>(m_hObject); }
    // Width and height; 0 when empty.
    [[nodiscard]] int32_t GetWidth() const;
    [[nodiscard]] int32_t GetHeight() const;
    // The pixel at (x, y) as 0x00RRGGBB; 0xFFFFFFFF outside the bitmap.
    [[nodiscard]] uint32_t GetPixel(int32_t x, int32_t y) const;
};
