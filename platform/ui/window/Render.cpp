#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/TextFace.h"
#include "platform/ui/window/Window.h"
#include "platform/ui/window/WindowRecord.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace uiwin {
namespace {

HBRUSH AskBrush(WindowRecord& control, HDC dc, UINT message) {
    HWND self = control.handle;
    LRESULT answer = control.parent ? SendMessageA(control.parent, message, reinterpret_cast<WPARAM>(dc),
                                                   reinterpret_cast<LPARAM>(self))
                                    : 0;
    auto brush = reinterpret_cast<HBRUSH>(answer);
    if (brush == nullptr) {
        brush = GetSysColorBrush(message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX ? COLOR_WINDOW
                                                                                             : COLOR_BTNFACE);
    }
    return brush;
}

void Frame(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    HGDIOBJ old = SelectObject(dc, CreatePen(PS_SOLID, 1, topLeft));
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right, r.top);
    SelectObject(dc, CreatePen(PS_SOLID, 1, bottomRight));
    MoveToEx(dc, r.right - 1, r.top + 1, nullptr);
    LineTo(dc, r.right - 1, r.bottom - 1);
    LineTo(dc, r.left, r.bottom - 1);
    SelectObject(dc, old);
}

void Text(HDC dc, const std::string& text, RECT r, UINT format, bool enabled) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
}

int VisibleRows(WindowRecord& list, int rowHeight) {
    return std::max(1, (list.Height() - 2) / std::max(1, rowHeight));
}

void PaintListRows(WindowRecord& list, HDC dc) {
    int height = ListItemHeight(list);
    int rows = VisibleRows(list, height);
    bool focused = GetFocusWindow() == list.handle;
    for (int i = list.topIndex; i < static_cast<int>(list.items.size()) && i < list.topIndex + rows; ++i) {
        RECT row{1, 1 + (i - list.topIndex) * height, list.Width() - 1, 1 + (i - list.topIndex + 1) * height};
        ListItem& item = list.items[static_cast<size_t>(i)];
        bool selected = list.IsMultiple() ? item.selected : i == list.curSel;
        if (list.IsOwnerDraw()) {
            DRAWITEMSTRUCT draw{};
            draw.CtlType = ODT_LISTBOX;
            draw.CtlID = list.id;
            draw.itemID = static_cast<UINT>(i);
            draw.itemAction = ODA_DRAWENTIRE;
            draw.itemState = (selected ? ODS_SELECTED : 0) | (focused && list.caret == i ? ODS_FOCUS : 0) |
                             (list.enabled ? 0 : ODS_DISABLED);
            draw.hwndItem = list.handle;
            draw.hDC = dc;
            draw.rcItem = row;
            draw.itemData = item.data;
            HWND self = list.handle;
            SendMessageA(list.parent, WM_DRAWITEM, list.id, reinterpret_cast<LPARAM>(&draw));
            if (FindRecord(self) == nullptr) {
                return;
            }
            continue;
        }
        if (selected) {
            FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT textRect{row.left + 2, row.top + (height - TextLineHeight()) / 2, row.right, row.bottom};
        DrawTextA(dc, item.text.c_str(), -1, &textRect, DT_NOPREFIX);
    }
}

// A radio button's round box, 12 pixels across: a sunken ring (shadow above and left, light below and
// right) around the well, and the dot when it is checked. Check boxes stay square.
void RadioCircle(HDC dc, int top, bool enabled, bool checked) {
    constexpr int kSize = 12;
    const double centre = (kSize - 1) / 2.0;
    COLORREF well = GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            double dx = x - centre;
            double dy = y - centre;
            double distance = std::sqrt(dx * dx + dy * dy);
            if (distance > centre + 0.5) {
                continue;
            }
            COLORREF colour = well;
            if (distance > centre - 1.0) {
                colour = GetSysColor(dx + dy < 0 ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT);
            } else if (checked && distance < 2.6) {
                colour = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
            }
            SetPixel(dc, x, top + y, colour);
        }
    }
}

// A drop-down combo box shows one line with its button while closed; the height of its template is that of
// the list it drops.
int ComboClosedHeight(const WindowRecord& combo) {
    return std::min(combo.Height(), TextLineHeight() + 2);
}

std::string ComboText(const WindowRecord& combo) {
    if (combo.curSel >= 0 && combo.curSel < static_cast<int>(combo.items.size())) {
        return combo.items[static_cast<size_t>(combo.curSel)].text;
    }
    return combo.text;
}

} // namespace

void PaintControl(HWND control, HDC dc) {
    WindowRecord* record = FindRecord(control);
    if (record == nullptr) {
        return;
    }
    WindowRecord& c = *record;
    RECT all{0, 0, c.Width(), c.Height()};
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    switch (c.kind) {
    case kRcStatic: {
        FillRect(dc, &all, AskBrush(c, dc, WM_CTLCOLORSTATIC));
        if (const BitmapPixels* image = GetBitmapPixels(c.image)) {
            (void)image;
            DrawTransparentBitmap(dc, 0, 0, c.image, RGB(128, 0, 128));
        } else {
            // Static text wraps at its right edge, as the platform's does.
            Text(dc, c.text, all, DT_LEFT | DT_WORDBREAK, c.enabled);
        }
        break;
    }
    case kRcGroup: {
        int line = TextLineHeight();
        RECT box{0, line / 2, c.Width(), c.Height()};
        Frame(dc, box, shadow, light);
        RECT label{6, 0, c.Width(), line};
        SIZE size{};
        GetTextExtentPoint32A(dc, c.text.c_str(), -1, &size);
        RECT behind{5, 0, 7 + size.cx, line};
        FillRect(dc, &behind, AskBrush(c, dc, WM_CTLCOLORSTATIC));
        Text(dc, c.text, label, DT_LEFT, c.enabled);
        break;
    }
    case kRcButton: {
        FillRect(dc, &all, AskBrush(c, dc, WM_CTLCOLORBTN));
        Frame(dc, all, light, RGB(0, 0, 0));
        if ((c.styles & kRcStyleDefault) != 0) {
            RECT inner{1, 1, c.Width() - 1, c.Height() - 1};
            Frame(dc, inner, light, shadow);
        }
        Text(dc, c.text, all, DT_CENTER | DT_VCENTER | DT_SINGLELINE, c.enabled);
        if (GetFocusWindow() == control) {
            RECT focus{3, 3, c.Width() - 3, c.Height() - 3};
            DrawFocusRect(dc, &focus);
        }
        break;
    }
    case kRcCheckBox:
    case kRcRadio: {
        FillRect(dc, &all, AskBrush(c, dc, WM_CTLCOLORSTATIC));
        if (c.kind == kRcRadio) {
            RadioCircle(dc, (c.Height() - 12) / 2, c.enabled, c.check == BST_CHECKED);
        } else {
            int top = (c.Height() - 11) / 2;
            RECT box{0, top, 11, top + 11};
            FillRect(dc, &box, GetSysColorBrush(c.enabled ? COLOR_WINDOW : COLOR_BTNFACE));
            Frame(dc, box, shadow, light);
            if (c.check == BST_CHECKED) {
                HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
                MoveToEx(dc, 2, top + 5, nullptr);
                LineTo(dc, 4, top + 8);
                LineTo(dc, 9, top + 2);
                SelectObject(dc, old);
            }
        }
        RECT label{15, 0, c.Width(), c.Height()};
        Text(dc, c.text, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE, c.enabled);
        break;
    }
    case kRcEdit: {
        // A read-only or disabled edit asks for the colours of static text, as the platform's does, and so
        // stands on the button face unless its dialog answers otherwise.
        FillRect(dc, &all, AskBrush(c, dc, c.readOnly || !c.enabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT));
        Frame(dc, all, shadow, light);
        std::string shown = c.text;
        if (c.IsPassword()) {
            size_t count = 0;
            for (char ch : c.text) {
                count += (static_cast<unsigned char>(ch) & 0xC0) != 0x80 ? 1 : 0;
            }
            shown.assign(count, '*');
        }
        RECT inside{3, 0, c.Width() - 2, c.Height()};
        Text(dc, shown, inside, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, c.enabled);
        break;
    }
    case kRcListBox: {
        FillRect(dc, &all, AskBrush(c, dc, WM_CTLCOLORLISTBOX));
        Frame(dc, all, shadow, light);
        PaintListRows(c, dc);
        break;
    }
    case kRcComboBox: {
        // Only the closed box: what lies under it stays visible. A dropped list is drawn over the dialog
        // once everything else is painted (PaintDroppedLists).
        int height = ComboClosedHeight(c);
        RECT box{0, 0, c.Width(), height};
        FillRect(dc, &box, AskBrush(c, dc, c.enabled ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC));
        Frame(dc, box, shadow, light);
        RECT button{c.Width() - 14, 1, c.Width() - 1, height - 1};
        FillRect(dc, &button, GetSysColorBrush(COLOR_BTNFACE));
        Frame(dc, button, light, shadow);
        HGDIOBJ old = SelectObject(
            dc, CreatePen(PS_SOLID, 1, GetSysColor(c.enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT)));
        int mid = height / 2;
        for (int i = 0; i < 4; ++i) {
            MoveToEx(dc, c.Width() - 11 + i, mid - 2 + i, nullptr);
            LineTo(dc, c.Width() - 3 - i, mid - 2 + i);
        }
        SelectObject(dc, old);
        RECT inside{3, 0, c.Width() - 15, height};
        Text(dc, ComboText(c), inside, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, c.enabled);
        break;
    }
    case kRcListView: {
        FillRect(dc, &all, AskBrush(c, dc, WM_CTLCOLORLISTBOX));
        Frame(dc, all, shadow, light);
        int line = TextLineHeight();
        int header = line + 4;
        int x = 1;
        for (const ListColumn& column : c.columns) {
            RECT cell{x, 1, x + column.width, 1 + header};
            FillRect(dc, &cell, GetSysColorBrush(COLOR_BTNFACE));
            Frame(dc, cell, light, shadow);
            RECT label{x + 3, 1, x + column.width, 1 + header};
            Text(dc, column.text, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, true);
            x += column.width;
        }
        int y = 2 + header;
        for (const auto& row : c.rows) {
            int cx = 1;
            for (size_t i = 0; i < c.columns.size(); ++i) {
                RECT cell{cx + 3, y, cx + c.columns[i].width, y + line + 2};
                if (i < row.size()) {
                    Text(dc, row[i], cell, DT_LEFT | DT_NOPREFIX, true);
                }
                cx += c.columns[i].width;
            }
            y += line + 3;
        }
        break;
    }
    case kRcProgress: {
        FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
        Frame(dc, all, shadow, light);
        int span = std::max(1, c.rangeHigh - c.rangeLow);
        int filled = static_cast<int>(static_cast<long long>(std::clamp(c.position - c.rangeLow, 0, span)) *
                                      (c.Width() - 2) / span);
        RECT bar{1, 1, 1 + filled, c.Height() - 1};
        FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
        break;
    }
    case kRcCustom:
        Frame(dc, all, shadow, light);
        break;
    }
}

std::string OwnerDrawnRowText(HWND list, int row) {
    WindowRecord* record = FindRecord(list);
    if (record == nullptr || row < 0 || row >= static_cast<int>(record->items.size())) {
        return {};
    }
    int height = ListItemHeight(*record);
    record = FindRecord(list);
    if (record == nullptr) {
        return {};
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP canvas = CreateCompatibleBitmap(dc, std::max(1, record->Width()), std::max(1, height));
    HGDIOBJ old = SelectObject(dc, canvas);
    DRAWITEMSTRUCT draw{};
    draw.CtlType = record->kind == kRcComboBox ? ODT_COMBOBOX : ODT_LISTBOX;
    draw.CtlID = record->id;
    draw.itemID = static_cast<UINT>(row);
    draw.itemAction = ODA_DRAWENTIRE;
    draw.hwndItem = list;
    draw.hDC = dc;
    draw.rcItem = {0, 0, record->Width(), height};
    draw.itemData = record->items[static_cast<size_t>(row)].data;
    SendMessageA(record->parent, WM_DRAWITEM, record->id, reinterpret_cast<LPARAM>(&draw));
    std::string text;
    for (const std::string& piece : GetDrawnTexts(dc)) {
        if (!piece.empty()) {
            text += text.empty() ? piece : " " + piece;
        }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(canvas);
    return text;
}

namespace {

void PaintTree(HWND window) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr || !record->visible) {
        return;
    }
    HDC dc = MakeWindowDC(window);
    if (record->isDialog || record->isFrame) {
        RECT all{0, 0, record->Width(), record->Height()};
        auto brush = reinterpret_cast<HBRUSH>(SendMessageA(
            window, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
        FillRect(dc, &all, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    }
    // A list whose redraw is switched off keeps what the screen showed.
    bool drawn = record->redraw;
    if (drawn) {
        SetPaintContext(window, dc);
        SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        SendMessageA(window, WM_PAINT, 0, 0);
        SetPaintContext(window, nullptr);
    }
    DeleteDC(dc);
    record = FindRecord(window);
    if (record == nullptr) {
        return;
    }
    std::vector<HWND> children = record->children;
    for (HWND child : children) {
        // A modal dialog owned by this window has a surface of its own.
        WindowRecord* childRecord = FindRecord(child);
        if (childRecord != nullptr && !childRecord->popup) {
            PaintTree(child);
        }
    }
    if (WindowRecord* again = FindRecord(window)) {
        again->invalid = false;
    }
}

// The list of a dropped combo box, under its closed box and over whatever the window shows there, as the
// platform's list is a window of its own that no dialog edge cuts: a black frame around its rows, the
// chosen row highlighted.
void PaintDroppedList(WindowRecord& combo) {
    int closed = ComboClosedHeight(combo);
    int rowHeight = ListItemHeight(combo);
    int rows = std::max(1, static_cast<int>(combo.items.size()));
    int bottom = std::min(combo.Height(), closed + rows * rowHeight + 2);
    POINT at{0, 0};
    HWND top = TopLevelOf(combo.handle, &at);
    if (bottom <= closed || top == nullptr) {
        return;
    }
    HDC dc = MakeWindowDC(top);
    RECT list{at.x, at.y + closed, at.x + combo.Width(), at.y + bottom};
    FillRect(dc, &list, GetSysColorBrush(COLOR_WINDOW));
    Frame(dc, list, RGB(0, 0, 0), RGB(0, 0, 0));
    for (int i = 0; i < static_cast<int>(combo.items.size()); ++i) {
        RECT row{at.x + 1, at.y + closed + 1 + i * rowHeight, at.x + combo.Width() - 1,
                 at.y + closed + 1 + (i + 1) * rowHeight};
        if (row.bottom > list.bottom - 1) {
            break;
        }
        bool selected = i == combo.curSel;
        if (selected) {
            FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT textRect{row.left + 2, row.top, row.right, row.bottom};
        DrawTextA(dc, combo.items[static_cast<size_t>(i)].text.c_str(), -1, &textRect,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    DeleteDC(dc);
}

void PaintDroppedLists(HWND window) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr || !record->visible) {
        return;
    }
    if (record->kind == kRcComboBox && record->dropped) {
        PaintDroppedList(*record);
    }
    std::vector<HWND> children = record->children;
    for (HWND child : children) {
        WindowRecord* childRecord = FindRecord(child);
        if (childRecord != nullptr && !childRecord->popup) {
            PaintDroppedLists(child);
        }
    }
}

// A top-level window and everything in it, dropped lists last so that no later control covers them.
void PaintTopLevel(HWND top) {
    PaintTree(top);
    PaintDroppedLists(top);
}

} // namespace
} // namespace uiwin

void PaintWindow(HWND window) {
    HWND top = uiwin::TopLevelOf(window, nullptr);
    if (top != nullptr) {
        uiwin::PaintTopLevel(top);
    }
}

std::vector<uint32_t> RenderWindowPixels(HWND window, int* width, int* height) {
    std::vector<uint32_t> out;
    POINT origin{};
    HWND top = uiwin::TopLevelOf(window, &origin);
    uiwin::WindowRecord* topRecord = uiwin::FindRecord(top);
    uiwin::WindowRecord* self = uiwin::FindRecord(window);
    if (topRecord == nullptr || self == nullptr) {
        *width = *height = 0;
        return out;
    }
    uiwin::PaintTopLevel(top);
    topRecord = uiwin::FindRecord(top);
    self = uiwin::FindRecord(window);
    if (topRecord == nullptr || self == nullptr) {
        *width = *height = 0;
        return out;
    }
    const std::vector<uint32_t>& surface = uiwin::SurfaceOf(*topRecord);
    *width = self->Width();
    *height = self->Height();
    out.assign(static_cast<size_t>(std::max(0, *width)) * static_cast<size_t>(std::max(0, *height)),
               0xC0C0C0u);
    for (int y = 0; y < *height; ++y) {
        for (int x = 0; x < *width; ++x) {
            int sx = x + origin.x;
            int sy = y + origin.y;
            if (sx >= 0 && sy >= 0 && sx < topRecord->Width() && sy < topRecord->Height()) {
                out[static_cast<size_t>(y) * *width + x] =
                    surface[static_cast<size_t>(sy) * topRecord->Width() + sx];
            }
        }
    }
    return out;
}

std::string RenderPixelsToPng(HWND window, const std::string& path,
                              std::vector<uint32_t> (*render)(HWND window, int* width, int* height)) {
    if (!IsWindow(window)) {
        return "no such window";
    }
    // A picture in the stand-in font would pass for the real look, so none is written without the font.
    std::string problem = uiwin::FontProblem();
    if (!problem.empty()) {
        return problem;
    }
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels = render(window, &width, &height);
    if (width <= 0 || height <= 0) {
        return "the window has no area to draw";
    }
    return WritePng(path, width, height, pixels);
}

std::string RenderWindowToPng(HWND window, const std::string& path) {
    return RenderPixelsToPng(window, path, RenderWindowPixels);
}

namespace {

void PutBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    PutBigEndian(out, static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(body.data()),
                                                  static_cast<uInt>(body.size()))));
}

} // namespace

std::string WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return "the picture has no pixels";
    }
    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            raw += static_cast<char>((p >> 16) & 0xFF);
            raw += static_cast<char>((p >> 8) & 0xFF);
            raw += static_cast<char>(p & 0xFF);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return "the picture could not be compressed";
    }
    packed.resize(packedSize);
    std::string header;
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header, static_cast<uint32_t>(height));
    header += '\x08'; // bits per channel
    header += '\x02'; // RGB
    header += std::string(3, '\0');
    std::string file("\x89PNG\r\n\x1a\n", 8);
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", packed);
    PutChunk(file, "IEND", "");
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!out) {
        return "cannot write " + path;
    }
    if (std::fwrite(file.data(), 1, file.size(), out.get()) != file.size()) {
        return "cannot write " + path;
    }
    return {};
}
