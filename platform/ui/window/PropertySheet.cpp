#include "platform/ui/window/PropertySheet.h"

#include "platform/ui/Bitmap.h"
#include "platform/ui/ResourceAccess.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/window/Dc.h"
#include "platform/ui/window/FrameTexts.h"
#include "platform/ui/window/TextFace.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/ui/window/WindowRecord.h"

#include <algorithm>

namespace {

constexpr int kMargin = 7;
constexpr int kTabHeight = 20;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 20;
constexpr int kButtonGap = 6;

CString LoadCaption(UINT id) {
    CString text;
    if (id != 0) {
        text.LoadString(id);
    }
    return text;
}

} // namespace

// ---- CPropertyPage --------------------------------------------------------------------------------------

CPropertyPage::CPropertyPage(UINT templateId, UINT captionId)
    : CDialog(templateId), m_caption(LoadCaption(captionId)) {}

CPropertyPage::~CPropertyPage() {
    if (m_sheet != nullptr) {
        m_sheet->RemovePage(this);
    }
}

BOOL CPropertyPage::OnSetActive() {
    if (m_shownBefore) {
        UpdateData(FALSE);
    }
    m_shownBefore = true;
    return TRUE;
}

BOOL CPropertyPage::OnKillActive() {
    return UpdateData(TRUE);
}

BOOL CPropertyPage::OnApply() {
    OnOK();
    return TRUE;
}

void CPropertyPage::SetModified(BOOL changed) {
    if (changed && m_hWnd != nullptr) {
        ::SendMessageA(::GetParent(m_hWnd), PSM_CHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
    }
}

// ---- CPropertySheet -------------------------------------------------------------------------------------

CPropertySheet::CPropertySheet(UINT captionId, CWnd* parent, UINT selectPage)
    : m_caption(LoadCaption(captionId)), m_parent(parent) {
    m_psh.nStartPage = selectPage;
}

CPropertySheet::CPropertySheet(LPCSTR caption, CWnd* parent, UINT selectPage)
    : m_caption(caption ? caption : ""), m_parent(parent) {
    m_psh.nStartPage = selectPage;
}

CPropertySheet::~CPropertySheet() {
    if (m_hWnd != nullptr) {
        HWND window = UnsubclassWindow();
        ::DestroyWindow(window);
    }
    for (CPropertyPage* page : m_pages) {
        page->m_sheet = nullptr;
    }
    if (m_icon != nullptr) {
        DeleteObject(m_icon);
    }
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    if (page != nullptr && GetPageIndex(page) < 0) {
        page->m_sheet = this;
        m_pages.push_back(page);
    }
}

void CPropertySheet::RemovePage(CPropertyPage* page) {
    int index = GetPageIndex(page);
    if (index < 0) {
        return;
    }
    if (page->m_hWnd != nullptr) {
        page->DestroyWindow();
    }
    page->m_sheet = nullptr;
    m_pages.erase(m_pages.begin() + index);
    if (m_active == index) {
        m_active = -1;
    } else if (m_active > index) {
        --m_active;
    }
}

CPropertyPage* CPropertySheet::GetPage(int index) const {
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<size_t>(index)] : nullptr;
}

CPropertyPage* CPropertySheet::GetActivePage() const {
    return GetPage(m_active);
}

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const {
    auto found = std::find(m_pages.begin(), m_pages.end(), page);
    return found == m_pages.end() ? -1 : static_cast<int>(found - m_pages.begin());
}

bool CPropertySheet::CreatePageWindow(int index) {
    CPropertyPage* page = GetPage(index);
    if (page == nullptr) {
        return false;
    }
    if (page->m_hWnd != nullptr) {
        return true;
    }
    const RcDialog* found =
        FindDialogResource(AfxGetResourceHandle(), MAKEINTRESOURCEA(page->GetTemplateId()));
    if (found == nullptr) {
        return false;
    }
    uiwin::SetCreationHook(page);
    HWND window = CreateDialogIndirectParamA(found, m_hWnd, nullptr, 0);
    uiwin::TakeCreationHook();
    if (window == nullptr) {
        return false;
    }
    ::ShowWindow(window, page == GetActivePage() ? SW_SHOW : SW_HIDE);
    ::SetWindowPos(window, nullptr, m_pageArea.left, m_pageArea.top, m_pageArea.right - m_pageArea.left,
                   m_pageArea.bottom - m_pageArea.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (page->m_caption.IsEmpty() && found->caption != nullptr) {
        page->m_caption = found->caption;
    }
    return true;
}

BOOL CPropertySheet::SetActivePage(int index) {
    CPropertyPage* next = GetPage(index);
    if (next == nullptr) {
        return FALSE;
    }
    if (index == m_active) {
        return TRUE;
    }
    if (m_hWnd == nullptr) {
        m_psh.nStartPage = static_cast<UINT>(index);
        return TRUE;
    }
    CPropertyPage* current = GetActivePage();
    if (current != nullptr) {
        if (!current->OnKillActive()) {
            return FALSE;
        }
        ::ShowWindow(current->m_hWnd, SW_HIDE);
    }
    m_active = index;
    if (!CreatePageWindow(index)) {
        return FALSE;
    }
    ::ShowWindow(next->m_hWnd, SW_SHOW);
    next->OnSetActive();
    return TRUE;
}

void CPropertySheet::SetWizardButtons(DWORD flags) {
    ::EnableWindow(::GetDlgItem(m_hWnd, ID_WIZBACK), (flags & PSWIZB_BACK) ? TRUE : FALSE);
    bool finish = (flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
    HWND next = ::GetDlgItem(m_hWnd, ID_WIZNEXT);
    HWND done = ::GetDlgItem(m_hWnd, ID_WIZFINISH);
    // Next and Finish share one place: Finish shows instead of Next when it is asked for.
    ::ShowWindow(next, finish ? SW_HIDE : SW_SHOW);
    ::EnableWindow(next, (flags & PSWIZB_NEXT) ? TRUE : FALSE);
    ::ShowWindow(done, finish ? SW_SHOW : SW_HIDE);
    ::EnableWindow(done, (flags & PSWIZB_FINISH) ? TRUE : FALSE);
}

void CPropertySheet::PressButton(int id) {
    ::SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, id)));
}

void CPropertySheet::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}

void CPropertySheet::LayOut() {
    int width = 200;
    int height = 100;
    for (CPropertyPage* page : m_pages) {
        if (const RcDialog* found =
                FindDialogResource(AfxGetResourceHandle(), MAKEINTRESOURCEA(page->GetTemplateId()))) {
            width = std::max(width, static_cast<int>(found->width));
            height = std::max(height, static_cast<int>(found->height));
            // A page without a caption of its own shows its template's on its tab.
            if (page->m_caption.IsEmpty() && found->caption != nullptr) {
                page->m_caption = found->caption;
            }
        }
    }
    int top = IsWizard() ? kMargin : kMargin + kTabHeight;
    m_pageArea = {kMargin, top, kMargin + width, top + height};
}

INT_PTR CPropertySheet::DoModal() {
    if (m_hWnd != nullptr || m_pages.empty()) {
        return -1;
    }
    if (m_psh.pszCaption != nullptr) {
        m_caption = m_psh.pszCaption;
    }
    if ((m_psh.dwFlags & PSH_USEICONID) != 0 && m_psh.pszIcon != nullptr && m_icon == nullptr) {
        if (const RcBitmap* icon = FindIconResource(AfxGetResourceHandle(), m_psh.pszIcon)) {
            m_icon = CreateBitmapFromResource(*icon);
        }
    }
    LayOut();
    bool wizard = IsWizard();
    bool help = (m_psh.dwFlags & PSH_HASHELP) != 0;
    bool apply = !wizard && (m_psh.dwFlags & PSH_NOAPPLYNOW) == 0;
    struct Button {
        int id;
        const char* text;
        uint32_t styles;
    };
    std::vector<Button> buttons;
    if (wizard) {
        buttons = {{ID_WIZBACK, FrameTextOf(FrameText::Back), 0},
                   {ID_WIZNEXT, FrameTextOf(FrameText::Next), kRcStyleDefault},
                   {ID_WIZFINISH, FrameTextOf(FrameText::Finish), kRcStyleHidden},
                   {IDCANCEL, FrameTextOf(FrameText::Cancel), 0}};
    } else {
        buttons = {{IDOK, FrameTextOf(FrameText::Ok), kRcStyleDefault},
                   {IDCANCEL, FrameTextOf(FrameText::Cancel), 0}};
        if (apply) {
            buttons.push_back({ID_APPLY_NOW, FrameTextOf(FrameText::Apply), kRcStyleDisabled});
        }
    }
    if (help) {
        buttons.push_back({IDHELP, FrameTextOf(FrameText::Help), 0});
    }
    // As wide as the longest text needs (another language's may be longer), never narrower than usual.
    int buttonWidth = kButtonWidth;
    for (const Button& button : buttons) {
        buttonWidth = std::max(buttonWidth, uiwin::TextFace::Default().Measure(uiwin::DecodeText(button.text)) + 12);
    }
    int width = m_pageArea.right + kMargin;
    int buttonTop = m_pageArea.bottom + kMargin;
    int height = buttonTop + kButtonHeight + kMargin;
    std::vector<RcControl> controls;
    // Finish stands where Next stands; the others from the right edge leftwards.
    int slots = static_cast<int>(buttons.size()) - (wizard ? 1 : 0);
    int x = width - kMargin - slots * buttonWidth - (slots - 1) * kButtonGap;
    int nextX = 0;
    for (const Button& button : buttons) {
        int at = x;
        if (button.id == ID_WIZFINISH) {
            at = nextX;
        } else {
            if (button.id == ID_WIZNEXT) {
                nextX = x;
            }
            x += buttonWidth + kButtonGap;
        }
        controls.push_back(RcControl{static_cast<uint32_t>(button.id), kRcButton, button.text, at, buttonTop,
                                     buttonWidth, kButtonHeight, button.styles});
    }
    RcDialog sheetTemplate{};
    sheetTemplate.caption = m_caption;
    sheetTemplate.x = 40;
    sheetTemplate.y = 40;
    sheetTemplate.width = width;
    sheetTemplate.height = height;
    sheetTemplate.controlCount = static_cast<uint32_t>(controls.size());
    sheetTemplate.controls = controls.data();
    uiwin::SetCreationHook(this);
    HWND window =
        CreateDialogIndirectParamA(&sheetTemplate, m_parent ? m_parent->m_hWnd : nullptr, nullptr, 0);
    uiwin::TakeCreationHook();
    if (window == nullptr) {
        return -1;
    }
    m_changed = false;
    m_active = -1;
    for (CPropertyPage* page : m_pages) {
        page->m_shownBefore = false;
    }
    if (wizard) {
        SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    }
    int start = static_cast<int>(m_psh.nStartPage) < GetPageCount() ? static_cast<int>(m_psh.nStartPage) : 0;
    INT_PTR result = -1;
    if (SetActivePage(start)) {
        UINT firstTemplate = GetActivePage() ? GetActivePage()->GetTemplateId() : 0;
        result =
            IsDialogEnded(window)
                ? GetDialogResult(window)
                : RunModalLoop(window, wizard ? ModalKind::Wizard : ModalKind::PropertySheet, firstTemplate);
    }
    if (IsWindow(window)) {
        ::DestroyWindow(window);
    }
    m_active = -1;
    return result;
}

bool CPropertySheet::ApplyPages() {
    for (int i = 0; i < GetPageCount(); ++i) {
        CPropertyPage* page = m_pages[static_cast<size_t>(i)];
        if (page->m_hWnd == nullptr) {
            continue; // never shown: nothing of it to apply
        }
        if (!page->OnApply()) {
            SetActivePage(i);
            return false;
        }
    }
    m_changed = false;
    ::EnableWindow(::GetDlgItem(m_hWnd, ID_APPLY_NOW), FALSE);
    return true;
}

void CPropertySheet::GoTo(int index, LRESULT answer) {
    if (answer == -1) {
        return;
    }
    if (answer != 0) {
        for (int i = 0; i < GetPageCount(); ++i) {
            if (static_cast<LRESULT>(m_pages[static_cast<size_t>(i)]->GetTemplateId()) == answer) {
                index = i;
                break;
            }
        }
    }
    SetActivePage(index);
}

BOOL CPropertySheet::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case PSM_GETCURRENTPAGEHWND:
        *result = reinterpret_cast<LRESULT>(GetActivePage() ? GetActivePage()->m_hWnd : nullptr);
        return TRUE;
    case PSM_CHANGED:
    case kMsgPageChanged:
        // Any change report from a page, in whatever form, marks the sheet changed.
        m_changed = true;
        ::EnableWindow(::GetDlgItem(m_hWnd, ID_APPLY_NOW), TRUE);
        *result = 0;
        return TRUE;
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

BOOL CPropertySheet::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (CWnd::OnCommand(wParam, lParam)) {
        return TRUE;
    }
    if (HIWORD(wParam) != BN_CLICKED) {
        return FALSE;
    }
    CPropertyPage* page = GetActivePage();
    switch (LOWORD(wParam)) {
    case IDOK:
        if (page != nullptr && !page->OnKillActive()) {
            return TRUE;
        }
        if (ApplyPages()) {
            EndDialog(IDOK);
        }
        return TRUE;
    case ID_APPLY_NOW:
        if (page != nullptr && !page->OnKillActive()) {
            return TRUE;
        }
        ApplyPages();
        return TRUE;
    case IDCANCEL:
        if (page != nullptr && !page->OnQueryCancel()) {
            return TRUE;
        }
        for (CPropertyPage* each : m_pages) {
            if (each->m_hWnd != nullptr) {
                each->OnReset();
            }
        }
        EndDialog(IDCANCEL);
        return TRUE;
    case IDHELP:
        if (page != nullptr) {
            ::SendMessageA(page->m_hWnd, WM_COMMAND, MAKEWPARAM(IDHELP, BN_CLICKED), 0);
        }
        return TRUE;
    case ID_WIZBACK:
        if (page != nullptr) {
            GoTo(m_active - 1, page->OnWizardBack());
        }
        return TRUE;
    case ID_WIZNEXT:
        if (page != nullptr) {
            GoTo(m_active + 1, page->OnWizardNext());
        }
        return TRUE;
    case ID_WIZFINISH:
        if (page == nullptr || page->OnWizardFinish()) {
            EndDialog(ID_WIZFINISH);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void CPropertySheet::OnPaint() {
    CPaintDC dc(this);
    if (IsWizard()) {
        return;
    }
    int x = kMargin;
    for (int i = 0; i < GetPageCount(); ++i) {
        const CString& caption = m_pages[static_cast<size_t>(i)]->GetCaption();
        int width = dc.GetTextExtent(caption).cx + 12;
        bool active = i == m_active;
        CRect tab(x, kMargin + (active ? 0 : 2), x + width, kMargin + kTabHeight + (active ? 1 : 0));
        dc.FillSolidRect(tab, GetSysColor(COLOR_BTNFACE));
        CPen light(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
        CPen dark(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        CPen* old = dc.SelectObject(&light);
        dc.MoveTo(tab.left, tab.bottom - 1);
        dc.LineTo(tab.left, tab.top);
        dc.LineTo(tab.right - 1, tab.top);
        dc.SelectObject(&dark);
        dc.LineTo(tab.right - 1, tab.bottom);
        dc.SelectObject(old);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
        CRect label = tab;
        dc.DrawText(caption, label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        x += width;
    }
}
