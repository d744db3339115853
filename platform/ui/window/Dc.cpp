#include "platform/ui/window/Dc.h"

#include <map>

namespace {

// Objects made for handles the caller does not own: they never delete what they stand for.
template <typename Base> class TemporaryGdi : public Base {
public:
    explicit TemporaryGdi(HGDIOBJ handle) { this->m_hObject = handle; }
    ~TemporaryGdi() override { this->m_hObject = nullptr; }
};

std::map<HDC, std::unique_ptr<CDC>>& TemporaryDCs() {
    static std::map<HDC, std::unique_ptr<CDC>> map;
    return map;
}

} // namespace

BOOL CPen::CreatePen(int style, int width, COLORREF color) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    m_hObject = ::CreatePen(style, width, color);
    return m_hObject != nullptr;
}

BOOL CPen::CreateStockObject(int index) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    m_hObject = GetStockObject(index);
    return m_hObject != nullptr;
}

CPen* CPen::FromHandle(HPEN pen) {
    static std::map<HPEN, std::unique_ptr<CPen>> pens;
    auto& slot = pens[pen];
    if (!slot) {
        slot = std::make_unique<TemporaryGdi<CPen>>(pen);
    }
    return slot.get();
}

BOOL CBrush::CreateSolidBrush(COLORREF color) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    m_hObject = ::CreateSolidBrush(color);
    return m_hObject != nullptr;
}

BOOL CBrush::CreateStockObject(int index) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    m_hObject = GetStockObject(index);
    return m_hObject != nullptr;
}

CBrush* CBrush::FromHandle(HBRUSH brush) {
    // Pens and brushes are shared values that live as long as the process, so their stand-ins may too.
    static std::map<HBRUSH, std::unique_ptr<CBrush>> brushes;
    auto& slot = brushes[brush];
    if (!slot) {
        slot = std::make_unique<TemporaryGdi<CBrush>>(brush);
    }
    return slot.get();
}

CDC::~CDC() {
    if (m_owned && m_hDC != nullptr) {
        ::DeleteDC(m_hDC);
    }
}

CDC* CDC::FromHandle(HDC dc) {
    if (dc == nullptr) {
        return nullptr;
    }
    auto& temporary = TemporaryDCs();
    // Contexts come and go with every drawing; forget the stand-ins of those that are gone.
    for (auto it = temporary.begin(); it != temporary.end();) {
        if (!IsLiveDC(it->first) && it->first != dc) {
            it = temporary.erase(it);
        } else {
            ++it;
        }
    }
    auto& slot = temporary[dc];
    if (!slot || !IsLiveDC(dc)) {
        slot = std::make_unique<CDC>();
        slot->m_hDC = dc;
    }
    return slot.get();
}

BOOL CDC::Attach(HDC dc) {
    if (m_hDC != nullptr || dc == nullptr) {
        return FALSE;
    }
    m_hDC = dc;
    return TRUE;
}

HDC CDC::Detach() {
    HDC dc = m_hDC;
    m_hDC = nullptr;
    m_owned = false;
    return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
    if (m_hDC != nullptr) {
        return FALSE;
    }
    m_hDC = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    m_owned = m_hDC != nullptr;
    return m_owned;
}

BOOL CDC::DeleteDC() {
    if (m_hDC == nullptr) {
        return FALSE;
    }
    BOOL done = ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_owned = false;
    return done;
}

template <typename T> T* CDC::Temporary(HGDIOBJ handle) {
    if (handle == nullptr) {
        return nullptr;
    }
    m_temporaries.push_back(std::make_unique<TemporaryGdi<T>>(handle));
    return static_cast<T*>(m_temporaries.back().get());
}

CPen* CDC::SelectObject(CPen* pen) {
    return pen ? Temporary<CPen>(::SelectObject(m_hDC, pen->GetSafeHandle())) : nullptr;
}

CBrush* CDC::SelectObject(CBrush* brush) {
    return brush ? Temporary<CBrush>(::SelectObject(m_hDC, brush->GetSafeHandle())) : nullptr;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
    return bitmap ? Temporary<CBitmap>(::SelectObject(m_hDC, bitmap->GetSafeHandle())) : nullptr;
}

CGdiObject* CDC::SelectStockObject(int index) {
    HGDIOBJ object = GetStockObject(index);
    HGDIOBJ old = ::SelectObject(m_hDC, object);
    if (old == nullptr) {
        return nullptr;
    }
    if (index == WHITE_PEN || index == BLACK_PEN || index == NULL_PEN) {
        return Temporary<CPen>(old);
    }
    return Temporary<CBrush>(old);
}

CPoint CDC::MoveTo(int x, int y) {
    POINT previous{0, 0};
    ::MoveToEx(m_hDC, x, y, &previous);
    return CPoint(previous.x, previous.y);
}

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
    ::SetBkColor(m_hDC, color);
    ::FillRect(m_hDC, rect, ::CreateSolidBrush(color));
}

void CDC::FillSolidRect(int x, int y, int width, int height, COLORREF color) {
    RECT rect{x, y, x + width, y + height};
    FillSolidRect(&rect, color);
}

SIZE CDC::GetTextExtent(const CString& text) const {
    SIZE size{0, 0};
    ::GetTextExtentPoint32A(m_hDC, text, text.GetLength(), &size);
    return size;
}

CPaintDC::CPaintDC(CWnd* window) : m_window(window ? window->m_hWnd : nullptr) {
    m_hDC = ::BeginPaint(m_window, &m_ps);
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_window, &m_ps);
    m_hDC = nullptr;
}

CClientDC::CClientDC(CWnd* window) : m_window(window ? window->m_hWnd : nullptr) {
    m_hDC = ::GetDC(m_window);
}

CClientDC::~CClientDC() {
    ::ReleaseDC(m_window, m_hDC);
    m_hDC = nullptr;
}
