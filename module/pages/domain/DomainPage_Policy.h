// The account policy pages of an NT domain and an NT workgroup system: password ages (days), history,
// minimum length, whether a logon is needed to change a password, intruder detection (minutes) and, on the
// domain page only, forced logoff. The directory keeps ages and intervals in seconds.
#pragma once

#include "module/pages/StayOpenPage.h"

#include <array>
#include <cstdint>

constexpr UINT kIdsPolicyTitle = 57383;
constexpr UINT kIddDomainPolicy = 113;
constexpr UINT kIddWsPolicy = 117;
constexpr UINT kHelpDomainPolicy = 17;
constexpr UINT kHelpWsPolicy = 21;

// Refusals at validation and the intruder notice at write.
constexpr UINT kMsgMinAgeNotBelowMaxAge = 28;
constexpr UINT kMsgLockoutShorterThanAttempt = 29;
constexpr UINT kMsgMinLengthTooLarge = 32;
constexpr UINT kMsgHistoryOutOfRange = 33;
constexpr UINT kMsgAttemptIntervalOutOfRange = 34;
constexpr UINT kMsgIntruderLimitZero = 36;
// The intruder notice when only one reset interval, or neither, could be stored as 0: each says which keeps
// its stored value.
constexpr UINT kMsgIntruderOnlyLockoutZero = 57583;
constexpr UINT kMsgIntruderOnlyAttemptZero = 57584;
constexpr UINT kMsgIntruderNeitherZero = 57585;
// Format: a number of days or minutes whose seconds would not fit the directory's 32-bit value (%d the
// largest number the field takes).
constexpr UINT kFmtPolicyNumberTooLarge = 57540;

// The largest numbers whose seconds still fit in 32 bits. The workstation page reads its intervals as signed
// numbers, so a lockout interval there must stay below 2^31 seconds to be shown as it was typed.
constexpr uint32_t kMaxAgeDays = 0xFFFFFFFFu / 86400;              // 49710
constexpr uint32_t kMaxIntervalMinutes = 0xFFFFFFFFu / 60;          // 71582788
constexpr uint32_t kMaxSignedIntervalMinutes = 0x7FFFFFFFu / 60;    // 35791394

// Where a page shows each field. forceLogoff is 0 on a page without that field.
struct PolicyLayout {
    UINT templateId;
    UINT helpContext;
    int maxAge, minAge, history, minLength, intruderLimit, logonRequired, lockout, attempt, forceLogoff;
    bool signedIntervals; // the workstation page shows its two intervals as signed numbers
};

class CPolicyPage : public CStayOpenPage {
public:
    BOOL OnInitDialog() override;
    BOOL Validate() override;
    BOOL Help() override { return ShowHelp(m_layout.helpContext); }
    // Writes every enabled field to the current object when the page was changed; answers 0.
    LONG WriteChanges(const char* objectName);

protected:
    explicit CPolicyPage(const PolicyLayout& layout);
    void DoDataExchange(CDataExchange* dx) override;
    void OnFieldChange();

    // The fields in the order the domain page loads them.
    enum Field { kMinAge, kMaxAge, kHistory, kForceLogoff, kLogonRequired, kMinLength, kIntruderLimit,
                 kLockout, kAttempt, kFieldCount };

    const PolicyLayout m_layout;
    BOOL m_modified = FALSE;
    uint32_t m_maxAge = 0;
    uint32_t m_minAge = 0;
    int m_history = 0;
    uint32_t m_lockout = 0; // the workstation page reads and compares the two intervals as signed numbers
    uint32_t m_attempt = 0;
    uint32_t m_intruderLimit = 0;
    uint32_t m_minLength = 0;
    int m_logonRequired = 0;
    int m_forceLogoff = 0;

private:
    int ControlOf(Field field) const;
    void ForgetLoaded();
    void Load(int32_t ctx, const char* object, const char* identity, Field field);
    bool Enabled(Field field) const;
    BOOL Refuse(UINT messageId, Field field);
    BOOL RefuseTooLarge(uint32_t largest, Field field);
    // True when the field was written; a disabled field is not.
    bool Store(int32_t ctx, const char* object, Field field);
    // Stores both reset intervals as 0, since intruder detection without a limit is off, and says which of
    // them the directory now holds as 0.
    void StoreIntruderDetectionOff(int32_t ctx, const char* object);

    // A field whose read the directory refused shows nothing and is never exchanged or written: writing it
    // would put a value the administrator never saw over the stored one.
    std::array<bool, kFieldCount> m_refused{};
};

class CDomainPage_Policy : public CPolicyPage {
public:
    CDomainPage_Policy();
    DLGPROC GetDialogProc() override;

protected:
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) override;
    DECLARE_MESSAGE_MAP()
};

class CWSPage_Policy : public CPolicyPage {
public:
    CWSPage_Policy();
    DLGPROC GetDialogProc() override;

protected:
    DECLARE_MESSAGE_MAP()
};
