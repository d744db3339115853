// CWnd: the class framework's window object. A CWnd is bound to a window handle (Attach), or takes over its
// messages (SubclassWindow), keeping the earlier procedure for everything it leaves to the default.
// Messages reach the object's WindowProc, then its message map (commands, notifications, own messages) and
// the virtual On... handlers below; what nobody handles goes on to the earlier procedure.
#pragma once

#include "platform/ui/Object.h"
#include "platform/ui/String.h"
#include "platform/ui/window/Messages.h"
#include "platform/ui/window/Window.h"

class CWnd;
class CDC;

struct CPoint : POINT {
    CPoint() : POINT{0, 0} {}
    CPoint(int px, int py) : POINT{px, py} {}
    explicit CPoint(LPARAM lParam) : POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)} {}
};

struct CRect : RECT {
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    [[nodiscard]] int Width() const { return right - left; }
    [[nodiscard]] int Height() const { return bottom - top; }
    [[nodiscard]] bool PtInRect(POINT p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    [[nodiscard]] bool IsRectEmpty() const { return right <= left || bottom <= top; }
    void SetRect(int l, int t, int r, int b) { *this = CRect(l, t, r, b); }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void NormalizeRect() {
        if (left > right) {
            std::swap(left, right);
        }
        if (top > bottom) {
            std::swap(top, bottom);
        }
    }
    void InflateRect(int dx, int dy) {
        left -= dx;
        top -= dy;
        right += dx;
        bottom += dy;
    }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
};

// ---- Message maps ---------------------------------------------------------------------------------------
enum class MessageHandlerKind { End, Command, CommandRange, Message };

struct MessageMapEntry {
    UINT message = 0;
    UINT code = 0;
    UINT firstId = 0;
    UINT lastId = 0;
    MessageHandlerKind kind = MessageHandlerKind::End;
    void (CWnd::*command)() = nullptr;
    void (CWnd::*commandRange)(UINT) = nullptr;
    LRESULT (CWnd::*message_)(WPARAM, LPARAM) = nullptr;
};

struct MessageMap {
    const MessageMap* (*base)();
    const MessageMapEntry* entries;
};

#define DECLARE_MESSAGE_MAP()                                                                                \
public:                                                                                                      \
    static const MessageMap* GetThisMessageMap();                                                            \
                                                                                                             \
protected:                                                                                                   \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                               \
    const MessageMap* theClass::GetMessageMap() const {                                                      \
        return GetThisMessageMap();                                                                          \
    }                                                                                                        \
    const MessageMap* theClass::GetThisMessageMap() {                                                        \
        using ThisClass = theClass;                                                                          \
        using TheBaseClass = baseClass;                                                                      \
        static const MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                                                    \
    MessageMapEntry {}                                                                                       \
    }                                                                                                        \
    ;                                                                                                        \
    static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries};                               \
    return &map;                                                                                             \
    }

#define ON_CONTROL(notifyCode, id, handler)                                                                  \
    MessageMapEntry{WM_COMMAND,                                                                              \
                    static_cast<UINT>(notifyCode),                                                           \
                    static_cast<UINT>(id),                                                                   \
                    static_cast<UINT>(id),                                                                   \
                    MessageHandlerKind::Command,                                                             \
                    static_cast<void (CWnd::*)()>(&ThisClass::handler),                                      \
                    nullptr,                                                                                 \
                    nullptr},
#define ON_COMMAND(id, handler) ON_CONTROL(0, id, handler)
#define ON_BN_CLICKED(id, handler) ON_CONTROL(BN_CLICKED, id, handler)
#define ON_BN_DOUBLECLICKED(id, handler) ON_CONTROL(BN_DOUBLECLICKED, id, handler)
#define ON_EN_CHANGE(id, handler) ON_CONTROL(EN_CHANGE, id, handler)
#define ON_EN_SETFOCUS(id, handler) ON_CONTROL(EN_SETFOCUS, id, handler)
#define ON_EN_KILLFOCUS(id, handler) ON_CONTROL(EN_KILLFOCUS, id, handler)
#define ON_EN_MAXTEXT(id, handler) ON_CONTROL(EN_MAXTEXT, id, handler)
#define ON_LBN_SELCHANGE(id, handler) ON_CONTROL(LBN_SELCHANGE, id, handler)
#define ON_LBN_DBLCLK(id, handler) ON_CONTROL(LBN_DBLCLK, id, handler)
#define ON_CBN_SELCHANGE(id, handler) ON_CONTROL(CBN_SELCHANGE, id, handler)
#define ON_CBN_SETFOCUS(id, handler) ON_CONTROL(CBN_SETFOCUS, id, handler)
#define ON_CBN_EDITCHANGE(id, handler) ON_CONTROL(CBN_EDITCHANGE, id, handler)
#define ON_CONTROL_RANGE(notifyCode, firstId, lastId, handler)                                               \
    MessageMapEntry{WM_COMMAND,                                                                              \
                    static_cast<UINT>(notifyCode),                                                           \
                    static_cast<UINT>(firstId),                                                              \
                    static_cast<UINT>(lastId),                                                               \
                    MessageHandlerKind::CommandRange,                                                        \
                    nullptr,                                                                                 \
                    static_cast<void (CWnd::*)(UINT)>(&ThisClass::handler),                                  \
                    nullptr},
#define ON_COMMAND_RANGE(firstId, lastId, handler) ON_CONTROL_RANGE(0, firstId, lastId, handler)
#define ON_MESSAGE(msg, handler)                                                                             \
    MessageMapEntry{static_cast<UINT>(msg),                                                                  \
                    0,                                                                                       \
                    0,                                                                                       \
                    0,                                                                                       \
                    MessageHandlerKind::Message,                                                             \
                    nullptr,                                                                                 \
                    nullptr,                                                                                 \
                    static_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(&ThisClass::handler)},
// The window messages below always reach their virtual handler (OnCtlColor, OnPaint ...); the entries only
// say in the map what the class overrides, as pages written for the platform list them.
#define ON_WM_CTLCOLOR()
#define ON_WM_PAINT()
#define ON_WM_ERASEBKGND()
#define ON_WM_LBUTTONDOWN()
#define ON_WM_LBUTTONUP()
#define ON_WM_LBUTTONDBLCLK()
#define ON_WM_MOUSEMOVE()
#define ON_WM_DRAWITEM()
#define ON_WM_MEASUREITEM()
#define ON_WM_COMPAREITEM()
#define ON_WM_DELETEITEM()
#define ON_WM_DESTROY()
#define ON_WM_SETFOCUS()
#define ON_WM_KILLFOCUS()

class CWnd : public CObject {
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    // The object bound to `window`; for a window without one, a temporary object of the control's class
    // (a CEdit for an edit ...) that lives until the window is destroyed or an object is bound to it.
    static CWnd* FromHandle(HWND window);
    static CWnd* FromHandlePermanent(HWND window);
    BOOL Attach(HWND window);
    HWND Detach();
    // Takes over the window's messages; the earlier procedure gets what this object leaves.
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();
    [[nodiscard]] HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    // The procedure that unhandled messages go on to.
    [[nodiscard]] WNDPROC GetSuperWndProc() const { return m_superProc; }
    // TRUE when the framework made the window for this object (rather than the object taking over a window
    // someone else made, whose initialisation already happened).
    [[nodiscard]] bool IsCreatedByFramework() const { return m_createdByFramework; }

    BOOL DestroyWindow();
    CWnd* GetDlgItem(int id) const;
    [[nodiscard]] int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd* GetParent() const;
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    [[nodiscard]] BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    [[nodiscard]] BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }
    void GetWindowText(CString& text) const { text = CString(GetWindowTextString(m_hWnd)); }
    int GetWindowText(LPSTR buffer, int size) const { return ::GetWindowTextA(m_hWnd, buffer, size); }
    [[nodiscard]] int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    void SetDlgItemText(int id, LPCSTR text) { ::SetDlgItemTextA(m_hWnd, id, text); }
    int GetDlgItemText(int id, CString& text) const;
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    [[nodiscard]] UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckRadioButton(int first, int last, int check) { ::CheckRadioButton(m_hWnd, first, last, check); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendDlgItemMessageA(m_hWnd, id, message, wParam, lParam);
    }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    BOOL SetWindowPos(const CWnd* after, int x, int y, int width, int height, UINT flags) {
        return ::SetWindowPos(m_hWnd, after ? after->m_hWnd : nullptr, x, y, width, height, flags);
    }
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) {
        ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE) {
        ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                     repaint);
    }
    void ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }
    void ClientToScreen(LPRECT rect) const;
    void ScreenToClient(LPPOINT point) const { ::ScreenToClient(m_hWnd, point); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(LPCRECT rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, redraw ? TRUE : FALSE, 0); }
    CWnd* SetFocus();
    static CWnd* GetFocus();
    CWnd* SetCapture();
    static CWnd* GetCapture();
    [[nodiscard]] DWORD GetStyle() const {
        return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE));
    }
    // Does nothing headless; kept for code that centres its dialogs.
    BOOL CenterWindow(CWnd* /*alternateOwner*/ = nullptr) { return TRUE; }
    void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT);

    // The message entry point; unhandled messages go to DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The earlier procedure (or the platform's default) with these parameters.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // DefWindowProc with the message being handled now.
    LRESULT Default();

protected:
    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const;
    // Dispatches to the map and the On... handlers; FALSE when nobody handled the message.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Looks the command up in the message map; FALSE when it has no entry.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor);
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(CDC* dc);
    virtual void OnLButtonDown(UINT flags, CPoint point);
    virtual void OnLButtonUp(UINT flags, CPoint point);
    virtual void OnLButtonDblClk(UINT flags, CPoint point);
    virtual void OnMouseMove(UINT flags, CPoint point);
    // Owner-draw requests: by default each goes to the control's own object when it is a list box.
    virtual void OnDrawItem(int id, LPDRAWITEMSTRUCT draw);
    virtual void OnMeasureItem(int id, LPMEASUREITEMSTRUCT measure);
    virtual int OnCompareItem(int id, LPCOMPAREITEMSTRUCT compare);
    virtual void OnDeleteItem(int id, LPDELETEITEMSTRUCT gone);
    virtual void OnDestroy();
    virtual void OnSetFocus(CWnd* /*old*/) { Default(); }
    virtual void OnKillFocus(CWnd* /*next*/) { Default(); }
    // Called after the window is gone; the object is no longer bound.
    virtual void PostNcDestroy() {}

private:
    friend LRESULT CALLBACK FrameworkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    friend void AttachCreatedWindow(CWnd* object, HWND window);
    bool ReflectOwnerDraw(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    WNDPROC m_superProc = nullptr;
    bool m_createdByFramework = false;
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current{0, 0, 0};
};

// The procedure of every subclassed window: finds the bound object and calls its WindowProc.
LRESULT CALLBACK FrameworkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Binds a window made by the framework's own creation to its object before its first message.
void AttachCreatedWindow(CWnd* object, HWND window);
