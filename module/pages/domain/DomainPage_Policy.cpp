#include "module/pages/domain/DomainPage_Policy.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/pages/domain/SystemPageColours.h"
#include "platform/ui/MessageBox.h"

namespace {

constexpr uint32_t kSecondsPerDay = 86400;
constexpr uint32_t kSecondsPerMinute = 60;
// The directory's maximum age of a password that never expires; the page shows it as 0 days.
constexpr uint32_t kNeverExpires = 0xFFFFFFFFu;
constexpr uint32_t kMaxMinLength = 14;
constexpr int kMaxHistory = 24;
constexpr uint32_t kMaxAttemptMinutes = 99999;

struct FieldAttr {
    const char* name;
    uint32_t syntax;
};

// Indexed by CPolicyPage::Field.
const FieldAttr kAttrs[] = {
    {kAttrMinimumPasswordAge, kSyntaxInterval},
    {kAttrMaximumPasswordAge, kSyntaxInterval},
    {kAttrPasswordHistoryLength, kSyntaxInteger},
    {kAttrForceLogoff, kSyntaxBoolean},
    {kAttrLogonRequiredToChangePwd, kSyntaxBoolean},
    {kAttrPasswordMinimumLength, kSyntaxInteger},
    {kAttrLoginIntruderLimit, kSyntaxInteger},
    {kAttrIntruderLockoutResetInterval, kSyntaxInterval},
    {kAttrIntruderAttemptResetInterval, kSyntaxInterval},
};

// Exchanges an interval that the page shows as a signed number while the member holds the stored bits.
void ExchangeSigned(CDataExchange* dx, int id, uint32_t& member) {
    int shown = static_cast<int>(member);
    DDX_Text(dx, id, shown);
    member = static_cast<uint32_t>(shown);
}

} // namespace

CPolicyPage::CPolicyPage(const PolicyLayout& layout)
    : CStayOpenPage(kIdsPolicyTitle, layout.templateId), m_layout(layout) {}

int CPolicyPage::ControlOf(Field field) const {
    switch (field) {
    case kMinAge: return m_layout.minAge;
    case kMaxAge: return m_layout.maxAge;
    case kHistory: return m_layout.history;
    case kForceLogoff: return m_layout.forceLogoff;
    case kLogonRequired: return m_layout.logonRequired;
    case kMinLength: return m_layout.minLength;
    case kIntruderLimit: return m_layout.intruderLimit;
    case kLockout: return m_layout.lockout;
    case kAttempt: return m_layout.attempt;
    case kFieldCount: break;
    }
    return 0;
}

void CPolicyPage::DoDataExchange(CDataExchange* dx) {
    auto shown = [&](Field field) { return ControlOf(field) != 0 && !m_refused[field]; };
    if (shown(kMaxAge)) DDX_Text(dx, m_layout.maxAge, m_maxAge);
    if (shown(kMinAge)) DDX_Text(dx, m_layout.minAge, m_minAge);
    if (shown(kHistory)) DDX_Text(dx, m_layout.history, m_history);
    if (shown(kLockout)) {
        if (m_layout.signedIntervals) ExchangeSigned(dx, m_layout.lockout, m_lockout);
        else DDX_Text(dx, m_layout.lockout, m_lockout);
    }
    if (shown(kAttempt)) {
        if (m_layout.signedIntervals) ExchangeSigned(dx, m_layout.attempt, m_attempt);
        else DDX_Text(dx, m_layout.attempt, m_attempt);
    }
    if (shown(kIntruderLimit)) DDX_Text(dx, m_layout.intruderLimit, m_intruderLimit);
    if (shown(kMinLength)) DDX_Text(dx, m_layout.minLength, m_minLength);
    if (shown(kLogonRequired)) DDX_Check(dx, m_layout.logonRequired, m_logonRequired);
    if (shown(kForceLogoff)) DDX_Check(dx, m_layout.forceLogoff, m_forceLogoff);
}

void CPolicyPage::ForgetLoaded() {
    m_modified = FALSE;
    m_maxAge = m_minAge = m_lockout = m_attempt = m_intruderLimit = m_minLength = 0;
    m_history = m_logonRequired = m_forceLogoff = 0;
    m_refused.fill(false);
}

void CPolicyPage::Load(int32_t ctx, const char* object, const char* identity, Field field) {
    const FieldAttr& attr = kAttrs[field];
    DirValuePtr value = ReadAttrValueOwned(ctx, object, attr.name, attr.syntax);
    if (value == nullptr) {
        const int32_t code = GetLastAttrError();
        m_refused[field] = code == kDirErrNoRight || code == kDirErrIdentityGone;
    }
    const bool mayWrite = !m_refused[field] && CanWriteAttribute(ctx, identity, object, attr.name) == 1;
    if (CWnd* control = GetDlgItem(ControlOf(field))) {
        control->EnableWindow(mayWrite ? TRUE : FALSE);
    }
    if (value == nullptr) {
        return;
    }
    const uint32_t bits = *static_cast<const uint32_t*>(value.get());
    const bool signedIntervals = m_layout.signedIntervals;
    switch (field) {
    case kMinAge: m_minAge = bits / kSecondsPerDay; break;
    case kMaxAge: m_maxAge = bits == kNeverExpires ? 0 : bits / kSecondsPerDay; break;
    case kHistory: m_history = static_cast<int32_t>(bits); break;
    case kForceLogoff: m_forceLogoff = (bits & 0xFF) == 1 ? 1 : 0; break;
    case kLogonRequired: m_logonRequired = (bits & 0xFF) == 1 ? 1 : 0; break;
    case kMinLength: m_minLength = bits; break;
    case kIntruderLimit: m_intruderLimit = bits; break;
    case kLockout:
    case kAttempt: {
        // The workstation page divides as a signed number: 2^31 seconds or more shows as negative minutes.
        const uint32_t minutes = signedIntervals
                                     ? static_cast<uint32_t>(static_cast<int32_t>(bits) /
                                                             static_cast<int32_t>(kSecondsPerMinute))
                                     : bits / kSecondsPerMinute;
        (field == kLockout ? m_lockout : m_attempt) = minutes;
        break;
    }
    case kFieldCount: break;
    }
}

BOOL CPolicyPage::OnInitDialog() {
    ForgetLoaded();
    CDialog::OnInitDialog();
    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) != 0) {
        return TRUE;
    }
    const CString object = GetCurrentObjectName();
    CDirContext dir;
    char identity[kDirMaxNameBytes + 1] = {};
    if (!dir.IsOpen() || DirWhoAmI(dir.Get(), identity) != kDirOk) {
        identity[0] = '\0';
    }
    for (int f = 0; f < kFieldCount; ++f) {
        if (ControlOf(static_cast<Field>(f)) != 0) {
            Load(dir.Get(), object, identity, static_cast<Field>(f));
        }
    }
    UpdateData(FALSE);
    return TRUE;
}

void CPolicyPage::OnFieldChange() {
    m_modified = TRUE;
    SendMessage(kMsgPageChanged, reinterpret_cast<WPARAM>(m_hWnd), 1 << 16);
}

BOOL CPolicyPage::Refuse(UINT messageId, Field field) {
    AfxMessageBox(messageId, MB_OK | MB_ICONEXCLAMATION);
    GotoDlgCtrl(GetDlgItem(ControlOf(field)));
    return FALSE;
}

BOOL CPolicyPage::RefuseTooLarge(uint32_t largest, Field field) {
    FormatMessageBox(kFmtPolicyNumberTooLarge, MB_OK | MB_ICONEXCLAMATION, {static_cast<int64_t>(largest)});
    GotoDlgCtrl(GetDlgItem(ControlOf(field)));
    return FALSE;
}

BOOL CPolicyPage::Validate() {
    // An untouched page writes nothing, so values another writer stored must not hold up the sheet.
    if (!m_modified || m_hWnd == nullptr) {
        return TRUE;
    }
    if (!UpdateData(TRUE)) {
        return FALSE;
    }
    const bool isSigned = m_layout.signedIntervals;
    const auto lockout = static_cast<int32_t>(m_lockout);
    const auto attempt = static_cast<int32_t>(m_attempt);
    if (m_minLength > kMaxMinLength) {
        return Refuse(kMsgMinLengthTooLarge, kMinLength);
    }
    if (m_history < 0 || m_history > kMaxHistory) {
        return Refuse(kMsgHistoryOutOfRange, kHistory);
    }
    if (isSigned ? (attempt < 0 || attempt > static_cast<int32_t>(kMaxAttemptMinutes))
                 : m_attempt > kMaxAttemptMinutes) {
        return Refuse(kMsgAttemptIntervalOutOfRange, kAttempt);
    }
    // The lockout interval has no upper limit of its own, yet its seconds must fit the stored 32 bits.
    const uint32_t lockoutLimit = isSigned ? kMaxSignedIntervalMinutes : kMaxIntervalMinutes;
    if ((isSigned && lockout > static_cast<int32_t>(lockoutLimit)) || (!isSigned && m_lockout > lockoutLimit)) {
        return RefuseTooLarge(lockoutLimit, kLockout);
    }
    const bool lockoutShorter =
        isSigned ? lockout < attempt : (m_attempt != 0 && m_lockout < m_attempt);
    if (lockoutShorter) {
        return Refuse(kMsgLockoutShorterThanAttempt, kLockout);
    }
    if (m_maxAge > kMaxAgeDays) {
        return RefuseTooLarge(kMaxAgeDays, kMaxAge);
    }
    if (m_minAge > kMaxAgeDays) {
        return RefuseTooLarge(kMaxAgeDays, kMinAge);
    }
    if (m_minAge != 0 && m_maxAge != 0 && m_maxAge <= m_minAge) {
        return Refuse(kMsgMinAgeNotBelowMaxAge, kMinAge);
    }
    return TRUE;
}

bool CPolicyPage::Enabled(Field field) const {
    const int id = ControlOf(field);
    if (id == 0 || m_refused[field]) {
        return false;
    }
    const CWnd* control = GetDlgItem(id);
    return control != nullptr && control->IsWindowEnabled();
}

bool CPolicyPage::Store(int32_t ctx, const char* object, Field field) {
    if (!Enabled(field)) {
        return false;
    }
    uint32_t bits = 0;
    switch (field) {
    case kMinAge: bits = m_minAge * kSecondsPerDay; break;
    case kMaxAge: bits = m_maxAge == 0 ? kNeverExpires : m_maxAge * kSecondsPerDay; break;
    case kHistory: bits = static_cast<uint32_t>(m_history); break;
    case kForceLogoff: bits = m_forceLogoff == 1 ? 1 : 0; break;
    case kLogonRequired: bits = m_logonRequired == 1 ? 1 : 0; break;
    case kMinLength: bits = m_minLength; break;
    case kIntruderLimit: bits = m_intruderLimit; break;
    case kLockout: bits = m_lockout * kSecondsPerMinute; break;
    case kAttempt: bits = m_attempt * kSecondsPerMinute; break;
    case kFieldCount:
        return false;
    }
    return SetAttrValue(ctx, object, kAttrs[field].name, kAttrs[field].syntax, &bits) == 1;
}

void CPolicyPage::StoreIntruderDetectionOff(int32_t ctx, const char* object) {
    // A field the administrator may not change keeps what it showed; it is 0 only when it was loaded so.
    auto zeroed = [&](Field field, uint32_t& member) {
        const uint32_t shown = member;
        member = 0;
        if (Store(ctx, object, field) || (!Enabled(field) && !m_refused[field] && shown == 0)) {
            return true;
        }
        member = shown;
        return false;
    };
    const bool lockoutZero = zeroed(kLockout, m_lockout);
    const bool attemptZero = zeroed(kAttempt, m_attempt);
    UpdateData(FALSE);
    UINT notice = kMsgIntruderNeitherZero;
    if (lockoutZero && attemptZero) {
        notice = kMsgIntruderLimitZero;
    } else if (lockoutZero) {
        notice = kMsgIntruderOnlyLockoutZero;
    } else if (attemptZero) {
        notice = kMsgIntruderOnlyAttemptZero;
    }
    AfxMessageBox(notice, MB_OK | MB_ICONINFORMATION);
}

LONG CPolicyPage::WriteChanges(const char* objectName) {
    if (!m_modified || m_hWnd == nullptr) {
        return 0;
    }
    static_cast<void>(UpdateData(TRUE));
    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) == 0) {
        CDirContext dir;
        const CString object = GetCurrentObjectName();
        const char* target = object.IsEmpty() ? objectName : static_cast<const char*>(object);
        for (Field field : {kMaxAge, kMinAge, kHistory, kForceLogoff, kLogonRequired, kMinLength,
                            kIntruderLimit}) {
            static_cast<void>(Store(dir.Get(), target, field));
        }
        // An unreadable intruder limit is unknown, not 0: it does not clear the intervals.
        const bool attemptSet =
            m_layout.signedIntervals ? static_cast<int32_t>(m_attempt) > 0 : m_attempt > 0;
        if (attemptSet && m_intruderLimit == 0 && !m_refused[kIntruderLimit]) {
            StoreIntruderDetectionOff(dir.Get(), target);
        } else {
            static_cast<void>(Store(dir.Get(), target, kLockout));
            static_cast<void>(Store(dir.Get(), target, kAttempt));
        }
    }
    m_modified = FALSE;
    return 0;
}

namespace {
constexpr PolicyLayout kDomainLayout{kIddDomainPolicy, kHelpDomainPolicy, 1031, 1030, 1032, 1142, 1168,
                                     1010, 1167, 1034, 1033, /*signedIntervals=*/false};
constexpr PolicyLayout kWsLayout{kIddWsPolicy, kHelpWsPolicy, 1046, 1045, 1047, 1164, 1169,
                                 1009, 1166, 1165, 0, /*signedIntervals=*/true};
} // namespace

BEGIN_MESSAGE_MAP(CDomainPage_Policy, CPolicyPage)
ON_EN_CHANGE(1031, OnFieldChange)
ON_EN_CHANGE(1030, OnFieldChange)
ON_EN_CHANGE(1032, OnFieldChange)
ON_EN_CHANGE(1142, OnFieldChange)
ON_EN_CHANGE(1168, OnFieldChange)
ON_EN_CHANGE(1167, OnFieldChange)
ON_EN_CHANGE(1034, OnFieldChange)
ON_BN_CLICKED(1010, OnFieldChange)
ON_BN_CLICKED(1033, OnFieldChange)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CDomainPage_Policy::CDomainPage_Policy() : CPolicyPage(kDomainLayout) {}

DLGPROC CDomainPage_Policy::GetDialogProc() {
    return &SnapinPageDialogProc<CDomainPage_Policy>;
}

HBRUSH CDomainPage_Policy::OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) {
    return LegibleDisabledColours(CPolicyPage::OnCtlColor(dc, control, ctlColor), dc, control, ctlColor);
}

BEGIN_MESSAGE_MAP(CWSPage_Policy, CPolicyPage)
ON_EN_CHANGE(1046, OnFieldChange)
ON_EN_CHANGE(1045, OnFieldChange)
ON_EN_CHANGE(1047, OnFieldChange)
ON_EN_CHANGE(1164, OnFieldChange)
ON_EN_CHANGE(1169, OnFieldChange)
ON_EN_CHANGE(1166, OnFieldChange)
ON_EN_CHANGE(1165, OnFieldChange)
ON_BN_CLICKED(1009, OnFieldChange)
END_MESSAGE_MAP()

CWSPage_Policy::CWSPage_Policy() : CPolicyPage(kWsLayout) {}

DLGPROC CWSPage_Policy::GetDialogProc() {
    return &SnapinPageDialogProc<CWSPage_Policy>;
}
