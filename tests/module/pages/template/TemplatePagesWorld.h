// What the template page tests share: a template in Corp, an NT domain that holds nothing yet, the host's
// browser answering with the picks a test queues, and the template's details opened as the host opens
// them with the page of a given title current.
#pragma once

#include "../users/UserPagesWorld.h"

#include "host/services/HostServices.h"
#include "module/pages/template/TemplateIds.h"

#include <string>
#include <vector>

inline constexpr char kTemplate[] = "Tmpl.Corp";
inline constexpr char kEmptyDomain[] = "Empty.Corp";
inline constexpr char kServersTitle[] = "NT Accounts";
inline constexpr char kDefaultsTitle[] = "NT Account Defaults";

class TemplatePagesWorld : public UserPagesWorld {
protected:
    void SetUp() override {
        UserPagesWorld::SetUp();
        AddObject(kTemplate, kClassTemplate);
        AddObject(kEmptyDomain, kClassNtDomain);
        HostServices::Instance().SetBrowser([this](const BrowseQuery& query) {
            m_queries.push_back(query);
            BrowseAnswer answer;
            answer.picks = m_picks;
            return answer;
        });
    }

    HWND OpenTemplatePage(const std::string& title) { return OpenPageOf(kClassTemplate, kTemplate, title); }

    // Clicks button `id` with the browser picking `picks`.
    void PickThrough(HWND page, int id, std::vector<BrowsePick> picks) {
        m_picks = std::move(picks);
        ASSERT_EQ(Click(page, id), UiActionError::None);
    }

    static void PutTemplate(const char* attr, uint32_t syntax, const std::string& value) {
        Put(kTemplate, attr, syntax, value);
    }
    static std::vector<std::string> TemplateValues(const char* attr, uint32_t syntax = kSyntaxCaseIgnoreString) {
        return Values(kTemplate, attr, syntax);
    }

    std::vector<BrowsePick> m_picks;
    std::vector<BrowseQuery> m_queries;
};

inline const BrowsePick kPickNtd{kClassNtDomain, kDomain};
inline const BrowsePick kPickWs{kClassNtWorkgroupSystem, kWorkstation};
inline const BrowsePick kPickEmpty{kClassNtDomain, kEmptyDomain};
