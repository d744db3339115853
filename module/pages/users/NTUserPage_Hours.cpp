#include "module/pages/users/NTUserPage_Hours.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "platform/ui/MessageBox.h"

#include <cstring>

namespace {

// A read the directory refused, as against a value that is not there: the grid would show every hour
// allowed, and a write would put that over hours the person was never shown.
bool ReadRefused(int32_t code) {
    return code == kDirErrNoRight || code == kDirErrIdentityGone;
}

void ShowControl(CWnd* page, int id, int command) {
    if (CWnd* control = page->GetDlgItem(id)) {
        control->ShowWindow(command);
    }
}

} // namespace

CNTUserPage_Hours::CNTUserPage_Hours()
    : CStayOpenPage(kIdsHoursTitle, kIddNtUserHours) {}

DLGPROC CNTUserPage_Hours::GetDialogProc() {
    return &SnapinPageDialogProc<CNTUserPage_Hours>;
}

void CNTUserPage_Hours::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kIdcHoursGrid, m_grid);
}

BOOL CNTUserPage_Hours::OnInitDialog() {
    m_modified = FALSE;
    m_storedTail.clear();
    CDialog::OnInitDialog();

    char context[kQueryContextBufferSize] = {};
    if (HostQueryContext(0, context) != 0) {
        return TRUE;
    }
    const CString objectName = GetCurrentObjectName();
    CDirContext dir;
    if (!dir.IsOpen()) {
        return TRUE;
    }
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo container{};
    if (DirReadObjectInfo(dir.Get(), GetContainerName(objectName), stored, &container) != kDirOk) {
        return TRUE;
    }
    if (std::strcmp(container.baseClass, kClassNtWorkgroupSystem) == 0) {
        // A workgroup system keeps its accounts' logon hours itself; the page has nothing to offer.
        ShowControl(this, kIdcHoursWorkgroup, SW_SHOW);
        return TRUE;
    }

    ShowControl(this, kIdcHoursWorkgroup, SW_HIDE);
    m_grid.Initialise();
    bool readable = true;
    if (DirValuePtr value = ReadAttrValueOwned(dir.Get(), objectName, kAttrLogonHours, kSyntaxOctetString)) {
        const auto* hours = static_cast<const DirOctetString*>(value.get());
        m_grid.SetStoredBytes(hours->data, hours->length);
        if (hours->length > kLogonHoursBytes) {
            m_storedTail.assign(hours->data + kLogonHoursBytes, hours->data + hours->length);
        }
    } else {
        readable = !ReadRefused(GetLastAttrError());
    }

    // "Login Allowed Time Map" is the directory's own attribute for these hours: its Write right is what
    // lets an administrator change them, though the page never reads or writes it.
    char identity[kDirMaxNameBytes + 1] = {};
    uint32_t rights = 0;
    if (DirWhoAmI(dir.Get(), identity) != kDirOk ||
        DirGetEffectiveRights(dir.Get(), identity, objectName, kAttrLoginAllowedTimeMap, &rights) != kDirOk) {
        return TRUE;
    }
    if ((rights & kRightWrite) != 0 && readable) {
        m_grid.EnableWindow(TRUE);
    }
    for (int id = kIdcHoursGrid; id <= kIdcHoursLastLabel; ++id) {
        ShowControl(this, id, SW_SHOW);
    }
    return TRUE;
}

void CNTUserPage_Hours::OnLButtonUp(UINT /*flags*/, CPoint /*point*/) {
    if (m_grid.GetSafeHwnd() == nullptr || !m_grid.IsWindowEnabled()) {
        return;
    }
    m_modified = TRUE;
    SendMessage(kMsgPageChanged, reinterpret_cast<WPARAM>(m_hWnd), 1 << 16);
}

LONG CNTUserPage_Hours::WriteChanges(const char* /*objectName*/) {
    // A page without a window belongs to no open sheet: its grid holds an earlier object's hours.
    if (!m_modified || m_hWnd == nullptr) {
        return 0;
    }
    char context[kQueryContextBufferSize] = {};
    static_cast<void>(HostQueryContext(0, context));
    const CString objectName = GetCurrentObjectName();
    CDirContext dir;
    int32_t code = dir.Get();
    if (dir.IsOpen()) {
        const LogonHoursBytes grid = m_grid.GetStoredBytes();
        std::vector<uint8_t> bytes(grid.begin(), grid.end());
        bytes.insert(bytes.end(), m_storedTail.begin(), m_storedTail.end());
        DirOctetString value{static_cast<uint32_t>(bytes.size()), bytes.data()};
        if (SetAttrValue(dir.Get(), objectName, kAttrLogonHours, kSyntaxOctetString, &value) == 1) {
            // The page serves the next sheet too: a flag left set would write these hours onto the next
            // object at its apply, whether or not anyone painted them there.
            m_modified = FALSE;
            return 0;
        }
        code = GetLastAttrError();
    }
    FormatMessageBox(kFmtHoursNotStored, MB_OK | MB_ICONEXCLAMATION,
                     {static_cast<const char*>(objectName), static_cast<int64_t>(code)});
    return kHoursNotStored;
}
