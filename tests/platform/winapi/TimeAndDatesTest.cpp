#include "platform/winapi/WinApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <locale.h>
#include <set>

// The C library keeps the LOCPATH list it parses for each newlocale call that finds the locale in a
// cache; that is its memory, not ours, and the leak checker is told so here.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\n";
}

namespace {

// Sets TZ for one test and puts the old one back.
class TzGuard {
public:
    explicit TzGuard(const char* zone) {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (m_had)
            m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TzGuard() {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

SYSTEMTIME Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    return st;
}

TEST(TimeZoneTest, BiasIsTheStandardOffsetOfTz) {
    TimeZoneClearInjection();
    struct Case {
        const char* zone;
        LONG bias;
        LONG daylightBias;
    } cases[] = {
        {"UTC0", 0, 0},
        {"EST5EDT,M3.2.0,M11.1.0", 300, -60},
        {"NST3:30NDT,M3.2.0,M11.1.0", 210, -60},
        {"IST-5:30", -330, 0},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", -600, -60}, // daylight time in January
        {"CET-1CEST,M3.5.0,M10.5.0/3", -60, -60},
        {"IST-1GMT0,M10.5.0,M3.5.0/1", 0, -60}, // Dublin's rule: winter is the zone's "daylight" time
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        TzGuard tz(c.zone);
        TIME_ZONE_INFORMATION info;
        EXPECT_NE(GetTimeZoneInformation(&info), TIME_ZONE_ID_INVALID);
        EXPECT_EQ(info.Bias, c.bias);
        EXPECT_EQ(info.DaylightBias, c.daylightBias);
    }
}

TEST(TimeZoneTest, TestsCanInjectABiasOrAFailure) {
    TIME_ZONE_INFORMATION info;
    TimeZoneInjectBias(-330);
    EXPECT_NE(GetTimeZoneInformation(&info), TIME_ZONE_ID_INVALID);
    EXPECT_EQ(info.Bias, -330);
    TimeZoneInjectFailure();
    EXPECT_EQ(GetTimeZoneInformation(&info), TIME_ZONE_ID_INVALID);
    TimeZoneClearInjection();
    TzGuard tz("UTC0");
    EXPECT_NE(GetTimeZoneInformation(&info), TIME_ZONE_ID_INVALID);
    EXPECT_EQ(info.Bias, 0);
}

TEST(LocalTimeTest, DaylightSavingIsDecidedByTheDate) {
    TzGuard tz("EST5EDT,M3.2.0,M11.1.0");
    struct Case {
        SYSTEMTIME local;
        int64_t seconds;
    } cases[] = {
        {Date(2021, 7, 1, 23, 59, 59), 1625198399},  // EDT, UTC-4
        {Date(2021, 1, 15, 23, 59, 59), 1610773199}, // EST, UTC-5
        {Date(1970, 1, 1, 0, 0, 0), 18000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        std::optional<int64_t> seconds = LocalTimeToUnixTime(c.local);
        ASSERT_TRUE(seconds.has_value());
        EXPECT_EQ(*seconds, c.seconds);
        std::optional<SYSTEMTIME> back = UnixTimeToLocalTime(c.seconds);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->wYear, c.local.wYear);
        EXPECT_EQ(back->wMonth, c.local.wMonth);
        EXPECT_EQ(back->wDay, c.local.wDay);
        EXPECT_EQ(back->wHour, c.local.wHour);
        EXPECT_EQ(back->wSecond, c.local.wSecond);
    }
    EXPECT_FALSE(LocalTimeToUnixTime(Date(2021, 4, 31)).has_value()) << "31 April does not exist";
    EXPECT_FALSE(LocalTimeToUnixTime(Date(2021, 13, 1)).has_value());
    EXPECT_FALSE(LocalTimeToUnixTime(Date(2021, 2, 29)).has_value());
    EXPECT_TRUE(LocalTimeToUnixTime(Date(2020, 2, 29)).has_value());
}

TEST(LocalTimeTest, SystemTimeConvertsBothWays) {
    TzGuard tz("EST5EDT,M3.2.0,M11.1.0");
    SYSTEMTIME utc = Date(2021, 7, 2, 3, 59, 59);
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    EXPECT_EQ(local.wDay, 1);
    EXPECT_EQ(local.wHour, 23);
    SYSTEMTIME again{};
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &again));
    EXPECT_EQ(again.wDay, 2);
    EXPECT_EQ(again.wHour, 3);
    TIME_ZONE_INFORMATION fixed{};
    fixed.Bias = -330;
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&fixed, &utc, &local));
    EXPECT_EQ(local.wHour, 9);
    EXPECT_EQ(local.wMinute, 29);
    SYSTEMTIME bad = Date(2021, 2, 30);
    EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(nullptr, &bad, &local));
}

// The account expiration page's text: "%x" cut by its rule, then "%Y".
std::string PageDateText(const SYSTEMTIME& date) {
    std::string text = FormatDate(date, "%x");
    const bool digit = text.size() >= 3 && text[text.size() - 3] >= '0' && text[text.size() - 3] <= '9';
    text.resize(text.size() - (digit ? 3 : 2));
    return text + FormatDate(date, "%Y");
}

// The machine may have no compiled locales beyond C; the ones the date tests need are compiled from the
// system's locale sources into a folder of their own, which LOCPATH then names.
class CompiledLocales {
public:
    static const CompiledLocales& Get() {
        static CompiledLocales locales;
        return locales;
    }
    ~CompiledLocales() {
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder);
    }
    [[nodiscard]] bool Has(const std::string& name) const { return m_compiled.count(name) != 0; }

private:
    CompiledLocales() {
        std::string pattern = (std::filesystem::temp_directory_path() / "winapi-locales-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        m_folder = pattern;
        for (const char* source : {"en_US", "de_DE", "en_GB", "ja_JP"}) {
            const std::string name = std::string(source) + ".UTF-8";
            const std::string command = "localedef -i " + std::string(source) + " -f UTF-8 '" + m_folder +
                                        "/" + name + "' >/dev/null 2>&1";
            if (std::system(command.c_str()) == 0)
                m_compiled.insert(name);
        }
        setenv("LOCPATH", m_folder.c_str(), 1);
    }
    std::string m_folder;
    std::set<std::string> m_compiled;
};

struct LocaleDates {
    const char* locale;
    const char* newYearsEve1999; // what FormatDateFourDigitYear writes for 1999-12-31
};

class DateLocaleTest : public ::testing::TestWithParam<LocaleDates> {
protected:
    void SetUp() override {
        const std::string name = GetParam().locale;
        if (name.find('_') != std::string::npos && !CompiledLocales::Get().Has(name))
            GTEST_SKIP() << "locale " << name << " could not be compiled (package locales missing?)";
        ASSERT_TRUE(SetUserDateLocale(name.c_str())) << name;
    }
    void TearDown() override { ASSERT_TRUE(SetUserDateLocale("C")); }
};

TEST_P(DateLocaleTest, FourDigitYearDatesParseBack) {
    EXPECT_EQ(FormatDateFourDigitYear(Date(1999, 12, 31)), GetParam().newYearsEve1999);
    for (const SYSTEMTIME& date :
         {Date(1970, 1, 1), Date(1999, 2, 28), Date(2000, 2, 29), Date(2024, 11, 5), Date(2037, 12, 31)}) {
        const std::string text = FormatDateFourDigitYear(date);
        SCOPED_TRACE(text);
        std::optional<DateParts> parts = ParseDate(text);
        ASSERT_TRUE(parts.has_value());
        EXPECT_EQ(parts->year, date.wYear);
        EXPECT_EQ(parts->month, date.wMonth);
        EXPECT_EQ(parts->day, date.wDay);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locales, DateLocaleTest,
    ::testing::Values(LocaleDates{"C", "12/31/1999"}, LocaleDates{"C.UTF-8", "12/31/1999"},
                      LocaleDates{"POSIX", "12/31/1999"}, LocaleDates{"en_US.UTF-8", "12/31/1999"},
                      LocaleDates{"de_DE.UTF-8", "31.12.1999"}, LocaleDates{"en_GB.UTF-8", "31/12/1999"},
                      LocaleDates{"ja_JP.UTF-8", "1999\xE5\xB9\xB4"
                                                 "12\xE6\x9C\x88"
                                                 "31\xE6\x97\xA5"}));

// The account expiration page's own rule (drop the last three characters of "%x" when the third from the
// end is a digit, else the last two, then append "%Y") is right only for a "%x" that ends in a two-digit
// year; with a four-digit one it makes a five-digit year. FormatDateFourDigitYear is the sound form.
TEST(DateTest, ThePagesTruncationRuleFitsOnlyTwoDigitYears) {
    ASSERT_TRUE(SetUserDateLocale("C"));
    EXPECT_EQ(PageDateText(Date(1999, 12, 31)), "12/31/1999");
    if (!CompiledLocales::Get().Has("en_US.UTF-8"))
        GTEST_SKIP() << "en_US.UTF-8 could not be compiled";
    ASSERT_TRUE(SetUserDateLocale("en_US.UTF-8"));
    EXPECT_EQ(FormatDate(Date(1999, 12, 31), "%x"), "12/31/1999");
    EXPECT_EQ(PageDateText(Date(1999, 12, 31)), "12/31/11999");
    EXPECT_FALSE(ParseDate(PageDateText(Date(1999, 12, 31))).has_value());
    ASSERT_TRUE(SetUserDateLocale("C"));
}

TEST(DateTest, CLocaleWritesMonthDayYear) {
    ASSERT_TRUE(SetUserDateLocale("C"));
    EXPECT_EQ(FormatDate(Date(1999, 12, 31), "%x"), "12/31/99");
    EXPECT_EQ(PageDateText(Date(1999, 12, 31)), "12/31/1999");
    char buffer[16];
    EXPECT_EQ(GetDateFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "%Y", nullptr, 0), 5) << "size with the NUL";
    SYSTEMTIME date = Date(2005, 6, 7);
    EXPECT_EQ(GetDateFormatA(LOCALE_USER_DEFAULT, 0, &date, nullptr, buffer, sizeof buffer), 9);
    EXPECT_STREQ(buffer, "06/07/05");
    EXPECT_EQ(GetDateFormatA(LOCALE_USER_DEFAULT, 0, &date, nullptr, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(DateTest, TheParserReportsNumbersAndRefusesWhatIsNoDate) {
    ASSERT_TRUE(SetUserDateLocale("C"));
    struct Case {
        const char* text;
        bool parses;
        int year, month, day;
    } cases[] = {
        {"12/31/1999", true, 1999, 12, 31}, {" 2/9/2000 ", true, 2000, 2, 9},
        {"13/01/2000", true, 2000, 13, 1}, // the month is reported; its range is the caller's check
        {"02/30/1999", true, 1999, 2, 30},  {"12-31-1999", true, 1999, 12, 31},
        {"12/31/99", true, 1999, 12, 31},   {"1/1/29", true, 2029, 1, 1},
        {"1/1/30", true, 1930, 1, 1},       {"", false, 0, 0, 0},
        {"12/31", false, 0, 0, 0},          {"tomorrow", false, 0, 0, 0},
        {"12/31/1999/5", false, 0, 0, 0},   {"12/31/199", false, 0, 0, 0},
        {"12/31/19999", false, 0, 0, 0},    {"123/1/1999", false, 0, 0, 0},
        {"12/31/1999 x", false, 0, 0, 0},   {"12x31/1999", false, 0, 0, 0},
        {"1231 1999", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::optional<DateParts> parts = ParseDate(c.text);
        ASSERT_EQ(parts.has_value(), c.parses);
        if (c.parses) {
            EXPECT_EQ(parts->year, c.year);
            EXPECT_EQ(parts->month, c.month);
            EXPECT_EQ(parts->day, c.day);
        }
    }
}

} // namespace
