#include "module/handlers/NTUserRename.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/DirectoryMessages.h"
#include "module/directory/FullName.h"
#include "module/handlers/AccountOpsIds.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/window/Controls.h"

#include <cstring>
#include <string_view>

BEGIN_MESSAGE_MAP(CRenameNTUserDlg, CDialog)
ON_EN_CHANGE(kIdcRenameNewName, OnNameChange)
ON_BN_CLICKED(kIdcRenameHelp, OnHelpButton)
END_MESSAGE_MAP()

CRenameNTUserDlg::CRenameNTUserDlg(int32_t ctx, const char* objectName, CWnd* parent)
    : CDialog(kIddRenameNTUser, parent), m_newName(GetLeafName(objectName)), m_ctx(ctx),
      m_objectName(objectName) {}

void CRenameNTUserDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcRenameNewName, m_newName);
    DDX_Check(dx, kIdcRenameKeepOldName, m_keepOldName);
}

BOOL CRenameNTUserDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    LimitToNtName();
    // Nothing to rename until the person changes the name.
    if (CWnd* ok = GetDlgItem(IDOK)) {
        ok->EnableWindow(FALSE);
    }
    return TRUE;
}

void CRenameNTUserDlg::OnNameChange() {
    if (CWnd* ok = GetDlgItem(IDOK)) {
        ok->EnableWindow(TRUE);
    }
    LimitToNtName();
}

void CRenameNTUserDlg::LimitToNtName() {
    auto* edit = static_cast<CEdit*>(GetDlgItem(kIdcRenameNewName));
    if (edit == nullptr) {
        return;
    }
    CString text;
    static_cast<void>(GetDlgItemText(kIdcRenameNewName, text));
    // The edit counts every character it holds, the NT side not the backslashes that escape dots; a
    // backslash typed last may be the start of an escaped dot, so the dot that completes it still fits.
    const std::string_view typed = static_cast<const char*>(text);
    const int pendingEscape = !typed.empty() && typed.back() == '\\' ? 1 : 0;
    edit->LimitText(kMaxNtNameLength + EscapedDotCount(text) + pendingEscape);
}

void CRenameNTUserDlg::OnOK() {
    if (!UpdateData(TRUE)) {
        return;
    }
    // One leaf: a "." that is not escaped would name a container.
    const std::string_view typed = static_cast<const char*>(m_newName);
    if (!IsOneLeaf(m_newName)) {
        FormatMessageBox(kFmtRenameBadName, MB_OK, {typed});
        return;
    }
    // The edit's limit lets a backslash through that escapes no dot after all, and pasted text past it.
    if (NtNameLength(m_newName) > kMaxNtNameLength) {
        FormatMessageBox(kFmtRenameTooLong, MB_OK, {typed, static_cast<int64_t>(kMaxNtNameLength)});
        return;
    }
    const int32_t removeOld = m_keepOldName != 0 ? 0 : 1;
    const int32_t renamed = DirRenameObject(m_ctx, m_objectName, m_newName, removeOld);
    if (renamed != kDirOk) {
        FormatMessageBox(kFmtRenameFailed, MB_OK,
                         {static_cast<const char*>(m_objectName), typed, static_cast<int64_t>(renamed)});
        return;
    }
    EndDialog(IDOK);
}

void CRenameNTUserDlg::OnHelp() {
    if (CWinApp* app = AfxGetApp()) {
        app->WinHelp(kHelpRenameNTUser, HELP_CONTEXT);
    }
}

void CRenameNTUserDlg::OnHelpButton() {
    OnHelp();
}

long RenameNTUser(const char* name, char* outNewLeaf) {
    if (name == nullptr || *name == '\0' || outNewLeaf == nullptr) {
        return -1;
    }
    CDirContext context;
    if (!context.IsOpen()) {
        AfxMessageBox(kMsgNoContext);
        return -1;
    }
    CRenameNTUserDlg dialog(context.Get(), name);
    if (dialog.DoModal() != IDOK) {
        return -1;
    }
    // The host renames nothing itself once the buffer names the new leaf.
    const std::string_view newLeaf = static_cast<const char*>(dialog.m_newName);
    const size_t length = std::min(newLeaf.size(), kRenameBufferBytes - 1);
    std::memcpy(outNewLeaf, newLeaf.data(), length);
    outNewLeaf[length] = '\0';
    return 0;
}
