// Time zone, local time conversion and locale dates over the C library.
#include "platform/winapi/WinApi.h"

#include <cctype>
#include <clocale>
#include <cstring>
#include <ctime>
#include <locale.h>
#include <mutex>
#include <time.h>

namespace {

struct TimeZoneInjection {
    std::mutex mutex;
    bool active = false;
    bool fail = false;
    LONG bias = 0;
};

TimeZoneInjection& Injection() {
    static TimeZoneInjection injection;
    return injection;
}

void CopyName(const char* from, WCHAR* to) {
    size_t i = 0;
    for (; from != nullptr && from[i] != 0 && i < 31; ++i)
        to[i] = static_cast<unsigned char>(from[i]);
    to[i] = 0;
}

SYSTEMTIME FromTm(const tm& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.tm_year + 1900);
    st.wMonth = static_cast<WORD>(t.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(t.tm_wday);
    st.wDay = static_cast<WORD>(t.tm_mday);
    st.wHour = static_cast<WORD>(t.tm_hour);
    st.wMinute = static_cast<WORD>(t.tm_min);
    st.wSecond = static_cast<WORD>(t.tm_sec);
    return st;
}

bool Plausible(const SYSTEMTIME& st) {
    return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1 &&
           st.wDay <= 31 && st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

tm ToTm(const SYSTEMTIME& st) {
    tm t{};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_hour = st.wHour;
    t.tm_min = st.wMinute;
    t.tm_sec = st.wSecond;
    return t;
}

// The day must exist in its month: mktime/timegm would quietly move 31 April to 1 May.
bool SameCalendarDay(const tm& asked, const tm& got) {
    return asked.tm_year == got.tm_year && asked.tm_mon == got.tm_mon && asked.tm_mday == got.tm_mday;
}

struct DateLocale {
    std::mutex mutex;
    locale_t locale = nullptr;

    locale_t Get() {
        if (locale == nullptr) {
            locale = newlocale(LC_TIME_MASK, "", nullptr);
            if (locale == nullptr)
                locale = newlocale(LC_TIME_MASK, "C", nullptr);
        }
        return locale;
    }
    ~DateLocale() {
        if (locale != nullptr)
            freelocale(locale);
    }
};

DateLocale& TheDateLocale() {
    static DateLocale dateLocale;
    return dateLocale;
}

std::string FormatTm(const tm& t, const char* format) {
    DateLocale& dl = TheDateLocale();
    std::lock_guard lock(dl.mutex);
    char buffer[256];
    size_t n = strftime_l(buffer, sizeof buffer, format, &t, dl.Get());
    return std::string(buffer, n);
}

enum class Field { Day, Month, Year };

// The order and separators of the locale's "%x", found by writing a date whose fields cannot be
// confused (22 November 2033).
struct DateLayout {
    Field order[3] = {Field::Month, Field::Day, Field::Year};
    std::string pieces[4]; // before, between, between, after
};

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

struct Split {
    std::vector<std::string> numbers;
    std::vector<std::string> pieces; // numbers.size() + 1 of them
};

Split SplitDigits(std::string_view s) {
    Split out;
    std::string piece;
    size_t i = 0;
    while (i < s.size()) {
        if (std::isdigit(static_cast<unsigned char>(s[i]))) {
            out.pieces.push_back(piece);
            piece.clear();
            std::string number;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
                number += s[i++];
            out.numbers.push_back(number);
        } else {
            piece += s[i++];
        }
    }
    out.pieces.push_back(piece);
    return out;
}

DateLayout LayoutOfLocale() {
    DateLayout layout;
    tm probe{};
    probe.tm_year = 2033 - 1900;
    probe.tm_mon = 10;
    probe.tm_mday = 22;
    probe.tm_wday = 2;
    Split split = SplitDigits(FormatTm(probe, "%x"));
    if (split.numbers.size() != 3)
        return layout;
    DateLayout found;
    bool seen[3] = {false, false, false};
    for (size_t i = 0; i < 3; ++i) {
        const std::string& n = split.numbers[i];
        Field f;
        if (n == "22")
            f = Field::Day;
        else if (n == "11")
            f = Field::Month;
        else if (n == "33" || n == "2033")
            f = Field::Year;
        else
            return layout;
        if (seen[static_cast<int>(f)])
            return layout;
        seen[static_cast<int>(f)] = true;
        found.order[i] = f;
    }
    for (size_t i = 0; i < 4; ++i)
        found.pieces[i] = std::string(TrimBlanks(split.pieces[i]));
    return found;
}

bool SeparatorFits(std::string_view piece, const std::string& expected) {
    std::string_view t = TrimBlanks(piece);
    if (t == expected)
        return true;
    if (t.empty())
        return !piece.empty(); // blanks alone separate two numbers
    for (char c : t)
        if (std::strchr("/.-,", c) == nullptr && !std::isspace(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION info) {
    if (info == nullptr)
        return TIME_ZONE_ID_INVALID;
    std::memset(info, 0, sizeof *info);
    {
        TimeZoneInjection& inj = Injection();
        std::lock_guard lock(inj.mutex);
        if (inj.active) {
            if (inj.fail)
                return TIME_ZONE_ID_INVALID;
            info->Bias = inj.bias;
            CopyName("Injected", info->StandardName);
            return TIME_ZONE_ID_UNKNOWN;
        }
    }
    tzset();
    time_t now = time(nullptr);
    tm nowLocal{};
    if (localtime_r(&now, &nowLocal) == nullptr)
        return TIME_ZONE_ID_INVALID;
    // Of January and July (either hemisphere), the smaller offset is standard time and the larger daylight
    // time, as the platform counts them, also where the zone data calls winter the daylight time (Dublin).
    tm probe{};
    probe.tm_year = nowLocal.tm_year;
    probe.tm_mday = 1;
    probe.tm_hour = 12;
    time_t january = timegm(&probe);
    probe = tm{};
    probe.tm_year = nowLocal.tm_year;
    probe.tm_mon = 6;
    probe.tm_mday = 1;
    probe.tm_hour = 12;
    time_t july = timegm(&probe);
    tm jan{}, jul{};
    if (localtime_r(&january, &jan) == nullptr || localtime_r(&july, &jul) == nullptr)
        return TIME_ZONE_ID_INVALID;
    const tm& standard = jan.tm_gmtoff <= jul.tm_gmtoff ? jan : jul;
    const tm& summer = jan.tm_gmtoff <= jul.tm_gmtoff ? jul : jan;
    info->Bias = static_cast<LONG>(-standard.tm_gmtoff / 60);
    CopyName(standard.tm_zone, info->StandardName);
    if (summer.tm_gmtoff != standard.tm_gmtoff) {
        info->DaylightBias = static_cast<LONG>(-(summer.tm_gmtoff - standard.tm_gmtoff) / 60);
        CopyName(summer.tm_zone, info->DaylightName);
        return nowLocal.tm_gmtoff == summer.tm_gmtoff ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
    }
    return TIME_ZONE_ID_UNKNOWN;
}

void TimeZoneInjectBias(LONG biasMinutes) {
    TimeZoneInjection& inj = Injection();
    std::lock_guard lock(inj.mutex);
    inj.active = true;
    inj.fail = false;
    inj.bias = biasMinutes;
}

void TimeZoneInjectFailure() {
    TimeZoneInjection& inj = Injection();
    std::lock_guard lock(inj.mutex);
    inj.active = true;
    inj.fail = true;
}

void TimeZoneClearInjection() {
    TimeZoneInjection& inj = Injection();
    std::lock_guard lock(inj.mutex);
    inj.active = false;
    inj.fail = false;
}

namespace {

// The clock now, broken down by `breakDown` (gmtime_r or localtime_r).
void CurrentTime(LPSYSTEMTIME out, tm* (*breakDown)(const time_t*, tm*)) {
    if (out == nullptr)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm t{};
    breakDown(&now.tv_sec, &t);
    *out = FromTm(t);
    out->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

} // namespace

void GetSystemTime(LPSYSTEMTIME out) {
    CurrentTime(out, &gmtime_r);
}

void GetLocalTime(LPSYSTEMTIME out) {
    CurrentTime(out, &localtime_r);
}

BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* tz, const SYSTEMTIME* universal,
                                     LPSYSTEMTIME local) {
    if (universal == nullptr || local == nullptr || !Plausible(*universal)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    tm asked = ToTm(*universal);
    tm normal = asked;
    time_t t = timegm(&normal);
    if (!SameCalendarDay(asked, normal)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    tm out{};
    if (tz == nullptr) {
        tzset();
        if (localtime_r(&t, &out) == nullptr)
            return FALSE;
    } else {
        time_t shifted = t - static_cast<time_t>(tz->Bias + tz->StandardBias) * 60;
        if (gmtime_r(&shifted, &out) == nullptr)
            return FALSE;
    }
    *local = FromTm(out);
    local->wMilliseconds = universal->wMilliseconds;
    return TRUE;
}

BOOL TzSpecificLocalTimeToSystemTime(const TIME_ZONE_INFORMATION* tz, const SYSTEMTIME* local,
                                     LPSYSTEMTIME universal) {
    if (local == nullptr || universal == nullptr || !Plausible(*local)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    time_t t;
    if (tz == nullptr) {
        std::optional<int64_t> seconds = LocalTimeToUnixTime(*local);
        if (!seconds) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        t = static_cast<time_t>(*seconds);
    } else {
        tm asked = ToTm(*local);
        tm normal = asked;
        t = timegm(&normal);
        if (!SameCalendarDay(asked, normal)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        t += static_cast<time_t>(tz->Bias + tz->StandardBias) * 60;
    }
    tm out{};
    if (gmtime_r(&t, &out) == nullptr)
        return FALSE;
    *universal = FromTm(out);
    universal->wMilliseconds = local->wMilliseconds;
    return TRUE;
}

std::optional<int64_t> LocalTimeToUnixTime(const SYSTEMTIME& local) {
    if (!Plausible(local))
        return std::nullopt;
    tzset();
    tm asked = ToTm(local);
    tm normal = asked;
    normal.tm_isdst = -1; // the C library decides whether daylight saving applies on that date
    normal.tm_wday = -1;
    time_t t = mktime(&normal);
    // mktime answers -1 both for a failure and for 23:59:59 on 31 Dec 1969 UTC; tm_wday tells them apart
    if (normal.tm_wday == -1 || !SameCalendarDay(asked, normal))
        return std::nullopt;
    return static_cast<int64_t>(t);
}

std::optional<SYSTEMTIME> UnixTimeToLocalTime(int64_t seconds) {
    tzset();
    time_t t = static_cast<time_t>(seconds);
    tm out{};
    if (localtime_r(&t, &out) == nullptr || out.tm_year + 1900 < 1601 || out.tm_year + 1900 > 30827)
        return std::nullopt;
    return FromTm(out);
}

BOOL SetUserDateLocale(LPCSTR localeName) {
    locale_t fresh = newlocale(LC_TIME_MASK, localeName == nullptr ? "" : localeName, nullptr);
    if (fresh == nullptr)
        return FALSE;
    DateLocale& dl = TheDateLocale();
    std::lock_guard lock(dl.mutex);
    if (dl.locale != nullptr)
        freelocale(dl.locale);
    dl.locale = fresh;
    return TRUE;
}

std::string FormatDate(const SYSTEMTIME& date, const char* format) {
    if (format == nullptr || date.wMonth < 1 || date.wMonth > 12 || date.wDay < 1 || date.wDay > 31)
        return std::string();
    tm t = ToTm(date);
    tm normal = t;
    timegm(&normal); // fills the weekday and the day of the year for %a, %j ...
    t.tm_wday = normal.tm_wday;
    t.tm_yday = normal.tm_yday;
    return FormatTm(t, format);
}

std::string FormatDateFourDigitYear(const SYSTEMTIME& date) {
    const std::string text = FormatDate(date, "%x");
    if (text.empty())
        return text;
    const DateLayout layout = LayoutOfLocale();
    Split split = SplitDigits(text);
    if (split.numbers.size() != 3)
        return text;
    std::string out = split.pieces[0];
    for (size_t i = 0; i < 3; ++i) {
        const bool twoDigitYear = layout.order[i] == Field::Year && split.numbers[i].size() == 2;
        out += twoDigitYear ? std::to_string(date.wYear) : split.numbers[i];
        out += split.pieces[i + 1];
    }
    return out;
}

int GetDateFormatA(LCID /*locale*/, DWORD /*flags*/, const SYSTEMTIME* date, LPCSTR format, LPSTR out,
                   int cchDate) {
    SYSTEMTIME when{};
    if (date == nullptr)
        GetLocalTime(&when);
    else
        when = *date;
    std::string text = FormatDate(when, format == nullptr ? "%x" : format);
    if (text.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int needed = static_cast<int>(text.size() + 1);
    if (cchDate == 0)
        return needed;
    if (out == nullptr || cchDate < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return needed;
}

std::optional<DateParts> ParseDate(std::string_view text, LCID /*locale*/, DWORD /*flags*/) {
    const DateLayout layout = LayoutOfLocale();
    Split split = SplitDigits(TrimBlanks(text));
    if (split.numbers.size() != 3)
        return std::nullopt;
    if (!TrimBlanks(split.pieces[0]).empty() && TrimBlanks(split.pieces[0]) != layout.pieces[0])
        return std::nullopt;
    if (!TrimBlanks(split.pieces[3]).empty() && TrimBlanks(split.pieces[3]) != layout.pieces[3])
        return std::nullopt;
    for (size_t i = 1; i <= 2; ++i)
        if (!SeparatorFits(split.pieces[i], layout.pieces[i]))
            return std::nullopt;
    DateParts parts;
    for (size_t i = 0; i < 3; ++i) {
        const std::string& n = split.numbers[i];
        int value = 0;
        for (char c : n.substr(0, 6))
            value = value * 10 + (c - '0');
        switch (layout.order[i]) {
        case Field::Day:
            if (n.size() > 2)
                return std::nullopt;
            parts.day = value;
            break;
        case Field::Month:
            if (n.size() > 2)
                return std::nullopt;
            parts.month = value;
            break;
        case Field::Year:
            if (n.size() == 4)
                parts.year = value;
            else if (n.size() == 2) // the platform's two-digit window: 00-29 is 20xx, 30-99 is 19xx
                parts.year = value < 30 ? 2000 + value : 1900 + value;
            else
                return std::nullopt;
            break;
        }
    }
    return parts;
}
