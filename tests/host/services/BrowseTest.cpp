// The browser protocol as a module's collector sees it.
#include "host/services/Host.h"
#include "host/services/HostServices.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Collected {
    std::vector<std::string> filter = {"User", "KEL:NT User"};
    std::vector<uint32_t> messages;
    std::string keptContext;
    std::vector<std::string> baseClasses;
    std::vector<std::string> fullNames;
};

LONG __stdcall Collector(void* request, uint32_t message, ULONG_PTR param1, ULONG_PTR param2) {
    auto* c = static_cast<Collected*>(request);
    c->messages.push_back(message);
    switch (message) {
    case kBrowseKeepContext:
        c->keptContext = reinterpret_cast<const char*>(param1);
        break;
    case kBrowseAddResult: {
        const auto* record = reinterpret_cast<const char*>(param2);
        c->baseClasses.emplace_back(record);
        c->fullNames.emplace_back(record + kBrowseFullNameOffset);
        break;
    }
    case kBrowseFilterCount:
        *reinterpret_cast<uint32_t*>(param1) = static_cast<uint32_t>(c->filter.size());
        break;
    case kBrowseFilterName:
        std::strcpy(reinterpret_cast<char*>(param2), c->filter.at(param1).c_str());
        break;
    }
    return 0;
}

class BrowseTest : public ::testing::Test {
protected:
    void SetUp() override { HostServices::Instance().Reset(); }
    void TearDown() override { HostServices::Instance().Reset(); }
};

TEST_F(BrowseTest, HandsOverTheContextAndOneRecordAPick) {
    BrowseQuery asked;
    HostServices::Instance().SetBrowser([&](const BrowseQuery& query) {
        asked = query;
        return BrowseAnswer{{{"User", "Ann.Sales.Corp"}, {"KEL:NT User", "bob.NTDOM.Corp"}}, "Sales.Corp"};
    });
    Collected collected;
    char context[kBrowseContextSize] = "Corp";
    EXPECT_EQ(HostBrowse(nullptr, &collected, context, 0, 0, 0, kBrowseForPages, &Collector), 0);

    EXPECT_EQ(asked.startContext, "Corp");
    EXPECT_EQ(asked.option, kBrowseForPages);
    EXPECT_EQ(asked.classFilter, collected.filter);
    EXPECT_EQ(collected.messages, (std::vector<uint32_t>{514, 515, 515, 512, 513, 513}));
    EXPECT_EQ(collected.keptContext, "Sales.Corp");
    EXPECT_STREQ(context, "Sales.Corp");
    EXPECT_EQ(collected.baseClasses, (std::vector<std::string>{"User", "KEL:NT User"}));
    EXPECT_EQ(collected.fullNames, (std::vector<std::string>{"Ann.Sales.Corp", "bob.NTDOM.Corp"}));
}

TEST_F(BrowseTest, ACancelledBrowseDeliversNothing) {
    Collected collected;
    char context[kBrowseContextSize] = "Corp";
    EXPECT_EQ(HostBrowse(nullptr, &collected, context, 0, 0, 0, kBrowseForCreation, &Collector), -1)
        << "no browser: cancelled";
    HostServices::Instance().SetBrowser([](const BrowseQuery&) { return BrowseAnswer{}; });
    EXPECT_EQ(HostBrowse(nullptr, &collected, context, 0, 0, 0, kBrowseForCreation, &Collector), -1);
    EXPECT_TRUE(collected.fullNames.empty());
    EXPECT_STREQ(context, "Corp");
    EXPECT_EQ(HostBrowse(nullptr, &collected, context, 0, 0, 0, kBrowseForCreation, nullptr), -1);
}

TEST_F(BrowseTest, ANameTooLongForTheRecordIsNotHandedOnCut) {
    std::string longest(kBrowseFullNameSize - 1, 'n');
    HostServices::Instance().SetBrowser([&](const BrowseQuery&) {
        return BrowseAnswer{{{"User", longest}, {"User", longest + "x"}}, ""};
    });
    Collected collected;
    char context[kBrowseContextSize] = "[Root]";
    EXPECT_EQ(HostBrowse(nullptr, &collected, context, 0, 0, 0, kBrowseForPages, &Collector), 0);
    EXPECT_EQ(collected.fullNames, std::vector<std::string>{longest});
}

} // namespace
