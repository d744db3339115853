#include "module/pages/domain/DomainPage_Agent.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/pages/domain/SystemPageColours.h"

#include <string>

namespace {

struct FieldAttr {
    const char* name;
    uint32_t syntax;
};

// Indexed by CAgentPage::Field.
const FieldAttr kAttrs[] = {
    {kAttrDiscoverNetworkAddress, kSyntaxBoolean},   {kAttrNetworkAddress, kSyntaxNetAddress},
    {kAttrConnectionRetryInterval, kSyntaxInteger},  {kAttrConnectionTimeout, kSyntaxInteger},
    {kAttrNotificationDelay, kSyntaxInterval},       {kAttrPingRetryDelay, kSyntaxInterval},
    {kAttrMaximumPingRetries, kSyntaxInteger},       {kAttrPortNumber, kSyntaxInteger},
    {kAttrMaxFileTransferSize, kSyntaxInteger},      {kAttrServerUpdateEnabled, kSyntaxBoolean},
};

} // namespace

CAgentPage::CAgentPage(const AgentLayout& layout)
    : CStayOpenPage(kIdsAgentTitle, layout.templateId), m_layout(layout) {}

void CAgentPage::DoDataExchange(CDataExchange* dx) {
    auto number = [&](Field field, int id, int& member) {
        if (!m_refused[field]) DDX_Text(dx, id, member);
    };
    number(kRetryInterval, m_layout.retryInterval, m_retryInterval);
    number(kTimeout, m_layout.timeout, m_timeout);
    number(kNotificationDelay, m_layout.notificationDelay, m_notificationDelay);
    number(kPingDelay, m_layout.pingDelay, m_pingDelay);
    number(kPort, m_layout.port, m_port);
    if (!m_refused[kAddress]) {
        DDX_Text(dx, m_layout.addressText, m_addressText);
        DDX_Text(dx, m_layout.addressType, m_addressType);
    }
    number(kPingRetries, m_layout.pingRetries, m_pingRetries);
    number(kMaxTransfer, m_layout.maxTransfer, m_maxTransfer);
    if (!m_refused[kServerUpdate]) DDX_Check(dx, m_layout.serverUpdate, m_serverUpdate);
    if (!m_refused[kDiscover]) DDX_Check(dx, m_layout.discover, m_discover);
}

void CAgentPage::ForgetLoaded() {
    m_modified = FALSE;
    m_retryInterval = m_timeout = m_notificationDelay = m_pingDelay = m_port = 0;
    m_addressType = m_pingRetries = m_maxTransfer = m_serverUpdate = m_discover = 0;
    m_addressText.Empty();
    m_refused.fill(false);
    m_writable.fill(false);
    m_addressChanged = false;
}

void CAgentPage::Enable(int id, bool enable) {
    if (CWnd* control = GetDlgItem(id)) {
        control->EnableWindow(enable ? TRUE : FALSE);
    }
}

bool CAgentPage::Enabled(int id) const {
    const CWnd* control = GetDlgItem(id);
    return control != nullptr && control->IsWindowEnabled();
}

void CAgentPage::Load(int32_t ctx, const char* object, const char* identity, Field field) {
    const FieldAttr& attr = kAttrs[field];
    DirValuePtr value = ReadAttrValueOwned(ctx, object, attr.name, attr.syntax);
    if (value == nullptr) {
        const int32_t code = GetLastAttrError();
        m_refused[field] = code == kDirErrNoRight || code == kDirErrIdentityGone;
    }
    m_writable[field] = !m_refused[field] && CanWriteAttribute(ctx, identity, object, attr.name) == 1;
    if (value == nullptr) {
        return;
    }
    if (field == kAddress) {
        const auto* address = static_cast<const DirNetAddress*>(value.get());
        m_addressType = static_cast<int>(address->type);
        // One character an octet, undecoded.
        m_addressText = std::string(reinterpret_cast<const char*>(address->address), address->length).c_str();
        return;
    }
    const uint32_t bits = *static_cast<const uint32_t*>(value.get());
    switch (field) {
    case kDiscover: m_discover = (bits & 0xFF) == 1 ? 1 : 0; break;
    case kServerUpdate: m_serverUpdate = (bits & 0xFF) == 1 ? 1 : 0; break;
    case kRetryInterval: m_retryInterval = static_cast<int>(bits); break;
    case kTimeout: m_timeout = static_cast<int>(bits); break;
    case kNotificationDelay: m_notificationDelay = static_cast<int>(bits); break;
    case kPingDelay: m_pingDelay = static_cast<int>(bits); break;
    case kPingRetries: m_pingRetries = static_cast<int>(bits); break;
    case kPort: m_port = static_cast<int>(bits); break;
    case kMaxTransfer: m_maxTransfer = static_cast<int>(bits); break;
    case kAddress:
    case kFieldCount: break;
    }
}

void CAgentPage::FollowDiscoverSwitch(bool discover) {
    // The rights still count: a field the identity may not write is not offered for typing.
    Enable(m_layout.port, m_writable[kPort] && !discover);
    Enable(m_layout.addressText, m_writable[kAddress] && !discover);
}

BOOL CAgentPage::OnInitDialog() {
    ForgetLoaded();
    CDialog::OnInitDialog();
    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) != 0) {
        return TRUE;
    }
    const CString object = GetCurrentObjectName();
    CDirContext dir;
    char identity[kDirMaxNameBytes + 1] = {};
    if (!dir.IsOpen() || DirWhoAmI(dir.Get(), identity) != kDirOk) {
        identity[0] = '\0';
    }
    for (int f = 0; f < kFieldCount; ++f) {
        Load(dir.Get(), object, identity, static_cast<Field>(f));
    }
    Enable(m_layout.discover, m_writable[kDiscover]);
    Enable(m_layout.addressType, m_writable[kAddress]);
    Enable(m_layout.retryInterval, m_writable[kRetryInterval]);
    Enable(m_layout.timeout, m_writable[kTimeout]);
    Enable(m_layout.notificationDelay, m_writable[kNotificationDelay]);
    Enable(m_layout.pingDelay, m_writable[kPingDelay]);
    Enable(m_layout.pingRetries, m_writable[kPingRetries]);
    Enable(m_layout.maxTransfer, m_writable[kMaxTransfer]);
    Enable(m_layout.serverUpdate, m_writable[kServerUpdate]);
    FollowDiscoverSwitch(m_discover == 1);
    UpdateData(FALSE);
    return TRUE;
}

void CAgentPage::OnFieldChange() {
    m_modified = TRUE;
    SendMessage(kMsgPageChanged, reinterpret_cast<WPARAM>(m_hWnd), 1 << 16);
    // Only the switch is consulted: taking every value out here would refuse a field the administrator is
    // still typing into.
    FollowDiscoverSwitch(IsDlgButtonChecked(m_layout.discover) == BST_CHECKED);
}

void CAgentPage::OnAddressChange() {
    m_addressChanged = true;
    OnFieldChange();
}

BOOL CAgentPage::Validate() {
    if (!m_modified || m_hWnd == nullptr) {
        return TRUE;
    }
    return UpdateData(TRUE);
}

LONG CAgentPage::WriteChanges(const char* objectName) {
    if (!m_modified || m_hWnd == nullptr) {
        return 0;
    }
    static_cast<void>(UpdateData(TRUE));
    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) == 0) {
        CDirContext dir;
        const CString current = GetCurrentObjectName();
        const char* object = current.IsEmpty() ? objectName : static_cast<const char*>(current);
        if (m_addressChanged && !m_refused[kAddress] && Enabled(m_layout.addressType)) {
            DirNetAddress address{static_cast<uint32_t>(m_addressType),
                                  static_cast<uint32_t>(m_addressText.GetLength()),
                                  reinterpret_cast<uint8_t*>(const_cast<char*>(static_cast<const char*>(
                                      m_addressText)))};
            static_cast<void>(SetAttrValue(dir.Get(), object, kAttrNetworkAddress, kSyntaxNetAddress, &address));
        }
        auto store = [&](Field field, int id, uint32_t bits) {
            if (!m_refused[field] && Enabled(id)) {
                static_cast<void>(SetAttrValue(dir.Get(), object, kAttrs[field].name, kAttrs[field].syntax, &bits));
            }
        };
        auto word = [](int value) { return static_cast<uint32_t>(value); };
        store(kRetryInterval, m_layout.retryInterval, word(m_retryInterval));
        store(kTimeout, m_layout.timeout, word(m_timeout));
        store(kNotificationDelay, m_layout.notificationDelay, word(m_notificationDelay));
        store(kPingDelay, m_layout.pingDelay, word(m_pingDelay));
        store(kPingRetries, m_layout.pingRetries, word(m_pingRetries));
        store(kPort, m_layout.port, word(m_port));
        store(kMaxTransfer, m_layout.maxTransfer, word(m_maxTransfer));
        store(kServerUpdate, m_layout.serverUpdate, m_serverUpdate == 1 ? 1u : 0u);
        store(kDiscover, m_layout.discover, m_discover == 1 ? 1u : 0u);
        m_addressChanged = false;
    }
    m_modified = FALSE;
    return 0;
}

namespace {
constexpr AgentLayout kDomainLayout{kIddDomainAgent, kHelpDomainAgent, 1038, 1039, 1040, 1037, 1036, 1041,
                                    1042, 1129, 1172, 1212, 1010};
constexpr AgentLayout kWsLayout{kIddWsAgent, kHelpWsAgent, 1053, 1054, 1055, 1052, 1051, 1112,
                                1050, 1056, 1171, 1009, 1219};
} // namespace

BEGIN_MESSAGE_MAP(CDomainPage_Agent, CAgentPage)
ON_EN_CHANGE(1038, OnFieldChange)
ON_EN_CHANGE(1039, OnFieldChange)
ON_EN_CHANGE(1040, OnFieldChange)
ON_EN_CHANGE(1037, OnFieldChange)
ON_EN_CHANGE(1036, OnFieldChange)
ON_EN_CHANGE(1041, OnAddressChange)
ON_EN_CHANGE(1042, OnAddressChange)
ON_EN_CHANGE(1129, OnFieldChange)
ON_EN_CHANGE(1172, OnFieldChange)
ON_BN_CLICKED(1212, OnFieldChange)
ON_BN_CLICKED(1010, OnFieldChange)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CDomainPage_Agent::CDomainPage_Agent() : CAgentPage(kDomainLayout) {}

DLGPROC CDomainPage_Agent::GetDialogProc() {
    return &SnapinPageDialogProc<CDomainPage_Agent>;
}

HBRUSH CDomainPage_Agent::OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) {
    return LegibleDisabledColours(CAgentPage::OnCtlColor(dc, control, ctlColor), dc, control, ctlColor);
}

BEGIN_MESSAGE_MAP(CWSPage_Agent, CAgentPage)
ON_EN_CHANGE(1053, OnFieldChange)
ON_EN_CHANGE(1054, OnFieldChange)
ON_EN_CHANGE(1055, OnFieldChange)
ON_EN_CHANGE(1052, OnFieldChange)
ON_EN_CHANGE(1051, OnFieldChange)
ON_EN_CHANGE(1112, OnAddressChange)
ON_EN_CHANGE(1050, OnAddressChange)
ON_EN_CHANGE(1056, OnFieldChange)
ON_EN_CHANGE(1171, OnFieldChange)
ON_BN_CLICKED(1009, OnFieldChange)
ON_BN_CLICKED(1219, OnFieldChange)
END_MESSAGE_MAP()

CWSPage_Agent::CWSPage_Agent() : CAgentPage(kWsLayout) {}

DLGPROC CWSPage_Agent::GetDialogProc() {
    return &SnapinPageDialogProc<CWSPage_Agent>;
}
