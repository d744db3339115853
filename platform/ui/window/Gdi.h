// Drawing on pixel canvases: device contexts on a window's surface or on a bitmap, pens, brushes and stock
// objects, pen mixes and raster operations, bitmap copies with monochrome masks, anti-aliased text in the
// window layer's typeface (TextFace.h), focus rectangles. Pens and brushes are shared values (the same colour
// and style give the same handle), so deleting one is never needed and a forgotten DeleteObject leaks
// nothing.
#pragma once

#include "platform/ui/Bitmap.h"
#include "platform/ui/window/Messages.h"

#include <string>
#include <vector>

HGDIOBJ GetStockObject(int index);
HBRUSH GetSysColorBrush(int index);
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
// A colour bitmap of the device's kind (black), and a monochrome one (planes 1, one bit a pixel, black).
// Both are deleted with DeleteObject.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
[[nodiscard]] bool IsMonochromeBitmap(HBITMAP bitmap);

// A device context on the client area of `window` (on its top-level window's surface), released with
// ReleaseDC. Null for a window that does not exist.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
// During WM_PAINT: the context the painting pass prepared; outside one, a context on the window's surface.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// A memory context that draws into the bitmap selected into it (a 1x1 monochrome bitmap at first).
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// TRUE while `dc` names a context that has not been deleted.
[[nodiscard]] bool IsLiveDC(HDC dc);

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL LineTo(HDC dc, int x, int y);
// Outline with the pen, inside filled with the brush; right and bottom exclusive; both mixed by SetROP2.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
int FillRect(HDC dc, LPCRECT rect, HBRUSH brush);
BOOL InvertRect(HDC dc, LPCRECT rect);
// Inverts every other pixel of the outline, so drawing it twice removes it.
BOOL DrawFocusRect(HDC dc, LPCRECT rect);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
// Colour to monochrome: pixels of the source's background colour become white (1), all others black (0).
// Monochrome to colour: white becomes the destination's background colour, black its text colour.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
int DrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format);
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size);
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

// Draws `bitmap` at (x, y) with every pixel of colour `transparent` left out: a monochrome mask is made
// with that colour as background, the background is kept where the mask is set and the bitmap's other
// pixels are copied over it.
BOOL DrawTransparentBitmap(HDC dc, int x, int y, HBITMAP bitmap, COLORREF transparent);

// Texts drawn on the context since it was made (an owner-drawn row's shown text is read this way).
std::vector<std::string> GetDrawnTexts(HDC dc);

// ---- Painting passes and files -------------------------------------------------------------------------
namespace uiwin {
// The height of one line of text, for laying out rows and labels around it.
int TextLineHeight();
// A context on `window`'s surface with the given client origin; `paint` marks the context of a pass.
HDC MakeWindowDC(HWND window);
// The context that BeginPaint answers for `window` while a painting pass runs; null ends it.
void SetPaintContext(HWND window, HDC dc);
// The default look of a control, painted on `dc` (the control's WM_PAINT when nobody draws it).
void PaintControl(HWND control, HDC dc);
// The texts an owner-drawn row shows, read by letting its owner draw it off screen.
std::string OwnerDrawnRowText(HWND list, int row);
} // namespace uiwin

// Paints `window` and its visible children onto its top-level window's surface, as a person sees it.
void PaintWindow(HWND window);
// Paints a top-level window (or a child, cut out of its top-level surface) and writes it as an RGB PNG.
// Answers an empty string on success, otherwise what went wrong.
[[nodiscard]] std::string RenderWindowToPng(HWND window, const std::string& path);
// The pixels of `window` (0x00RRGGBB, rows from the top) after painting it.
std::vector<uint32_t> RenderWindowPixels(HWND window, int* width, int* height);
// A top-level window as a screen shows it: inside a raised border of kWindowBorder pixels, under a caption
// bar of kCaptionHeight pixels that shows the window's text. The window's own pixels start at (kWindowBorder,
// kWindowBorder + kCaptionHeight). The PNG form refuses, with the reason, when the real font is missing.
constexpr int kWindowBorder = 3;
constexpr int kCaptionHeight = 20;
std::vector<uint32_t> RenderCaptionedWindowPixels(HWND window, int* width, int* height);
[[nodiscard]] std::string RenderCaptionedWindowToPng(HWND window, const std::string& path);
// Draws `window` with `render` and writes the picture as a PNG file, refusing (with the reason) a window that
// is gone or a picture in the stand-in font; empty string on success.
[[nodiscard]] std::string RenderPixelsToPng(HWND window, const std::string& path,
                                            std::vector<uint32_t> (*render)(HWND window, int* width,
                                                                            int* height));
// Writes RGB pixels (0x00RRGGBB) as a PNG file; empty string on success.
[[nodiscard]] std::string WritePng(const std::string& path, int width, int height,
                                   const std::vector<uint32_t>& pixels);
