// The account policy pages as an administrator meets them: stored seconds shown as days and minutes, the
// refusals of what cannot be applied, the intruder rule at apply, and what the directory holds afterwards.
#include "SystemPagesWorld.h"

#include "module/pages/domain/DomainPage_Policy.h"

namespace {

constexpr char kTitle[] = "Policy";

struct PolicyIds {
    const char* className;
    const char* object;
    UINT templateId;
    int maxAge, minAge, history, minLength, intruderLimit, lockout, attempt;
};

const PolicyIds kDomainPage{kClassNtDomain, kDomain, 113, 1031, 1030, 1032, 1142, 1168, 1167, 1034};
const PolicyIds kWsPage{kClassNtWorkgroupSystem, kWorkstation, 117, 1046, 1045, 1047, 1164, 1169, 1166, 1165};
const PolicyIds kBothPages[] = {kDomainPage, kWsPage};

} // namespace

class PolicyPageTest : public SystemPagesWorld {};

TEST_F(PolicyPageTest, StoredSecondsAreShownAsWholeDaysAndMinutesAndWrittenBackSo) {
    struct AgeCase {
        uint32_t storedMaxAge;
        const char* shown;
        int64_t storedAfterApply;
    };
    const AgeCase cases[] = {
        {4294967295u, "0", 4294967295},       // never expires
        {90u * 86400, "90", 90 * 86400},
        {86400 + 5 * 3600, "1", 86400},        // truncated, then stored as the whole day shown
    };
    for (const PolicyIds& ids : kBothPages) {
        for (const AgeCase& age : cases) {
            SCOPED_TRACE(std::string(ids.className) + " " + age.shown);
            SetWord(ids.object, kAttrMaximumPasswordAge, kSyntaxInterval, age.storedMaxAge);
            SetWord(ids.object, kAttrIntruderLockoutResetInterval, kSyntaxInterval, 30 * 60 + 59);
            HWND page = OpenPage(ids.className, ids.object, kTitle);
            EXPECT_EQ(GetDialogTemplateId(page), ids.templateId);
            EXPECT_EQ(Text(page, ids.maxAge), age.shown);
            EXPECT_EQ(Text(page, ids.lockout), "30");
            EXPECT_TRUE(m_sheet->Changes().empty()) << "putting the loaded values in is no change";

            ASSERT_EQ(TypeText(page, ids.history, "5"), UiActionError::None);
            ASSERT_TRUE(m_sheet->Ok());
            EXPECT_EQ(Word(ids.object, kAttrMaximumPasswordAge, kSyntaxInterval), age.storedAfterApply);
            EXPECT_EQ(Word(ids.object, kAttrPasswordHistoryLength, kSyntaxInteger), 5);
            EXPECT_EQ(Word(ids.object, kAttrIntruderLockoutResetInterval, kSyntaxInterval), 30 * 60);
        }
    }
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(PolicyPageTest, TypedDaysAndMinutesAreStoredInSeconds) {
    for (const PolicyIds& ids : kBothPages) {
        SCOPED_TRACE(ids.className);
        HWND page = OpenPage(ids.className, ids.object, kTitle);
        ASSERT_EQ(TypeText(page, ids.maxAge, "0"), UiActionError::None);
        ASSERT_EQ(TypeText(page, ids.minAge, "49710"), UiActionError::None);
        ASSERT_EQ(TypeText(page, ids.intruderLimit, "3"), UiActionError::None);
        ASSERT_EQ(TypeText(page, ids.attempt, "15"), UiActionError::None);
        ASSERT_EQ(TypeText(page, ids.lockout, "35791394"), UiActionError::None);
        ASSERT_EQ(TypeText(page, ids.minLength, "8"), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Word(ids.object, kAttrMaximumPasswordAge, kSyntaxInterval), 4294967295);
        EXPECT_EQ(Word(ids.object, kAttrMinimumPasswordAge, kSyntaxInterval), 49710LL * 86400);
        EXPECT_EQ(Word(ids.object, kAttrLoginIntruderLimit, kSyntaxInteger), 3);
        EXPECT_EQ(Word(ids.object, kAttrIntruderAttemptResetInterval, kSyntaxInterval), 15 * 60);
        EXPECT_EQ(Word(ids.object, kAttrIntruderLockoutResetInterval, kSyntaxInterval), 35791394LL * 60);
        EXPECT_EQ(Word(ids.object, kAttrPasswordMinimumLength, kSyntaxInteger), 8);
    }
}

TEST_F(PolicyPageTest, WhatCannotBeAppliedIsRefusedWithItsMessageAndNothingIsWritten) {
    struct Entry {
        int PolicyIds::*field;
        const char* text;
    };
    struct RefusalCase {
        const PolicyIds* page;
        std::vector<Entry> entries;
        int refusedBy; // message id, 0 for a page that applies
    };
    const PolicyIds* d = &kDomainPage;
    const PolicyIds* w = &kWsPage;
    const RefusalCase cases[] = {
        {d, {{&PolicyIds::minLength, "14"}}, 0},
        {d, {{&PolicyIds::minLength, "15"}}, 32},
        {d, {{&PolicyIds::history, "24"}}, 0},
        {d, {{&PolicyIds::history, "25"}}, 33},
        {d, {{&PolicyIds::history, "-1"}}, 33},
        {d, {{&PolicyIds::attempt, "99999"}, {&PolicyIds::lockout, "99999"}}, 0},
        {d, {{&PolicyIds::attempt, "100000"}, {&PolicyIds::lockout, "100000"}}, 34},
        {d, {{&PolicyIds::attempt, "0"}, {&PolicyIds::lockout, "5"}}, 0},
        {d, {{&PolicyIds::attempt, "30"}, {&PolicyIds::lockout, "10"}}, 29},
        {d, {{&PolicyIds::minAge, "5"}, {&PolicyIds::maxAge, "0"}}, 0},
        {d, {{&PolicyIds::minAge, "5"}, {&PolicyIds::maxAge, "5"}}, 28},
        {d, {{&PolicyIds::minAge, "0"}, {&PolicyIds::maxAge, "5"}}, 0},
        {d, {{&PolicyIds::attempt, "-1"}}, 61718}, // the platform's unsigned-number message
        {d, {{&PolicyIds::maxAge, ""}}, 61718},
        {w, {{&PolicyIds::attempt, "-1"}}, 34},
        {w, {{&PolicyIds::lockout, "-1"}}, 29},
        {w, {{&PolicyIds::history, ""}}, 61712},
        // Seconds that do not fit in 32 bits would store another value than the one shown.
        {d, {{&PolicyIds::maxAge, "49711"}}, 57540},
        {d, {{&PolicyIds::minAge, "49711"}}, 57540},
        {w, {{&PolicyIds::minAge, "49711"}}, 57540},
        {d, {{&PolicyIds::lockout, "71582788"}}, 0},
        {d, {{&PolicyIds::lockout, "71582789"}}, 57540},
        {w, {{&PolicyIds::lockout, "35791395"}}, 57540},
    };
    for (const RefusalCase& refusal : cases) {
        std::string trace = refusal.page->className;
        for (const Entry& entry : refusal.entries) {
            trace += std::string(" ") + std::to_string(refusal.page->*entry.field) + "=" + entry.text;
        }
        SCOPED_TRACE(trace);
        Prompter::Instance().Reset();
        SetWord(refusal.page->object, kAttrPasswordHistoryLength, kSyntaxInteger, 7);
        HWND page = OpenPage(refusal.page->className, refusal.page->object, kTitle);
        for (const Entry& entry : refusal.entries) {
            const int id = refusal.page->*entry.field;
            ASSERT_EQ(*entry.text == '\0' ? ClearText(page, id) : TypeText(page, id, entry.text),
                      UiActionError::None);
        }
        ASSERT_EQ(TypeText(page, refusal.page->intruderLimit, "3"), UiActionError::None);
        HostSheet::ApplyResult applied = m_sheet->Apply();
        if (refusal.refusedBy == 0) {
            EXPECT_EQ(applied.refusedPage, -1);
            EXPECT_TRUE(ShownIds().empty());
            EXPECT_EQ(Word(refusal.page->object, kAttrLoginIntruderLimit, kSyntaxInteger), 3);
        } else {
            EXPECT_EQ(applied.refusedPage, m_sheet->FindPage(kTitle));
            EXPECT_EQ(ShownIds(), std::vector<int>{refusal.refusedBy});
            EXPECT_EQ(Word(refusal.page->object, kAttrPasswordHistoryLength, kSyntaxInteger), 7);
        }
        m_sheet->Close(kEndPagesCancel);
        SetWord(refusal.page->object, kAttrLoginIntruderLimit, kSyntaxInteger, 0);
    }
}

TEST_F(PolicyPageTest, ARefusedNumberNamesTheLargestTheFieldTakes) {
    HWND page = OpenPage(kClassNtDomain, kDomain, kTitle);
    ASSERT_EQ(TypeText(page, kDomainPage.maxAge, "50000"), UiActionError::None);
    EXPECT_EQ(m_sheet->Apply().refusedPage, m_sheet->FindPage(kTitle));
    ASSERT_EQ(Prompter::Instance().Messages().size(), 1u);
    EXPECT_NE(Prompter::Instance().Messages().front().text.find("49710"), std::string::npos);
    EXPECT_EQ(Word(kDomain, kAttrMaximumPasswordAge, kSyntaxInterval), -1);
}

TEST_F(PolicyPageTest, IntervalsWithoutAnIntruderLimitAreStoredAsZero) {
    for (const PolicyIds& ids : kBothPages) {
        SCOPED_TRACE(ids.className);
        Prompter::Instance().Reset();
        SetWord(ids.object, kAttrLoginIntruderLimit, kSyntaxInteger, 0);
        HWND page = OpenPage(ids.className, ids.object, kTitle);
        ASSERT_EQ(TypeText(page, ids.attempt, "30"), UiActionError::None);
        ASSERT_EQ(TypeText(page, ids.lockout, "60"), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(ShownIds(), std::vector<int>{36});
        EXPECT_EQ(Word(ids.object, kAttrIntruderAttemptResetInterval, kSyntaxInterval), 0);
        EXPECT_EQ(Word(ids.object, kAttrIntruderLockoutResetInterval, kSyntaxInterval), 0);
    }
}

TEST_F(PolicyPageTest, AFieldTheAdministratorMayNotWriteIsDisabledAndNotWritten) {
    // The reader may write every policy attribute but the intruder limit; the limit's stored 0 still
    // clears the intervals at apply.
    for (const char* attr : {kAttrMaximumPasswordAge, kAttrMinimumPasswordAge, kAttrPasswordHistoryLength,
                             kAttrForceLogoff, kAttrLogonRequiredToChangePwd, kAttrPasswordMinimumLength,
                             kAttrIntruderLockoutResetInterval, kAttrIntruderAttemptResetInterval}) {
        Grant(kDomain, kReader, attr, kDirRightRead | kDirRightWrite);
    }
    SignIn(kReader);
    HWND page = OpenPage(kClassNtDomain, kDomain, kTitle);
    EXPECT_FALSE(Enabled(page, kDomainPage.intruderLimit));
    EXPECT_TRUE(Enabled(page, kDomainPage.attempt));
    EXPECT_TRUE(Enabled(page, 1033)) << "force logoff";
    ASSERT_EQ(Click(page, 1033), UiActionError::None);
    ASSERT_EQ(TypeText(page, kDomainPage.attempt, "30"), UiActionError::None);
    ASSERT_EQ(TypeText(page, kDomainPage.lockout, "45"), UiActionError::None);
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(ShownIds(), std::vector<int>{36});
    SignIn("Admin");
    EXPECT_EQ(Word(kDomain, kAttrForceLogoff, kSyntaxBoolean), 1);
    EXPECT_EQ(Word(kDomain, kAttrIntruderAttemptResetInterval, kSyntaxInterval), 0);
    EXPECT_EQ(Word(kDomain, kAttrLoginIntruderLimit, kSyntaxInteger), -1) << "never written";
}

TEST_F(PolicyPageTest, AReaderSeesEveryFieldDisabledAndAnUnchangedPageWritesNothing) {
    SetWord(kWorkstation, kAttrPasswordMinimumLength, kSyntaxInteger, 20); // stored by another writer
    SignIn(kReader);
    HWND page = OpenPage(kClassNtWorkgroupSystem, kWorkstation, kTitle);
    for (int id : {kWsPage.maxAge, kWsPage.minAge, kWsPage.history, kWsPage.minLength, kWsPage.intruderLimit,
                   kWsPage.lockout, kWsPage.attempt, 1009}) {
        EXPECT_FALSE(Enabled(page, id)) << id;
    }
    EXPECT_EQ(Text(page, kWsPage.minLength), "20");
    EXPECT_EQ(m_sheet->Apply().refusedPage, -1) << "an untouched page does not judge stored values";
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(PolicyPageTest, TheSheetOfADomainOrWorkgroupSystemListsIdentificationPolicyAndAgent) {
    for (const PolicyIds& ids : kBothPages) {
        SCOPED_TRACE(ids.className);
        OpenDetails(ids.className, ids.object);
        ASSERT_EQ(m_sheet->PageCount(), 3);
        EXPECT_EQ(m_sheet->PageTitle(0), "Identification");
        EXPECT_EQ(m_sheet->PageTitle(1), "Policy");
        EXPECT_EQ(m_sheet->PageTitle(2), "Agent");
        m_sheet->Close(kEndPagesCancel);
    }
}

TEST_F(PolicyPageTest, TheIntruderNoticeSaysWhichIntervalWasStoredAsZero) {
    // The reader may write the history and the intervals named; the intruder limit is 0, the lockout
    // interval 60 minutes and the attempt interval 30.
    struct NoticeCase {
        std::vector<const char*> writable;
        int notice;
        int64_t lockoutAfter;
        int64_t attemptAfter;
    };
    const NoticeCase kCases[] = {
        {{kAttrIntruderLockoutResetInterval, kAttrIntruderAttemptResetInterval}, 36, 0, 0},
        {{kAttrIntruderAttemptResetInterval}, 57584, 3600, 0},
        {{kAttrIntruderLockoutResetInterval}, 57583, 0, 1800},
        {{}, 57585, 3600, 1800},
    };
    for (const NoticeCase& c : kCases) {
        SCOPED_TRACE(c.notice);
        Prompter::Instance().Reset();
        const std::string domain = "D" + std::to_string(c.notice) + ".Corp";
        AddObject(domain, kClassNtDomain);
        SetWord(domain.c_str(), kAttrLoginIntruderLimit, kSyntaxInteger, 0);
        SetWord(domain.c_str(), kAttrIntruderLockoutResetInterval, kSyntaxInterval, 3600);
        SetWord(domain.c_str(), kAttrIntruderAttemptResetInterval, kSyntaxInterval, 1800);
        Grant(domain, kReader, kAttrPasswordHistoryLength, kDirRightRead | kDirRightWrite);
        for (const char* attr : c.writable) {
            Grant(domain, kReader, attr, kDirRightRead | kDirRightWrite);
        }
        SignIn(kReader);
        HWND page = OpenPage(kClassNtDomain, domain.c_str(), kTitle);
        ASSERT_EQ(TypeText(page, kDomainPage.history, "3"), UiActionError::None);
        ASSERT_TRUE(m_sheet->Apply().refusedPage == -1);
        EXPECT_EQ(ShownIds(), std::vector<int>{c.notice});
        EXPECT_EQ(Text(page, kDomainPage.lockout), std::to_string(c.lockoutAfter / 60))
            << "shows what is stored";
        EXPECT_EQ(Text(page, kDomainPage.attempt), std::to_string(c.attemptAfter / 60));
        m_sheet->Close(kEndPagesOk);
        SignIn("Admin");
        EXPECT_EQ(Word(domain.c_str(), kAttrIntruderLockoutResetInterval, kSyntaxInterval), c.lockoutAfter);
        EXPECT_EQ(Word(domain.c_str(), kAttrIntruderAttemptResetInterval, kSyntaxInterval), c.attemptAfter);
    }
}
