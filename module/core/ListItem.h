// One row of an owner-drawn list of the snap-in (the selection dialog, the group and user pages): the kind
// of object the row stands for, the bitmap drawn for it and its name.
#pragma once

#include "platform/ui/Object.h"
#include "platform/ui/String.h"
#include "platform/ui/window/Messages.h"

// Kinds the callers set in the first word.
constexpr uint32_t kListItemGlobalGroup = 3;
constexpr uint32_t kListItemLocalGroup = 4;
constexpr uint32_t kListItemNtUser = 6;
constexpr uint32_t kListItemHybridUser = 7;

// Row bitmaps leave out this colour (red 128, green 0, blue 128).
constexpr COLORREF kTransparentRowColour = RGB(128, 0, 128);
// Every row is this many pixels high.
constexpr UINT kListRowHeight = 19;

class CListItem : public CObject {
public:
    CListItem() = default;
    explicit CListItem(const char* name) : m_name(name) {}

    uint32_t m_kind = 0;
    HBITMAP m_bitmap = nullptr; // not owned
    uint32_t m_word3 = 0;
    uint32_t m_word4 = 0;
    CString m_name;
};

// Draws the row of a draw request whose item data is a CListItem: the bitmap 2 pixels right and 1 below the
// row's corner with its transparent colour left out, the name 24 right and 2 below. A row drawn only
// selected shows the highlight colours; a selected row that also has the focus is drawn in the normal
// colours, and a focus change alone draws the focus rectangle.
void DrawListItemRow(const DRAWITEMSTRUCT* draw);
// The order of two rows of a sorted list: by name, ignoring ASCII letter case, then as stored.
int CompareListItems(const CListItem* first, const CListItem* second);
