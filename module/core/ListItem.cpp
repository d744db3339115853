#include "module/core/ListItem.h"

#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/Window.h"

#include <strings.h>

#include <cstring>

namespace {
constexpr int kBitmapLeft = 2;
constexpr int kBitmapTop = 1;
constexpr int kTextLeft = 24;
constexpr int kTextTop = 2;
} // namespace

void DrawListItemRow(const DRAWITEMSTRUCT* draw) {
    if (draw == nullptr || draw->hDC == nullptr) {
        return;
    }
    const auto* item = reinterpret_cast<const CListItem*>(draw->itemData);
    HDC dc = draw->hDC;
    RECT row = draw->rcItem;
    if (draw->itemAction == ODA_FOCUS) {
        DrawFocusRect(dc, &row);
        return;
    }
    bool highlighted = draw->itemState == ODS_SELECTED;
    COLORREF back = GetSysColor(highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    COLORREF text = GetSysColor(highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, &row, brush);
    if (item == nullptr) {
        return;
    }
    if (item->m_bitmap != nullptr) {
        DrawTransparentBitmap(dc, row.left + kBitmapLeft, row.top + kBitmapTop, item->m_bitmap,
                              kTransparentRowColour);
    }
    COLORREF oldText = SetTextColor(dc, text);
    COLORREF oldBack = SetBkColor(dc, back);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    const char* name = item->m_name;
    TextOutA(dc, row.left + kTextLeft, row.top + kTextTop, name, static_cast<int>(std::strlen(name)));
    SetBkMode(dc, oldMode);
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
}

int CompareListItems(const CListItem* first, const CListItem* second) {
    const char* a = first != nullptr ? static_cast<const char*>(first->m_name) : "";
    const char* b = second != nullptr ? static_cast<const char*>(second->m_name) : "";
    int order = strcasecmp(a, b);
    if (order == 0) {
        order = std::strcmp(a, b);
    }
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}
