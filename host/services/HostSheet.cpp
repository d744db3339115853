#include "host/services/HostSheet.h"

#include "host/services/HostServices.h"
#include "platform/ui/window/Window.h"

#include <optional>

namespace {
HostSheet* g_openSheet = nullptr;
constexpr RECT kSheetPlace{40, 40, 460, 400};
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
    m_frame = CreateFrameWindow(HostServices::Instance().MainWindow(), objectName.c_str(), kSheetPlace,
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
    static_cast<void>(SetCurrentPage(0));
    return {};
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
    Report("changed | " + std::to_string(index));
}

LRESULT CALLBACK HostSheet::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgPageChanged) {
        if (g_openSheet != nullptr) {
            g_openSheet->PageChanged(wParam);
        }
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
