#include "host/HostCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>

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

// Adds `count` distinct workstation names of about a kilobyte each to `object`, in one modify request.
int32_t AddLongDescriptions(const char* object, int first, int count) {
    int32_t ctx = DirCreateContext();
    DirBuffer* request = nullptr;
    int32_t code = DirAllocBuffer(1u << 20, &request);
    if (code == 0)
        code = DirInitBuffer(ctx, kDirOpModify, request);
    if (code == 0)
        code = DirPutChange(ctx, request, kDirChangeAddValue, "KEL:Enabled Workstation List");
    for (int i = first; code == 0 && i < first + count; ++i) {
        const std::string text = std::to_string(i) + std::string(1000, 'x');
        code = DirPutAttrValue(ctx, request, kDirSyntaxCaseIgnoreString, text.c_str());
    }
    if (code == 0)
        code = DirModifyObject(ctx, object, 0, 0, request);
    (void)DirFreeBuffer(request);
    (void)DirFreeContext(ctx);
    return code;
}

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST_F(HostCommandsTest, ACopyCarriesEveryValueButTheRights) {
    ASSERT_EQ(Run("dir set Mary.Corp Description first\n"
                  "dir set Mary.Corp 'KEL:Enabled Workstation List' WS1 WS2\n"
                  "dir set Mary.Corp 'KEL:KEL Public Key' 0x00ff10\n"
                  "dir set Mary.Corp 'Network Address' 1:10.1.2.3\n"
                  "dir set Mary.Corp 'KEL:Port Number' -5\n"
                  "dir set Mary.Corp 'KEL:Primary Group' NTDOM.Corp\n"
                  "dir set Mary.Corp Member Mary.Corp NTDOM.Corp\n"
                  "dir grant Mary.Corp Mary.Corp Description 2\n"
                  "copy Mary.Corp Mary2.Corp\n"),
              0)
        << m_err.str();
    m_out.str("");
    ASSERT_EQ(Run("dump Mary2.Corp"), 0) << m_err.str();
    EXPECT_EQ(SortedLines(m_out.str()), (std::vector<std::string>{
                                            "Mary2.Corp | Description | 3 | first",
                                            "Mary2.Corp | KEL:Enabled Workstation List | 3 | WS1",
                                            "Mary2.Corp | KEL:Enabled Workstation List | 3 | WS2",
                                            "Mary2.Corp | KEL:KEL Public Key | 9 | 0x00ff10",
                                            "Mary2.Corp | KEL:Port Number | 8 | -5",
                                            "Mary2.Corp | KEL:Primary Group | 1 | NTDOM.Corp",
                                            "Mary2.Corp | Member | 1 | Mary.Corp",
                                            "Mary2.Corp | Member | 1 | NTDOM.Corp",
                                            "Mary2.Corp | Network Address | 12 | 1:10.1.2.3",
                                            "Mary2.Corp | Object Class | 20 | User",
                                        }));
}

TEST_F(HostCommandsTest, ACopyOneRequestCannotCarryIsRefusedBeforeAnythingIsMade) {
    ASSERT_EQ(Run("dir add Big.Corp User"), 0);
    ASSERT_EQ(AddLongDescriptions("Big.Corp", 0, 500), 0);
    ASSERT_EQ(Run("copy Big.Corp Half.Corp"), 0) << "half a megabyte fits: " << m_err.str();
    m_out.str("");
    ASSERT_EQ(Run("dump Half.Corp 'KEL:Enabled Workstation List'"), 0) << m_err.str();
    EXPECT_EQ(SortedLines(m_out.str()).size(), 500u);

    ASSERT_EQ(AddLongDescriptions("Big.Corp", 500, 600), 0);
    EXPECT_EQ(Run("copy Big.Corp Big2.Corp"), 1);
    EXPECT_EQ(m_err.str(),
              "error | 1 | cannot copy Big.Corp to Big2.Corp: its values need more than the 1 MiB "
              "that one request can carry, so nothing was made\n");
    m_out.str("");
    ASSERT_EQ(Run("ls Corp"), 0) << m_err.str();
    EXPECT_EQ(m_out.str().find("Big2.Corp"), std::string::npos) << m_out.str();
}

} // namespace
