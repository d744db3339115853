// Owner-drawn, sorted lists with several selections, as the member lists and the selection dialog use them:
// measure, compare, draw and delete requests, the selection in index order, the redraw switch.
#include "UiWinFixture.h"

#include "platform/ui/Bitmap.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dc.h"
#include "platform/ui/window/Dialog.h"
#include "platform/ui/window/UserActions.h"

#include <cstring>

namespace {

struct Entry {
    std::string name;
};

class CMembersDialog : public CDialog {
public:
    CMembersDialog() : CDialog(201) { m_bitmap.LoadBitmap(300); }

    CListBox m_list;
    CBitmap m_bitmap;
    int m_compares = 0;
    int m_deleted = 0;
    int m_selectionChanges = 0;
    int m_doubleClicks = 0;
    std::vector<std::pair<std::string, UINT>> m_drawn; // name and drawing state, in drawing order

    void Add(const char* name) { m_list.AddString(reinterpret_cast<LPCSTR>(new Entry{name})); }

protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, 1095, m_list); }
    void OnMeasureItem(int /*id*/, LPMEASUREITEMSTRUCT measure) override { measure->itemHeight = 19; }
    int OnCompareItem(int /*id*/, LPCOMPAREITEMSTRUCT compare) override {
        ++m_compares;
        const auto* a = reinterpret_cast<const Entry*>(compare->itemData1);
        const auto* b = reinterpret_cast<const Entry*>(compare->itemData2);
        int order = std::strcmp(a->name.c_str(), b->name.c_str());
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    }
    void OnDrawItem(int /*id*/, LPDRAWITEMSTRUCT draw) override {
        const auto* entry = reinterpret_cast<const Entry*>(draw->itemData);
        m_drawn.emplace_back(entry->name, draw->itemState);
        CDC* dc = CDC::FromHandle(draw->hDC);
        bool selectedOnly = draw->itemState == ODS_SELECTED;
        dc->FillSolidRect(&draw->rcItem, GetSysColor(selectedOnly ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        DrawTransparentBitmap(draw->hDC, draw->rcItem.left + 2, draw->rcItem.top + 1, m_bitmap,
                              RGB(128, 0, 128));
        dc->SetTextColor(GetSysColor(selectedOnly ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        dc->TextOut(draw->rcItem.left + 24, draw->rcItem.top + 2, CString(entry->name));
    }
    void OnDeleteItem(int /*id*/, LPDELETEITEMSTRUCT gone) override {
        ++m_deleted;
        delete reinterpret_cast<Entry*>(gone->itemData);
    }
    void OnSelChange() { ++m_selectionChanges; }
    void OnDoubleClick() { ++m_doubleClicks; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMembersDialog, CDialog)
ON_LBN_SELCHANGE(1095, OnSelChange)
ON_LBN_DBLCLK(1095, OnDoubleClick)
END_MESSAGE_MAP()

} // namespace

TEST_F(UiWinTest, OwnerDrawnListSortsByTheCompareRequestAndReportsSelectionsInIndexOrder) {
    CMembersDialog dialog;
    ASSERT_TRUE(dialog.Create(201));
    for (const char* name : {"delta", "alpha", "charlie", "bravo"}) {
        dialog.Add(name);
    }
    EXPECT_GT(dialog.m_compares, 0);
    EXPECT_EQ(dialog.m_list.GetItemHeight(0), 19);
    ASSERT_EQ(dialog.m_list.GetCount(), 4);
    EXPECT_EQ(reinterpret_cast<Entry*>(dialog.m_list.GetItemDataPtr(0))->name, "alpha");
    EXPECT_EQ(reinterpret_cast<Entry*>(dialog.m_list.GetItemDataPtr(3))->name, "delta");

    // Rows are named by what they show; the person picks delta first, then alpha.
    EXPECT_EQ(SelectItems(dialog.m_hWnd, 1095, {"delta", "alpha"}), UiActionError::None);
    EXPECT_EQ(dialog.m_selectionChanges, 1);
    EXPECT_EQ(SelectItems(dialog.m_hWnd, 1095, {"zulu"}), UiActionError::NoSuchItem);
    EXPECT_EQ(dialog.m_selectionChanges, 1);
    int selected[8] = {};
    ASSERT_EQ(dialog.m_list.GetSelCount(), 2);
    ASSERT_EQ(dialog.m_list.GetSelItems(8, selected), 2);
    EXPECT_EQ(selected[0], 0);
    EXPECT_EQ(selected[1], 3);

    std::vector<std::string> lines = DescribeControls(dialog.m_hWnd);
    std::vector<std::string> rows(lines.begin() + 1, lines.begin() + 5);
    EXPECT_EQ(rows, (std::vector<std::string>{"1095.0 | alpha | selected", "1095.1 | bravo | -",
                                              "1095.2 | charlie | -", "1095.3 | delta | selected"}));

    // Painted rows: in list order, the selected ones in the selected state (the focused one with focus).
    dialog.m_drawn.clear();
    PaintWindow(dialog.m_hWnd);
    ASSERT_EQ(dialog.m_drawn.size(), 4u);
    EXPECT_EQ(dialog.m_drawn[0], (std::pair<std::string, UINT>{"alpha", ODS_SELECTED | ODS_FOCUS}));
    EXPECT_EQ(dialog.m_drawn[1], (std::pair<std::string, UINT>{"bravo", 0u}));
    EXPECT_EQ(dialog.m_drawn[3], (std::pair<std::string, UINT>{"delta", static_cast<UINT>(ODS_SELECTED)}));

    // Removing with the redraw switched off paints nothing until it is switched on again.
    dialog.m_list.SetRedraw(FALSE);
    dialog.m_list.DeleteString(3);
    dialog.m_list.DeleteString(0);
    EXPECT_EQ(dialog.m_deleted, 2);
    dialog.m_drawn.clear();
    PaintWindow(dialog.m_hWnd);
    EXPECT_TRUE(dialog.m_drawn.empty());
    dialog.m_list.SetRedraw(TRUE);
    PaintWindow(dialog.m_hWnd);
    EXPECT_EQ(dialog.m_drawn.size(), 2u);

    // A double click selects the row alone, then reports the double click.
    EXPECT_EQ(DoubleClickItem(dialog.m_hWnd, 1095, "charlie"), UiActionError::None);
    EXPECT_EQ(dialog.m_doubleClicks, 1);
    EXPECT_EQ(dialog.m_list.GetSelCount(), 1);
    EXPECT_EQ(dialog.m_list.GetSel(1), 1);

    dialog.DestroyWindow();
    EXPECT_EQ(dialog.m_deleted, 4); // the rows left are handed back when the list goes
}

TEST_F(UiWinTest, OwnerDrawnRowsShowTheirBitmapWithTheTransparentColourLeftOut) {
    CMembersDialog dialog;
    ASSERT_TRUE(dialog.Create(201));
    dialog.Add("alpha");
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels = RenderWindowPixels(dialog.m_hWnd, &width, &height);
    ASSERT_EQ(width, 240);
    // The list's client area starts at (10, 10); the row at (11, 11); the bitmap 2 right, 1 down.
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; };
    int bx = 10 + 1 + 2;
    int by = 10 + 1 + 1;
    EXPECT_EQ(at(bx + 0, by), 0xFFFFFFu); // '.' shows the row's window colour
    EXPECT_EQ(at(bx + 1, by), 0x000000u);
    EXPECT_EQ(at(bx + 2, by), 0xC00000u);
    EXPECT_EQ(at(bx + 3, by), 0xFFFFFFu);
    EXPECT_EQ(at(bx + 1, by + 1), 0xFFFFFFu);
    EXPECT_EQ(at(bx + 3, by + 1), 0xFFFFFFu); // white in the bitmap itself
    dialog.DestroyWindow();
}
