// The NT domains and NT workgroup systems in which accounts made from a template are to exist, kept in the
// template's "KEL:Application Server List". Picking a system checks at once that an account named after the
// template could be made there, so that the person learns it here rather than when a user is made.
#pragma once

#include "module/core/ListItem.h"
#include "module/core/OwnerDrawnList.h"
#include "module/pages/StayOpenPage.h"
#include "module/pages/template/TemplateIds.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/StringArray.h"
#include "platform/ui/window/Controls.h"

#include <cstdint>
#include <memory>
#include <vector>

// One row: an NT system by its full name (the list's name is that full name).
class CServerListEntry : public CListItem {
public:
    enum Kind : uint32_t { kOther = 0, kWorkgroupSystem = 1, kDomain = 2 };

    CServerListEntry(const char* fullName, uint32_t kind, HBITMAP bitmap) : CListItem(fullName) {
        m_kind = kind;
        m_bitmap = bitmap;
    }
    ~CServerListEntry() override = default;
    CServerListEntry(const CServerListEntry&) = delete;
    CServerListEntry& operator=(const CServerListEntry&) = delete;

    // Picked since the page was loaded.
    bool m_addedHere = false;
};

class CTemplatePage_Servers : public COwnerDrawnList<CStayOpenPage, kIdcServersList> {
public:
    CTemplatePage_Servers();
    ~CTemplatePage_Servers() override;

    DLGPROC GetDialogProc() override;
    BOOL Help() override;
    BOOL OnInitDialog() override;
    // Replaces the template's server list with the listed systems when the person changed it; answers 0.
    LONG WriteChanges(const char* objectName);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    // Rows by their shown name, byte by byte.
    int CompareRows(const CListItem* first, const CListItem* second) const override;
    void OnAdd();
    void OnRemove();
    void OnSelectionChange();
    DECLARE_MESSAGE_MAP()

private:
    void ForgetLoaded();
    CServerListEntry* MakeEntry(const char* fullName, const char* systemClass);
    void AddServer(int32_t ctx, const CString& system, const CString& systemClass);
    [[nodiscard]] int FindRow(const char* fullName) const;
    [[nodiscard]] CServerListEntry* EntryAt(int row) const;
    void EnableControl(int id, BOOL enable);

    CListBox m_list;
    // Since load; kept for whoever is to consume them, the write works from the list and m_loaded.
    std::vector<std::unique_ptr<CServerListEntry>> m_removedServers;
    std::vector<std::unique_ptr<CServerListEntry>> m_addedServers;
    BOOL m_modified = FALSE;
    BOOL m_writable = FALSE;
    CString m_template;
    // Stored names whose system cannot be read: not shown, but written back, since the person never saw
    // them to remove them.
    CStringArray m_unshown;
    // The names the page stands for: as stored at load, then as its own writes left them. A write sends only
    // the difference between these and the list, so that a server another administrator added or removed
    // meanwhile stays as they left it.
    CStringArray m_loaded;

    CBitmap m_domainBitmap;
    CBitmap m_workgroupBitmap;
    CBitmap m_bitmap135;
};
