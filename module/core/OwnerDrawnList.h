// A dialog or page of the snap-in with one owner-drawn list of CListItem rows that the list owns (made with
// new, deleted with the list's rows): the rows are drawn, measured, ordered and deleted the one way all of
// the snap-in's lists share, and the requests of every other control go on to the base.
#pragma once

#include "module/core/ListItem.h"

template <typename Base, int ListId> class COwnerDrawnList : public Base {
public:
    using Base::Base;

protected:
    // The order of two rows: by name unless a list sorts by something else.
    virtual int CompareRows(const CListItem* first, const CListItem* second) const {
        return CompareListItems(first, second);
    }

    void OnDrawItem(int id, LPDRAWITEMSTRUCT draw) override {
        if (id != ListId) {
            Base::OnDrawItem(id, draw);
            return;
        }
        DrawListItemRow(draw);
    }
    void OnMeasureItem(int id, LPMEASUREITEMSTRUCT measure) override {
        if (id != ListId) {
            Base::OnMeasureItem(id, measure);
            return;
        }
        measure->itemHeight = kListRowHeight;
    }
    int OnCompareItem(int id, LPCOMPAREITEMSTRUCT compare) override {
        if (id != ListId) {
            return Base::OnCompareItem(id, compare);
        }
        return CompareRows(reinterpret_cast<const CListItem*>(compare->itemData1),
                           reinterpret_cast<const CListItem*>(compare->itemData2));
    }
    void OnDeleteItem(int id, LPDELETEITEMSTRUCT gone) override {
        if (id != ListId) {
            Base::OnDeleteItem(id, gone);
            return;
        }
        delete reinterpret_cast<CListItem*>(gone->itemData);
    }
};
