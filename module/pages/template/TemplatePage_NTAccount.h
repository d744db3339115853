// The NT account defaults of a template: what every NT account made from it gets (password flags, global
// account, profile, logon script, home directory, workstations, NT groups and primary group). Groups are
// stored by type and leaf ("g.Staff", "l.Printers"), since the same template makes accounts in several NT
// systems.
#pragma once

#include "module/core/ListItem.h"
#include "module/core/OwnerDrawnList.h"
#include "module/pages/StayOpenPage.h"
#include "module/pages/template/TemplateIds.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/StringArray.h"
#include "platform/ui/window/Controls.h"

#include <cstdint>
#include <string>
#include <vector>

class CTemplatePage_NTAccount : public COwnerDrawnList<CStayOpenPage, kIdcTplGroups> {
public:
    CTemplatePage_NTAccount();
    ~CTemplatePage_NTAccount() override;

    DLGPROC GetDialogProc() override;
    BOOL Help() override;
    BOOL Validate() override;
    BOOL OnInitDialog() override;
    // Writes what the person changed to `objectName`; answers 0.
    LONG WriteChanges(const char* objectName);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnFieldChange();
    void OnSelectLocal();
    void OnSelectConnect();
    void OnAddGroup();
    void OnRemoveGroup();
    void OnSetPrimary();
    void OnGroupSelectionChange();
    DECLARE_MESSAGE_MAP()

private:
    // What the directory holds, as the page shows it: a write sends only what differs from it.
    struct Stored {
        int mustChange = 0;
        int neverExpires = 0;
        int globalAccount = 1; // kNotHeld when the template holds no value
        CString profilePath;
        CString script;
        CString drive;
        CString home;
        std::vector<std::string> workstations;
        CString primaryGroup;
        std::vector<std::string> groups;
    };
    static constexpr int kNotHeld = -1;
    // One flag an attribute: read and may be written.
    enum Attr {
        kMustChange,
        kNeverExpires,
        kGlobal,
        kProfile,
        kScript,
        kHome,
        kDrive,
        kWorkstations,
        kPrimary,
        kGroups,
        kAttrCount
    };

    void ForgetLoaded();
    void Load(int32_t ctx, const char* identity);
    bool AddGroupRow(const char* name, uint32_t kind);
    void NotifyModified();
    void EnableControl(int id, BOOL enable);
    [[nodiscard]] Stored Current() const;
    [[nodiscard]] bool LocalSelected() const { return m_localChoice == 0; }

    CBitmap m_bitmap135;
    CBitmap m_localBitmap;
    CBitmap m_globalBitmap;
    BOOL m_groupsWritable = FALSE;
    BOOL m_modified = FALSE;
    CListBox m_groups;
    CString m_profilePath;
    CString m_localPath;
    CString m_networkPath;
    CString m_script;
    CString m_workstations[8];
    int m_globalAccount = 1;
    CString m_drive;
    int m_localChoice = -1;
    int m_mustChange = 0;
    int m_neverExpires = 0;
    int m_connectChoice = -1;
    CString m_primaryGroup;
    CString m_homeDirectory;
    CString m_savedLocalPath;
    CString m_savedNetworkPath;
    CString m_container;
    CString m_storedDrive;
    bool m_globalHeld = false;

    bool m_writable[kAttrCount] = {};
    Stored m_stored;
    // Names stored past the page's eight fields: not shown, kept in order after them at a write.
    std::vector<std::string> m_moreWorkstations;
};
