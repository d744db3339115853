#include "module/pages/users/NTUserPage_Profile.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/ui/MessageBox.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kConnectDrive[] = "Z:";

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

BEGIN_MESSAGE_MAP(CNTUserPage_Profile, CDialog)
ON_EN_CHANGE(kIdcProfilePath, OnFieldChange)
ON_EN_CHANGE(kIdcProfileScript, OnFieldChange)
ON_EN_CHANGE(kIdcProfileLocalPath, OnFieldChange)
ON_EN_CHANGE(kIdcProfileNetworkPath, OnFieldChange)
ON_CBN_SELCHANGE(kIdcProfileDrive, OnFieldChange)
ON_BN_CLICKED(kIdcProfileLocal, OnSelectLocal)
ON_EN_SETFOCUS(kIdcProfileLocalPath, OnSelectLocal)
ON_BN_CLICKED(kIdcProfileConnect, OnSelectConnect)
ON_EN_SETFOCUS(kIdcProfileNetworkPath, OnSelectConnect)
ON_CBN_SETFOCUS(kIdcProfileDrive, OnSelectConnect)
END_MESSAGE_MAP()

CNTUserPage_Profile::CNTUserPage_Profile() : CNTUserPage_Profile(kHelpNTUserProfile, "") {}

CNTUserPage_Profile::CNTUserPage_Profile(UINT helpContext, const char* emptyDrive)
    : CStayOpenPage(kIdsNTUserProfileTitle, kIddNTUserProfile), m_helpContext(helpContext),
      m_emptyDrive(emptyDrive) {}

DLGPROC CNTUserPage_Profile::GetDialogProc() {
    return &SnapinPageDialogProc<CNTUserPage_Profile>;
}

bool CNTUserPage_Profile::IsLocalHomePath(const char* path) {
    return path != nullptr && IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\' &&
           std::strchr(path + 2, ':') == nullptr;
}

bool CNTUserPage_Profile::IsNetworkHomePath(const char* path) {
    return path != nullptr && std::strchr(path, ':') == nullptr && path[0] == '\\' && path[1] == '\\' &&
           std::strchr(path + 2, '\\') != nullptr;
}

void CNTUserPage_Profile::ExchangeDrive(CDialog* page, CDataExchange* dx, int comboId, CString& drive) {
    if (!dx->m_bSaveAndValidate && drive.IsEmpty()) {
        // A drop-down list shows only its items: no drive is no item chosen.
        page->SendDlgItemMessage(comboId, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return;
    }
    if (!dx->m_bSaveAndValidate &&
        page->SendDlgItemMessage(comboId, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(static_cast<const char*>(drive))) == CB_ERR) {
        // A drive stored by another tool is shown as it is, so that a write does not lose it.
        page->SendDlgItemMessage(comboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(static_cast<const char*>(drive)));
    }
    DDX_Text(dx, comboId, drive);
}

void CNTUserPage_Profile::FillDrives(CDialog* page, int comboId) {
    for (char drive = 'C'; drive <= 'Z'; ++drive) {
        char entry[4] = {};
        std::snprintf(entry, sizeof entry, "%c:", drive);
        page->SendDlgItemMessage(comboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
}

BOOL CNTUserPage_Profile::CheckScriptAndHome(const CString& script, bool local, const CString& path) {
    if (std::strchr(script, ':') != nullptr) {
        FormatMessageBox(kFmtBadLogonScript, MB_OK | MB_ICONEXCLAMATION, {static_cast<const char*>(script)});
        return FALSE;
    }
    const bool accepted = path.IsEmpty() || (local ? IsLocalHomePath(path) : IsNetworkHomePath(path));
    if (!accepted) {
        FormatMessageBox(kFmtBadHomeDirectory, MB_OK | MB_ICONEXCLAMATION, {static_cast<const char*>(path)});
        return FALSE;
    }
    return TRUE;
}

void CNTUserPage_Profile::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcProfileLocalPath, m_localPath);
    DDX_Text(dx, kIdcProfilePath, m_profilePath);
    DDX_Text(dx, kIdcProfileCommonName, m_commonName);
    DDX_Text(dx, kIdcProfileNetworkPath, m_networkPath);
    DDX_Text(dx, kIdcProfileScript, m_logonScript);
    ExchangeDrive(this, dx, kIdcProfileDrive, m_homeDrive);
    DDX_Radio(dx, kIdcProfileLocal, m_localState);
    DDX_Radio(dx, kIdcProfileConnect, m_connectState);
}

void CNTUserPage_Profile::ForgetLoaded() {
    m_modified = FALSE;
    m_localPath.Empty();
    m_profilePath.Empty();
    m_commonName.Empty();
    m_networkPath.Empty();
    m_logonScript.Empty();
    m_homeDrive.Empty();
    m_localState = 0;
    m_connectState = 1;
    m_homeDirectory.Empty();
    m_savedLocalPath.Empty();
    m_savedNetworkPath.Empty();
    m_profileWritable = FALSE;
    m_scriptWritable = FALSE;
    m_homeWritable = FALSE;
    m_driveWritable = FALSE;
}

BOOL CNTUserPage_Profile::LoadText(int32_t ctx, const char* object, const char* attr, CString* text) {
    if (ReadStringAttr(ctx, object, attr, kSyntaxCaseIgnoreString, text) == 1) {
        return TRUE;
    }
    text->Empty();
    const int32_t code = GetLastAttrError();
    return code == kDirErrNoRight || code == kDirErrIdentityGone ? FALSE : TRUE;
}

void CNTUserPage_Profile::Disable(int id) {
    if (CWnd* control = GetDlgItem(id)) {
        control->EnableWindow(FALSE);
    }
}

void CNTUserPage_Profile::MakeReadOnly(int id) {
    SendDlgItemMessage(id, EM_SETREADONLY, TRUE, 0);
}

BOOL CNTUserPage_Profile::OnInitDialog() {
    // The page serves sheet after sheet: nothing of the previous account may be shown or written.
    ForgetLoaded();
    CDialog::OnInitDialog();
    FillDrives(this, kIdcProfileDrive);
    uint32_t mode = 0;
    if (HostQueryMode(&mode) != 0 || mode != 1) {
        return TRUE;
    }
    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) == 0) {
        const CString object = GetCurrentObjectName();
        CDirContext dir;
        const int32_t ctx = dir.Get();
        static_cast<void>(ReadStringAttr(ctx, object, kAttrCN, kSyntaxCaseIgnoreString, &m_commonName));
        m_profileWritable = LoadText(ctx, object, kAttrProfilePath, &m_profilePath);
        m_scriptWritable = LoadText(ctx, object, kAttrScriptName, &m_logonScript);
        m_homeWritable = LoadText(ctx, object, kAttrAlternateHomeDirectory, &m_homeDirectory);
        if (m_homeDirectory.GetLength() >= 2 && static_cast<const char*>(m_homeDirectory)[1] == ':') {
            m_localPath = m_homeDirectory;
        } else if (!m_homeDirectory.IsEmpty()) {
            m_networkPath = m_homeDirectory;
            m_localState = 1;
            m_connectState = 0;
        }
        m_driveWritable = LoadText(ctx, object, kAttrHomeDirDrive, &m_homeDrive);
        // A refused read stays empty: the field shows nothing the directory holds.
        if (m_driveWritable && m_homeDrive.IsEmpty()) {
            m_homeDrive = m_emptyDrive;
        }

        char identity[kDirMaxNameBytes + 1] = {};
        const bool known = dir.IsOpen() && DirWhoAmI(ctx, identity) == kDirOk;
        auto mayWrite = [&](const char* attr, BOOL* writable) {
            uint32_t rights = 0;
            const bool queried =
                known && DirGetEffectiveRights(ctx, identity, object, attr, &rights) == kDirOk;
            // A refused right is shown as such; an unanswered query leaves the field as the read left it.
            if (queried && (rights & kRightWrite) == 0) {
                *writable = FALSE;
            }
            return *writable;
        };
        if (!mayWrite(kAttrProfilePath, &m_profileWritable)) {
            MakeReadOnly(kIdcProfilePath);
        }
        if (!mayWrite(kAttrScriptName, &m_scriptWritable)) {
            MakeReadOnly(kIdcProfileScript);
        }
        if (!mayWrite(kAttrAlternateHomeDirectory, &m_homeWritable)) {
            for (int id :
                 {kIdcProfileLocal, kIdcProfileConnect, kIdcProfileLocalPath, kIdcProfileNetworkPath}) {
                Disable(id);
            }
        }
        if (!mayWrite(kAttrHomeDirDrive, &m_driveWritable)) {
            Disable(kIdcProfileDrive);
        }
    }
    UpdateData(FALSE);
    return TRUE;
}

void CNTUserPage_Profile::OnFieldChange() {
    m_modified = TRUE;
    NotifyChanged(TRUE);
}

void CNTUserPage_Profile::OnSelectLocal() {
    if (LocalSelected()) {
        return;
    }
    NotifyChanged(TRUE);
    m_modified = TRUE;
    UpdateData(TRUE);
    m_localPath = m_savedLocalPath;
    m_homeDirectory = m_localPath;
    m_savedNetworkPath = m_networkPath;
    m_networkPath.Empty();
    m_homeDrive.Empty();
    m_localState = 0;
    m_connectState = 1;
    UpdateData(FALSE);
}

void CNTUserPage_Profile::OnSelectConnect() {
    if (!LocalSelected()) {
        return;
    }
    NotifyChanged(TRUE);
    m_modified = TRUE;
    UpdateData(TRUE);
    m_networkPath = m_savedNetworkPath;
    m_homeDirectory = m_networkPath;
    m_savedLocalPath = m_localPath;
    m_localPath.Empty();
    m_homeDrive = kConnectDrive;
    m_localState = 1;
    m_connectState = 0;
    UpdateData(FALSE);
}

BOOL CNTUserPage_Profile::Validate() {
    // An untouched page writes nothing, so a stored value it would refuse must not hold up the sheet.
    if (!m_modified || m_hWnd == nullptr) {
        return TRUE;
    }
    if (!UpdateData(TRUE)) {
        return FALSE;
    }
    return CheckScriptAndHome(m_logonScript, LocalSelected(), LocalSelected() ? m_localPath : m_networkPath);
}

LONG CNTUserPage_Profile::WriteChanges(const char* objectName) {
    if (!m_modified || objectName == nullptr) {
        return 0;
    }
    CDirContext dir;
    if (m_hWnd != nullptr) {
        UpdateData(TRUE);
    }
    const int32_t ctx = dir.Get();
    auto write = [&](BOOL writable, const char* attr, const CString& text) {
        if (writable) {
            static_cast<void>(
                SetAttrValue(ctx, objectName, attr, kSyntaxCaseIgnoreString, static_cast<const char*>(text)));
        }
    };
    write(m_profileWritable, kAttrProfilePath, m_profilePath);
    write(m_scriptWritable, kAttrScriptName, m_logonScript);
    write(m_driveWritable, kAttrHomeDirDrive, m_homeDrive);
    m_homeDirectory = LocalSelected() ? m_localPath : m_networkPath;
    write(m_homeWritable, kAttrAlternateHomeDirectory, m_homeDirectory);
    m_modified = FALSE;
    return 0;
}
