#include "module/core/SelectionDialog.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/FullName.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"

#include <cstring>
#include <new>

namespace {

// Frees the list's buffer and context on every path.
struct ListingResources {
    int32_t context = 0;
    DirBuffer* buffer = nullptr;
    ~ListingResources() {
        if (buffer != nullptr) {
            static_cast<void>(DirFreeBuffer(buffer));
        }
        if (context > 0) {
            static_cast<void>(DirFreeContext(context));
        }
    }
};

} // namespace

BEGIN_MESSAGE_MAP(CSelectionDialog, CDialog)
ON_LBN_SELCHANGE(kIdcSelectionList, OnSelectionChange)
ON_WM_DRAWITEM()
ON_WM_MEASUREITEM()
ON_WM_COMPAREITEM()
ON_WM_DELETEITEM()
END_MESSAGE_MAP()

CSelectionDialog::CSelectionDialog(CWnd* parent) : COwnerDrawnList(kIddSelection, parent) {}

CSelectionDialog::~CSelectionDialog() = default;

void CSelectionDialog::AddClassEntry(const char* className, HBITMAP bitmap, uint32_t kind) {
    auto entry = std::make_unique<CListItem>(className);
    entry->m_kind = kind;
    entry->m_bitmap = bitmap;
    m_classEntries.push_back(std::move(entry));
}

BOOL CSelectionDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_list.SubclassDlgItem(kIdcSelectionList, this);
    CString format;
    format.LoadString(kIdsSelectionCaption);
    m_caption =
        FormatResourceText(static_cast<const char*>(format), {static_cast<const char*>(m_container)}).c_str();
    SetDlgItemText(kIdcSelectionCaption, m_caption);
    FillList();
    UpdateOkButton();
    return TRUE;
}

void CSelectionDialog::FillList() {
    ListingResources listing;
    listing.context = CreateDirContext();
    if (listing.context <= 0) {
        return;
    }
    if (DirAllocBuffer(kDirBufferSmall, &listing.buffer) != kDirOk) {
        listing.buffer = nullptr;
        return;
    }
    int32_t iteration = -1;
    do {
        if (DirList(listing.context, m_container, &iteration, listing.buffer) != kDirOk) {
            return;
        }
        uint32_t count = 0;
        if (DirGetObjectCount(listing.context, listing.buffer, &count) != kDirOk) {
            return;
        }
        for (uint32_t i = 0; i < count; ++i) {
            char name[kDirMaxNameBytes + 1] = {};
            uint32_t attrCount = 0;
            DirObjectInfo info{};
            if (DirGetObjectName(listing.context, listing.buffer, name, &attrCount, &info) != kDirOk) {
                return;
            }
            // Every object listed lies directly under the container, so its leaf names it there; the
            // callers complete the names they are handed with "." and the container.
            std::unique_ptr<CListItem> item(new (std::nothrow) CListItem(GetLeafName(name)));
            if (!item) {
                AfxMessageBox(kIdsListItemFailed);
                continue;
            }
            for (const auto& entry : m_classEntries) {
                if (std::strcmp(info.baseClass, entry->m_name) == 0) {
                    item->m_kind = entry->m_kind;
                    item->m_bitmap = entry->m_bitmap;
                    // The list owns the row from here; OnDeleteItem frees it.
                    if (m_list.AddString(reinterpret_cast<LPCSTR>(item.get())) >= 0) {
                        static_cast<void>(item.release());
                    }
                    break;
                }
            }
        }
    } while (iteration != -1);
}

void CSelectionDialog::UpdateOkButton() {
    if (CWnd* ok = GetDlgItem(IDOK)) {
        ok->EnableWindow(m_list.GetSelCount() > 0 ? TRUE : FALSE);
    }
}

void CSelectionDialog::OnSelectionChange() {
    UpdateOkButton();
}

void CSelectionDialog::OnOK() {
    m_result.RemoveAll();
    int count = m_list.GetSelCount();
    if (count > 0) {
        std::vector<int> rows(static_cast<size_t>(count));
        count = m_list.GetSelItems(count, rows.data());
        for (int i = count - 1; i >= 0; --i) {
            const auto* item =
                static_cast<const CListItem*>(m_list.GetItemDataPtr(rows[static_cast<size_t>(i)]));
            if (item != nullptr) {
                m_result.Add(item->m_name);
            }
        }
    }
    CDialog::OnOK();
}

void CSelectionDialog::OnHelp() {
    if (CWinApp* app = AfxGetApp()) {
        app->WinHelp(kHelpSelection, HELP_CONTEXT);
    }
}
