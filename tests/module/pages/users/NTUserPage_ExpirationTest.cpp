// The NT user expiration page as an administrator meets it, in the C locale ("%x" = 12/31/99, shown with a
// four-digit year) and in time zones a whole, a half and three quarters of an hour off UTC, with and without
// daylight saving.
#include "ModuleWorld.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"
#include "platform/winapi/WinApi.h"

#include <cstdlib>
#include <ctime>
#include <optional>

namespace {

constexpr char kUser[] = "jdoe.NTD.Corp";
constexpr char kWsUser[] = "backup.WS1.Corp";
constexpr char kTitle[] = "Account";

enum Id : int {
    kGlobal = 1079,
    kLocal = 1180,
    kNever = 1181,
    kExpiresOn = 1182,
    kWorkgroupNote = 1192,
    kDate = 1216,
};
constexpr int kDomainControls[] = {1189, 1188, 1181, 1182, 1213, 1216, 1179, 1178, 1079, 1190, 1180, 1191};

// POSIX zones, so that no zone database is needed; the offsets are east of UTC in minutes for a date in
// January and one in July.
struct Zone {
    const char* tz;
    int january;
    int july;
};
constexpr Zone kZones[] = {
    {"UTC0", 0, 0},
    {"EST5EDT,M3.2.0,M11.1.0", -300, -240},
    {"IST-5:30", 330, 330},
    {"NST3:30NDT,M3.2.0,M11.1.0", -210, -150},
    {"<+0545>-5:45", 345, 345},
    {"ACST-9:30ACDT,M10.1.0,M4.1.0/3", 630, 570},
    {"<-12>12", -720, -720},
    {"<+14>-14", 840, 840},
};

int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return static_cast<int64_t>(timegm(&t));
}

void SetTime(const char* object, uint32_t seconds) {
    CDirContext dir;
    ASSERT_EQ(SetAttrValue(dir.Get(), object, kAttrLoginExpirationTime, kSyntaxTime, &seconds), 1);
}

void ClearTime(const char* object) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), object, kAttrLoginExpirationTime, kSyntaxTime);
    if (value) {
        ASSERT_EQ(RemoveAttrValue(dir.Get(), object, kAttrLoginExpirationTime, kSyntaxTime, value.get()), 1);
    }
}

std::optional<uint32_t> StoredTime(const char* object) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), object, kAttrLoginExpirationTime, kSyntaxTime);
    if (!value) {
        return std::nullopt;
    }
    return *static_cast<const uint32_t*>(value.get());
}

std::optional<bool> StoredGlobal(const char* object) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), object, kAttrGlobalAccount, kSyntaxBoolean);
    if (!value) {
        return std::nullopt;
    }
    return *static_cast<const uint32_t*>(value.get()) != 0;
}

bool Checked(HWND page, int id) {
    return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool Enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

bool Visible(HWND page, int id) {
    return IsWindowVisible(GetDlgItem(page, id)) != FALSE;
}

std::string Shown(HWND page, int id) {
    return GetWindowTextString(GetDlgItem(page, id));
}

std::string Today() {
    SYSTEMTIME today{};
    GetLocalTime(&today);
    return FormatDateFourDigitYear(today);
}

} // namespace

class NTUserPageExpirationTest : public ModuleWorld {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_savedTz = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
        ASSERT_TRUE(SetUserDateLocale("C"));
        ModuleWorld::SetUp();
        AddObject(kUser, kClassNtUser);
        AddObject(kWsUser, kClassNtUser);
    }

    void TearDown() override {
        ModuleWorld::TearDown();
        if (m_savedTz) {
            setenv("TZ", m_savedTz->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
        static_cast<void>(SetUserDateLocale(""));
    }

    static void UseZone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }

    HWND OpenUser(const char* object = kUser) {
        OpenDetails(kClassNtUser, object);
        const int index = m_sheet->FindPage(kTitle);
        EXPECT_EQ(index, m_sheet->PageCount() - 1) << "the expiration page comes last";
        return m_sheet->Page(index);
    }

    std::optional<std::string> m_savedTz;
};

TEST_F(NTUserPageExpirationTest, AStoredTimeIsShownAsItsLocalDateInEveryZone) {
    struct LoadCase {
        std::optional<uint32_t> stored;
        bool never;
    };
    for (const Zone& zone : kZones) {
        SCOPED_TRACE(zone.tz);
        UseZone(zone.tz);
        // 00:30 UTC on 15 January 2001 is the 14th west of UTC, the 15th from UTC east.
        const int64_t moment = Utc(2001, 1, 15, 0, 30, 0);
        const std::string day = zone.january < 0 ? "01/14/2001" : "01/15/2001";
        const LoadCase kCases[] = {{std::nullopt, true},
                                   {0xFFFFFFFFu, true},
                                   {0x80000000u, true},
                                   {static_cast<uint32_t>(moment), false}};
        for (const LoadCase& c : kCases) {
            SCOPED_TRACE(c.stored ? std::to_string(*c.stored) : "missing");
            if (c.stored) {
                SetTime(kUser, *c.stored);
            } else {
                ClearTime(kUser);
            }
            HWND page = OpenUser();
            EXPECT_EQ(Checked(page, kNever), c.never);
            EXPECT_EQ(Checked(page, kExpiresOn), !c.never);
            EXPECT_EQ(Shown(page, kDate), c.never ? "" : day);
            EXPECT_TRUE(Checked(page, kGlobal)) << "global unless stored otherwise";
            EXPECT_FALSE(Checked(page, kLocal));
            EXPECT_TRUE(m_sheet->Changes().empty());
            m_sheet->Close(kEndPagesCancel);
        }
    }
}

TEST_F(NTUserPageExpirationTest, ATypedDateIsStoredAsTheEndOfThatLocalDay) {
    for (const Zone& zone : kZones) {
        SCOPED_TRACE(zone.tz);
        UseZone(zone.tz);
        struct WriteCase {
            const char* typed;
            int64_t endOfDayUtc; // 23:59:59 of the day as if it were UTC
            int offset;
        };
        const WriteCase kCases[] = {
            {"01/20/2001", Utc(2001, 1, 20, 23, 59, 59), zone.january},
            {"07/04/2001", Utc(2001, 7, 4, 23, 59, 59), zone.july},
            {"1/2/1970", Utc(1970, 1, 2, 23, 59, 59), zone.january},
            {"12/31/2037", Utc(2037, 12, 31, 23, 59, 59), zone.january},
        };
        for (const WriteCase& c : kCases) {
            SCOPED_TRACE(c.typed);
            HWND page = OpenUser();
            ASSERT_EQ(TypeText(page, kDate, c.typed), UiActionError::None);
            EXPECT_TRUE(Checked(page, kExpiresOn)) << "typing into the date chooses it";
            EXPECT_FALSE(Checked(page, kNever));
            ASSERT_TRUE(m_sheet->Ok());
            EXPECT_EQ(StoredTime(kUser), static_cast<uint32_t>(c.endOfDayUtc - c.offset * 60));
        }
    }
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(NTUserPageExpirationTest, ChoosingExpiresOnOffersTodayAndNeverClearsIt) {
    for (const char* tz : {"IST-5:30", "NST3:30NDT,M3.2.0,M11.1.0"}) {
        SCOPED_TRACE(tz);
        UseZone(tz);
        HWND page = OpenUser();
        const std::string before = Today();
        ASSERT_EQ(Click(page, kExpiresOn), UiActionError::None);
        const std::string shown = Shown(page, kDate);
        EXPECT_TRUE(shown == before || shown == Today()) << shown;
        EXPECT_FALSE(Checked(page, kNever));
        EXPECT_EQ(m_sheet->Changes().size(), 1u);
        ASSERT_TRUE(m_sheet->Ok());
        const std::optional<DateParts> day = ParseDate(shown);
        ASSERT_TRUE(day);
        SYSTEMTIME end{};
        end.wYear = static_cast<WORD>(day->year);
        end.wMonth = static_cast<WORD>(day->month);
        end.wDay = static_cast<WORD>(day->day);
        end.wHour = 23;
        end.wMinute = 59;
        end.wSecond = 59;
        ASSERT_TRUE(LocalTimeToUnixTime(end));
        EXPECT_EQ(StoredTime(kUser), static_cast<uint32_t>(*LocalTimeToUnixTime(end)));
        const std::optional<SYSTEMTIME> local = UnixTimeToLocalTime(*StoredTime(kUser));
        ASSERT_TRUE(local);
        EXPECT_EQ(local->wHour * 3600 + local->wMinute * 60 + local->wSecond, 86399);

        page = OpenUser();
        ASSERT_EQ(Click(page, kNever), UiActionError::None);
        EXPECT_EQ(Shown(page, kDate), "");
        EXPECT_FALSE(Checked(page, kExpiresOn));
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(StoredTime(kUser), 0xFFFFFFFFu);
    }
}

TEST_F(NTUserPageExpirationTest, ADateNoStoredTimeCanHoldIsRefusedWithMessage37) {
    struct DateCase {
        const char* typed;
        bool accepted;
    };
    const DateCase kCases[] = {
        {"02/29/1999", false}, {"02/29/2000", true},  {"02/30/2000", false}, {"02/28/1999", true},
        {"04/31/2001", false}, {"04/30/2001", true},  {"13/01/2001", false}, {"00/10/2001", false},
        {"01/32/2001", false}, {"01/00/2001", false}, {"01/01/2038", false}, {"12/31/1969", false},
        {"next week", false},  {"12/31/2037", true},
    };
    for (const DateCase& c : kCases) {
        SCOPED_TRACE(c.typed);
        Prompter::Instance().Reset();
        SetTime(kUser, 0xFFFFFFFFu);
        HWND page = OpenUser();
        ASSERT_EQ(TypeText(page, kDate, c.typed), UiActionError::None);
        const HostSheet::ApplyResult applied = m_sheet->Apply();
        EXPECT_EQ(applied.refusedPage, c.accepted ? -1 : m_sheet->FindPage(kTitle));
        EXPECT_EQ(ShownIds(), c.accepted ? std::vector<int>{} : std::vector<int>{37});
        if (!c.accepted) {
            EXPECT_NE(Prompter::Instance().Messages()[0].text.find("for example 12/31/2037."),
                      std::string::npos)
                << "an example in the form the page reads: " << Prompter::Instance().Messages()[0].text;
            EXPECT_EQ(StoredTime(kUser), 0xFFFFFFFFu) << "a refusal writes nothing";
            EXPECT_EQ(GetFocusWindow(), GetDlgItem(page, kDate));
        } else {
            EXPECT_NE(StoredTime(kUser), 0xFFFFFFFFu);
        }
        m_sheet->Close(kEndPagesCancel);
    }
}

TEST_F(NTUserPageExpirationTest, ExpiresOnWithoutADateKeepsTheStoredTime) {
    SetTime(kUser, 0xFFFFFFFFu);
    HWND page = OpenUser();
    ASSERT_EQ(Click(page, kExpiresOn), UiActionError::None);
    ASSERT_EQ(ClearText(page, kDate), UiActionError::None);
    ASSERT_EQ(Click(page, kLocal), UiActionError::None);
    ASSERT_TRUE(m_sheet->Ok()) << "an empty date passes validation";
    EXPECT_EQ(StoredTime(kUser), 0xFFFFFFFFu);
    EXPECT_EQ(StoredGlobal(kUser), false) << "the rest of the page is written";
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(NTUserPageExpirationTest, TheAccountTypeIsKeptOppositeAndStored) {
    struct TypeCase {
        std::optional<bool> stored;
        int click;
        bool localShown;
        bool written;
    };
    const TypeCase kCases[] = {
        {std::nullopt, kLocal, false, false},
        {false, kGlobal, true, true},
        {true, kLocal, false, false},
        {false, kLocal, true, false}, // already selected: no change
    };
    for (const TypeCase& c : kCases) {
        if (c.stored) {
            CDirContext dir;
            const uint32_t value = *c.stored ? 1 : 0;
            ASSERT_EQ(SetAttrValue(dir.Get(), kUser, kAttrGlobalAccount, kSyntaxBoolean, &value), 1);
        }
        SetTime(kUser, 0xFFFFFFFFu);
        HWND page = OpenUser();
        EXPECT_EQ(Checked(page, kLocal), c.localShown);
        EXPECT_EQ(Checked(page, kGlobal), !c.localShown);
        ASSERT_EQ(Click(page, c.click), UiActionError::None);
        EXPECT_EQ(Checked(page, kGlobal), c.click == kGlobal);
        EXPECT_EQ(Checked(page, kLocal), c.click == kLocal);
        const bool changed = (c.click == kLocal) != c.localShown;
        EXPECT_EQ(m_sheet->Changes().size(), changed ? 1u : 0u);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(StoredGlobal(kUser), changed ? std::optional<bool>(c.click == kGlobal) : c.stored);
        EXPECT_EQ(StoredTime(kUser), 0xFFFFFFFFu);
    }
}

TEST_F(NTUserPageExpirationTest, WithoutTheWriteRightEveryChoiceIsDisabled) {
    SetTime(kUser, static_cast<uint32_t>(Utc(2010, 5, 5, 12, 0, 0)));
    SignIn(kReader);
    HWND page = OpenUser();
    for (int id : {kDate, kNever, kExpiresOn, kGlobal, kLocal}) {
        EXPECT_FALSE(Enabled(page, id)) << id;
    }
    EXPECT_TRUE(Checked(page, kExpiresOn)) << "the stored choice is still shown";
    EXPECT_EQ(Click(page, kNever), UiActionError::Disabled);
    ASSERT_TRUE(m_sheet->Ok());
    SignIn("Admin");
    EXPECT_EQ(StoredTime(kUser), static_cast<uint32_t>(Utc(2010, 5, 5, 12, 0, 0)));
}

TEST_F(NTUserPageExpirationTest, AnAccountOfAWorkgroupSystemShowsOnlyItsNote) {
    SetTime(kWsUser, static_cast<uint32_t>(Utc(2010, 5, 5, 12, 0, 0)));
    HWND page = OpenUser(kWsUser);
    EXPECT_TRUE(Visible(page, kWorkgroupNote));
    for (int id : kDomainControls) {
        EXPECT_FALSE(Visible(page, id)) << id;
    }
    EXPECT_EQ(Shown(page, 1188), "") << "the members are not put into the controls";
    EXPECT_EQ(Shown(page, kDate), "");
    ASSERT_TRUE(m_sheet->Ok());

    page = OpenUser();
    EXPECT_FALSE(Visible(page, kWorkgroupNote));
    for (int id : kDomainControls) {
        EXPECT_TRUE(Visible(page, id)) << id;
    }
    EXPECT_EQ(Shown(page, 1188), kUser);
    EXPECT_EQ(SendMessageA(page, kMsgPageHelp, 0, 0), 0);
    ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
    EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, 20u);
}

// Each choice is offered by the right to its own attribute; a write the directory refuses after all is
// shown with its code, and the sheet stays open with the choice.
TEST_F(NTUserPageExpirationTest, EachChoiceIsOfferedByTheRightToItsOwnAttribute) {
    const uint32_t stored = static_cast<uint32_t>(Utc(2010, 5, 5, 12, 0, 0));
    struct RightsCase {
        const char* writable;
        bool typeEnabled;
        bool expirationEnabled;
    };
    const RightsCase kCases[] = {
        {kAttrLoginExpirationTime, false, true},
        {kAttrGlobalAccount, true, false},
    };
    for (const RightsCase& c : kCases) {
        SCOPED_TRACE(c.writable);
        const std::string user = std::string("op") + (c.typeEnabled ? "type" : "date") + ".NTD.Corp";
        AddObject(user, kClassNtUser);
        SetTime(user.c_str(), stored);
        Grant(user, kReader, c.writable, kDirRightRead | kDirRightWrite);
        SignIn(kReader);
        HWND page = OpenUser(user.c_str());
        for (int id : {kGlobal, kLocal}) {
            EXPECT_EQ(Enabled(page, id), c.typeEnabled) << id;
        }
        for (int id : {kDate, kNever, kExpiresOn}) {
            EXPECT_EQ(Enabled(page, id), c.expirationEnabled) << id;
        }
        ASSERT_EQ(Click(page, c.typeEnabled ? kLocal : kNever), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_TRUE(ShownIds().empty());
        SignIn("Admin");
        EXPECT_EQ(StoredGlobal(user.c_str()), c.typeEnabled ? std::optional<bool>(false) : std::nullopt);
        EXPECT_EQ(StoredTime(user.c_str()), c.expirationEnabled ? 0xFFFFFFFFu : stored);
    }
}

TEST_F(NTUserPageExpirationTest, AWriteRefusedAfterAllIsShownAndTheSheetStaysOpen) {
    const uint32_t stored = static_cast<uint32_t>(Utc(2010, 5, 5, 12, 0, 0));
    SetTime(kUser, stored);
    DirObjectACL acl{const_cast<char*>(kAttrGlobalAccount), const_cast<char*>(kReader),
                     kDirRightRead | kDirRightWrite};
    Grant(kUser, kReader, kAttrGlobalAccount, acl.privileges);
    Grant(kUser, kReader, kAttrLoginExpirationTime, acl.privileges);
    SignIn(kReader);
    HWND page = OpenUser();
    ASSERT_EQ(Click(page, kLocal), UiActionError::None);
    ASSERT_EQ(Click(page, kNever), UiActionError::None);
    // Another administrator takes the right to the account type away while the sheet is open.
    SignIn("Admin");
    {
        CDirContext dir;
        ASSERT_EQ(RemoveAttrValue(dir.Get(), kUser, kAttrAcl, kSyntaxObjectACL, &acl), 1);
    }
    SignIn(kReader);
    EXPECT_FALSE(m_sheet->Ok()) << "the sheet stays open";
    EXPECT_EQ(ShownIds(), std::vector<int>{57582});
    EXPECT_TRUE(Checked(page, kLocal)) << "the choice is kept";
    SignIn("Admin");
    EXPECT_EQ(StoredGlobal(kUser), std::nullopt);
    EXPECT_EQ(StoredTime(kUser), 0xFFFFFFFFu) << "the other choice is still written";
    m_sheet->Close(kEndPagesCancel);
}

TEST_F(NTUserPageExpirationTest, AStoredTimeThePageCannotShowNeverHoldsUpTheSheet) {
    for (uint32_t stored : {0x7FFFFFFFu, static_cast<uint32_t>(Utc(2038, 1, 1, 12, 0, 0))}) {
        SCOPED_TRACE(stored);
        Prompter::Instance().Reset();
        SetTime(kUser, stored);
        SetDescription(kUser, "before");
        OpenDetails(kClassNtUser, kUser);
        HWND id = m_sheet->Page(0);
        ASSERT_EQ(TypeText(id, 1016, "after"), UiActionError::None);
        EXPECT_TRUE(m_sheet->Ok()) << "a change on another page is applied";
        EXPECT_TRUE(ShownIds().empty());
        EXPECT_EQ(Description(kUser), "after");
        EXPECT_EQ(StoredTime(kUser), stored) << "the time is not written over";

        // Choosing the account type leaves the time alone too.
        HWND page = OpenUser();
        EXPECT_TRUE(Checked(page, kExpiresOn));
        ASSERT_EQ(Click(page, kLocal), UiActionError::None);
        EXPECT_TRUE(m_sheet->Ok());
        EXPECT_TRUE(ShownIds().empty());
        EXPECT_EQ(StoredGlobal(kUser), false);
        EXPECT_EQ(StoredTime(kUser), stored);
        CDirContext dir;
        const uint32_t global = 1;
        ASSERT_EQ(SetAttrValue(dir.Get(), kUser, kAttrGlobalAccount, kSyntaxBoolean, &global), 1);
    }
}
