// The change-password wizard: one new password for a directory user, carried to every NT account the user
// holds. Page 1 takes and checks the password and changes the user's directory password; page 2 seals it
// under each account's NT system key and stores the sealed value; page 3 lists the outcome per NT system.
// The new password never reaches the directory in clear.
#pragma once

#include "platform/ui/String.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/PropertySheet.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

constexpr UINT kIdsChgPswdCaption = 307;
constexpr UINT kIddChgPswdPage1 = 308;
constexpr UINT kIddChgPswdPage2 = 309;
constexpr UINT kIddChgPswdPage3 = 310;
constexpr UINT kHelpChgPswd = 24;

constexpr int kIdcChgPswdOldLabel = 1145;
constexpr int kIdcChgPswdOld = 1146;
constexpr int kIdcChgPswdNew = 1147;
constexpr int kIdcChgPswdConfirm = 1148;
constexpr int kIdcChgPswdRun = 1150;
constexpr int kIdcChgPswdAccountLine = 1151;
constexpr int kIdcChgPswdStepLine = 1152;
constexpr int kIdcChgPswdProgress = 1153;
constexpr int kIdcChgPswdResults = 1154;
constexpr int kIdcChgPswdCopy = 1155;

constexpr int kChgPswdOldLimit = 128;
constexpr int kChgPswdNewLimit = 14;
constexpr uint32_t kChgPswdConvertedSize = 30;
// Progress steps of one account: each account moves the bar by exactly this much, whatever befalls it.
constexpr int kChgPswdStepsPerAccount = 6;

constexpr UINT kMsgChgPswdNoConnection = 13;
constexpr UINT kMsgChgPswdNotLaunched = 57379;
constexpr UINT kMsgChgPswdOldMissing = 57392;
constexpr UINT kMsgChgPswdNewMissing = 57394;
constexpr UINT kMsgChgPswdConfirmMissing = 57395;
constexpr UINT kMsgChgPswdMismatch = 57396;
constexpr UINT kMsgChgPswdTooShort = 57397;
constexpr UINT kMsgChgPswdRepeated = 57398;
constexpr UINT kMsgChgPswdDirTooShort = 57399;
constexpr UINT kFmtChgPswdDirFailed = 57400;
constexpr UINT kMsgChgPswdNoConversion = 57401;
constexpr UINT kMsgChgPswdNotConverted = 57402;
constexpr UINT kFmtChgPswdNoColumn = 57403;
constexpr UINT kMsgChgPswdNoClipboard = 57404;
constexpr UINT kMsgChgPswdNoMemory = 57405;
constexpr UINT kMsgChgPswdCopied = 57406;
constexpr UINT kIdsChgPswdStarting = 57407;
constexpr UINT kIdsChgPswdNextAccount = 57408;
constexpr UINT kIdsChgPswdReadingKey = 57409;
constexpr UINT kIdsChgPswdPreparing = 57410;
constexpr UINT kIdsChgPswdSealing = 57411;
constexpr UINT kIdsChgPswdStoring = 57412;
constexpr UINT kIdsChgPswdStored = 57413;
constexpr UINT kIdsChgPswdDone = 57414;
// Format: the user (%s). The user's own list of NT accounts could not be read, so the wizard does not start.
constexpr UINT kFmtChgPswdAccountsUnreadable = 57560;

// The NT system that holds an account: its full name after the first unescaped ".". A name without a dot
// stays whole.
CString ChgPswdSystemOf(const char* accountFullName);

// The outcome for one NT account.
class CChgPswdResult : public CObject {
public:
    CChgPswdResult(int success, const char* system) : m_success(success), m_system(system) {}
    int m_success = 0;
    CString m_system;
};

class CChgPswdWizard;

class CChgPswdWizardPage1 : public CPropertyPage {
public:
    explicit CChgPswdWizardPage1(CChgPswdWizard* wizard);
    ~CChgPswdWizardPage1() override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    void OnHelp() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    // Disabled fields on light grey.
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) override;

private:
    LRESULT Refuse(UINT message, int focusId);
    void WipeTyped();

    CChgPswdWizard* m_wizard;
    CString m_confirmation;
    CString m_newPassword;
    CString m_oldPassword;
    int m_required = 1;
    int m_minimumLength = -1;
};

class CChgPswdWizardPage2 : public CPropertyPage {
public:
    explicit CChgPswdWizardPage2(CChgPswdWizard* wizard);
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    void OnHelp() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void Run();
    // Seals and stores for one account; answers the progress steps it took.
    bool ProcessAccount(int32_t ctx, const CString& account, int* stepsTaken);
    void Lines(LPCSTR account, LPCSTR step);
    void Advance(int steps);

    CChgPswdWizard* m_wizard;
    CProgressCtrl m_progress;
    CString m_accountLine;
    CString m_stepLine;
    bool m_ran = false;
};

class CChgPswdWizardPage3 : public CPropertyPage {
public:
    explicit CChgPswdWizardPage3(CChgPswdWizard* wizard);
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    BOOL OnWizardFinish() override;
    void OnHelp() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void CopyToClipboard();

    CChgPswdWizard* m_wizard;
    CListCtrl m_list;
};

class CChgPswdWizard : public CPropertySheet {
public:
    // accounts: the full names of the user's NT accounts, in the order they are processed.
    CChgPswdWizard(const char* userName, std::vector<CString> accounts);
    ~CChgPswdWizard() override;
    CChgPswdWizard(const CChgPswdWizard&) = delete;
    CChgPswdWizard& operator=(const CChgPswdWizard&) = delete;

    [[nodiscard]] const CString& UserName() const { return m_userName; }
    [[nodiscard]] const std::vector<CString>& Accounts() const { return m_accounts; }
    [[nodiscard]] const std::vector<std::unique_ptr<CChgPswdResult>>& Results() const { return m_results; }
    // The accounts whose sealed password page 2 stored; kept after Finish, unlike the results.
    [[nodiscard]] const std::vector<CString>& Stored() const { return m_stored; }

private:
    friend class CChgPswdWizardPage1;
    friend class CChgPswdWizardPage2;
    friend class CChgPswdWizardPage3;
    void WipeConverted();

    std::vector<CString> m_accounts;
    CString m_userName;
    // The new password after the locale library's conversion: what is sealed for every account.
    std::array<char, kChgPswdConvertedSize> m_converted{};
    std::vector<std::unique_ptr<CChgPswdResult>> m_results;
    std::vector<CString> m_stored;
    CChgPswdWizardPage1 m_page1;
    CChgPswdWizardPage2 m_page2;
    CChgPswdWizardPage3 m_page3;
};

// The wizard's one entry point: gives the directory user `userFullName` a new password and carries it to
// `accounts`, the full names of the NT accounts the launching page lists, in its order (accounts added there
// and not applied yet among them). Runs modally and answers the sheet's result (ID_WIZFINISH when it ran to
// the end, IDCANCEL when cancelled on page 1, -1 when it could not start: message 57379 without a
// connection, 57560 when the user's own "KEL:Application Server List" cannot be read, since the user's
// accounts are then unknown and would keep the old password). `stored`, when given, receives the accounts
// whose sealed password was stored.
INT_PTR RunChgPswdWizard(const char* userFullName, std::vector<CString> accounts,
                         std::vector<CString>* stored = nullptr);
