#include "module/pages/users/NTUserPage_Expiration.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "platform/ui/MessageBox.h"

namespace {

constexpr int kOn = 0;
constexpr int kOff = 1;

bool IsOn(int radioState) {
    return radioState == kOn;
}

// The day rules of the date field, February 29 in every fourth year alone: the years the page takes
// (1970 to 2037) hold no century year that is not a leap year but 2000, which is one.
bool DayExists(const DateParts& date) {
    if (date.day < 1 || date.day > 31) {
        return false;
    }
    if (date.month == 2 && date.day > (date.year % 4 == 0 ? 29 : 28)) {
        return false;
    }
    const bool thirtyDays = date.month == 4 || date.month == 6 || date.month == 9 || date.month == 11;
    return !(thirtyDays && date.day > 30);
}

} // namespace

std::optional<int64_t> ExpirationTimeOfDate(const char* dateText) {
    const std::optional<DateParts> date = ParseDate(dateText, LOCALE_USER_DEFAULT, 0);
    if (!date || date->month < 1 || date->month > 12 || !DayExists(*date)) {
        return std::nullopt;
    }
    SYSTEMTIME endOfDay{};
    endOfDay.wYear = static_cast<WORD>(date->year);
    endOfDay.wMonth = static_cast<WORD>(date->month);
    endOfDay.wDay = static_cast<WORD>(date->day);
    endOfDay.wHour = 23;
    endOfDay.wMinute = 59;
    endOfDay.wSecond = 59;
    return LocalTimeToUnixTime(endOfDay);
}

std::string DateTextOfTime(int64_t seconds) {
    const std::optional<SYSTEMTIME> local = UnixTimeToLocalTime(seconds);
    return local ? FormatDateFourDigitYear(*local) : std::string();
}

BEGIN_MESSAGE_MAP(CNTUserPage_Expiration, CStayOpenPage)
ON_BN_CLICKED(kIdcExpGlobal, OnGlobalClicked)
ON_BN_CLICKED(kIdcExpLocal, OnLocalClicked)
ON_BN_CLICKED(kIdcExpExpiresOn, OnExpiresOnChosen)
ON_EN_SETFOCUS(kIdcExpDate, OnExpiresOnChosen)
ON_BN_CLICKED(kIdcExpNever, OnNeverClicked)
ON_EN_CHANGE(kIdcExpDate, OnDateChange)
END_MESSAGE_MAP()

CNTUserPage_Expiration::CNTUserPage_Expiration()
    : CStayOpenPage(kIdsNTUserExpirationTitle, kIddNTUserExpiration) {}

DLGPROC CNTUserPage_Expiration::GetDialogProc() {
    return &SnapinPageDialogProc<CNTUserPage_Expiration>;
}

void CNTUserPage_Expiration::DoDataExchange(CDataExchange* dx) {
    DDX_Radio(dx, kIdcExpExpiresOn, m_expiresOn);
    DDX_Radio(dx, kIdcExpLocal, m_local);
    DDX_Radio(dx, kIdcExpNever, m_never);
    DDX_Radio(dx, kIdcExpGlobal, m_global);
    DDX_Text(dx, kIdcExpObjectName, m_objectName);
    DDX_Text(dx, kIdcExpDate, m_date);
}

void CNTUserPage_Expiration::ForgetLoaded() {
    m_modified = FALSE;
    m_expiresOn = -1;
    m_local = -1;
    m_objectName.Empty();
    m_never = 0;
    m_global = 0;
    m_date.Empty();
    m_typeChanged = false;
    m_expirationChanged = false;
}

bool CNTUserPage_Expiration::IsEnabled(int controlId) const {
    CWnd* control = GetDlgItem(controlId);
    return control != nullptr && control->IsWindowEnabled();
}

void CNTUserPage_Expiration::Enable(int controlId, BOOL enable) {
    if (CWnd* control = GetDlgItem(controlId)) {
        control->EnableWindow(enable);
    }
}

BOOL CNTUserPage_Expiration::OnInitDialog() {
    ForgetLoaded();
    CDialog::OnInitDialog();

    uint32_t mode = 0;
    char context[kQueryContextBufferSize] = {};
    if (HostQueryMode(&mode) != 0 || mode != 1 || HostQueryContext(0, context) != 0) {
        UpdateData(FALSE);
        return TRUE;
    }
    m_objectName = GetCurrentObjectName();
    CDirContext dir;
    if (!dir.IsOpen()) {
        UpdateData(FALSE);
        return TRUE;
    }
    const int32_t ctx = dir.Get();
    char containerName[kDirMaxNameBytes + 1] = {};
    DirObjectInfo container{};
    if (DirReadObjectInfo(ctx, GetContainerName(m_objectName), containerName, &container) != kDirOk) {
        return TRUE;
    }
    if (NamesEqualNoCase(container.baseClass, kClassNtWorkgroupSystem)) {
        ::ShowWindow(::GetDlgItem(m_hWnd, kIdcExpWorkgroupNote), SW_SHOW);
        return TRUE;
    }
    ::ShowWindow(::GetDlgItem(m_hWnd, kIdcExpWorkgroupNote), SW_HIDE);
    for (int id : kIdcExpDomainControls) {
        ::ShowWindow(::GetDlgItem(m_hWnd, id), SW_SHOW);
    }

    // A value the page may not read is shown as nothing chosen and offered to nobody: writing it would put a
    // choice the person never saw over the stored one.
    m_expiresOn = kOff;
    m_never = kOn;
    const DirValuePtr expiration =
        ReadAttrValueOwned(ctx, m_objectName, kAttrLoginExpirationTime, kSyntaxTime);
    const bool expirationRefused = !expiration && GetLastAttrError() == kDirErrNoRight;
    if (expiration) {
        // A time that is negative as a signed 32-bit number means never, as -1 itself does.
        const auto stored = static_cast<int32_t>(*static_cast<const uint32_t*>(expiration.get()));
        if (stored >= 0) {
            m_date = DateTextOfTime(stored).c_str();
            m_expiresOn = kOn;
            m_never = kOff;
        }
    } else if (expirationRefused) {
        m_never = kOff;
    }

    m_global = kOn;
    m_local = kOff;
    const DirValuePtr global = ReadAttrValueOwned(ctx, m_objectName, kAttrGlobalAccount, kSyntaxBoolean);
    const bool globalRefused = !global && GetLastAttrError() == kDirErrNoRight;
    if (global && *static_cast<const uint8_t*>(global.get()) == 0) {
        m_global = kOff;
        m_local = kOn;
    } else if (globalRefused) {
        m_global = kOff;
    }

    // Each choice is offered by the right to its own attribute: the account type is not the expiration.
    char identity[kDirMaxNameBytes + 1] = {};
    const bool knowsIdentity = DirWhoAmI(ctx, identity) == kDirOk;
    auto mayWrite = [&](const char* attr) {
        uint32_t rights = 0;
        return !(knowsIdentity &&
                 DirGetEffectiveRights(ctx, identity, m_objectName, attr, &rights) == kDirOk &&
                 (rights & kRightWrite) == 0);
    };
    const bool expirationWritable = !expirationRefused && mayWrite(kAttrLoginExpirationTime);
    for (int id : {kIdcExpDate, kIdcExpNever, kIdcExpExpiresOn}) {
        Enable(id, expirationWritable ? TRUE : FALSE);
    }
    const bool typeWritable = !globalRefused && mayWrite(kAttrGlobalAccount);
    for (int id : {kIdcExpGlobal, kIdcExpLocal}) {
        Enable(id, typeWritable ? TRUE : FALSE);
    }
    UpdateData(FALSE);
    return TRUE;
}

void CNTUserPage_Expiration::MarkChanged() {
    m_modified = TRUE;
    NotifyChanged(TRUE);
}

void CNTUserPage_Expiration::MarkTypeChanged() {
    m_typeChanged = true;
    MarkChanged();
}

void CNTUserPage_Expiration::MarkExpirationChanged() {
    m_expirationChanged = true;
    MarkChanged();
}

void CNTUserPage_Expiration::OnGlobalClicked() {
    if (IsOn(m_global)) {
        return;
    }
    UpdateData(TRUE);
    m_global = kOn;
    m_local = kOff;
    UpdateData(FALSE);
    MarkTypeChanged();
}

void CNTUserPage_Expiration::OnLocalClicked() {
    if (IsOn(m_local)) {
        return;
    }
    UpdateData(TRUE);
    m_local = kOn;
    m_global = kOff;
    UpdateData(FALSE);
    MarkTypeChanged();
}

void CNTUserPage_Expiration::OnExpiresOnChosen() {
    if (IsOn(m_expiresOn)) {
        return;
    }
    UpdateData(TRUE);
    m_expiresOn = kOn;
    m_never = kOff;
    SYSTEMTIME today{};
    GetLocalTime(&today);
    today.wHour = 0;
    today.wMinute = 0;
    today.wSecond = 0;
    today.wMilliseconds = 0;
    m_date = FormatDateFourDigitYear(today).c_str();
    UpdateData(FALSE);
    MarkExpirationChanged();
}

void CNTUserPage_Expiration::OnNeverClicked() {
    if (IsOn(m_never)) {
        return;
    }
    m_date.Empty();
    m_never = kOn;
    m_expiresOn = kOff;
    UpdateData(FALSE);
    MarkExpirationChanged();
}

void CNTUserPage_Expiration::OnDateChange() {
    MarkExpirationChanged();
}

BOOL CNTUserPage_Expiration::RefuseDate() {
    // The example is written as the page reads dates, and its day past 12 shows where the day goes.
    SYSTEMTIME lastDay{};
    lastDay.wYear = kLastExpirationYear;
    lastDay.wMonth = 12;
    lastDay.wDay = 31;
    FormatMessageBox(kMsgBadExpirationDate, MB_OK | MB_ICONEXCLAMATION, {FormatDateFourDigitYear(lastDay)});
    if (CWnd* field = GetDlgItem(kIdcExpDate)) {
        GotoDlgCtrl(field);
    }
    return FALSE;
}

BOOL CNTUserPage_Expiration::Validate() {
    // A stored time past what the page can show (2038 and later) is shown, yet refused were it typed; it
    // is written only once the person chose another, so it never holds up a change made elsewhere.
    if (!m_expirationChanged || m_hWnd == nullptr) {
        return TRUE;
    }
    if (!UpdateData(TRUE)) {
        return FALSE;
    }
    if (m_date.IsEmpty()) {
        return TRUE;
    }
    const std::optional<DateParts> date = ParseDate(static_cast<const char*>(m_date), LOCALE_USER_DEFAULT, 0);
    if (!date || date->month < 1 || date->month > 12 || !DayExists(*date) ||
        date->year < kFirstExpirationYear || date->year > kLastExpirationYear) {
        return RefuseDate();
    }
    return TRUE;
}

bool CNTUserPage_Expiration::StoreType(int32_t ctx, const char* objectName) {
    // A disabled choice shows nothing the person may change (no Write right, or a value not readable).
    if (!m_typeChanged || !IsEnabled(kIdcExpGlobal)) {
        m_typeChanged = false;
        return true;
    }
    const uint32_t global = IsOn(m_global) ? 1 : 0;
    if (SetAttrValue(ctx, objectName, kAttrGlobalAccount, kSyntaxBoolean, &global) != 1) {
        FormatMessageBox(kFmtAccountTypeNotStored, MB_OK | MB_ICONEXCLAMATION,
                         {objectName, static_cast<int64_t>(GetLastAttrError())});
        return false;
    }
    m_typeChanged = false;
    return true;
}

bool CNTUserPage_Expiration::StoreExpiration(int32_t ctx, const char* objectName) {
    if (!m_expirationChanged || !IsEnabled(kIdcExpNever)) {
        m_expirationChanged = false;
        return true;
    }
    std::optional<uint32_t> expiration;
    if (!IsOn(m_expiresOn)) {
        expiration = kNeverExpires;
    } else if (const std::optional<int64_t> endOfDay = ExpirationTimeOfDate(m_date); endOfDay) {
        expiration = static_cast<uint32_t>(*endOfDay);
    }
    // Expires on without a date names no day: the stored one stays.
    if (expiration &&
        SetAttrValue(ctx, objectName, kAttrLoginExpirationTime, kSyntaxTime, &*expiration) != 1) {
        FormatMessageBox(kFmtExpirationNotStored, MB_OK | MB_ICONEXCLAMATION,
                         {objectName, static_cast<int64_t>(GetLastAttrError())});
        return false;
    }
    m_expirationChanged = false;
    return true;
}

LONG CNTUserPage_Expiration::WriteChanges(const char* objectName) {
    if (!m_modified || m_hWnd == nullptr || objectName == nullptr) {
        return 0;
    }
    CDirContext dir;
    UpdateData(TRUE);
    if (!dir.IsOpen()) {
        FormatMessageBox(kFmtExpirationNotStored, MB_OK | MB_ICONEXCLAMATION,
                         {objectName, static_cast<int64_t>(dir.Get())});
        return kExpirationNotStored;
    }
    const int32_t ctx = dir.Get();
    // Both are tried, so that one refusal does not hold back the other choice.
    const bool typeStored = StoreType(ctx, objectName);
    const bool expirationStored = StoreExpiration(ctx, objectName);
    if (!typeStored || !expirationStored) {
        return kExpirationNotStored;
    }
    m_modified = FALSE;
    return 0;
}
