#include "module/pages/template/TemplatePage_Servers.h"

#include "host/services/Host.h"
#include "module/core/BrowseRequest.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/pages/template/TemplateIds.h"
#include "platform/ui/MessageBox.h"

#include <cstring>
#include <new>

BEGIN_MESSAGE_MAP(CTemplatePage_Servers, CDialog)
ON_BN_CLICKED(kIdcServersAdd, OnAdd)
ON_BN_CLICKED(kIdcServersRemove, OnRemove)
ON_LBN_SELCHANGE(kIdcServersList, OnSelectionChange)
ON_WM_DRAWITEM()
ON_WM_MEASUREITEM()
ON_WM_COMPAREITEM()
ON_WM_DELETEITEM()
END_MESSAGE_MAP()

CTemplatePage_Servers::CTemplatePage_Servers()
    : COwnerDrawnList(kIdsTemplateServersTitle, kIddTemplateServers) {
    static_cast<void>(m_domainBitmap.LoadBitmap("CKELNTDOMAINBITMAP"));
    static_cast<void>(m_workgroupBitmap.LoadBitmap("CKELNTWSBITMAP"));
    static_cast<void>(m_bitmap135.LoadBitmap(135U));
}

CTemplatePage_Servers::~CTemplatePage_Servers() = default;

DLGPROC CTemplatePage_Servers::GetDialogProc() {
    return &SnapinPageDialogProc<CTemplatePage_Servers>;
}

BOOL CTemplatePage_Servers::Help() {
    return ShowHelp(kHelpTemplateServers);
}

void CTemplatePage_Servers::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kIdcServersList, m_list);
}

void CTemplatePage_Servers::ForgetLoaded() {
    m_removedServers.clear();
    m_addedServers.clear();
    m_modified = FALSE;
    m_writable = FALSE;
    m_template.Empty();
    m_unshown.RemoveAll();
    m_loaded.RemoveAll();
}

BOOL CTemplatePage_Servers::OnInitDialog() {
    // The page serves sheet after sheet: nothing of the previous template may be shown or written.
    ForgetLoaded();
    CDialog::OnInitDialog();
    if (CWnd* text = GetDlgItem(kIdcServersUnused3)) {
        text->ShowWindow(SW_HIDE);
    }
    uint32_t mode = 0;
    char context[kQueryContextBufferSize] = {};
    if (HostQueryMode(&mode) != 0 || mode != 1 || HostQueryContext(0, context) != 0) {
        return TRUE;
    }
    CDirContext dir;
    if (!dir.IsOpen()) {
        return TRUE;
    }
    for (int id : {kIdcServersUnused2, kIdcServersUnused1}) {
        if (CWnd* control = GetDlgItem(id)) {
            control->ShowWindow(SW_HIDE);
        }
    }
    const int32_t ctx = dir.Get();
    m_template = GetCurrentObjectName();
    CStringArray stored;
    const bool read =
        ReadAttrValues(ctx, m_template, kAttrApplicationServerList, kSyntaxDistinguishedName, &stored) == 1;
    const int32_t readError = read ? 0 : GetLastAttrError();
    m_list.ResetContent();
    for (INT_PTR i = 0; read && i < stored.GetSize(); ++i) {
        m_loaded.Add(stored[i]);
        char name[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        CServerListEntry* entry = nullptr;
        if (DirReadObjectInfo(ctx, stored[i], name, &info) == kDirOk) {
            entry = MakeEntry(stored[i], info.baseClass);
        }
        if (entry == nullptr || m_list.AddString(reinterpret_cast<LPCSTR>(entry)) < 0) {
            delete entry;
            m_unshown.Add(stored[i]);
        }
    }
    // A list the person could not read is never changed.
    const bool refused = readError == kDirErrNoRight || readError == kDirErrIdentityGone;
    char identity[kDirMaxNameBytes + 1] = {};
    if (!refused && DirWhoAmI(ctx, identity) == kDirOk &&
        CanWriteAttribute(ctx, identity, m_template, kAttrApplicationServerList) == 1) {
        EnableControl(kIdcServersList, TRUE);
        EnableControl(kIdcServersAdd, TRUE);
        m_writable = TRUE;
    }
    return TRUE;
}

CServerListEntry* CTemplatePage_Servers::MakeEntry(const char* fullName, const char* systemClass) {
    uint32_t kind = CServerListEntry::kOther;
    HBITMAP bitmap = nullptr;
    if (std::strcmp(systemClass, kClassNtWorkgroupSystem) == 0) {
        kind = CServerListEntry::kWorkgroupSystem;
        bitmap = m_workgroupBitmap;
    } else if (std::strcmp(systemClass, kClassNtDomain) == 0) {
        kind = CServerListEntry::kDomain;
        bitmap = m_domainBitmap;
    }
    return new (std::nothrow) CServerListEntry(fullName, kind, bitmap);
}

CServerListEntry* CTemplatePage_Servers::EntryAt(int row) const {
    return static_cast<CServerListEntry*>(m_list.GetItemDataPtr(row));
}

int CTemplatePage_Servers::FindRow(const char* fullName) const {
    for (int row = 0; row < m_list.GetCount(); ++row) {
        const CServerListEntry* entry = EntryAt(row);
        if (entry != nullptr && std::strcmp(entry->m_name, fullName) == 0) {
            return row;
        }
    }
    return -1;
}

void CTemplatePage_Servers::EnableControl(int id, BOOL enable) {
    if (CWnd* control = GetDlgItem(id)) {
        control->EnableWindow(enable);
    }
}

void CTemplatePage_Servers::OnSelectionChange() {
    if (m_writable) {
        EnableControl(kIdcServersRemove, TRUE);
    }
}

void CTemplatePage_Servers::OnAdd() {
    CBrowseRequest browse(kBrowseForPages, {kClassNtWorkgroupSystem, kClassNtDomain});
    if (!browse.Run(GetSafeHwnd(), GetContainerName(m_template))) {
        return;
    }
    CDirContext dir;
    if (!dir.IsOpen()) {
        return;
    }
    for (size_t i = 0; i < browse.Results().size(); ++i) {
        AddServer(dir.Get(), browse.Results()[i], browse.ResultClasses()[i]);
    }
}

void CTemplatePage_Servers::AddServer(int32_t ctx, const CString& system, const CString& systemClass) {
    if (FindRow(system) >= 0) {
        return;
    }
    // Accounts made from the template are named after it: a system that holds that name cannot take one.
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    if (DirReadObjectInfo(ctx, MakeFullName(GetLeafName(m_template), system), stored, &info) == kDirOk) {
        FormatMessageBox(kFmtTemplateNameTaken, MB_OK, {static_cast<const char*>(m_template)});
        return;
    }
    uint32_t count = 0;
    if (CountSubordinates(system, &count) != 1) {
        return; // shown by CountSubordinates
    }
    if (count == 0) {
        FormatMessageBox(kFmtTemplateServerEmpty, MB_OK, {static_cast<const char*>(system)});
        return;
    }
    std::unique_ptr<CServerListEntry> entry(MakeEntry(system, systemClass));
    if (!entry) {
        return;
    }
    entry->m_addedHere = true;
    std::unique_ptr<CServerListEntry> copy(MakeEntry(system, systemClass));
    // The list owns the row from here; OnDeleteItem frees it.
    if (m_list.AddString(reinterpret_cast<LPCSTR>(entry.get())) < 0) {
        return;
    }
    static_cast<void>(entry.release());
    if (copy) {
        copy->m_addedHere = true;
        m_addedServers.push_back(std::move(copy));
    }
    m_modified = TRUE;
    NotifyChanged(TRUE);
}

void CTemplatePage_Servers::OnRemove() {
    const int count = m_list.GetSelCount();
    if (count >= 1) {
        std::vector<int> rows(static_cast<size_t>(count));
        const int selected = m_list.GetSelItems(count, rows.data());
        if (selected > 1) {
            m_list.SetRedraw(FALSE);
        }
        for (int i = selected - 1; i >= 0; --i) {
            const int row = rows[static_cast<size_t>(i)];
            if (const CServerListEntry* entry = EntryAt(row)) {
                std::unique_ptr<CServerListEntry> copy(MakeEntry(entry->m_name, ""));
                if (copy) {
                    copy->m_kind = entry->m_kind;
                    copy->m_bitmap = entry->m_bitmap;
                    m_removedServers.push_back(std::move(copy));
                }
                m_list.DeleteString(static_cast<UINT>(row));
            }
        }
        if (selected > 1) {
            m_list.SetRedraw(TRUE);
            m_list.Invalidate();
        }
    }
    if (m_list.GetCount() == 0 || m_list.GetSelCount() < 1) {
        EnableControl(kIdcServersRemove, FALSE);
    }
    m_modified = TRUE;
    NotifyChanged(TRUE);
}

LONG CTemplatePage_Servers::WriteChanges(const char* objectName) {
    if (!m_modified || !m_writable || objectName == nullptr) {
        return 0;
    }
    CDirContext dir;
    if (!dir.IsOpen()) {
        return 0;
    }
    CStringArray values;
    for (INT_PTR i = 0; i < m_unshown.GetSize(); ++i) {
        values.Add(m_unshown[i]);
    }
    for (int row = 0; row < m_list.GetCount(); ++row) {
        if (const CServerListEntry* entry = EntryAt(row)) {
            values.Add(entry->m_name);
        }
    }
    CStringArray removed;
    CStringArray added;
    DiffAttrValues(m_loaded, values, &removed, &added);
    if (ChangeAttrValues(dir.Get(), objectName, kAttrApplicationServerList, kSyntaxDistinguishedName,
                         &removed, &added) == 1) {
        m_loaded.RemoveAll();
        for (INT_PTR i = 0; i < values.GetSize(); ++i) {
            m_loaded.Add(values[i]);
        }
    }
    m_modified = FALSE;
    return 0;
}

int CTemplatePage_Servers::CompareRows(const CListItem* first, const CListItem* second) const {
    const int order = std::strcmp(first->m_name, second->m_name);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}
