// CDC and the drawing objects of the class framework, over the calls of Gdi.h.
#pragma once

#include "platform/ui/Bitmap.h"
#include "platform/ui/String.h"
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/Wnd.h"

#include <memory>
#include <vector>

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    BOOL CreatePen(int style, int width, COLORREF color);
    BOOL CreateStockObject(int index);
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
    static CPen* FromHandle(HPEN pen);
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color);
    BOOL CreateStockObject(int index);
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
    static CBrush* FromHandle(HBRUSH brush);
};

class CDC : public CObject {
public:
    CDC() = default;
    ~CDC() override;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;

    // A temporary object for a context that the framework or the platform made (the hDC of a draw request);
    // it lives until the context is gone.
    static CDC* FromHandle(HDC dc);
    BOOL Attach(HDC dc);
    HDC Detach();
    [[nodiscard]] HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    BOOL CreateCompatibleDC(CDC* dc);
    BOOL DeleteDC();

    // Each answers the object selected before, as an object of the same class.
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CBitmap* SelectObject(CBitmap* bitmap);
    CGdiObject* SelectStockObject(int index);
    int SetROP2(int mode) { return ::SetROP2(m_hDC, mode); }
    [[nodiscard]] int GetROP2() const { return ::GetROP2(m_hDC); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }

    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
    BOOL Rectangle(int left, int top, int right, int bottom) {
        return ::Rectangle(m_hDC, left, top, right, bottom);
    }
    BOOL Rectangle(LPCRECT r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
    void FillRect(LPCRECT rect, CBrush* brush) {
        ::FillRect(m_hDC, rect, brush ? static_cast<HBRUSH>(*brush) : nullptr);
    }
    void FillSolidRect(LPCRECT rect, COLORREF color);
    void FillSolidRect(int x, int y, int width, int height, COLORREF color);
    void InvertRect(LPCRECT rect) { ::InvertRect(m_hDC, rect); }
    void DrawFocusRect(LPCRECT rect) { ::DrawFocusRect(m_hDC, rect); }
    BOOL PatBlt(int x, int y, int width, int height, DWORD rop) {
        return ::PatBlt(m_hDC, x, y, width, height, rop);
    }
    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int sourceX, int sourceY, DWORD rop) {
        return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sourceX, sourceY, rop);
    }
    BOOL TextOut(int x, int y, const CString& text) {
        return ::TextOutA(m_hDC, x, y, text, text.GetLength());
    }
    BOOL TextOut(int x, int y, LPCSTR text, int length) { return ::TextOutA(m_hDC, x, y, text, length); }
    int DrawText(const CString& text, LPRECT rect, UINT format) {
        return ::DrawTextA(m_hDC, text, text.GetLength(), rect, format);
    }
    [[nodiscard]] SIZE GetTextExtent(const CString& text) const;
    [[nodiscard]] COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    COLORREF SetPixel(int x, int y, COLORREF color) { return ::SetPixel(m_hDC, x, y, color); }

private:
    bool m_owned = false;
    std::vector<std::unique_ptr<CGdiObject>> m_temporaries;
    template <typename T> T* Temporary(HGDIOBJ handle);
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

private:
    HWND m_window;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* window);
    ~CClientDC() override;

private:
    HWND m_window;
};
