// A details sheet as the host opens it: SNAP_GET_PAGE_COUNT, SNAP_GET_PAGE for each page, every page's
// dialog created at once from the class's resource library with the page's dialog procedure and the page
// as creation parameter; apply validates every page with 1313 in order and stops at the first that refuses
// (it becomes the current page and no SNAP_APPLY_PAGES is sent), else sends SNAP_APPLY_PAGES; closing sends
// SNAP_END_PAGES with 1 (OK) or 2 (Cancel) and destroys the page windows. One sheet is open at a time.
// The frame looks as a person knows a details sheet: its caption names the object and its class, a row of
// tabs (the current one raised) stands over the pages, and OK, Cancel and Apply stand under them.
#pragma once

#include "host/services/HostTypes.h"
#include "platform/ui/window/UserActions.h"

#include <functional>
#include <string>
#include <vector>

constexpr unsigned long kEndPagesOk = 1;
constexpr unsigned long kEndPagesCancel = 2;

class HostSheet {
public:
    // Receives the host's output lines: "-> MESSAGE | ANSWER" for each message sent to the class and to the
    // pages (1313 only for a page that refuses), "changed | PAGE" for each page-changed report.
    using Observer = std::function<void(const std::string& line)>;

    HostSheet() = default;
    // A sheet still open is closed with Cancel.
    ~HostSheet();
    HostSheet(const HostSheet&) = delete;
    HostSheet& operator=(const HostSheet&) = delete;

    // Opens the details of `objectName`, whose class `className` is registered. Answers "" when the sheet is
    // open (page 0 current), else what went wrong (the class is unknown, it has no pages, a page or its
    // template is missing, another sheet is open); a failed open leaves nothing open.
    [[nodiscard]] std::string Open(const std::string& className, const std::string& objectName);
    [[nodiscard]] bool IsOpen() const { return m_frame != nullptr; }

    struct ApplyResult {
        int refusedPage = -1; // the page that answered 1313 with 0; -1 when every page validated
        long answer = 0;      // the class's answer to SNAP_APPLY_PAGES when it was sent
    };
    // Validates every page in order, then applies (see above).
    ApplyResult Apply();
    // Apply, then close with OK when no page refused and the class answered 0 to SNAP_APPLY_PAGES; answers
    // true when the sheet closed.
    bool Ok();
    // SNAP_END_PAGES with 1 or 2, then the windows go. Answers the class's answer (0 when nothing is open).
    long Close(unsigned long how);

    [[nodiscard]] int PageCount() const { return static_cast<int>(m_pages.size()); }
    [[nodiscard]] HWND Page(int index) const;
    [[nodiscard]] std::string PageTitle(int index) const;
    // The index of the page whose title is `title`; -1 when none.
    [[nodiscard]] int FindPage(const std::string& title) const;
    [[nodiscard]] int CurrentPage() const { return m_current; }
    [[nodiscard]] HWND CurrentPageWindow() const { return Page(m_current); }
    // Shows page `index` and hides the others; false for an index out of range.
    bool SetCurrentPage(int index);
    [[nodiscard]] HWND Frame() const { return m_frame; }

    // Who answers a key pressed on the current page. A page that has a button of its own for the key takes
    // it (Enter: a visible default push button or an OK button; Escape: a Cancel button; F1: a Help
    // button); otherwise the sheet does what a person expects of it: Enter closes it with OK, Escape with
    // Cancel, and F1 asks the current page for its help (1337).
    enum class KeyTarget { Page, SheetOk, SheetCancel, PageHelp };
    [[nodiscard]] KeyTarget TargetOfKey(UiKey key) const;
    [[nodiscard]] const std::string& ObjectName() const { return m_objectName; }
    [[nodiscard]] const std::string& ClassName() const { return m_className; }

    // Page-changed reports heard since the sheet opened, as page indices.
    [[nodiscard]] const std::vector<int>& Changes() const { return m_changes; }
    void SetObserver(Observer observer) { m_observer = std::move(observer); }

    // The sheet open now, or null.
    static HostSheet* Current();

private:
    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    long Send(unsigned short message, unsigned long param1 = 0, unsigned long param2 = 0);
    void Report(const std::string& line) const;
    void PageChanged(WPARAM wParam);
    void DestroyWindows();
    // Places the pages below the tab row and the buttons under them, and sizes the frame to hold them.
    void LayOut();
    void SetApplyEnabled(bool enabled) const;
    void PaintTabs(HDC dc) const;

    struct PageWindow {
        HWND window = nullptr;
        std::string title;
    };

    std::string m_className;
    std::string m_objectName;
    HWND m_frame = nullptr;
    std::vector<PageWindow> m_pages;
    int m_current = 0;
    RECT m_body{}; // the panel the pages lie in, in the frame's client coordinates
    std::vector<int> m_changes;
    Observer m_observer;
};
