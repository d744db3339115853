// The attributes sheet of one NT account of a directory user (a "KEL:Hybrid User" in an NT domain or NT
// workgroup system), opened from the user's NT accounts page. It only collects changes: they are written
// when the User's details are applied, by SaveHybridAttributes.
//
// Entry point for the NT accounts page:
//   EditHybridAttributes(account, mayEdit, parent)  runs the sheet; TRUE when it closed with OK and something
//                                                   is to be saved
//   SaveHybridAttributes(account)                   writes what the sheet collected (on the User's apply)
//   ForgetHybridAttributes()                        drops every kept sheet (when the User's details close)
// A sheet is kept per account from its first opening, so a later opening shows what was typed.
#pragma once

#include "module/core/ListItem.h"
#include "module/core/OwnerDrawnList.h"
#include "module/directory/DirContext.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/StringArray.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/PropertySheet.h"

#include <functional>

constexpr UINT kIdsHybridAttributesCaption = 301;
constexpr char kHybridAttributesIcon[] = "IDI_TORVEL";
constexpr UINT kIddHybridPageId = 302;
constexpr UINT kIddHybridPageGrps = 303;
constexpr UINT kIddHybridPageLogin = 304;
constexpr UINT kIddHybridPageProfile = 305;
constexpr UINT kHelpHybridPageId = 6;

constexpr int kIdcAttrConfirm = 18;
constexpr int kIdcAttrName = 19;
constexpr int kIdcAttrDirectoryUser = 20;
constexpr int kIdcAttrMustChange = 1009;
constexpr int kIdcAttrGlobalAccount = 1010;
constexpr int kIdcAttrNeverExpires = 1068;
constexpr int kIdcAttrDisabled = 1070;
constexpr int kIdcAttrPassword = 1082;
constexpr int kIdcAttrConfirmLabel = 1090;
constexpr int kIdcAttrPasswordLabel = 1091;

constexpr int kIdcGrpsList = 1094;

constexpr int kIdcAttrAllWorkstations = 1130;
constexpr int kIdcAttrListedWorkstations = 1131;
constexpr int kAttrWorkstationFields = 8;
constexpr int kIdcAttrWorkstationEdits[kAttrWorkstationFields] = {1141, 1008, 1084, 1085,
                                                                  1088, 1089, 1086, 1087};

constexpr UINT kMsgGlobalAccountNotStored = 57372;

class CHybridAttributes;

BOOL EditHybridAttributes(const char* account, BOOL mayEdit, CWnd* parent);
LONG SaveHybridAttributes(const char* account);
void ForgetHybridAttributes();
// The sheet kept for account, or nullptr when it was never opened (the sheets own themselves).
CHybridAttributes* KeptHybridAttributes(const char* account);
// Drops the sheet of one account, whose entry is going.
void ForgetHybridAttributes(const char* account);

class CHybridPage_ID : public CPropertyPage {
public:
    explicit CHybridPage_ID(CHybridAttributes* sheet);
    ~CHybridPage_ID() override;
    BOOL OnInitDialog() override;
    BOOL OnKillActive() override;
    void OnHelp() override;
    LONG Save(const char* account);
    // What the page holds now; calling the answer puts it back (a cancelled opening of the sheet).
    std::function<void()> Keep();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) override;
    void OnFlag();
    void OnPasswordChange();
    DECLARE_MESSAGE_MAP()

private:
    friend class CHybridAttributes;
    void Changed();
    CHybridAttributes* m_owner;
    BOOL m_loaded = FALSE;
    BOOL m_modified = FALSE;
    BOOL m_passwordChanged = FALSE;
    // A box was clicked: the page stays changed when a typed password is dropped.
    BOOL m_flagChanged = FALSE;
    BOOL m_noSelfChange = FALSE;
    BOOL m_workgroup = FALSE;
    DirValuePtr m_publicKey;
    CString m_name;
    CString m_directoryUser;
    int m_disabled = 0;
    int m_neverExpires = 0;
    int m_mustChange = 0;
    int m_globalAccount = 0;
    CString m_password;
    CString m_confirmation;
    // Boxes whose value could be read and may be written.
    bool m_writable[4] = {};
};

class CHybridPage_Grps : public COwnerDrawnList<CPropertyPage, kIdcGrpsList> {
public:
    explicit CHybridPage_Grps(CHybridAttributes* sheet);
    BOOL OnInitDialog() override;
    LONG Save(const char* account);
    // What the page holds now; calling the answer puts it back (a cancelled opening of the sheet).
    std::function<void()> Keep();

protected:
    void OnAdd();
    void OnRemove();
    void OnSetPrimary();
    void OnSelectionChange();
    DECLARE_MESSAGE_MAP()

private:
    BOOL AddRow(const char* fullName, const char* baseClass);
    [[nodiscard]] int FindRow(const char* fullName) const;
    void Changed();
    CHybridAttributes* m_owner;
    CListBox m_list;
    BOOL m_loaded = FALSE;
    BOOL m_mayEdit = FALSE;
    BOOL m_modified = FALSE;
    BOOL m_domain = FALSE;
    CString m_primary; // full name
    BOOL m_primaryChosen = FALSE;
    CStringArray m_read;    // every stored membership, full names
    CStringArray m_removed; // full names
    CStringArray m_listed;  // what the page lists now, full names, with the values it cannot show
    CBitmap m_globalBitmap;
    CBitmap m_localBitmap;
};

class CHybridPage_Login : public CPropertyPage {
public:
    explicit CHybridPage_Login(CHybridAttributes* sheet);
    BOOL OnInitDialog() override;
    LONG Save(const char* account);
    // What the page holds now; calling the answer puts it back (a cancelled opening of the sheet).
    std::function<void()> Keep();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnAll();
    void OnListed();
    void OnNameChange();
    DECLARE_MESSAGE_MAP()

private:
    void EnableFields(BOOL enable);
    CHybridAttributes* m_owner;
    BOOL m_loaded = FALSE;
    BOOL m_modified = FALSE;
    BOOL m_writable = FALSE;
    int m_mode = 0; // 0 all workstations, 1 listed
    CString m_names[kAttrWorkstationFields];
    // Stored names past the eighth: no field shows them, and a save keeps them after the eight.
    CStringArray m_beyond;
    // The names the page stands for (as loaded, then as saved): a save sends only the difference, so that
    // a name another administrator added or removed meanwhile stays as they left it.
    CStringArray m_stored;
};

class CHybridPage_Profile : public CPropertyPage {
public:
    explicit CHybridPage_Profile(CHybridAttributes* sheet);
    BOOL OnInitDialog() override;
    BOOL OnKillActive() override;
    LONG Save(const char* account);
    // What the page holds now; calling the answer puts it back (a cancelled opening of the sheet).
    std::function<void()> Keep();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnFieldChange();
    void OnLocal();
    void OnNetwork();
    DECLARE_MESSAGE_MAP()

private:
    CHybridAttributes* m_owner;
    BOOL m_loaded = FALSE;
    BOOL m_modified = FALSE;
    int m_mode = 0; // 0 local, 1 network
    CString m_commonName;
    CString m_profilePath;
    CString m_script;
    CString m_localPath;
    CString m_networkPath;
    CString m_drive;
    bool m_writable[4] = {}; // profile path, script, home directory, drive
};

class CHybridAttributes : public CPropertySheet {
public:
    CHybridAttributes(const char* account, BOOL mayEdit, CWnd* parent);

    [[nodiscard]] const CString& Account() const { return m_account; }
    [[nodiscard]] const CString& System() const { return m_system; }
    [[nodiscard]] BOOL MayEdit() const { return m_mayEdit; }
    [[nodiscard]] BOOL HasLogin() const { return m_hasLogin; }
    void SetChanged() { m_changedFlag = TRUE; }
    [[nodiscard]] BOOL WasChanged() const { return m_changedFlag; }
    // Runs the sheet modally: true when it closed with OK and something is to be saved. A Cancel leaves the
    // sheet as it was when it opened, so only what an OK collected is saved.
    bool Edit();
    LONG Save();
    // Forgets a new password typed here and not saved yet (the other changes stay): the account has been
    // given a newer one since.
    void DiscardPendingPassword();

private:
    CString m_account;
    CString m_system;
    BOOL m_mayEdit;
    BOOL m_hasLogin = FALSE;
    BOOL m_changedFlag = FALSE;

public:
    CHybridPage_ID m_idPage;
    CHybridPage_Grps m_grpsPage;
    CHybridPage_Login m_loginPage;
    CHybridPage_Profile m_profilePage;
};
