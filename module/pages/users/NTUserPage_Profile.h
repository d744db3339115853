// The profile page of an NT user: profile path, logon script and home directory. The home directory is a
// local path ("C:\Users\Ann") or a network path ("\\Srv\Home\Ann") connected to a drive letter at logon;
// one attribute holds whichever is chosen, and switching back and forth restores the path last typed for
// each choice.
#pragma once

#include "module/core/SnapinPage.h"
#include "module/pages/StayOpenPage.h"
#include "platform/ui/window/Dialog.h"

constexpr UINT kIdsNTUserProfileTitle = 57387;
constexpr UINT kIddNTUserProfile = 154;
constexpr UINT kHelpNTUserProfile = 13;
constexpr int kIdcProfileScript = 1097;
constexpr int kIdcProfileLocalPath = 1098;
constexpr int kIdcProfileLocal = 1099;
constexpr int kIdcProfileNetworkPath = 1102;
constexpr int kIdcProfileCommonName = 1104;
constexpr int kIdcProfileDrive = 1105;
constexpr int kIdcProfilePath = 1110;
constexpr int kIdcProfileConnect = 1111;
// Format: a home directory that is no local or network path (%s).
constexpr UINT kFmtBadHomeDirectory = 30;
// Format: a logon script name holding ":" (%s).
constexpr UINT kFmtBadLogonScript = 31;

class CNTUserPage_Profile : public CStayOpenPage {
public:
    CNTUserPage_Profile();

    DLGPROC GetDialogProc() override;
    BOOL Help() override { return ShowHelp(m_helpContext); }
    BOOL Validate() override;
    BOOL OnInitDialog() override;
    // Writes the page's four attributes to `objectName` when the person changed anything; answers 0.
    LONG WriteChanges(const char* objectName);

    // The checks of the two home directory forms, shared with whoever else takes such paths.
    static bool IsLocalHomePath(const char* path);
    static bool IsNetworkHomePath(const char* path);
    // The drive letters a network home directory is connected to, "C:" to "Z:", into combo box comboId.
    static void FillDrives(CDialog* page, int comboId);
    // Moves drive to or from a drop-down list of drives; a drive not among them is added, an empty one
    // shows no choice.
    static void ExchangeDrive(CDialog* page, CDataExchange* dx, int comboId, CString& drive);
    // The logon script and the chosen home directory form; shows 31 or 30 and answers FALSE on a mistake.
    static BOOL CheckScriptAndHome(const CString& script, bool local, const CString& path);

protected:
    // The hybrid user's page is this page with help of its own, showing `emptyDrive` for a drive stored
    // empty.
    CNTUserPage_Profile(UINT helpContext, const char* emptyDrive);
    void DoDataExchange(CDataExchange* dx) override;
    void OnFieldChange();
    void OnSelectLocal();
    void OnSelectConnect();
    DECLARE_MESSAGE_MAP()

private:
    void ForgetLoaded();
    // Reads attr into *text; FALSE when the directory refused the read (the text is then empty).
    BOOL LoadText(int32_t ctx, const char* object, const char* attr, CString* text);
    void Disable(int id);
    void MakeReadOnly(int id);
    [[nodiscard]] bool LocalSelected() const { return m_localState == 0; }

    BOOL m_modified = FALSE;
    CString m_localPath;
    CString m_profilePath;
    CString m_commonName;
    CString m_networkPath;
    CString m_logonScript;
    CString m_homeDrive;
    int m_localState = 0;
    int m_connectState = 0;
    CString m_homeDirectory;
    CString m_savedLocalPath;
    CString m_savedNetworkPath;

    // One a written attribute: read and may be written. A field whose read was refused shows empty and is
    // never written, or the page would put what the person never saw over the stored value.
    BOOL m_profileWritable = FALSE;
    BOOL m_scriptWritable = FALSE;
    BOOL m_homeWritable = FALSE;
    BOOL m_driveWritable = FALSE;
    UINT m_helpContext;
    const char* m_emptyDrive;
};
