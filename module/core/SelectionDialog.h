// The member selection dialog: the objects directly under one container, of the classes the caller names,
// in an owner-drawn list from which the administrator picks several. The group and user pages show it and
// read the names picked after it answers IDOK. Rows and result hold names relative to the container (the
// leaf, as the directory stores it); a caller makes the full name with MakeFullName(name, m_container).
#pragma once

#include "module/core/ListItem.h"
#include "module/core/OwnerDrawnList.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/StringArray.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dialog.h"

#include <memory>
#include <vector>

constexpr UINT kIddSelection = 157;
constexpr int kIdcSelectionList = 1095;
constexpr int kIdcSelectionCaption = 1096;
// Format of the caption, filled with the container's name.
constexpr UINT kIdsSelectionCaption = 302;
// A row could not be made.
constexpr UINT kIdsListItemFailed = 21;
constexpr UINT kHelpSelection = 53;

class CSelectionDialog : public COwnerDrawnList<CDialog, kIdcSelectionList> {
public:
    explicit CSelectionDialog(CWnd* parent = nullptr);
    ~CSelectionDialog() override;

    // Rows are listed for objects of this base class, drawn with `bitmap` (not owned) and carrying `kind`.
    // Entries are tried in the order added.
    void AddClassEntry(const char* className, HBITMAP bitmap, uint32_t kind = 0);

    // Set by the caller before DoModal.
    CString m_container;
    // For the caller's use (the bitmaps its class entries name).
    CBitmap m_bitmaps[3];
    // After IDOK: the names picked, relative to m_container, the row last in the list first.
    CStringArray m_result;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnHelp() override;

protected:
    void OnSelectionChange();
    DECLARE_MESSAGE_MAP()

private:
    void FillList();
    void UpdateOkButton();

    std::vector<std::unique_ptr<CListItem>> m_classEntries;
    CListBox m_list;
    CString m_caption;
};
