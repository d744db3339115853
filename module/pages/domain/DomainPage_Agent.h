// The agent connection pages of an NT domain and an NT workgroup system: how the NT side's agent is reached
// (network address, port, or an address it discovers itself) and how it behaves. Every number is shown and
// stored as it is.
#pragma once

#include "module/pages/StayOpenPage.h"

#include <array>

constexpr UINT kIdsAgentTitle = 57384;
constexpr UINT kIddDomainAgent = 114;
constexpr UINT kIddWsAgent = 118;
constexpr UINT kHelpDomainAgent = 15;
constexpr UINT kHelpWsAgent = 19;

struct AgentLayout {
    UINT templateId;
    UINT helpContext;
    int retryInterval, timeout, notificationDelay, pingDelay, port, addressText, addressType, pingRetries,
        maxTransfer, serverUpdate, discover;
};

class CAgentPage : public CStayOpenPage {
public:
    BOOL OnInitDialog() override;
    // Takes the values out of the controls; a field that is no number is refused there.
    BOOL Validate() override;
    BOOL Help() override { return ShowHelp(m_layout.helpContext); }
    // Writes the enabled fields to the current object when the page was changed; answers 0.
    LONG WriteChanges(const char* objectName);

protected:
    explicit CAgentPage(const AgentLayout& layout);
    void DoDataExchange(CDataExchange* dx) override;
    void OnFieldChange();
    void OnAddressChange();

    // The fields in load order; the address type and text are one attribute.
    enum Field { kDiscover, kAddress, kRetryInterval, kTimeout, kNotificationDelay, kPingDelay, kPingRetries,
                 kPort, kMaxTransfer, kServerUpdate, kFieldCount };

    const AgentLayout m_layout;
    BOOL m_modified = FALSE;
    int m_retryInterval = 0;
    int m_timeout = 0;
    int m_notificationDelay = 0;
    int m_pingDelay = 0;
    int m_port = 0;
    CString m_addressText;
    int m_addressType = 0;
    int m_pingRetries = 0;
    int m_maxTransfer = 0;
    int m_serverUpdate = 0;
    int m_discover = 0;

private:
    void ForgetLoaded();
    void Load(int32_t ctx, const char* object, const char* identity, Field field);
    void Enable(int id, bool enable);
    bool Enabled(int id) const;
    // The port and the address text follow the discover switch: an agent that discovers its address needs
    // neither.
    void FollowDiscoverSwitch(bool discover);

    // A field whose read the directory refused shows nothing and is never exchanged or written.
    std::array<bool, kFieldCount> m_refused{};
    std::array<bool, kFieldCount> m_writable{};
    // Another writer may store an address the page cannot show as text; it is written back only when the
    // administrator changed its type or text.
    bool m_addressChanged = false;
};

class CDomainPage_Agent : public CAgentPage {
public:
    CDomainPage_Agent();
    DLGPROC GetDialogProc() override;

protected:
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) override;
    DECLARE_MESSAGE_MAP()
};

class CWSPage_Agent : public CAgentPage {
public:
    CWSPage_Agent();
    DLGPROC GetDialogProc() override;

protected:
    DECLARE_MESSAGE_MAP()
};
