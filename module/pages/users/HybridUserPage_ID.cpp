#include "module/pages/users/HybridUserPage_ID.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/pages/users/NTUserPage_ID.h"
#include "module/pages/users/SealedPassword.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/window/Dc.h"

#include <cstring>

namespace {

void Wipe(CString& secret) {
    if (const int length = secret.GetLength(); length > 0) {
        WipeSecret(secret.GetBuffer(length), static_cast<size_t>(length));
    }
    secret.Empty();
}

bool ReadRefused() {
    const int32_t code = GetLastAttrError();
    return code == kDirErrNoRight || code == kDirErrIdentityGone;
}

} // namespace

BEGIN_MESSAGE_MAP(CHybridUserPage_ID, CDialog)
ON_EN_CHANGE(kIdcHybridPassword, OnPasswordChange)
ON_EN_CHANGE(kIdcHybridConfirm, OnConfirmChange)
ON_BN_CLICKED(kIdcHybridLockedOut, OnFlagClicked)
ON_BN_CLICKED(kIdcHybridNeverExpires, OnFlagClicked)
ON_BN_CLICKED(kIdcHybridMustChange, OnFlagClicked)
ON_BN_CLICKED(kIdcHybridGlobalAccount, OnFlagClicked)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CHybridUserPage_ID::CHybridUserPage_ID() : CStayOpenPage(kIdsIdentificationTitle, kIddHybridUserId) {}

CHybridUserPage_ID::~CHybridUserPage_ID() {
    Wipe(m_password);
    Wipe(m_confirmation);
}

DLGPROC CHybridUserPage_ID::GetDialogProc() {
    return &SnapinPageDialogProc<CHybridUserPage_ID>;
}

void CHybridUserPage_ID::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcHybridName, m_commonName);
    DDX_Check(dx, kIdcHybridLockedOut, m_lockedOut);
    DDX_Text(dx, kIdcHybridPassword, m_password);
    DDX_Check(dx, kIdcHybridNeverExpires, m_neverExpires);
    DDX_Text(dx, kIdcHybridConfirm, m_confirmation);
    DDX_Text(dx, kIdcHybridDirectoryUser, m_directoryUser);
    DDX_Check(dx, kIdcHybridMustChange, m_mustChange);
    DDX_Check(dx, kIdcHybridGlobalAccount, m_globalAccount);
}

void CHybridUserPage_ID::ForgetAccount() {
    m_modified = FALSE;
    m_passwordTyped = FALSE;
    m_flagClicked = false;
    m_cannotChange = 0;
    m_containerName.Empty();
    m_publicKey.reset();
    m_commonName.Empty();
    m_lockedOut = 0;
    Wipe(m_password);
    m_neverExpires = 0;
    Wipe(m_confirmation);
    m_directoryUser.Empty();
    m_mustChange = 0;
    m_globalAccount = 0;
    m_objectName.Empty();
}

bool CHybridUserPage_ID::IsEnabled(int controlId) const {
    CWnd* control = GetDlgItem(controlId);
    return control != nullptr && control->IsWindowEnabled();
}

void CHybridUserPage_ID::Enable(int controlId, BOOL enable) {
    if (CWnd* control = GetDlgItem(controlId)) {
        control->EnableWindow(enable);
    }
}

void CHybridUserPage_ID::ReadFlag(int32_t ctx, const char* attr, int* member, bool inverted, int controlId) {
    *member = 0;
    DirValuePtr value = ReadAttrValueOwned(ctx, m_objectName, attr, kSyntaxBoolean);
    if (value) {
        const auto byte = *static_cast<const int8_t*>(value.get());
        *member = inverted ? (byte == 0 ? 1 : 0) : byte;
    } else if (ReadRefused()) {
        // Unchecked is not what the directory holds: the box must not offer to write it.
        Enable(controlId, FALSE);
    }
}

BOOL CHybridUserPage_ID::OnInitDialog() {
    // The page serves sheet after sheet: nothing of the previous account may be shown or written.
    ForgetAccount();
    CDialog::OnInitDialog();

    uint32_t mode = 0;
    if (HostQueryMode(&mode) != 0 || mode != 1) {
        return TRUE;
    }
    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) != 0) {
        UpdateData(FALSE);
        return TRUE;
    }
    m_objectName = GetCurrentObjectName();
    m_containerName = GetContainerName(m_objectName);
    CDirContext dir;
    if (!dir.IsOpen()) {
        UpdateData(FALSE);
        return TRUE;
    }
    const int32_t ctx = dir.Get();
    char containerName[kDirMaxNameBytes + 1] = {};
    DirObjectInfo containerInfo{};
    if (DirReadObjectInfo(ctx, m_containerName, containerName, &containerInfo) != kDirOk) {
        return TRUE;
    }
    if (CWnd* global = GetDlgItem(kIdcHybridGlobalAccount)) {
        const bool workgroup = std::strcmp(containerInfo.baseClass, kClassNtWorkgroupSystem) == 0;
        global->ShowWindow(workgroup ? SW_HIDE : SW_SHOW);
        if (!workgroup) {
            ReadFlag(ctx, kAttrGlobalAccount, &m_globalAccount, /*inverted=*/false, kIdcHybridGlobalAccount);
        }
    }
    static_cast<void>(ReadStringAttr(ctx, m_objectName, kAttrCN, kSyntaxCaseIgnoreString, &m_commonName));
    if (ReadStringAttr(ctx, m_objectName, kAttrQdsUser, kSyntaxDistinguishedName, &m_directoryUser) == 1) {
        DirValuePtr allow = ReadAttrValueOwned(ctx, m_directoryUser, kAttrPasswordAllowChange, kSyntaxBoolean);
        if (allow) {
            m_cannotChange = *static_cast<const int8_t*>(allow.get()) == 0 ? 1 : 0;
        }
    } else {
        m_directoryUser.Empty();
    }
    ReadFlag(ctx, kAttrMustChangePassword, &m_mustChange, /*inverted=*/false, kIdcHybridMustChange);
    ReadFlag(ctx, kAttrExpirePassword, &m_neverExpires, /*inverted=*/true, kIdcHybridNeverExpires);
    ReadFlag(ctx, kAttrUfLockout, &m_lockedOut, /*inverted=*/false, kIdcHybridLockedOut);

    char identity[kDirMaxNameBytes + 1] = {};
    static_cast<void>(DirWhoAmI(ctx, identity));
    static constexpr std::pair<const char*, int> kBoxes[] = {
        {kAttrUfLockout, kIdcHybridLockedOut},
        {kAttrMustChangePassword, kIdcHybridMustChange},
        {kAttrExpirePassword, kIdcHybridNeverExpires},
        {kAttrGlobalAccount, kIdcHybridGlobalAccount},
    };
    for (const auto& [attr, box] : kBoxes) {
        uint32_t rights = 0;
        if (DirGetEffectiveRights(ctx, identity, m_objectName, attr, &rights) == kDirOk &&
            (rights & kRightWrite) == 0) {
            Enable(box, FALSE);
        }
    }
    // The account's own directory user may set its password without any right to the account's rights.
    const bool maySetPassword =
        CanWriteACL(ctx, identity, m_objectName) == 1 ||
        (!m_directoryUser.IsEmpty() && IsCurrentIdentity(ctx, m_directoryUser) == 1);
    if (maySetPassword) {
        m_publicKey = ReadAttrValueOwned(ctx, m_containerName, kAttrKelPublicKey, kSyntaxOctetString);
        if (m_publicKey) {
            Enable(kIdcHybridPasswordLabel, TRUE);
            Enable(kIdcHybridPassword, TRUE);
        }
    }
    UpdateData(FALSE);
    return TRUE;
}

void CHybridUserPage_ID::OnPasswordChange() {
    m_modified = TRUE;
    m_passwordTyped = TRUE;
    Enable(kIdcHybridConfirm, TRUE);
    Enable(kIdcHybridConfirmLabel, TRUE);
}

void CHybridUserPage_ID::OnConfirmChange() {
    NotifyChanged(TRUE);
}

void CHybridUserPage_ID::OnFlagClicked() {
    m_modified = TRUE;
    m_flagClicked = true;
    NotifyChanged(TRUE);
}

HBRUSH CHybridUserPage_ID::OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) {
    const bool passwordField = control != nullptr && (control->GetDlgCtrlID() == kIdcHybridPassword ||
                                                      control->GetDlgCtrlID() == kIdcHybridConfirm);
    if ((ctlColor == CTLCOLOR_MSGBOX || ctlColor == CTLCOLOR_EDIT) && passwordField &&
        !control->IsWindowEnabled()) {
        return static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    }
    return CDialog::OnCtlColor(dc, control, ctlColor);
}

BOOL CHybridUserPage_ID::Validate() {
    if (!m_modified || m_hWnd == nullptr) {
        return TRUE;
    }
    if (!UpdateData(TRUE)) {
        return FALSE;
    }
    if (m_cannotChange != 0 && m_mustChange != 0) {
        AfxMessageBox(kMsgUserCannotChangePassword, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (m_passwordTyped && std::strcmp(m_password, m_confirmation) != 0) {
        AfxMessageBox(kMsgPasswordMismatch, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (m_passwordTyped && m_password.IsEmpty()) {
        // A field typed into and emptied again is no request for an empty password: without a Yes the
        // password stays as it is, and a page changed by nothing else writes nothing.
        if (AfxMessageBox(kMsgEmptyPassword, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            m_passwordTyped = FALSE;
            m_modified = m_flagClicked ? TRUE : FALSE;
        }
    } else if (m_passwordTyped && !PasswordConverts(m_password)) {
        GotoDlgCtrl(GetDlgItem(kIdcHybridPassword));
        return FALSE;
    }
    return TRUE;
}

void CHybridUserPage_ID::WriteFlag(int32_t ctx, const char* objectName, int controlId, const char* attr,
                                   int value) {
    // A disabled box shows no stored state the person may change (no Write right, or no Read right).
    if (!IsEnabled(controlId)) {
        return;
    }
    const uint32_t flag = value != 0 ? 1 : 0;
    static_cast<void>(SetAttrValue(ctx, objectName, attr, kSyntaxBoolean, &flag));
}

LONG CHybridUserPage_ID::WriteChanges(const char* objectName) {
    if (!m_modified || m_hWnd == nullptr || objectName == nullptr) {
        return 0;
    }
    UpdateData(TRUE);
    CDirContext dir;
    const int32_t ctx = dir.Get();
    // A password that could not be sealed takes the flags that go with it along: the NT side must not
    // apply them to the old password.
    // The key went with an earlier write of this sheet: a later password is sealed under the key the NT
    // system publishes now.
    if (m_passwordTyped && !m_publicKey) {
        m_publicKey = ReadAttrValueOwned(ctx, m_containerName, kAttrKelPublicKey, kSyntaxOctetString);
    }
    if (!m_passwordTyped || StoreSealedPassword(ctx, objectName, m_password, m_publicKey.get())) {
        if (m_mustChange != 0 && m_neverExpires != 0 && IsEnabled(kIdcHybridMustChange)) {
            AfxMessageBox(kMsgMustChangeNeverExpires, MB_OK | MB_ICONINFORMATION);
            m_mustChange = 0;
            CheckDlgButton(kIdcHybridMustChange, 0);
        }
        WriteFlag(ctx, objectName, kIdcHybridMustChange, kAttrMustChangePassword, m_mustChange);
        WriteFlag(ctx, objectName, kIdcHybridNeverExpires, kAttrExpirePassword, m_neverExpires == 0);
        WriteFlag(ctx, objectName, kIdcHybridLockedOut, kAttrUfLockout, m_lockedOut);
        WriteFlag(ctx, objectName, kIdcHybridGlobalAccount, kAttrGlobalAccount, m_globalAccount);
    }
    m_modified = FALSE;
    m_passwordTyped = FALSE;
    m_flagClicked = false;
    Wipe(m_password);
    Wipe(m_confirmation);
    m_publicKey.reset();
    return 0;
}
