// The account expiration page of an NT user: whether a domain account never expires or expires at the end
// of a chosen day ("Login Expiration Time"), and whether it is a global or a local account ("KEL:Global
// Account"). An account of a workgroup system has neither, and the page only says so.
#pragma once

#include "module/pages/StayOpenPage.h"
#include "platform/winapi/WinApi.h"

#include <cstdint>
#include <optional>
#include <string>

constexpr UINT kIdsNTUserExpirationTitle = 57389;
constexpr UINT kIddNTUserExpiration = 161;
constexpr UINT kHelpNTUserExpiration = 20;

constexpr int kIdcExpGlobal = 1079;
constexpr int kIdcExpLocal = 1180;
constexpr int kIdcExpNever = 1181;
constexpr int kIdcExpExpiresOn = 1182;
constexpr int kIdcExpObjectName = 1188;
constexpr int kIdcExpWorkgroupNote = 1192;
constexpr int kIdcExpDate = 1216;
// The labels and frames shown with the choices of a domain account.
constexpr int kIdcExpDomainControls[] = {1189, 1188, 1181, 1182, 1213, 1216,
                                         1179, 1178, 1079, 1190, 1180, 1191};

constexpr UINT kMsgBadExpirationDate = 37;
// Formats: the account's name and the directory's code, when its expiration or its account type (global or
// local) could not be stored.
constexpr UINT kFmtExpirationNotStored = 57581;
constexpr UINT kFmtAccountTypeNotStored = 57582;
// WriteChanges when the directory refused a write: the handler stops there and the sheet stays open with
// the person's choice, still modified, for the next apply.
constexpr LONG kExpirationNotStored = -1;

// "Login Expiration Time" of an account that never expires.
constexpr uint32_t kNeverExpires = 0xFFFFFFFFu;
// The years a 32-bit time of the end of a day can hold.
constexpr int kFirstExpirationYear = 1970;
constexpr int kLastExpirationYear = 2037;

// The end of the day a date text names, 23:59:59 local time, in seconds since 1970 UTC; daylight saving as
// the local zone has it on that day. Empty when the text is no date the user's locale writes, or the day
// does not exist.
std::optional<int64_t> ExpirationTimeOfDate(const char* dateText);
// The local date of a stored time, as the page shows it ("%x" with a four-digit year).
std::string DateTextOfTime(int64_t seconds);

class CNTUserPage_Expiration : public CStayOpenPage {
public:
    CNTUserPage_Expiration();

    DLGPROC GetDialogProc() override;
    BOOL Help() override { return ShowHelp(kHelpNTUserExpiration); }
    BOOL OnInitDialog() override;
    // Refuses (0, message 37) a date text that is no date, or a day that the stored time cannot hold. Only a
    // choice the person made is checked: a stored time the page cannot show never holds up the sheet.
    BOOL Validate() override;
    // Writes to `objectName` what the person changed: the account type, the expiration, each only when
    // changed. Answers 0; or, when the directory refuses a write, shows why and answers kExpirationNotStored.
    LONG WriteChanges(const char* objectName);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnGlobalClicked();
    void OnLocalClicked();
    void OnExpiresOnChosen();
    void OnNeverClicked();
    void OnDateChange();
    DECLARE_MESSAGE_MAP()

private:
    void ForgetLoaded();
    void MarkChanged();
    void MarkTypeChanged();
    void MarkExpirationChanged();
    [[nodiscard]] bool StoreType(int32_t ctx, const char* objectName);
    [[nodiscard]] bool StoreExpiration(int32_t ctx, const char* objectName);
    [[nodiscard]] bool IsEnabled(int controlId) const;
    void Enable(int controlId, BOOL enable);
    BOOL RefuseDate();

    // Radio states: 0 on; taken from the controls an off button is -1; the page writes 1 for off.
    BOOL m_modified = FALSE;
    int m_expiresOn = -1;
    int m_local = -1;
    CString m_objectName;
    int m_never = 0;
    int m_global = 0;
    CString m_date;
    // Which of the two choices the person changed since the last write: only those are checked and
    // written, so that a stored value the page cannot show is never written over unseen.
    bool m_typeChanged = false;
    bool m_expirationChanged = false;
};
