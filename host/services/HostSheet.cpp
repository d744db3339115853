#include "host/services/HostSheet.h"

#include <algorithm>
#include <cstring>

#include "host/services/HostServices.h"
#include "platform/ui/window/FrameTexts.h"
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/PropertySheet.h"
#include "platform/ui/window/Window.h"

#include <algorithm>
#include <optional>

namespace {
HostSheet* g_openSheet = nullptr;
constexpr RECT kSheetPlace{40, 40, 460, 400};
// The sheet's look: a row of tabs over the pages, the pages inside a raised body, the buttons under it.
constexpr int kMargin = 7;
constexpr int kTabHeight = 20;
constexpr int kBodyInset = 2;
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 22;
constexpr int kButtonGap = 6;

// The current tab stands this much higher and wider on each side than the others.
constexpr int kRaise = 2;

int TabWidth(const std::string& title) {
    SIZE size{};
    GetTextExtentPoint32A(nullptr, title.c_str(), static_cast<int>(title.size()), &size);
    return static_cast<int>(size.cx) + 12;
}

std::string SheetCaption(const std::string& className, const std::string& objectName) {
    const RegisteredClass* found = HostServices::Instance().FindClass(className);
    std::string shown = found != nullptr && !found->displayName.empty() ? found->displayName : className;
    return objectName + " (" + shown + ")";
}
} // namespace

HostSheet::~HostSheet() {
    if (IsOpen()) {
        static_cast<void>(Close(kEndPagesCancel));
    }
}

HostSheet* HostSheet::Current() {
    return g_openSheet;
}

void HostSheet::Report(const std::string& line) const {
    if (m_observer) {
        m_observer(line);
    }
}

long HostSheet::Send(unsigned short message, unsigned long param1, unsigned long param2) {
    std::optional<long> answer =
        HostServices::Instance().SendToClass(m_className, m_objectName, message, param1, param2);
    long value = answer.value_or(-1);
    Report("-> " + std::to_string(message) + " | " + std::to_string(value));
    return value;
}

std::string HostSheet::Open(const std::string& className, const std::string& objectName) {
    if (g_openSheet != nullptr) {
        return "a details sheet is open already";
    }
    if (HostServices::Instance().FindClass(className) == nullptr) {
        return "the class \"" + className + "\" is not registered";
    }
    m_className = className;
    m_objectName = objectName;
    m_changes.clear();
    m_pages.clear();
    m_current = 0;

    long count = Send(SNAP_GET_PAGE_COUNT);
    if (count <= 0) {
        // The module named this object as its current one; it must hear that no sheet came of it.
        static_cast<void>(Send(SNAP_END_PAGES, kEndPagesCancel));
        return "the class \"" + className + "\" shows no pages for \"" + objectName + "\"";
    }
    std::vector<SnapPageRecord> records;
    for (long index = 0; index < count; ++index) {
        SnapPageRecord record{};
        if (Send(SNAP_GET_PAGE, static_cast<unsigned long>(index),
                 reinterpret_cast<unsigned long>(&record)) != 0) {
            static_cast<void>(Send(SNAP_END_PAGES, kEndPagesCancel));
            return "page " + std::to_string(index) + " of \"" + className + "\" is missing";
        }
        records.push_back(record);
    }

    // Open before the pages are made: their initialisation may already report changes.
    g_openSheet = this;
    std::string caption = SheetCaption(className, objectName);
    m_frame = CreateFrameWindow(HostServices::Instance().MainWindow(), caption.c_str(), kSheetPlace,
                                &HostSheet::FrameProc);
    for (size_t index = 0; index < records.size(); ++index) {
        const SnapPageRecord& record = records[index];
        PageWindow page;
        page.title = record.title != nullptr ? record.title : "";
        m_pages.push_back(page);
        HWND window =
            CreateDialogParamA(record.resource, MAKEINTRESOURCEA(static_cast<WORD>(record.templateId)),
                               m_frame, record.dialogProc, reinterpret_cast<LPARAM>(record.pageParam));
        if (window == nullptr) {
            std::string error = "the template " + std::to_string(record.templateId) + " of page " +
                                std::to_string(index) + " is missing";
            static_cast<void>(Close(kEndPagesCancel));
            return error;
        }
        m_pages.back().window = window;
    }
    LayOut();
    static_cast<void>(SetCurrentPage(0));
    return {};
}

void HostSheet::LayOut() {
    int width = 0;
    int height = 0;
    for (const PageWindow& page : m_pages) {
        RECT rect{};
        GetWindowRect(page.window, &rect);
        width = std::max(width, static_cast<int>(rect.right - rect.left));
        height = std::max(height, static_cast<int>(rect.bottom - rect.top));
    }
    // The tabs stand in one row: a sheet whose titles are wider than its pages grows to hold them.
    int tabs = 0;
    for (const PageWindow& page : m_pages) {
        tabs += TabWidth(page.title);
    }
    width = std::max(width, tabs + 2 * kRaise - 2 * kBodyInset);
    m_body = {kMargin, kMargin + kTabHeight, kMargin + width + 2 * kBodyInset,
              kMargin + kTabHeight + height + 2 * kBodyInset};
    for (const PageWindow& page : m_pages) {
        RECT rect{};
        GetWindowRect(page.window, &rect);
        MoveWindow(page.window, m_body.left + kBodyInset, m_body.top + kBodyInset, rect.right - rect.left,
                   rect.bottom - rect.top, FALSE);
    }
    int frameWidth = static_cast<int>(m_body.right) + kMargin;
    int buttonTop = static_cast<int>(m_body.bottom) + kMargin;
    MoveWindow(m_frame, kSheetPlace.left, kSheetPlace.top, frameWidth, buttonTop + kButtonHeight + kMargin,
               FALSE);
    // The buttons a person sees under a details sheet; the script's ok, cancel and apply press them. Apply
    // stays grey until a page reports a change, and again once the changes are applied.
    struct Button {
        int id;
        const char* text;
        uint32_t styles;
    };
    const Button buttons[] = {{IDOK, FrameTextOf(FrameText::Ok), kRcStyleDefault},
                              {IDCANCEL, FrameTextOf(FrameText::Cancel), 0},
                              {ID_APPLY_NOW, FrameTextOf(FrameText::Apply),
                               m_changes.empty() ? kRcStyleDisabled : 0u}};
    // As wide as the longest text needs (another language's may be longer), never narrower than usual.
    int buttonWidth = kButtonWidth;
    if (HDC dc = GetDC(m_frame); dc != nullptr) {
        for (const Button& button : buttons) {
            SIZE size{};
            if (GetTextExtentPoint32A(dc, button.text, static_cast<int>(std::strlen(button.text)), &size)) {
                buttonWidth = std::max(buttonWidth, static_cast<int>(size.cx) + 12);
            }
        }
        ReleaseDC(m_frame, dc);
    }
    int x = frameWidth - kMargin - 3 * buttonWidth - 2 * kButtonGap;
    for (const Button& button : buttons) {
        static_cast<void>(
            CreateControl(m_frame, RcControl{static_cast<uint32_t>(button.id), kRcButton, button.text, x,
                                             buttonTop, buttonWidth, kButtonHeight, button.styles}));
        x += buttonWidth + kButtonGap;
    }
}

void HostSheet::SetApplyEnabled(bool enabled) const {
    if (m_frame != nullptr) {
        EnableWindow(GetDlgItem(m_frame, ID_APPLY_NOW), enabled ? TRUE : FALSE);
    }
}

void HostSheet::PaintTabs(HDC dc) const {
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
    auto line = [dc](COLORREF colour, int x1, int y1, int x2, int y2) {
        HGDIOBJ old = SelectObject(dc, CreatePen(PS_SOLID, 1, colour));
        MoveToEx(dc, x1, y1, nullptr);
        LineTo(dc, x2, y2);
        SelectObject(dc, old);
    };
    // The body: light top and left, shadow and dark bottom and right, as a raised panel.
    line(light, m_body.left, m_body.bottom - 1, m_body.left, m_body.top);
    line(light, m_body.left, m_body.top, m_body.right - 1, m_body.top);
    line(dark, m_body.right - 1, m_body.top, m_body.right - 1, m_body.bottom - 1);
    line(dark, m_body.left, m_body.bottom - 1, m_body.right, m_body.bottom - 1);
    line(shadow, m_body.right - 2, m_body.top + 1, m_body.right - 2, m_body.bottom - 2);
    line(shadow, m_body.left + 1, m_body.bottom - 2, m_body.right - 1, m_body.bottom - 2);

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    std::vector<int> lefts;
    int x = kMargin;
    for (const PageWindow& page : m_pages) {
        lefts.push_back(x);
        x += TabWidth(page.title);
    }
    // The current tab is drawn last: it stands over its neighbours.
    std::vector<int> order;
    for (int index = 0; index < PageCount(); ++index) {
        if (index != m_current) {
            order.push_back(index);
        }
    }
    order.push_back(m_current);
    for (int index : order) {
        if (index < 0 || index >= PageCount()) {
            continue;
        }
        const std::string& title = m_pages[static_cast<size_t>(index)].title;
        int left = lefts[static_cast<size_t>(index)];
        int width = TabWidth(title);
        bool current = index == m_current;
        int raise = current ? kRaise : 0;
        // The current tab opens into the body below it.
        RECT tab{left - raise, kMargin + kRaise - raise, left + width + raise,
                 kMargin + kTabHeight + (current ? 1 : 0)};
        RECT fill = tab;
        FillRect(dc, &fill, GetSysColorBrush(COLOR_BTNFACE));
        line(light, tab.left, tab.bottom - 1, tab.left, tab.top + 2);
        line(light, tab.left, tab.top + 2, tab.left + 2, tab.top);
        line(light, tab.left + 2, tab.top, tab.right - 3, tab.top);
        line(dark, tab.right - 3, tab.top, tab.right - 1, tab.top + 2);
        line(dark, tab.right - 1, tab.top + 2, tab.right - 1, tab.bottom - (current ? 1 : 0));
        line(shadow, tab.right - 2, tab.top + 1, tab.right - 2, tab.bottom - (current ? 1 : 0));
        if (current) {
            line(face, tab.left + 1, m_body.top, tab.right - 2, m_body.top);
        }
        RECT label{tab.left, tab.top + 1, tab.right, tab.bottom};
        DrawTextA(dc, title.c_str(), static_cast<int>(title.size()), &label,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

HWND HostSheet::Page(int index) const {
    if (index < 0 || index >= PageCount()) {
        return nullptr;
    }
    return m_pages[static_cast<size_t>(index)].window;
}

std::string HostSheet::PageTitle(int index) const {
    if (index < 0 || index >= PageCount()) {
        return {};
    }
    return m_pages[static_cast<size_t>(index)].title;
}

int HostSheet::FindPage(const std::string& title) const {
    for (int index = 0; index < PageCount(); ++index) {
        if (m_pages[static_cast<size_t>(index)].title == title) {
            return index;
        }
    }
    return -1;
}

bool HostSheet::SetCurrentPage(int index) {
    if (index < 0 || index >= PageCount()) {
        return false;
    }
    m_current = index;
    for (int other = 0; other < PageCount(); ++other) {
        ShowWindow(Page(other), other == index ? SW_SHOW : SW_HIDE);
    }
    return true;
}

HostSheet::ApplyResult HostSheet::Apply() {
    ApplyResult result;
    if (!IsOpen()) {
        return result;
    }
    for (int index = 0; index < PageCount(); ++index) {
        LRESULT valid = SendMessageA(Page(index), kMsgPageValidate, 0, 0);
        if (valid == 0) {
            Report("-> " + std::to_string(kMsgPageValidate) + " | 0");
            result.refusedPage = index;
            static_cast<void>(SetCurrentPage(index));
            return result;
        }
    }
    result.answer = Send(SNAP_APPLY_PAGES);
    if (result.answer == 0) {
        SetApplyEnabled(false);
    }
    return result;
}

bool HostSheet::Ok() {
    if (!IsOpen()) {
        return false;
    }
    // A page that refused validation, or a class that could not store the changes, keeps the sheet open
    // with what the person typed.
    ApplyResult applied = Apply();
    if (applied.refusedPage >= 0 || applied.answer != 0) {
        return false;
    }
    static_cast<void>(Close(kEndPagesOk));
    return true;
}

long HostSheet::Close(unsigned long how) {
    if (!IsOpen()) {
        return 0;
    }
    long answer = Send(SNAP_END_PAGES, how);
    DestroyWindows();
    return answer;
}

void HostSheet::DestroyWindows() {
    HWND frame = m_frame;
    m_frame = nullptr;
    m_pages.clear();
    if (frame != nullptr) {
        DestroyWindow(frame);
    }
    if (g_openSheet == this) {
        g_openSheet = nullptr;
    }
}

void HostSheet::PageChanged(WPARAM wParam) {
    // A page that reports to its own window is heard here with its handle; one that reports straight to the
    // sheet without naming itself is the page the person works on.
    int index = m_current;
    for (int candidate = 0; candidate < PageCount(); ++candidate) {
        if (reinterpret_cast<WPARAM>(Page(candidate)) == wParam && wParam != 0) {
            index = candidate;
        }
    }
    m_changes.push_back(index);
    SetApplyEnabled(true);
    Report("changed | " + std::to_string(index));
}

LRESULT CALLBACK HostSheet::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgPageChanged) {
        if (g_openSheet != nullptr) {
            g_openSheet->PageChanged(wParam);
        }
        return 0;
    }
    if (message == WM_PAINT && g_openSheet != nullptr && g_openSheet->m_frame == window) {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(window, &paint);
        g_openSheet->PaintTabs(dc);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HostSheet::KeyTarget HostSheet::TargetOfKey(UiKey key) const {
    HWND page = CurrentPageWindow();
    auto hasButton = [page](int id) {
        HWND button = page != nullptr ? GetDlgItem(page, id) : nullptr;
        return button != nullptr && GetControlKind(button) == kRcButton && IsWindowVisible(button);
    };
    switch (key) {
    case UiKey::Enter:
        if (page != nullptr) {
            for (HWND child : GetChildWindows(page)) {
                if (GetControlKind(child) == kRcButton && (GetControlStyles(child) & kRcStyleDefault) != 0 &&
                    IsWindowVisible(child)) {
                    return KeyTarget::Page;
                }
            }
        }
        return hasButton(IDOK) ? KeyTarget::Page : KeyTarget::SheetOk;
    case UiKey::Escape:
        return hasButton(IDCANCEL) ? KeyTarget::Page : KeyTarget::SheetCancel;
    case UiKey::F1:
        return hasButton(IDHELP) ? KeyTarget::Page : KeyTarget::PageHelp;
    }
    return KeyTarget::Page;
}
