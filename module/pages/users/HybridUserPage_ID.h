// The identification page of a hybrid user: the account's name, the directory user it belongs to, four
// account flags and a new password. The password may be set by an identity that may change the account's
// rights, or by the directory user itself; it is sealed under the NT system's published key like every NT
// password.
#pragma once

#include "module/directory/DirContext.h"
#include "module/pages/StayOpenPage.h"

constexpr UINT kIddHybridUserId = 151;
constexpr UINT kHelpHybridUserId = 6;

constexpr int kIdcHybridConfirm = 18;
constexpr int kIdcHybridName = 19;
constexpr int kIdcHybridDirectoryUser = 20;
constexpr int kIdcHybridMustChange = 1009;
constexpr int kIdcHybridGlobalAccount = 1010;
constexpr int kIdcHybridNeverExpires = 1068;
constexpr int kIdcHybridLockedOut = 1070;
constexpr int kIdcHybridPassword = 1082;
constexpr int kIdcHybridConfirmLabel = 1090;
constexpr int kIdcHybridPasswordLabel = 1091;

// The directory user may not change its password, so it cannot be made to change it at the next logon.
constexpr UINT kMsgUserCannotChangePassword = 27;

class CHybridUserPage_ID : public CStayOpenPage {
public:
    CHybridUserPage_ID();
    ~CHybridUserPage_ID() override;

    DLGPROC GetDialogProc() override;
    BOOL Help() override { return ShowHelp(kHelpHybridUserId); }
    BOOL OnInitDialog() override;
    // Refuses (0) must-change for a directory user who may not change its password (message 27), a password
    // that differs from its confirmation (message 19) and one the NT side cannot take (too long, or a
    // character its code page lacks). A password typed and emptied again is stored empty only when the
    // person says so (message 20); otherwise the password stays as it is.
    BOOL Validate() override;
    // Writes the flags and a new, sealed password to `objectName` when the page was changed; answers 0.
    LONG WriteChanges(const char* objectName);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) override;
    void OnPasswordChange();
    void OnConfirmChange();
    void OnFlagClicked();
    DECLARE_MESSAGE_MAP()

private:
    void ForgetAccount();
    void ReadFlag(int32_t ctx, const char* attr, int* member, bool inverted, int controlId);
    void WriteFlag(int32_t ctx, const char* objectName, int controlId, const char* attr, int value);
    [[nodiscard]] bool IsEnabled(int controlId) const;
    void Enable(int controlId, BOOL enable);

    BOOL m_modified = FALSE;
    BOOL m_passwordTyped = FALSE;
    // A flag was clicked: the page stays changed when a typed password is dropped.
    bool m_flagClicked = false;
    int m_cannotChange = 0;
    CString m_containerName;
    DirValuePtr m_publicKey;
    CString m_commonName;
    int m_lockedOut = 0;
    CString m_password;
    int m_neverExpires = 0;
    CString m_confirmation;
    CString m_directoryUser;
    int m_mustChange = 0;
    int m_globalAccount = 0;
    CString m_objectName;
};
