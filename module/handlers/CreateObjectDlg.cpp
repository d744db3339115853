#include "module/handlers/CreateObjectDlg.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/DirectoryMessages.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountOpsIds.h"
#include "module/handlers/CreateIds.h"
#include "module/handlers/GroupLinks.h"
#include "module/tools/ToolIds.h"
#include "module/tools/ToolNTIntegration.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"
#include "platform/winapi/WinApi.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kSnapInKey = "Software\\Corvane\\Parameters\\KelNTSnapIn";
constexpr size_t kHostNameBufferBytes = 514;

// Frees the add request on every path.
class AddRequestBuffer {
public:
    AddRequestBuffer() : m_code(DirAllocBuffer(kDirBufferSmall, &m_buffer)) {
        if (m_code != kDirOk) {
            m_buffer = nullptr;
        }
    }
    ~AddRequestBuffer() {
        if (m_buffer != nullptr) {
            static_cast<void>(DirFreeBuffer(m_buffer));
        }
    }
    AddRequestBuffer(const AddRequestBuffer&) = delete;
    AddRequestBuffer& operator=(const AddRequestBuffer&) = delete;

    [[nodiscard]] DirBuffer* Get() const { return m_buffer; }
    [[nodiscard]] int32_t Code() const { return m_code; }

private:
    DirBuffer* m_buffer = nullptr;
    int32_t m_code;
};

void StartUpload(const char* parent) {
    CToolNTIntegration* tool = CToolNTIntegration::Current();
    if (tool == nullptr) {
        AfxMessageBox(kIdsUploadNotSetUp, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    static_cast<void>(tool->Upload(parent));
}

} // namespace

BEGIN_MESSAGE_MAP(CCreateObjectDlg, CDialog)
ON_BN_CLICKED(kIdcCreateDefineMore, OnDefineMoreClicked)
ON_BN_CLICKED(kIdcCreateAnother, OnCreateAnotherClicked)
END_MESSAGE_MAP()

CCreateObjectDlg::CCreateObjectDlg(UINT templateId, const char* className, int nameId, int nameMaxChars,
                                   unsigned helpContext, CWnd* parent)
    : CDialog(templateId, parent), m_className(className), m_nameId(nameId), m_nameMaxChars(nameMaxChars),
      m_helpContext(helpContext) {}

CCreateObjectDlg::~CCreateObjectDlg() = default;

void CCreateObjectDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Check(dx, kIdcCreateDefineMore, m_defineMore);
    DDX_Check(dx, kIdcCreateAnother, m_createAnother);
    DDX_Text(dx, m_nameId, m_name);
    DDV_MaxChars(dx, m_name, m_nameMaxChars);
}

BOOL CCreateObjectDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // A remembered "create another" opens the dialog with that box set, so its partner starts disabled.
    ExcludeBoxes();
    EnableOkByName();
    return TRUE;
}

BOOL CCreateObjectDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    // The name edit's id differs from member to member, so its changes are caught here, not in the map.
    if (HIWORD(wParam) == EN_CHANGE && LOWORD(wParam) == m_nameId) {
        UpdateData(TRUE);
        EnableOkByName();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CCreateObjectDlg::EnableOkByName() {
    if (CWnd* ok = GetDlgItem(IDOK)) {
        ok->EnableWindow(m_name.IsEmpty() ? FALSE : TRUE);
    }
}

void CCreateObjectDlg::ExcludeBoxes() {
    if (CWnd* another = GetDlgItem(kIdcCreateAnother)) {
        another->EnableWindow(m_defineMore != 0 ? FALSE : TRUE);
    }
    if (CWnd* defineMore = GetDlgItem(kIdcCreateDefineMore)) {
        defineMore->EnableWindow(m_createAnother != 0 ? FALSE : TRUE);
    }
}

void CCreateObjectDlg::OnDefineMoreClicked() {
    UpdateData(TRUE);
    ExcludeBoxes();
}

void CCreateObjectDlg::OnCreateAnotherClicked() {
    UpdateData(TRUE);
    ExcludeBoxes();
}

void CCreateObjectDlg::OnOK() {
    if (!UpdateData(TRUE) || m_name.IsEmpty()) {
        return;
    }
    // A "." or a trailing backslash in the name would put the object somewhere else than the container the
    // administrator chose; the dialog stays for a corrected name.
    if (!IsOneLeaf(m_name)) {
        FormatMessageBox(kFmtCreateBadName, MB_OK | MB_ICONEXCLAMATION,
                         {static_cast<const char*>(m_name), static_cast<const char*>(m_parent)});
        return;
    }
    CDirContext context;
    if (!context.IsOpen()) {
        AfxMessageBox(kMsgNoContext);
        return;
    }
    const int32_t ctx = context.Get();
    AddRequestBuffer request;
    if (request.Get() == nullptr) {
        FormatMessageBox(kFmtBufferAllocFailed, MB_OK, {static_cast<int64_t>(request.Code())});
        return;
    }
    m_fullName = MakeFullName(m_name, m_parent);
    int32_t rc = DirInitBuffer(ctx, kDirOpAdd, request.Get());
    if (rc == kDirOk) {
        rc = DirPutAttrName(ctx, request.Get(), kAttrObjectClass);
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(ctx, request.Get(), kSyntaxClassName, m_className);
    }
    // The naming attribute: the pages of an account show it as its user name.
    if (rc == kDirOk) {
        rc = DirPutAttrName(ctx, request.Get(), kAttrCN);
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(ctx, request.Get(), kSyntaxCaseIgnoreString, static_cast<const char*>(m_name));
    }
    if (rc == kDirOk) {
        rc = PutAttributes(ctx, request.Get());
    }
    if (rc == kDirOk) {
        rc = DirAddObject(ctx, m_fullName, 0, 0, request.Get());
    }
    if (rc != kDirOk) {
        // The dialog stays, so the administrator can correct the name or cancel.
        FormatMessageBox(kFmtCreateFailed, MB_OK, {static_cast<int64_t>(rc)});
        return;
    }
    AfterAdd(ctx);
    EndDialog(IDOK);
}

void CCreateObjectDlg::OnHelp() {
    if (m_helpContext == 0) {
        AfxMessageBox(kMsgNoHelpSection);
        return;
    }
    if (CWinApp* app = AfxGetApp()) {
        app->WinHelp(m_helpContext, HELP_CONTEXT);
    }
}

CCreateDomainDlg::CCreateDomainDlg(CWnd* parent)
    : CCreateObjectDlg(kIddCreateDomain, kClassNtDomain, kIdcCreateSystemName, kMaxSystemNameChars, 0,
                       parent) {}

CCreateWSDlg::CCreateWSDlg(CWnd* parent)
    : CCreateObjectDlg(kIddCreateWS, kClassNtWorkgroupSystem, kIdcCreateSystemName, kMaxSystemNameChars, 0,
                       parent) {}

CCreateGlobalGroupDlg::CCreateGlobalGroupDlg(CWnd* parent)
    : CCreateObjectDlg(kIddCreateGlobalGroup, kClassNtGlobalGroup, kIdcCreateGlobalGroupName,
                       kMaxNtNameLength, kHelpCreateGlobalGroup, parent) {}

CCreateLocalGroupDlg::CCreateLocalGroupDlg(CWnd* parent)
    : CCreateObjectDlg(kIddCreateLocalGroup, kClassNtLocalGroup, kIdcCreateAccountName,
                       kMaxLocalGroupNameChars, kHelpCreateLocalGroup, parent) {}

bool CreationSwitchOn(const char* valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSnapInKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG status =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && value != 0;
}

namespace {

// Accounts and groups live directly in an NT domain or NT workgroup system, and an NT system never lives
// below another NT system or an NT account. A creation asked anywhere else (a script can name any
// container, or one that is not there) is refused before the dialog opens, instead of after everything was
// typed; the host says what it asked and that it was refused.
bool ParentCanHold(const char* parent, bool ntAccount) {
    CDirContext dir;
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    if (!dir.IsOpen() || DirReadObjectInfo(dir.Get(), parent, stored, &info) != kDirOk) {
        return false;
    }
    const bool ntSystem =
        SameDirName(info.baseClass, kClassNtDomain) || SameDirName(info.baseClass, kClassNtWorkgroupSystem);
    if (ntAccount) {
        return ntSystem;
    }
    for (const char* inside : {kClassNtUser, kClassHybridUser, kClassNtGlobalGroup, kClassNtLocalGroup}) {
        if (SameDirName(info.baseClass, inside)) {
            return false;
        }
    }
    return !ntSystem;
}

} // namespace

LONG RunCreation(CCreateObjectDlg& dialog, const char* parent, const char* offerUploadSwitch, char* outName) {
    if (parent == nullptr || outName == nullptr) {
        return -1;
    }
    // Only the creations of accounts and groups name a switch for an NT system not yet uploaded.
    if (!ParentCanHold(parent, /*ntAccount=*/offerUploadSwitch != nullptr)) {
        return -1;
    }
    dialog.SetParentContainer(parent);
    // An NT system without objects has not been uploaded from the NT side: accounts made now would
    // clash with the ones the upload brings, so the upload is offered first and creating anyway must be
    // switched on.
    if (offerUploadSwitch != nullptr) {
        uint32_t count = 0;
        if (CountSubordinates(parent, &count) == 1 && count == 0) {
            if (AfxMessageBox(kQstUploadEmptySystem, MB_YESNO | MB_ICONQUESTION) == IDYES) {
                StartUpload(parent);
                return -1;
            }
            if (!CreationSwitchOn(offerUploadSwitch)) {
                return -1;
            }
        }
    }
    if (dialog.DoModal() != IDOK) {
        return -1;
    }
    const std::string& fullName = dialog.FullName().Str();
    const size_t length = std::min(fullName.size(), kHostNameBufferBytes - 1);
    std::memcpy(outName, fullName.data(), length);
    outName[length] = '\0';
    if (dialog.m_createAnother != 0) {
        return 3;
    }
    return dialog.m_defineMore != 0 ? 2 : 0;
}
