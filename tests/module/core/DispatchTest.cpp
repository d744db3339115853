// Host messages from a class's CallBack through its latch and the dispatcher to the handler.
#include "CoreFixture.h"

#include "host/services/Host.h"
#include "host/services/HostServices.h"

#include <cstring>

namespace {

CSnapinClass* MakeDomain() {
    auto* handler = new CTestHandler("KEL:NT Domain", "QOR NT Domain");
    handler->SetCallBack(&DomainLatchCallBack);
    return handler;
}

CSnapinClass* MakeUser() {
    auto* handler = new CTestHandler("KEL:NT User");
    handler->SetCallBack(&UserLatchCallBack);
    return handler;
}

class DispatchTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        m_module = std::make_unique<CSnapinModule>("test module");
    }
    void TearDown() override {
        ShutDown();
        m_module.reset();
        CoreTest::TearDown();
    }
    long Send(const char* className, const std::string& name, unsigned short message, unsigned long p1 = 0,
              unsigned long p2 = 0) {
        return HostServices::Instance().SendToClass(className, name, message, p1, p2).value_or(-999);
    }
    std::unique_ptr<CSnapinModule> m_module;
};

TEST_F(DispatchTest, EachMessageBecomesOneOperationWithItsArguments) {
    SetSnapinClassFactory(SnapinClassSlot::KelNTDomain, &MakeDomain);
    ASSERT_EQ(InitSnapin(), 0);
    CTestHandler::calls.clear();

    struct Case {
        unsigned short message;
        unsigned long param1;
        unsigned long param2;
        long answer;
        const char* call; // empty: no operation
    };
    const Case cases[] = {
        {256, 0, 0, 1, "OnInitClass"},
        {257, 0, 0, 2, "OnCloseClass"},
        {258, 41, 0, 5, "OnCreateObject|x.Corp|41"},
        {261, 42, 0, 8, "OnRenameObject|x.Corp|42"},
        {262, 0, 0, 7, "OnApplyPages|x.Corp"},
        {263, 0, 0, 9, "OnQueryDelete|x.Corp"},
        {264, 0, 0, 10, "OnQueryCopy|x.Corp"},
        {265, 0, 0, 11, "OnQueryMove|x.Corp"},
        {272, 0, 0, 6, "GetClassFlags|x.Corp"},
        {273, 43, 0, 12, "OnEndPages|43"},
        {274, 0, 0, 13, "OnIgnored274|x.Corp"},
        {275, 44, 45, 14, "OnNotifyMove|x.Corp|44|45"},
        {276, 46, 0, 15, "OnNotifyRename|x.Corp|46"},
        {277, 0, 0, 16, "OnIgnored277|x.Corp"},
        {279, 47, 0, 17, "OnApplyTemplate|x.Corp|47"},
        {266, 0, 0, 0, ""},
        {268, 0, 0, 0, ""},
        {271, 0, 0, 0, ""},
        {278, 0, 0, 0, ""},
        {280, 0, 0, 0, ""},
        {1312, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        CTestHandler::calls.clear();
        EXPECT_EQ(Send("KEL:NT Domain", "x.Corp", c.message, c.param1, c.param2), c.answer) << c.message;
        if (c.call[0] == '\0') {
            EXPECT_TRUE(CTestHandler::calls.empty()) << c.message << " reached the handler";
        } else {
            EXPECT_EQ(CTestHandler::calls, std::vector<std::string>{std::string("KEL:NT Domain|") + c.call})
                << c.message;
        }
    }
}

TEST_F(DispatchTest, ACallBackIgnoresEverythingBeforeItsFirstInitMessage) {
    char name[] = "x.Corp";
    EXPECT_EQ(DomainLatchCallBack(name, SNAP_GET_CLASS_FLAGS, 0, 0), 0);
    EXPECT_EQ(DomainLatchCallBack(name, SNAP_QUERY_DELETE, 0, 0), 0);
    EXPECT_EQ(SnapinLatchedHandler(SnapinClassSlot::KelNTDomain), nullptr);
    EXPECT_TRUE(CTestHandler::calls.empty());
}

TEST_F(DispatchTest, EachCallBackLatchesTheHandlerRegisteringWhenItsFirstInitArrives) {
    SetSnapinClassFactory(SnapinClassSlot::KelNTDomain, &MakeDomain);
    SetSnapinClassFactory(SnapinClassSlot::KelNTUser, &MakeUser);
    ASSERT_EQ(InitSnapin(), 0);
    CSnapinClass* domain = m_module->GetHandler(SnapinClassSlot::KelNTDomain);
    CSnapinClass* user = m_module->GetHandler(SnapinClassSlot::KelNTUser);
    ASSERT_NE(domain, nullptr);
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(SnapinLatchedHandler(SnapinClassSlot::KelNTDomain), domain);
    EXPECT_EQ(SnapinLatchedHandler(SnapinClassSlot::KelNTUser), user);
    EXPECT_EQ(SnapinRegisteringHandler(), user) << "the last registration leaves its handler behind";
    // Registered in slot order, each told 256 while it was being registered.
    EXPECT_EQ(CTestHandler::calls,
              (std::vector<std::string>{"KEL:NT Domain|OnInitClass", "KEL:NT User|OnInitClass"}));

    // A later 256 to the domain does not move its latch to the handler registered last.
    CTestHandler::calls.clear();
    EXPECT_EQ(Send("KEL:NT Domain", "", SNAP_INIT_CLASS), 1);
    EXPECT_EQ(SnapinLatchedHandler(SnapinClassSlot::KelNTDomain), domain);
    EXPECT_EQ(CTestHandler::calls, std::vector<std::string>{"KEL:NT Domain|OnInitClass"});
}

TEST_F(DispatchTest, TheCurrentObjectNameFollowsTheOpenDetailsSheet) {
    SetSnapinClassFactory(SnapinClassSlot::KelNTDomain, &MakeDomain);
    ASSERT_EQ(InitSnapin(), 0);
    auto* domain = static_cast<CTestHandler*>(m_module->GetHandler(SnapinClassSlot::KelNTDomain));
    CTestPage page("Identification", 120);
    domain->AddPage(&page);

    EXPECT_STREQ(GetCurrentObjectName(), "");
    EXPECT_EQ(Send("KEL:NT Domain", "NTDOM.Corp", SNAP_GET_PAGE_COUNT), 1);
    EXPECT_EQ(domain->nameAtPageCount, "NTDOM.Corp") << "the name is kept before the handler answers";
    EXPECT_STREQ(GetCurrentObjectName(), "NTDOM.Corp");
    EXPECT_EQ(Send("KEL:NT Domain", "OTHER.Corp", SNAP_GET_PAGE_COUNT), 1);
    EXPECT_STREQ(GetCurrentObjectName(), "OTHER.Corp");
    EXPECT_EQ(Send("KEL:NT Domain", "OTHER.Corp", SNAP_END_PAGES, 1), 12);
    EXPECT_STREQ(GetCurrentObjectName(), "");
}

TEST_F(DispatchTest, ANameTooLongToKeepOpensNoPagesAndIsNeverCut) {
    SetSnapinClassFactory(SnapinClassSlot::KelNTDomain, &MakeDomain);
    ASSERT_EQ(InitSnapin(), 0);
    auto* domain = static_cast<CTestHandler*>(m_module->GetHandler(SnapinClassSlot::KelNTDomain));
    CTestPage page("Identification", 120);
    domain->AddPage(&page);

    std::string longest(kCurrentObjectNameSize - 1, 'a');
    EXPECT_EQ(Send("KEL:NT Domain", longest, SNAP_GET_PAGE_COUNT), 1);
    EXPECT_EQ(std::string(GetCurrentObjectName()), longest);

    CTestHandler::calls.clear();
    EXPECT_EQ(Send("KEL:NT Domain", longest + "b", SNAP_GET_PAGE_COUNT), 0);
    EXPECT_STREQ(GetCurrentObjectName(), "") << "the earlier name does not stay either";
    EXPECT_TRUE(CTestHandler::calls.empty()) << "the handler is not asked for pages";
}

TEST_F(DispatchTest, ADispatchWithoutAHandlerAnswersZero) {
    char name[] = "x";
    EXPECT_EQ(SnapinDispatch(nullptr, name, SNAP_QUERY_DELETE, 0, 0), 0);
    EXPECT_EQ(CVASnapinMDIFrameProc(name, SNAP_INIT_CLASS, 0, 0), 0);
    EXPECT_EQ(CVASnapinMDIFrameProc(name, SNAP_GET_CLASS_FLAGS, 1, 2), 0);
}

} // namespace
