#include "CoreFixture.h"

#include "host/services/Host.h"
#include "host/services/HostServices.h"

namespace {

class SnapinClassTest : public CoreTest {};

TEST_F(SnapinClassTest, HandsOutPagesInTheOrderAdded) {
    CTestHandler handler("KEL:NT User");
    CTestPage first("Identification", 120);
    CTestPage second("Groups", 121);
    CTestPage third("Logon Hours", 122);
    handler.AddPage(&first);
    handler.AddPage(&second);
    handler.AddPage(&third);
    EXPECT_EQ(handler.GetPageCount(), 3);

    SnapPageRecord record{};
    ASSERT_EQ(handler.GetPage("u.Corp", 2, &record), 0);
    EXPECT_EQ(record.dialogProc, &CTestPage::DialogProc);
    EXPECT_EQ(record.templateId, 122u);
    EXPECT_STREQ(record.title, "Logon Hours");
    EXPECT_EQ(record.pageParam, &third);
    ASSERT_EQ(handler.GetPage("u.Corp", 0, &record), 0);
    EXPECT_EQ(record.pageParam, &first);

    SnapPageRecord untouched{};
    untouched.templateId = 777;
    for (unsigned long index : {3ul, 4ul, 0xFFFFFFFFul}) {
        EXPECT_EQ(handler.GetPage("u.Corp", index, &untouched), -1) << index;
        EXPECT_EQ(untouched.templateId, 777u) << "nothing is written for index " << index;
    }
}

TEST_F(SnapinClassTest, AHandlerWithoutPagesHasNone) {
    CTestHandler handler("KEL:NT User");
    SnapPageRecord record{};
    EXPECT_EQ(handler.GetPageCount(), 0);
    EXPECT_EQ(handler.GetPage("u.Corp", 0, &record), -1);
}

long __stdcall QuietCallBack(char*, unsigned short, unsigned long, unsigned long) {
    return 0;
}

TEST_F(SnapinClassTest, RegistersBitmapsUnderTheClassNameWhenNoDisplayNameWasGiven) {
    ASSERT_EQ(HostRegisterClass("DS", "KEL:NT User", "", nullptr, &QuietCallBack, kSnapinInterfaceVersion),
              0);
    CTestHandler handler("KEL:NT User");
    int a = 0, b = 0, c = 0;
    auto normal = reinterpret_cast<HBITMAP>(&a);
    auto alias = reinterpret_cast<HBITMAP>(&b);
    auto readOnly = reinterpret_cast<HBITMAP>(&c);

    EXPECT_EQ(handler.ReleaseBitmaps(), 0) << "nothing registered yet";
    EXPECT_EQ(handler.RegisterBitmaps(normal, alias, readOnly), 1);
    EXPECT_STREQ(handler.GetDisplayName(), "KEL:NT User");
    const RegisteredClass* entry = HostServices::Instance().FindClass("KEL:NT User");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->displayName, "KEL:NT User");
    EXPECT_EQ(entry->alias, alias);
    EXPECT_EQ(handler.ReleaseBitmaps(), 1);
    EXPECT_EQ(entry->normal, nullptr);
}

TEST_F(SnapinClassTest, AMissingBitmapOrARefusingHostRegistersNothing) {
    ASSERT_EQ(HostRegisterClass("DS", "KEL:NT Domain", "", nullptr, &QuietCallBack, kSnapinInterfaceVersion),
              0);
    CTestHandler handler("KEL:NT Domain", "QOR NT Domain");
    int a = 0;
    auto bitmap = reinterpret_cast<HBITMAP>(&a);
    EXPECT_EQ(handler.RegisterBitmaps(bitmap, nullptr, bitmap), 0);
    EXPECT_EQ(HostServices::Instance().FindClass("KEL:NT Domain")->normal, nullptr)
        << "the host was not called";
    EXPECT_EQ(handler.ReleaseBitmaps(), 0);

    CTestHandler unknown("KEL:Not Registered");
    EXPECT_EQ(unknown.RegisterBitmaps(bitmap, bitmap, bitmap), 0) << "the host answered non-zero";
}

TEST_F(SnapinClassTest, BaseAnswersForEveryMessage) {
    struct Plain : CSnapinClass {
        Plain() : CSnapinClass("DS", "User", nullptr, nullptr, nullptr, nullptr) {}
        LONG OnInitClass() override { return 0; }
        LONG OnCloseClass() override { return 0; }
        SnapCallBack GetCallBack() override { return nullptr; }
    } plain;
    EXPECT_EQ(plain.OnCreateObject("x", 0), 0);
    EXPECT_EQ(plain.GetClassFlags("x"), 1);
    EXPECT_EQ(plain.OnApplyPages("x"), 0);
    EXPECT_EQ(plain.OnRenameObject("x", 0), 0);
    EXPECT_EQ(plain.OnQueryDelete("x"), 1);
    EXPECT_EQ(plain.OnQueryCopy("x"), 0);
    EXPECT_EQ(plain.OnQueryMove("x"), 0);
    EXPECT_EQ(plain.OnEndPages(1), 0);
    EXPECT_EQ(plain.OnNotifyMove("x", 0, 0), 0);
    EXPECT_EQ(plain.OnNotifyRename("x", 0), 0);
    EXPECT_EQ(plain.OnApplyTemplate("x", 0), 0);
    EXPECT_STREQ(plain.GetNameSpace(), "DS");
    EXPECT_STREQ(plain.GetDisplayName(), "");
}

TEST_F(SnapinClassTest, CreationSwitchesChooseTheClassFlags) {
    constexpr const char* kKey = "Software\\Corvane\\Parameters\\KelNTSnapIn";
    EXPECT_EQ(CSnapinClass::SwitchedClassFlags("CreateNTDomain"), 137) << "no key";
    MakeRegistryKey(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(CSnapinClass::SwitchedClassFlags("CreateNTDomain"), 137) << "no value";

    struct Case {
        DWORD value;
        LONG flags;
    };
    for (Case c : {Case{1, 141}, Case{0, 137}, Case{2, 137}, Case{0xFFFFFFFF, 137}}) {
        SetRegistryDword(HKEY_CURRENT_USER, kKey, "CreateNTDomain", c.value);
        EXPECT_EQ(CSnapinClass::SwitchedClassFlags("CreateNTDomain"), c.flags) << c.value;
    }
    SetRegistryString(HKEY_CURRENT_USER, kKey, "CreateHybridUser", "1");
    EXPECT_EQ(CSnapinClass::SwitchedClassFlags("CreateHybridUser"), 137) << "a string is not a 32-bit value";
    EXPECT_EQ(CSnapinClass::SwitchedClassFlags("CreateNTWorkgroup"), 137);
    EXPECT_EQ(kClassFlagsCreatable ^ kClassFlagsNotCreatable, 0x04);
}

} // namespace
