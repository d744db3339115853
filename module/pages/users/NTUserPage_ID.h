// The identification page of an NT user: its full name and description, five account flags and a new
// password. The password never reaches the directory in clear: it is sealed under the key that the NT side's
// agent published on the account's NT system, and only the sealed value is stored.
#pragma once

#include "module/directory/DirContext.h"
#include "module/pages/IdentificationPage.h"
#include "module/pages/users/SealedPassword.h"

constexpr UINT kIddNTUserId = 120;
constexpr UINT kHelpNTUserId = 11;

constexpr int kIdcNTUserName = 1014;
constexpr int kIdcNTUserFullName = 1015;
constexpr int kIdcNTUserDescription = 1016;
constexpr int kIdcNTUserPassword = 1017;
constexpr int kIdcNTUserConfirm = 1018;
constexpr int kIdcNTUserMustChange = 1019;
constexpr int kIdcNTUserCannotChange = 1020;
constexpr int kIdcNTUserNeverExpires = 1021;
constexpr int kIdcNTUserDisabled = 1022;
constexpr int kIdcNTUserLockedOut = 1023;
constexpr int kIdcNTUserPasswordLabel = 1143;
constexpr int kIdcNTUserConfirmLabel = 1144;

constexpr int kNTUserFullNameLimit = 126;
constexpr int kNTUserDescriptionLimit = 48;
constexpr int kNTUserPasswordLimit = 14;

constexpr UINT kMsgPasswordMismatch = 19;
constexpr UINT kMsgCannotAndMustChange = 25;
constexpr UINT kMsgMustChangeNeverExpires = 26;

class CNTUserPage_ID : public CIdentificationPage {
public:
    CNTUserPage_ID();
    ~CNTUserPage_ID() override;

    DLGPROC GetDialogProc() override;
    BOOL OnInitDialog() override;
    // Refuses (0) a user who both cannot and must change the password (message 25), a password that differs
    // from its confirmation (message 19) and one the NT side cannot take (too long, or a character its code
    // page lacks). A password typed and emptied again is stored empty only when the person says so
    // (message 20); otherwise the password stays as it is.
    BOOL Validate() override;
    // Writes what the person changed to `objectName`; a new password is sealed and stored in
    // "KEL:Authentication" of the loaded object. Failures are shown; answers 0 always. Releases the key.
    LONG WriteChanges(const char* objectName);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    // Disabled password fields are drawn on light grey.
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) override;
    void OnFullNameChange();
    void OnDescriptionChange();
    void OnFlagClicked();
    void OnPasswordChange();
    DECLARE_MESSAGE_MAP()

private:
    void ForgetUser();
    void ReadFlag(int32_t ctx, const char* attr, int* member, bool inverted, int controlId);
    void RestrictWithoutWriteRight(int32_t ctx, const char* identity);
    bool LoadKey(int32_t ctx);
    // Converts, seals and stores the new password; false when the flags must not be written after it.
    bool StorePassword(int32_t ctx);
    void WriteFlag(int32_t ctx, const char* objectName, int controlId, const char* attr, int value);
    [[nodiscard]] bool IsEnabled(int controlId) const;
    void Enable(int controlId, BOOL enable);
    static void Wipe(CString& secret);

    BOOL m_passwordTyped = FALSE;
    CString m_containerName;
    // "KEL:KEL Public Key" of the container, a DirOctetString block; from load to the next write.
    DirValuePtr m_publicKey;
    int m_accountDisabled = 0;
    int m_lockedOut = 0;
    int m_cannotChange = 0;
    CString m_fullName;
    int m_mustChange = 0;
    CString m_password;
    CString m_confirmation;
    int m_neverExpires = 0;
    // Text fields are written only when typed into: one whose value could not be read shows empty, and a
    // change of a flag must not erase it.
    bool m_fullNameTyped = false;
    bool m_descriptionTyped = false;
    // A flag was clicked: the page stays changed when a typed password is dropped.
    bool m_flagClicked = false;
    bool m_fullNameWritable = false;
    bool m_descriptionWritable = false;
};
