#include "module/pages/users/NTUserPage_ID.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/window/Dc.h"

#include <cstring>


BEGIN_MESSAGE_MAP(CNTUserPage_ID, CIdentificationPage)
ON_EN_CHANGE(kIdcNTUserFullName, OnFullNameChange)
ON_EN_CHANGE(kIdcNTUserDescription, OnDescriptionChange)
ON_EN_CHANGE(kIdcNTUserPassword, OnPasswordChange)
ON_BN_CLICKED(kIdcNTUserMustChange, OnFlagClicked)
ON_BN_CLICKED(kIdcNTUserCannotChange, OnFlagClicked)
ON_BN_CLICKED(kIdcNTUserNeverExpires, OnFlagClicked)
ON_BN_CLICKED(kIdcNTUserDisabled, OnFlagClicked)
ON_BN_CLICKED(kIdcNTUserLockedOut, OnFlagClicked)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CNTUserPage_ID::CNTUserPage_ID()
    : CIdentificationPage(kIddNTUserId, kIdcNTUserDescription, kIdcNTUserName, kHelpNTUserId) {}

CNTUserPage_ID::~CNTUserPage_ID() {
    Wipe(m_password);
    Wipe(m_confirmation);
}

DLGPROC CNTUserPage_ID::GetDialogProc() {
    return &SnapinPageDialogProc<CNTUserPage_ID>;
}

void CNTUserPage_ID::Wipe(CString& secret) {
    if (const int length = secret.GetLength(); length > 0) {
        WipeSecret(secret.GetBuffer(length), static_cast<size_t>(length));
    }
    secret.Empty();
}

void CNTUserPage_ID::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcNTUserName, m_objectName);
    DDX_Check(dx, kIdcNTUserDisabled, m_accountDisabled);
    DDX_Check(dx, kIdcNTUserLockedOut, m_lockedOut);
    DDX_Check(dx, kIdcNTUserCannotChange, m_cannotChange);
    DDX_Text(dx, kIdcNTUserDescription, m_description);
    LimitTyping(dx, m_description, kNTUserDescriptionLimit, m_descriptionTyped);
    DDX_Text(dx, kIdcNTUserFullName, m_fullName);
    LimitTyping(dx, m_fullName, kNTUserFullNameLimit, m_fullNameTyped);
    DDX_Check(dx, kIdcNTUserMustChange, m_mustChange);
    DDX_Text(dx, kIdcNTUserPassword, m_password);
    DDV_MaxChars(dx, m_password, kNTUserPasswordLimit);
    DDX_Text(dx, kIdcNTUserConfirm, m_confirmation);
    DDV_MaxChars(dx, m_confirmation, kNTUserPasswordLimit);
    DDX_Check(dx, kIdcNTUserNeverExpires, m_neverExpires);
}

void CNTUserPage_ID::ForgetUser() {
    ForgetLoaded();
    m_passwordTyped = FALSE;
    m_containerName.Empty();
    m_publicKey.reset();
    m_accountDisabled = 0;
    m_lockedOut = 0;
    m_cannotChange = 0;
    m_fullName.Empty();
    m_mustChange = 0;
    Wipe(m_password);
    Wipe(m_confirmation);
    m_neverExpires = 0;
    m_fullNameTyped = false;
    m_descriptionTyped = false;
    m_flagClicked = false;
    m_fullNameWritable = false;
    m_descriptionWritable = false;
}

bool CNTUserPage_ID::IsEnabled(int controlId) const {
    CWnd* control = GetDlgItem(controlId);
    return control != nullptr && control->IsWindowEnabled();
}

void CNTUserPage_ID::Enable(int controlId, BOOL enable) {
    if (CWnd* control = GetDlgItem(controlId)) {
        control->EnableWindow(enable);
    }
}

void CNTUserPage_ID::ReadFlag(int32_t ctx, const char* attr, int* member, bool inverted, int controlId) {
    *member = 0;
    DirValuePtr value = ReadAttrValueOwned(ctx, m_objectName, attr, kSyntaxBoolean);
    if (value) {
        const auto byte = *static_cast<const int8_t*>(value.get());
        *member = inverted ? (byte == 0 ? 1 : 0) : byte;
    } else if (LastReadRefused()) {
        // Unchecked is not what the directory holds: the box must not offer to write it.
        Enable(controlId, FALSE);
    }
}

void CNTUserPage_ID::RestrictWithoutWriteRight(int32_t ctx, const char* identity) {
    struct Restriction {
        const char* attr;
        int controlId;
        bool readOnly; // an edit stays selectable, a check box is disabled
    };
    static constexpr Restriction kRestrictions[] = {
        {kAttrFullName, kIdcNTUserFullName, true},
        {kAttrDescription, kIdcNTUserDescription, true},
        {kAttrUfLockout, kIdcNTUserLockedOut, false},
        {kAttrMustChangePassword, kIdcNTUserMustChange, false},
        {kAttrPasswordAllowChange, kIdcNTUserCannotChange, false},
        {kAttrExpirePassword, kIdcNTUserNeverExpires, false},
        {kAttrLoginDisabled, kIdcNTUserDisabled, false},
    };
    for (const Restriction& r : kRestrictions) {
        uint32_t rights = 0;
        if (DirGetEffectiveRights(ctx, identity, m_objectName, r.attr, &rights) != kDirOk ||
            (rights & kRightWrite) != 0) {
            continue;
        }
        if (r.readOnly) {
            SendDlgItemMessage(r.controlId, EM_SETREADONLY, TRUE);
            (r.controlId == kIdcNTUserFullName ? m_fullNameWritable : m_descriptionWritable) = false;
        } else {
            Enable(r.controlId, FALSE);
        }
    }
}

bool CNTUserPage_ID::LoadKey(int32_t ctx) {
    m_containerName = GetContainerName(m_objectName);
    m_publicKey = ReadAttrValueOwned(ctx, m_containerName, kAttrKelPublicKey, kSyntaxOctetString);
    return m_publicKey != nullptr;
}

BOOL CNTUserPage_ID::OnInitDialog() {
    ForgetUser();
    CDialog::OnInitDialog();

    uint32_t mode = 0;
    char context[kQueryContextBufferSize] = {};
    if (HostQueryMode(&mode) != 0 || mode != 1 || HostQueryContext(0, context) != 0) {
        return TRUE;
    }
    m_objectName = GetCurrentObjectName();
    CDirContext dir;
    if (!dir.IsOpen()) {
        UpdateData(FALSE);
        return TRUE;
    }
    const int32_t ctx = dir.Get();

    if (ReadStringAttr(ctx, m_objectName, kAttrFullName, kSyntaxCaseIgnoreString, &m_fullName) == 1) {
        m_fullNameWritable = true;
    } else {
        // A refused read shows nothing and must not be written over; any other failure reads as no value.
        m_fullNameWritable = !LastReadRefused();
    }
    m_descriptionWritable = LoadDescription(ctx) == TRUE;
    Enable(kIdcNTUserFullName, m_fullNameWritable ? TRUE : FALSE);
    Enable(kIdcNTUserDescription, m_descriptionWritable ? TRUE : FALSE);

    ReadFlag(ctx, kAttrPasswordAllowChange, &m_cannotChange, /*inverted=*/true, kIdcNTUserCannotChange);
    ReadFlag(ctx, kAttrMustChangePassword, &m_mustChange, /*inverted=*/false, kIdcNTUserMustChange);
    ReadFlag(ctx, kAttrExpirePassword, &m_neverExpires, /*inverted=*/true, kIdcNTUserNeverExpires);
    ReadFlag(ctx, kAttrUfLockout, &m_lockedOut, /*inverted=*/false, kIdcNTUserLockedOut);
    ReadFlag(ctx, kAttrLoginDisabled, &m_accountDisabled, /*inverted=*/false, kIdcNTUserDisabled);

    char identity[kDirMaxNameBytes + 1] = {};
    static_cast<void>(DirWhoAmI(ctx, identity));
    RestrictWithoutWriteRight(ctx, identity);

    // A new password replaces the account's secret, which takes the right to change the account's rights;
    // and it can only be sealed when the NT side published its key.
    if (CanWriteACL(ctx, identity, m_objectName) == 1 && LoadKey(ctx)) {
        Enable(kIdcNTUserPasswordLabel, TRUE);
        Enable(kIdcNTUserPassword, TRUE);
    }
    UpdateData(FALSE);
    return TRUE;
}

void CNTUserPage_ID::OnFullNameChange() {
    m_fullNameTyped = m_fullNameWritable;
    NotifyModified();
}

void CNTUserPage_ID::OnDescriptionChange() {
    m_descriptionTyped = m_descriptionWritable;
    NotifyModified();
}

void CNTUserPage_ID::OnFlagClicked() {
    m_flagClicked = true;
    NotifyModified();
}

void CNTUserPage_ID::OnPasswordChange() {
    NotifyModified();
    m_passwordTyped = TRUE;
    Enable(kIdcNTUserConfirm, TRUE);
    Enable(kIdcNTUserConfirmLabel, TRUE);
}

HBRUSH CNTUserPage_ID::OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) {
    const bool passwordField = control != nullptr && (control->GetDlgCtrlID() == kIdcNTUserPassword ||
                                                      control->GetDlgCtrlID() == kIdcNTUserConfirm);
    if ((ctlColor == CTLCOLOR_MSGBOX || ctlColor == CTLCOLOR_EDIT) && passwordField &&
        !control->IsWindowEnabled()) {
        return static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    }
    return CIdentificationPage::OnCtlColor(dc, control, ctlColor);
}

BOOL CNTUserPage_ID::Validate() {
    if (!m_modified) {
        return TRUE;
    }
    if (!UpdateData(TRUE)) {
        return FALSE;
    }
    if (m_cannotChange != 0 && m_mustChange != 0) {
        AfxMessageBox(kMsgCannotAndMustChange, MB_OK | MB_ICONEXCLAMATION);
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
            if (!m_flagClicked && !m_fullNameTyped && !m_descriptionTyped) {
                m_modified = FALSE;
            }
        }
    } else if (m_passwordTyped && !PasswordConverts(m_password)) {
        GotoDlgCtrl(GetDlgItem(kIdcNTUserPassword));
        return FALSE;
    }
    return TRUE;
}

bool CNTUserPage_ID::StorePassword(int32_t ctx) {
    // The key went with an earlier write of this sheet: a later password is sealed under the key the NT
    // system publishes now.
    if (!m_publicKey) {
        static_cast<void>(LoadKey(ctx));
    }
    return StoreSealedPassword(ctx, m_objectName, m_password, m_publicKey.get());
}

void CNTUserPage_ID::WriteFlag(int32_t ctx, const char* objectName, int controlId, const char* attr,
                               int value) {
    // A box that is disabled shows no stored state the person may change (no Write right, or no Read right).
    if (!IsEnabled(controlId)) {
        return;
    }
    const uint32_t flag = value != 0 ? 1 : 0;
    static_cast<void>(SetAttrValue(ctx, objectName, attr, kSyntaxBoolean, &flag));
}

LONG CNTUserPage_ID::WriteChanges(const char* objectName) {
    if (!m_modified || m_hWnd == nullptr || objectName == nullptr) {
        m_publicKey.reset();
        return 0;
    }
    UpdateData(TRUE);
    CDirContext dir;
    const int32_t ctx = dir.Get();
    if (m_fullNameTyped) {
        static_cast<void>(SetAttrValue(ctx, objectName, kAttrFullName, kSyntaxCaseIgnoreString,
                                       static_cast<const char*>(m_fullName)));
    }
    if (m_descriptionTyped) {
        static_cast<void>(SetAttrValue(ctx, objectName, kAttrDescription, kSyntaxCaseIgnoreString,
                                       static_cast<const char*>(m_description)));
    }
    // A password that could not be sealed takes the flags that go with it (must change, never expires)
    // along: the NT side must not apply them to the old password.
    if (!m_passwordTyped || StorePassword(ctx)) {
        WriteFlag(ctx, objectName, kIdcNTUserCannotChange, kAttrPasswordAllowChange, m_cannotChange == 0);
        if (m_mustChange != 0 && m_neverExpires != 0 && IsEnabled(kIdcNTUserMustChange)) {
            AfxMessageBox(kMsgMustChangeNeverExpires, MB_OK | MB_ICONINFORMATION);
            m_mustChange = 0;
            CheckDlgButton(kIdcNTUserMustChange, 0);
        }
        WriteFlag(ctx, objectName, kIdcNTUserMustChange, kAttrMustChangePassword, m_mustChange);
        WriteFlag(ctx, objectName, kIdcNTUserNeverExpires, kAttrExpirePassword, m_neverExpires == 0);
        WriteFlag(ctx, objectName, kIdcNTUserLockedOut, kAttrUfLockout, m_lockedOut);
        WriteFlag(ctx, objectName, kIdcNTUserDisabled, kAttrLoginDisabled, m_accountDisabled);
    }
    m_modified = FALSE;
    m_passwordTyped = FALSE;
    m_fullNameTyped = false;
    m_descriptionTyped = false;
    m_flagClicked = false;
    m_publicKey.reset();
    return 0;
}
