// What the six KEL: class handlers share: their three class bitmaps loaded from the resource library, the
// pages they own (created on SNAP_INIT_CLASS in creation order, deleted on SNAP_CLOSE_CLASS), the apply
// that stops at the first page answering non-zero, and no deletion question (OnQueryDelete 0).
#pragma once

#include "module/core/SnapinClass.h"
#include "platform/ui/Bitmap.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

// A class bitmap, by resource name or number.
struct ClassBitmapName {
    const char* name = nullptr;
    UINT id = 0;
};

class CKelNTClass : public CSnapinClass {
public:
    ~CKelNTClass() override;

    // Creates the pages, then registers the bitmaps; answers 0.
    LONG OnInitClass() override;
    // Deletes the pages in creation order, then releases the bitmaps; answers 0.
    LONG OnCloseClass() override;
    LONG OnQueryDelete(const char* /*name*/) override { return 0; }

protected:
    CKelNTClass(const char* className, const char* displayName, ClassBitmapName normal, ClassBitmapName alias,
                ClassBitmapName readOnly);

    // Creates the handler's pages that exist, each with CreatePage, in the class's creation order.
    virtual void CreatePages() = 0;
    // Creates a page of type TPage owned by the handler, adds it to the page list and points slot at it.
    // The handler's slot is emptied when the page is deleted, so that an apply after SNAP_CLOSE_CLASS (or a
    // handler that reads its pages at any other time) finds no page rather than a deleted one.
    template <class TPage> void CreatePage(TPage*& slot) {
        auto page = std::make_unique<TPage>();
        slot = page.get();
        m_ownedPages.push_back(std::move(page));
        m_pageSlots.push_back([&slot] { slot = nullptr; });
        AddPage(slot);
    }
    void DeletePages();

    // One page's write operation; an empty one stands for a page that does not exist (and is skipped).
    using PageWriter = std::function<LONG(const char* name)>;
    template <class TPage> static PageWriter WriterOf(TPage* page) {
        if (page == nullptr) {
            return {};
        }
        return [page](const char* name) { return page->WriteChanges(name); };
    }
    // Calls the writers in order and answers the first non-zero answer, else 0.
    static LONG WriteInOrder(const char* name, std::initializer_list<PageWriter> writers);

    CBitmap m_normalImage;
    CBitmap m_aliasImage;
    CBitmap m_readOnlyImage;

private:
    std::vector<std::unique_ptr<CSnapinPage>> m_ownedPages;
    // One a page: empties the handler's pointer to it.
    std::vector<std::function<void()>> m_pageSlots;
};
