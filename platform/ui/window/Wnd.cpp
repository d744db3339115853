#include "platform/ui/window/Wnd.h"

#include "platform/ui/WinApp.h"
#include "platform/ui/window/Controls.h"
#include "platform/ui/window/Dc.h"
#include "platform/ui/window/WindowRecord.h"

#include <map>
#include <memory>

namespace uiwin {
namespace {

std::map<HWND, CWnd*>& Permanent() {
    static std::map<HWND, CWnd*> map;
    return map;
}

std::map<HWND, std::unique_ptr<CWnd>>& Temporary() {
    static std::map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

CWnd*& CreationHook() {
    static CWnd* hook = nullptr;
    return hook;
}

std::unique_ptr<CWnd> MakeTemporary(HWND window) {
    switch (GetControlKind(window)) {
    case kRcStatic:
        return std::make_unique<CStatic>();
    case kRcEdit:
        return std::make_unique<CEdit>();
    case kRcButton:
    case kRcCheckBox:
    case kRcRadio:
    case kRcGroup:
        return std::make_unique<CButton>();
    case kRcListBox:
        return std::make_unique<CListBox>();
    case kRcComboBox:
        return std::make_unique<CComboBox>();
    case kRcListView:
        return std::make_unique<CListCtrl>();
    case kRcProgress:
        return std::make_unique<CProgressCtrl>();
    default:
        return std::make_unique<CWnd>();
    }
}

} // namespace

CWnd* FindPermanent(HWND window) {
    auto found = Permanent().find(window);
    return found == Permanent().end() ? nullptr : found->second;
}

void SetPermanent(HWND window, CWnd* object) {
    DropTemporary(window);
    Permanent()[window] = object;
}

void RemovePermanent(HWND window) {
    auto found = Permanent().find(window);
    if (found != Permanent().end()) {
        found->second->m_hWnd = nullptr;
        Permanent().erase(found);
    }
}

void DropTemporary(HWND window) {
    auto found = Temporary().find(window);
    if (found != Temporary().end()) {
        std::unique_ptr<CWnd> object = std::move(found->second);
        Temporary().erase(found);
        object->m_hWnd = nullptr;
    }
}

void SetCreationHook(CWnd* object) {
    CreationHook() = object;
}

CWnd* TakeCreationHook() {
    CWnd* hook = CreationHook();
    CreationHook() = nullptr;
    return hook;
}

} // namespace uiwin

LRESULT CALLBACK FrameworkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* object = uiwin::FindPermanent(window);
    if (object == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    LRESULT result = object->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The window is gone: the object lets go of it and may delete itself.
        if (uiwin::FindPermanent(window) == object) {
            uiwin::RemovePermanent(window);
            object->m_hWnd = nullptr;
            object->m_superProc = nullptr;
            object->m_createdByFramework = false;
            object->PostNcDestroy();
        }
    }
    return result;
}

void AttachCreatedWindow(CWnd* object, HWND window) {
    uiwin::SetPermanent(window, object);
    object->m_hWnd = window;
    object->m_createdByFramework = true;
    object->m_superProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWndProc)));
}

CWnd::CWnd() = default;

CWnd::~CWnd() {
    if (m_hWnd != nullptr && uiwin::FindPermanent(m_hWnd) == this) {
        HWND window = m_hWnd;
        // The window outlives its object: it gets its earlier procedure back, so no message reaches a dead
        // object.
        if (m_superProc != nullptr) {
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
        }
        uiwin::RemovePermanent(window);
        m_hWnd = nullptr;
    }
}

CWnd* CWnd::FromHandle(HWND window) {
    if (!IsWindow(window)) {
        return nullptr;
    }
    if (CWnd* object = uiwin::FindPermanent(window)) {
        return object;
    }
    auto& temporary = uiwin::Temporary();
    auto found = temporary.find(window);
    if (found != temporary.end()) {
        return found->second.get();
    }
    std::unique_ptr<CWnd> object = uiwin::MakeTemporary(window);
    object->m_hWnd = window;
    CWnd* raw = object.get();
    temporary.emplace(window, std::move(object));
    return raw;
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    return uiwin::FindPermanent(window);
}

BOOL CWnd::Attach(HWND window) {
    if (m_hWnd != nullptr || !IsWindow(window) || uiwin::FindPermanent(window) != nullptr) {
        return FALSE;
    }
    uiwin::SetPermanent(window, this);
    m_hWnd = window;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND window = m_hWnd;
    if (window != nullptr && uiwin::FindPermanent(window) == this) {
        uiwin::Permanent().erase(window);
    }
    m_hWnd = nullptr;
    return window;
}

BOOL CWnd::SubclassWindow(HWND window) {
    if (!Attach(window)) {
        return FALSE;
    }
    m_createdByFramework = false;
    m_superProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    if (m_hWnd != nullptr && m_superProc != nullptr) {
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    }
    m_superProc = nullptr;
    return Detach();
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    return ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::GetDlgItem(int id) const {
    return FromHandle(::GetDlgItem(m_hWnd, id));
}

CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}

int CWnd::GetDlgItemText(int id, CString& text) const {
    text = CString(GetWindowTextString(::GetDlgItem(m_hWnd, id)));
    return text.GetLength();
}

void CWnd::ClientToScreen(LPRECT rect) const {
    POINT a{rect->left, rect->top};
    POINT b{rect->right, rect->bottom};
    ::ClientToScreen(m_hWnd, &a);
    ::ClientToScreen(m_hWnd, &b);
    *rect = {a.x, a.y, b.x, b.y};
}

CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}

CWnd* CWnd::GetFocus() {
    return FromHandle(GetFocusWindow());
}

CWnd* CWnd::SetCapture() {
    return FromHandle(::SetCapture(m_hWnd));
}

CWnd* CWnd::GetCapture() {
    return FromHandle(::GetCapture());
}

void CWnd::WinHelp(DWORD_PTR data, UINT command) {
    if (CWinApp* app = AfxGetApp()) {
        app->WinHelp(data, command);
    }
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    CurrentMessage saved = m_current;
    m_current = {message, wParam, lParam};
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) {
        result = DefWindowProc(message, wParam, lParam);
    }
    m_current = saved;
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_superProc != nullptr) {
        return CallWindowProcA(m_superProc, m_hWnd, message, wParam, lParam);
    }
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

const MessageMap* CWnd::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {MessageMapEntry{}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMap* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM /*lParam*/) {
    UINT id = LOWORD(wParam);
    UINT code = HIWORD(wParam);
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->kind != MessageHandlerKind::End; ++entry) {
            if (entry->message != WM_COMMAND || entry->code != code || id < entry->firstId ||
                id > entry->lastId) {
                continue;
            }
            if (entry->kind == MessageHandlerKind::Command) {
                (this->*(entry->command))();
            } else {
                (this->*(entry->commandRange))(id);
            }
            return TRUE;
        }
        if (map->base == nullptr) {
            break;
        }
    }
    return FALSE;
}

bool CWnd::ReflectOwnerDraw(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND control = nullptr;
    switch (message) {
    case WM_DRAWITEM:
        control = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)->hwndItem;
        break;
    case WM_COMPAREITEM:
        control = reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam)->hwndItem;
        break;
    case WM_DELETEITEM:
        control = reinterpret_cast<LPDELETEITEMSTRUCT>(lParam)->hwndItem;
        break;
    case WM_MEASUREITEM:
        control = ::GetDlgItem(m_hWnd, static_cast<int>(wParam));
        break;
    default:
        return false;
    }
    auto* list = dynamic_cast<CListBox*>(uiwin::FindPermanent(control));
    if (list == nullptr) {
        return false;
    }
    switch (message) {
    case WM_DRAWITEM:
        list->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *result = TRUE;
        break;
    case WM_COMPAREITEM:
        *result = list->CompareItem(reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam));
        break;
    case WM_DELETEITEM:
        list->DeleteItem(reinterpret_cast<LPDELETEITEMSTRUCT>(lParam));
        *result = TRUE;
        break;
    default:
        list->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        *result = TRUE;
        break;
    }
    return true;
}

void CWnd::OnDrawItem(int /*id*/, LPDRAWITEMSTRUCT draw) {
    LRESULT ignored = 0;
    if (!ReflectOwnerDraw(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(draw), &ignored)) {
        Default();
    }
}

void CWnd::OnMeasureItem(int id, LPMEASUREITEMSTRUCT measure) {
    LRESULT ignored = 0;
    if (!ReflectOwnerDraw(WM_MEASUREITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(measure),
                          &ignored)) {
        Default();
    }
}

int CWnd::OnCompareItem(int /*id*/, LPCOMPAREITEMSTRUCT compare) {
    LRESULT answer = 0;
    if (!ReflectOwnerDraw(WM_COMPAREITEM, 0, reinterpret_cast<LPARAM>(compare), &answer)) {
        answer = Default();
    }
    return static_cast<int>(answer);
}

void CWnd::OnDeleteItem(int /*id*/, LPDELETEITEMSTRUCT gone) {
    LRESULT ignored = 0;
    if (!ReflectOwnerDraw(WM_DELETEITEM, 0, reinterpret_cast<LPARAM>(gone), &ignored)) {
        Default();
    }
}

HBRUSH CWnd::OnCtlColor(CDC* /*dc*/, CWnd* /*control*/, UINT /*ctlColor*/) {
    return reinterpret_cast<HBRUSH>(Default());
}

void CWnd::OnPaint() {
    Default();
}

BOOL CWnd::OnEraseBkgnd(CDC* /*dc*/) {
    return static_cast<BOOL>(Default());
}

void CWnd::OnLButtonDown(UINT /*flags*/, CPoint /*point*/) {
    Default();
}

void CWnd::OnLButtonUp(UINT /*flags*/, CPoint /*point*/) {
    Default();
}

void CWnd::OnLButtonDblClk(UINT /*flags*/, CPoint /*point*/) {
    Default();
}

void CWnd::OnMouseMove(UINT /*flags*/, CPoint /*point*/) {
    Default();
}

void CWnd::OnDestroy() {
    Default();
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->kind != MessageHandlerKind::End; ++entry) {
            if (entry->kind == MessageHandlerKind::Message && entry->message == message) {
                *result = (this->*(entry->message_))(wParam, lParam);
                return TRUE;
            }
        }
        if (map->base == nullptr) {
            break;
        }
    }
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam)) {
            *result = 0;
            return TRUE;
        }
        return FALSE;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        *result = reinterpret_cast<LRESULT>(OnCtlColor(CDC::FromHandle(reinterpret_cast<HDC>(wParam)),
                                                       FromHandle(reinterpret_cast<HWND>(lParam)),
                                                       message - WM_CTLCOLORMSGBOX));
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_ERASEBKGND:
        *result = OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(wParam)));
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_DRAWITEM:
        OnDrawItem(static_cast<int>(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *result = TRUE;
        return TRUE;
    case WM_MEASUREITEM:
        OnMeasureItem(static_cast<int>(wParam), reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        *result = TRUE;
        return TRUE;
    case WM_COMPAREITEM:
        *result = OnCompareItem(static_cast<int>(wParam), reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam));
        return TRUE;
    case WM_DELETEITEM:
        OnDeleteItem(static_cast<int>(wParam), reinterpret_cast<LPDELETEITEMSTRUCT>(lParam));
        *result = TRUE;
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    case WM_SETFOCUS:
        OnSetFocus(FromHandle(reinterpret_cast<HWND>(wParam)));
        return TRUE;
    case WM_KILLFOCUS:
        OnKillFocus(FromHandle(reinterpret_cast<HWND>(wParam)));
        return TRUE;
    default:
        return FALSE;
    }
}
