#include "host/HostCommands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "host/DirectoryCommands.h"
#include "host/services/Host.h"
#include "host/services/HostServices.h"
#include "platform/dirclient/DirClient.h"

namespace {

// What a page's browse request collects: the filter it offers and the records it receives.
struct Collected {
    std::vector<std::string> filter;
    std::vector<std::pair<std::string, std::string>> picks; // base class, full name
};

LONG __stdcall Collect(void* request, uint32_t message, ULONG_PTR param1, ULONG_PTR param2) {
    auto* collected = static_cast<Collected*>(request);
    if (message == kBrowseFilterCount)
        *reinterpret_cast<uint32_t*>(param1) = static_cast<uint32_t>(collected->filter.size());
    else if (message == kBrowseFilterName)
        std::strcpy(reinterpret_cast<char*>(param2), collected->filter[param1].c_str());
    else if (message == kBrowseAddResult) {
        const char* record = reinterpret_cast<const char*>(param2);
        collected->picks.emplace_back(record, record + kBrowseFullNameOffset);
    }
    return 0;
}

class HostCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DirOpenMemoryStore(), 0);
        ASSERT_EQ(DirLogin("Admin", ""), 0);
        cvadmin::RegisterDirectoryCommands(m_interpreter);
        cvadmin::RegisterHostCommands(m_interpreter);
        m_interpreter.AddAfterCommandCheck(cvadmin::TakeBrowseError);
        ASSERT_EQ(
            Run("dir add Corp Organization; dir add Mary.Corp User; dir add NTDOM.Corp 'KEL:NT Domain'"), 0);
    }
    void TearDown() override {
        (void)cvadmin::TakeBrowseError();
        (void)DirCloseStore();
    }
    int Run(const std::string& text) {
        m_err.str("");
        cvadmin::SplitResult split = cvadmin::SplitScript(text);
        return m_interpreter.Run(split.commands, /*stopOnError=*/true);
    }
    // A page asks the host's browser for objects of `classes`; answers what HostBrowse answered.
    LONG Browse(Collected& collected) {
        char context[kBrowseContextSize] = "Corp";
        return HostBrowse(nullptr, &collected, context, 0, 0, 0, kBrowseForPages, &Collect);
    }

    std::ostringstream m_out;
    std::ostringstream m_err;
    cvadmin::Interpreter m_interpreter{m_out, m_err};
};

TEST_F(HostCommandsTest, TheBrowserPicksWhatTheScriptQueuedInOrder) {
    ASSERT_EQ(Run("browse Mary.Corp; browse"), 0);
    Collected users{{"User"}, {}};
    EXPECT_EQ(Browse(users), 0);
    ASSERT_EQ(users.picks.size(), 1u);
    EXPECT_EQ(users.picks[0].first, "User");
    EXPECT_EQ(users.picks[0].second, "Mary.Corp");

    Collected cancelled{{"User"}, {}};
    EXPECT_EQ(Browse(cancelled), -1) << "an empty browse cancels";
    EXPECT_TRUE(cancelled.picks.empty());
    EXPECT_EQ(cvadmin::TakeBrowseError(), "");
}

TEST_F(HostCommandsTest, ABrowseTheScriptCannotAnswerIsAnError) {
    struct Case {
        const char* queued; // nothing queued when empty
        const char* errorPart;
    } cases[] = {
        {"", "no browse was queued"},
        {"browse Nowhere.Corp", "Nowhere.Corp"},
        {"browse NTDOM.Corp", "does not offer"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Run(c.queued), 0);
        Collected users{{"User"}, {}};
        EXPECT_EQ(Browse(users), -1) << c.queued;
        EXPECT_TRUE(users.picks.empty());
        std::string error = cvadmin::TakeBrowseError();
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << c.queued << ": " << error;
    }
}

} // namespace
