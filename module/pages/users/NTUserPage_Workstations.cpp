#include "module/pages/users/NTUserPage_Workstations.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"

#include <cstring>

BEGIN_MESSAGE_MAP(CNTUserPage_Workstations, CDialog)
ON_EN_CHANGE(1108, OnNameChange)
ON_EN_CHANGE(1078, OnNameChange)
ON_EN_CHANGE(1084, OnNameChange)
ON_EN_CHANGE(1085, OnNameChange)
ON_EN_CHANGE(1088, OnNameChange)
ON_EN_CHANGE(1089, OnNameChange)
ON_EN_CHANGE(1086, OnNameChange)
ON_EN_CHANGE(1087, OnNameChange)
ON_BN_CLICKED(kIdcWorkstationsAll, OnAll)
ON_BN_CLICKED(kIdcWorkstationsListed, OnListed)
END_MESSAGE_MAP()

CNTUserPage_Workstations::CNTUserPage_Workstations() : CNTUserPage_Workstations(kHelpNTUserWorkstations) {}

CNTUserPage_Workstations::CNTUserPage_Workstations(UINT helpContext)
    : CStayOpenPage(kIdsNTUserWorkstationsTitle, kIddNTUserWorkstations), m_helpContext(helpContext) {}

DLGPROC CNTUserPage_Workstations::GetDialogProc() {
    return &SnapinPageDialogProc<CNTUserPage_Workstations>;
}

void CNTUserPage_Workstations::DoDataExchange(CDataExchange* dx) {
    DDX_Radio(dx, kIdcWorkstationsAll, m_allState);
    DDX_Radio(dx, kIdcWorkstationsListed, m_listedState);
    for (int i = 0; i < kWorkstationFields; ++i) {
        DDX_Text(dx, kIdcWorkstationEdits[i], m_workstations[i]);
        // Only typing is limited: a longer name another tool stored must not hold the sheet up.
        if (!dx->m_bSaveAndValidate) {
            DDV_MaxChars(dx, m_workstations[i], kMaxWorkstationName);
        }
    }
    DDX_Text(dx, kIdcWorkstationsCommonName, m_commonName);
}

void CNTUserPage_Workstations::ForgetLoaded() {
    m_modified = FALSE;
    m_allState = -1;
    m_listedState = -1;
    for (CString& name : m_workstations) {
        name.Empty();
    }
    m_commonName.Empty();
    m_beyondFields.RemoveAll();
    m_loadedNames.RemoveAll();
    m_writable = FALSE;
}

void CNTUserPage_Workstations::EnableWorkstationControls(BOOL enable) {
    for (int i = 0; i < kWorkstationFields; ++i) {
        for (int id : {kIdcWorkstationEdits[i], kIdcWorkstationLabels[i]}) {
            if (CWnd* control = GetDlgItem(id)) {
                control->EnableWindow(enable);
            }
        }
    }
}

BOOL CNTUserPage_Workstations::OnInitDialog() {
    // The page serves sheet after sheet: nothing of the previous account may be shown or written.
    ForgetLoaded();
    CDialog::OnInitDialog();

    uint32_t mode = 0;
    char context[kQueryContextBufferSize] = {};
    if (HostQueryMode(&mode) != 0 || mode != 1 || HostQueryContext(0, context) != 0) {
        UpdateData(FALSE);
        return TRUE;
    }
    const CString object = GetCurrentObjectName();
    CDirContext dir;
    if (!dir.IsOpen()) {
        UpdateData(FALSE);
        return TRUE;
    }
    char containerName[kDirMaxNameBytes + 1] = {};
    DirObjectInfo containerInfo{};
    if (DirReadObjectInfo(dir.Get(), GetContainerName(object), containerName, &containerInfo) != kDirOk) {
        return TRUE;
    }
    if (std::strcmp(containerInfo.baseClass, kClassNtWorkgroupSystem) == 0) {
        if (CWnd* note = GetDlgItem(kIdcWorkstationsWorkgroupNote)) {
            note->ShowWindow(SW_SHOW);
        }
        return TRUE;
    }
    if (CWnd* note = GetDlgItem(kIdcWorkstationsWorkgroupNote)) {
        note->ShowWindow(SW_HIDE);
    }
    for (int id : {kIdcWorkstationsFrame, kIdcWorkstationsListed, kIdcWorkstationsAll,
                   kIdcWorkstationsCommonName, kIdcWorkstationsCommonNameLabel}) {
        if (CWnd* control = GetDlgItem(id)) {
            control->ShowWindow(SW_SHOW);
        }
    }
    for (int i = 0; i < kWorkstationFields; ++i) {
        for (int id : {kIdcWorkstationEdits[i], kIdcWorkstationLabels[i]}) {
            if (CWnd* control = GetDlgItem(id)) {
                control->ShowWindow(SW_SHOW);
            }
        }
    }
    static_cast<void>(ReadStringAttr(dir.Get(), object, kAttrCN, kSyntaxCaseIgnoreString, &m_commonName));

    CStringArray stored;
    if (ReadAttrValues(dir.Get(), object, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &stored) !=
        1) {
        const int32_t code = GetLastAttrError();
        if (code == kDirErrNoRight || code == kDirErrIdentityGone) {
            // Neither choice is shown: the person cannot tell which holds, and the page never writes it.
            for (int id : {kIdcWorkstationsAll, kIdcWorkstationsListed}) {
                if (CWnd* control = GetDlgItem(id)) {
                    control->EnableWindow(FALSE);
                }
            }
            EnableWorkstationControls(FALSE);
            UpdateData(FALSE);
            return TRUE;
        }
        m_allState = 0;
        m_listedState = 1;
        EnableWorkstationControls(FALSE);
    } else if (stored.GetSize() > 0) {
        m_allState = 1;
        m_listedState = 0;
        if (CWnd* frame = GetDlgItem(kIdcWorkstationsFrame)) {
            frame->EnableWindow(TRUE);
        }
        EnableWorkstationControls(TRUE);
        for (INT_PTR i = 0; i < stored.GetSize(); ++i) {
            m_loadedNames.Add(stored[i]);
            if (i < kWorkstationFields) {
                m_workstations[i] = stored[i];
            } else {
                m_beyondFields.Add(stored[i]);
            }
        }
    }
    m_writable = TRUE;

    char identity[kDirMaxNameBytes + 1] = {};
    uint32_t rights = 0;
    if (DirWhoAmI(dir.Get(), identity) == kDirOk &&
        DirGetEffectiveRights(dir.Get(), identity, object, kAttrEnabledWorkstationList, &rights) == kDirOk &&
        (rights & kRightWrite) == 0) {
        m_writable = FALSE;
        for (int id : {kIdcWorkstationsAll, kIdcWorkstationsListed}) {
            if (CWnd* control = GetDlgItem(id)) {
                control->EnableWindow(FALSE);
            }
        }
        for (int id : kIdcWorkstationEdits) {
            SendDlgItemMessage(id, EM_SETREADONLY, TRUE, 0);
        }
    }
    UpdateData(FALSE);
    return TRUE;
}

void CNTUserPage_Workstations::OnNameChange() {
    m_modified = TRUE;
    NotifyChanged(TRUE);
}

void CNTUserPage_Workstations::OnAll() {
    if (m_allState != 0) {
        NotifyChanged(TRUE);
        m_modified = TRUE;
    }
    m_allState = 0;
    m_listedState = 1;
    UpdateData(FALSE);
    EnableWorkstationControls(FALSE);
}

void CNTUserPage_Workstations::OnListed() {
    if (m_listedState != 0) {
        NotifyChanged(TRUE);
        m_modified = TRUE;
    }
    m_allState = 1;
    m_listedState = 0;
    UpdateData(FALSE);
    if (CWnd* frame = GetDlgItem(kIdcWorkstationsFrame)) {
        frame->EnableWindow(TRUE);
    }
    EnableWorkstationControls(TRUE);
}

BOOL CNTUserPage_Workstations::Validate() {
    if (m_hWnd != nullptr) {
        UpdateData(TRUE);
    }
    return TRUE;
}

LONG CNTUserPage_Workstations::WriteChanges(const char* objectName) {
    if (!m_modified || objectName == nullptr) {
        return 0;
    }
    if (m_writable) {
        CStringArray names;
        if (m_listedState == 0) {
            for (const CString& name : m_workstations) {
                if (!name.IsEmpty()) {
                    names.Add(name);
                }
            }
            for (INT_PTR i = 0; i < m_beyondFields.GetSize(); ++i) {
                names.Add(m_beyondFields[i]);
            }
        }
        // The fields' order is kept: only the first names of the list are the account's workstations.
        CDirContext dir;
        if (ChangeOrderedAttrValues(dir.Get(), objectName, kAttrEnabledWorkstationList,
                                    kSyntaxCaseIgnoreString, &m_loadedNames, &names) == 1) {
            m_loadedNames.RemoveAll();
            for (INT_PTR i = 0; i < names.GetSize(); ++i) {
                m_loadedNames.Add(names[i]);
            }
        }
    }
    m_modified = FALSE;
    return 0;
}
