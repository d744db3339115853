#include "module/password/ChgPswdWizard.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "module/password/SealPassword.h"
#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirErrors.h"
#include "platform/locale/Locale.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/window/Dc.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/WinApi.h"

#include <cstring>
#include <string>

namespace {

// Wipes a secret even where the compiler sees no later read of it.
void WipeBytes(void* data, size_t length) {
    volatile auto* bytes = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = 0;
    }
}

void Wipe(CString& secret) {
    if (const int length = secret.GetLength(); length > 0) {
        WipeBytes(secret.GetBuffer(length), static_cast<size_t>(length));
    }
    secret.Empty();
}

// Characters as the person typed them (UTF-8), not bytes: the minimum length counts characters.
size_t CharacterCount(const char* text) {
    size_t count = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

CString LoadText(UINT id) {
    CString text;
    static_cast<void>(text.LoadString(id));
    return text;
}

void ShowHelp() {
    if (CWinApp* app = AfxGetApp(); app != nullptr) {
        app->WinHelp(kHelpChgPswd);
    }
}

constexpr char kSuccess[] = "Success";
constexpr char kFailure[] = "Failure";

} // namespace

CString ChgPswdSystemOf(const char* accountFullName) {
    if (accountFullName == nullptr) {
        return {};
    }
    const std::string_view name(accountFullName);
    const size_t dot = FindLeafEnd(name);
    if (dot == std::string_view::npos) {
        return CString(name);
    }
    return CString(name.substr(dot + 1));
}

// ---- the sheet -------------------------------------------------------------------------------------------

CChgPswdWizard::CChgPswdWizard(const char* userName, std::vector<CString> accounts)
    : CPropertySheet(kIdsChgPswdCaption), m_accounts(std::move(accounts)), m_userName(userName),
      m_page1(this), m_page2(this), m_page3(this) {
    AddPage(&m_page1);
    AddPage(&m_page2);
    AddPage(&m_page3);
    SetWizardMode();
}

CChgPswdWizard::~CChgPswdWizard() {
    WipeConverted();
}

void CChgPswdWizard::WipeConverted() {
    WipeBytes(m_converted.data(), m_converted.size());
}

INT_PTR RunChgPswdWizard(const char* userFullName, std::vector<CString> accounts,
                         std::vector<CString>* stored) {
    {
        CDirContext dir;
        if (!dir.IsOpen()) {
            AfxMessageBox(kMsgChgPswdNotLaunched, MB_OK | MB_ICONEXCLAMATION);
            return -1;
        }
        // A list the directory refused to show is not an empty one: the user may hold accounts that would
        // keep the old password while the directory password changed.
        CStringArray names;
        if (ReadAttrValues(dir.Get(), userFullName, kAttrApplicationServerList, kSyntaxDistinguishedName,
                           &names) != 1 &&
            GetLastAttrError() != kDirErrNoSuchAttribute) {
            FormatMessageBox(kFmtChgPswdAccountsUnreadable, MB_OK | MB_ICONEXCLAMATION, {userFullName});
            return -1;
        }
    }
    CChgPswdWizard wizard(userFullName, std::move(accounts));
    const INT_PTR result = wizard.DoModal();
    if (stored != nullptr) {
        *stored = wizard.Stored();
    }
    return result;
}

// ---- page 1: the new password ----------------------------------------------------------------------------

CChgPswdWizardPage1::CChgPswdWizardPage1(CChgPswdWizard* wizard)
    : CPropertyPage(kIddChgPswdPage1), m_wizard(wizard) {}

CChgPswdWizardPage1::~CChgPswdWizardPage1() {
    WipeTyped();
}

void CChgPswdWizardPage1::WipeTyped() {
    Wipe(m_confirmation);
    Wipe(m_newPassword);
    Wipe(m_oldPassword);
}

void CChgPswdWizardPage1::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcChgPswdConfirm, m_confirmation);
    DDX_Text(dx, kIdcChgPswdNew, m_newPassword);
    DDX_Text(dx, kIdcChgPswdOld, m_oldPassword);
}

BOOL CChgPswdWizardPage1::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_required = 1;
    m_minimumLength = -1;
    CDirContext dir;
    if (!dir.IsOpen()) {
        AfxMessageBox(kMsgChgPswdNoConnection, MB_OK | MB_ICONEXCLAMATION);
        GetSheet()->EndDialog(0);
        return TRUE;
    }
    const char* user = m_wizard->UserName();
    // Only a value read decides: a user who may not read its own flag still changes its password with the
    // old one, which the directory asks of anyone changing their own.
    if (DirValuePtr required = ReadAttrValueOwned(dir.Get(), user, kAttrPasswordRequired, kSyntaxBoolean)) {
        m_required = *static_cast<const uint32_t*>(required.get()) != 0 ? 1 : 0;
        m_minimumLength = 0;
    }
    if (m_required != 0 && IsCurrentIdentity(dir.Get(), user) == 1) {
        GetDlgItem(kIdcChgPswdOldLabel)->EnableWindow(TRUE);
        GetDlgItem(kIdcChgPswdOld)->EnableWindow(TRUE);
        static_cast<CEdit*>(GetDlgItem(kIdcChgPswdOld))->LimitText(kChgPswdOldLimit);
    }
    // The password must suit every NT system that takes it: the largest of their minimums applies.
    for (const CString& account : m_wizard->Accounts()) {
        const CString system = ChgPswdSystemOf(account);
        DirValuePtr value = ReadAttrValueOwned(dir.Get(), system, kAttrPasswordMinimumLength, kSyntaxInteger);
        if (!value) {
            continue;
        }
        const auto low = static_cast<int8_t>(*static_cast<const uint32_t*>(value.get()) & 0xFF);
        if (low != 0 && low > m_minimumLength) {
            m_minimumLength = low;
        }
    }
    static_cast<CEdit*>(GetDlgItem(kIdcChgPswdNew))->LimitText(kChgPswdNewLimit);
    static_cast<CEdit*>(GetDlgItem(kIdcChgPswdConfirm))->LimitText(kChgPswdNewLimit);
    return TRUE;
}

BOOL CChgPswdWizardPage1::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

HBRUSH CChgPswdWizardPage1::OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) {
    if ((ctlColor == CTLCOLOR_MSGBOX || ctlColor == CTLCOLOR_EDIT) && control != nullptr &&
        !control->IsWindowEnabled()) {
        return static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    }
    return CPropertyPage::OnCtlColor(dc, control, ctlColor);
}

LRESULT CChgPswdWizardPage1::Refuse(UINT message, int focusId) {
    AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
    auto* edit = static_cast<CEdit*>(GetDlgItem(focusId));
    edit->SetSel(0, -1);
    GotoDlgCtrl(edit);
    return -1;
}

LRESULT CChgPswdWizardPage1::OnWizardNext() {
    CDirContext dir;
    if (!dir.IsOpen()) {
        AfxMessageBox(kMsgChgPswdNoConnection, MB_OK | MB_ICONEXCLAMATION);
        GetSheet()->EndDialog(IDCANCEL);
        return -1;
    }
    UpdateData(TRUE);
    const bool oldWanted = GetDlgItem(kIdcChgPswdOldLabel)->IsWindowEnabled() != FALSE;
    if (m_newPassword.IsEmpty()) {
        return Refuse(kMsgChgPswdNewMissing, kIdcChgPswdNew);
    }
    if (m_confirmation.IsEmpty()) {
        return Refuse(kMsgChgPswdConfirmMissing, kIdcChgPswdConfirm);
    }
    if (std::strcmp(m_confirmation, m_newPassword) != 0) {
        return Refuse(kMsgChgPswdMismatch, kIdcChgPswdNew);
    }
    if (m_minimumLength > 0 && CharacterCount(m_newPassword) < static_cast<size_t>(m_minimumLength)) {
        return Refuse(kMsgChgPswdTooShort, kIdcChgPswdNew);
    }
    if (oldWanted && m_oldPassword.IsEmpty()) {
        return Refuse(kMsgChgPswdOldMissing, kIdcChgPswdOld);
    }
    // Converted before the directory password changes: a password the NT systems cannot take must leave
    // the user's directory password as it was, or the two would part.
    m_wizard->WipeConverted();
    uintptr_t conversion = 0;
    if (LocGetConversionHandle(&conversion) != LOC_OK) {
        AfxMessageBox(kMsgChgPswdNoConversion, MB_OK | MB_ICONEXCLAMATION);
        return -1;
    }
    uint32_t convertedLength = 0;
    if (LocConvertString(conversion, m_wizard->m_converted.data(), kChgPswdConvertedSize, m_newPassword, 0,
                         &convertedLength) != LOC_OK) {
        m_wizard->WipeConverted();
        return Refuse(kMsgChgPswdNotConverted, kIdcChgPswdNew);
    }
    const char* user = m_wizard->UserName();
    const int32_t code = oldWanted ? DirPasswordCallA(dir.Get(), 0, user, m_oldPassword, m_newPassword)
                                   : DirPasswordCallB(dir.Get(), user, m_newPassword, 0);
    if (code != 0) {
        m_wizard->WipeConverted();
        if (code == kDirErrPasswordRepeated) {
            AfxMessageBox(kMsgChgPswdRepeated, MB_OK | MB_ICONEXCLAMATION);
        } else if (code == kDirErrPasswordTooShort) {
            AfxMessageBox(kMsgChgPswdDirTooShort, MB_OK | MB_ICONEXCLAMATION);
        } else {
            FormatMessageBox(kFmtChgPswdDirFailed, MB_OK | MB_ICONEXCLAMATION, {static_cast<int64_t>(code)});
        }
        GotoDlgCtrl(GetDlgItem(kIdcChgPswdNew));
        return -1;
    }
    WipeTyped();
    return 0;
}

void CChgPswdWizardPage1::OnHelp() {
    ShowHelp();
}

// ---- page 2: the accounts ---------------------------------------------------------------------------------

CChgPswdWizardPage2::CChgPswdWizardPage2(CChgPswdWizard* wizard)
    : CPropertyPage(kIddChgPswdPage2), m_wizard(wizard) {}

BOOL CChgPswdWizardPage2::OnSetActive() {
    const BOOL shown = CPropertyPage::OnSetActive();
    CPropertySheet* sheet = GetSheet();
    sheet->SetWizardButtons(0);
    ::ShowWindow(::GetDlgItem(sheet->GetSafeHwnd(), IDCANCEL), SW_HIDE);
    if (!m_ran) {
        m_ran = true;
        ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(kIdcChgPswdRun, 0), 0);
    }
    return shown;
}

BOOL CChgPswdWizardPage2::OnQueryCancel() {
    MessageBeep(MB_OK);
    return FALSE;
}

void CChgPswdWizardPage2::OnHelp() {
    ShowHelp();
}

BOOL CChgPswdWizardPage2::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kIdcChgPswdRun && HIWORD(wParam) == 0) {
        Run();
        return TRUE;
    }
    return CPropertyPage::OnCommand(wParam, lParam);
}

void CChgPswdWizardPage2::Lines(LPCSTR account, LPCSTR step) {
    if (account != nullptr) {
        m_accountLine = account;
        SetDlgItemText(kIdcChgPswdAccountLine, m_accountLine);
    }
    if (step != nullptr) {
        m_stepLine = step;
        SetDlgItemText(kIdcChgPswdStepLine, m_stepLine);
    }
}

void CChgPswdWizardPage2::Advance(int steps) {
    m_progress.OffsetPos(steps);
}

void CChgPswdWizardPage2::Run() {
    auto dir = std::make_unique<CDirContext>();
    if (!dir->IsOpen()) {
        AfxMessageBox(kMsgChgPswdNoConnection, MB_OK | MB_ICONEXCLAMATION);
        GetSheet()->EndDialog(IDCANCEL);
        return;
    }
    if (m_progress.m_hWnd == nullptr) {
        m_progress.Attach(::GetDlgItem(m_hWnd, kIdcChgPswdProgress));
    }
    const auto count = static_cast<int>(m_wizard->Accounts().size());
    m_progress.SetRange32(1, kChgPswdStepsPerAccount * count + 1);
    m_progress.SetPos(0);
    Lines(LoadText(kIdsChgPswdStarting), nullptr);
    Advance(1);
    for (const CString& account : m_wizard->Accounts()) {
        int steps = 0;
        const bool stored = ProcessAccount(dir->Get(), account, &steps);
        // Whatever befell the account, it takes its full share of the bar.
        Advance(kChgPswdStepsPerAccount - steps);
        m_wizard->m_results.back()->m_success = stored ? 1 : 0;
        if (stored) {
            m_wizard->m_stored.push_back(account);
        }
    }
    dir.reset();
    m_wizard->WipeConverted();
    GetSheet()->SetWizardButtons(PSWIZB_NEXT);
    Lines(LoadText(kIdsChgPswdDone), "");
}

bool CChgPswdWizardPage2::ProcessAccount(int32_t ctx, const CString& account, int* stepsTaken) {
    auto step = [this, stepsTaken] {
        Advance(1);
        ++*stepsTaken;
    };
    Lines(LoadText(kIdsChgPswdNextAccount), "");
    step();
    const CString system = ChgPswdSystemOf(account);
    m_wizard->m_results.push_back(std::make_unique<CChgPswdResult>(0, system));
    Lines(nullptr, LoadText(kIdsChgPswdReadingKey));
    step();
    DirValuePtr key = ReadAttrValueOwned(ctx, system, kAttrKelPublicKey, kSyntaxOctetString);
    if (!key) {
        return false;
    }
    Lines(account, LoadText(kIdsChgPswdPreparing));
    step();
    Lines(nullptr, LoadText(kIdsChgPswdSealing));
    step();
    std::array<uint8_t, kSealedValueSize> sealed{};
    const auto* blob = static_cast<const DirOctetString*>(key.get());
    if (SealPassword(blob->data, blob->length, sealed.data(), kSealedValueSize, m_wizard->m_converted.data()) !=
        0) {
        return false;
    }
    Lines(nullptr, LoadText(kIdsChgPswdStoring));
    step();
    DirOctetString value{kSealedValueSize, sealed.data()};
    const bool stored = SetAttrValue(ctx, account, kAttrAuthentication, kSyntaxOctetString, &value) == 1;
    if (stored) {
        Lines(nullptr, LoadText(kIdsChgPswdStored));
    }
    step();
    return stored;
}

// ---- page 3: the outcome ---------------------------------------------------------------------------------

CChgPswdWizardPage3::CChgPswdWizardPage3(CChgPswdWizard* wizard)
    : CPropertyPage(kIddChgPswdPage3), m_wizard(wizard) {}

BOOL CChgPswdWizardPage3::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    if (m_list.m_hWnd == nullptr) {
        m_list.Attach(::GetDlgItem(m_hWnd, kIdcChgPswdResults));
    }
    RECT client{};
    m_list.GetClientRect(&client);
    const int width = client.right - client.left;
    const int widths[] = {width / 3, 2 * (width / 3) - GetSystemMetrics(SM_CXVSCROLL) - 1};
    const char* headings[] = {"Result", "NT System"};
    for (int column = 0; column < 2; ++column) {
        if (m_list.InsertColumn(column, headings[column], LVCFMT_LEFT, widths[column]) == -1) {
            FormatMessageBox(kFmtChgPswdNoColumn, MB_OK | MB_ICONEXCLAMATION, {static_cast<int64_t>(column)});
        }
    }
    return TRUE;
}

BOOL CChgPswdWizardPage3::OnSetActive() {
    const BOOL shown = CPropertyPage::OnSetActive();
    m_list.DeleteAllItems();
    int row = 0;
    for (const auto& result : m_wizard->Results()) {
        const int index = m_list.InsertItem(row++, result->m_success != 0 ? kSuccess : kFailure);
        m_list.SetItemText(index, 1, result->m_system);
    }
    GetSheet()->SetWizardButtons(PSWIZB_FINISH);
    return shown;
}

BOOL CChgPswdWizardPage3::OnQueryCancel() {
    MessageBeep(MB_OK);
    return FALSE;
}

BOOL CChgPswdWizardPage3::OnWizardFinish() {
    m_wizard->m_results.clear();
    return TRUE;
}

void CChgPswdWizardPage3::OnHelp() {
    ShowHelp();
}

BOOL CChgPswdWizardPage3::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kIdcChgPswdCopy && HIWORD(wParam) == BN_CLICKED) {
        CopyToClipboard();
        return TRUE;
    }
    return CPropertyPage::OnCommand(wParam, lParam);
}

void CChgPswdWizardPage3::CopyToClipboard() {
    if (!OpenClipboard(m_hWnd)) {
        AfxMessageBox(kMsgChgPswdNoClipboard, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    EmptyClipboard();
    std::string text = std::string(static_cast<const char*>(m_wizard->UserName())) + "\r\n";
    for (const auto& result : m_wizard->Results()) {
        text += result->m_success != 0 ? kSuccess : kFailure;
        text += '\t';
        text += static_cast<const char*>(result->m_system);
        text += "\r\n";
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
    if (block == nullptr) {
        CloseClipboard();
        AfxMessageBox(kMsgChgPswdNoMemory, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    auto* bytes = static_cast<char*>(GlobalLock(block));
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
    AfxMessageBox(kMsgChgPswdCopied, MB_OK | MB_ICONINFORMATION);
}
