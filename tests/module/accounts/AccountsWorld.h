// What the NT accounts tests share: a directory user Mary in Corp, an NT domain whose default group is
// Admins, a workgroup system that holds an account, an NT domain that holds nothing yet, the host's browser
// answering with the picks a test queues, and the user's details opened as the host opens them.
#pragma once

#include "UserPagesWorld.h"

#include "host/services/HostServices.h"
#include "module/accounts/AccountIds.h"

#include <string>
#include <vector>

inline constexpr char kMary[] = "Mary.Corp";
inline constexpr char kMaryNtd[] = "Mary.NTD.Corp";
inline constexpr char kMaryWs[] = "Mary.WS1.Corp";
inline constexpr char kEmptyDomain[] = "Empty.Corp";
inline constexpr char kAccountsTitle[] = "NT Accounts";

class AccountsWorld : public UserPagesWorld {
protected:
    void SetUp() override {
        UserPagesWorld::SetUp();
        AddObject(kMary, kClassUser);
        AddObject(kEmptyDomain, kClassNtDomain);
        AddObject("Users.WS1.Corp", kClassNtGlobalGroup);
        {
            CDirContext dir;
            ASSERT_EQ(SetAttrValue(dir.Get(), kDomain, kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString,
                                   "Admins"),
                      1);
            ASSERT_EQ(SetAttrValue(dir.Get(), kWorkstation, kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString,
                                   "Users"),
                      1);
        }
        HostServices::Instance().SetBrowser([this](const BrowseQuery& query) {
            m_queries.push_back(query);
            BrowseAnswer answer;
            answer.picks = m_picks;
            return answer;
        });
    }

    // The objects the next browse picks, each with its class.
    void QueuePicks(std::vector<BrowsePick> picks) { m_picks = std::move(picks); }

    HWND OpenAccounts(const std::string& user) {
        OpenDetails(kClassUser, user);
        if (!m_sheet || !m_sheet->IsOpen()) {
            ADD_FAILURE() << "no sheet";
            return nullptr;
        }
        const int index = m_sheet->FindPage(kAccountsTitle);
        EXPECT_GE(index, 0);
        EXPECT_TRUE(m_sheet->SetCurrentPage(index));
        return m_sheet->Page(index);
    }

    // Clicks Add with the browser picking `picks`.
    void AddThrough(HWND page, std::vector<BrowsePick> picks) {
        QueuePicks(std::move(picks));
        ASSERT_EQ(Click(page, kIdcAccountAdd), UiActionError::None);
    }

    static std::vector<std::string> ServerList(const std::string& user) {
        return Values(user, kAttrApplicationServerList, kSyntaxDistinguishedName);
    }
    static bool Exists(const std::string& object) {
        CDirContext dir;
        char stored[kDirMaxNameBytes + 1] = {};
        DirObjectInfo info{};
        return DirReadObjectInfo(dir.Get(), object.c_str(), stored, &info) == kDirOk;
    }

    std::vector<BrowsePick> m_picks;
    std::vector<BrowseQuery> m_queries;
};

inline const BrowsePick kPickNtd{kClassNtDomain, kDomain};
inline const BrowsePick kPickWs{kClassNtWorkgroupSystem, kWorkstation};
inline const BrowsePick kPickEmpty{kClassNtDomain, kEmptyDomain};
