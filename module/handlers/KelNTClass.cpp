#include "module/handlers/KelNTClass.h"

namespace {
void LoadClassBitmap(CBitmap& bitmap, ClassBitmapName name) {
    if (name.name != nullptr) {
        static_cast<void>(bitmap.LoadBitmap(name.name));
    } else if (name.id != 0) {
        static_cast<void>(bitmap.LoadBitmap(name.id));
    }
}
} // namespace

CKelNTClass::CKelNTClass(const char* className, const char* displayName, ClassBitmapName normal,
                         ClassBitmapName alias, ClassBitmapName readOnly)
    : CSnapinClass("DS", className, displayName, nullptr, nullptr, nullptr) {
    LoadClassBitmap(m_normalImage, normal);
    LoadClassBitmap(m_aliasImage, alias);
    LoadClassBitmap(m_readOnlyImage, readOnly);
}

CKelNTClass::~CKelNTClass() {
    // The entries name the pages; they go first.
    RemoveAllPages();
    m_ownedPages.clear();
}

LONG CKelNTClass::OnInitClass() {
    CreatePages();
    static_cast<void>(RegisterBitmaps(m_normalImage, m_aliasImage, m_readOnlyImage));
    return 0;
}

LONG CKelNTClass::OnCloseClass() {
    DeletePages();
    static_cast<void>(ReleaseBitmaps());
    return 0;
}

void CKelNTClass::DeletePages() {
    RemoveAllPages();
    for (const auto& forget : m_pageSlots) {
        forget();
    }
    m_pageSlots.clear();
    for (auto& page : m_ownedPages) {
        page.reset();
    }
    m_ownedPages.clear();
}

LONG CKelNTClass::WriteInOrder(const char* name, std::initializer_list<PageWriter> writers) {
    for (const PageWriter& writer : writers) {
        if (!writer) {
            continue;
        }
        LONG answer = writer(name);
        if (answer != 0) {
            return answer;
        }
    }
    return 0;
}
