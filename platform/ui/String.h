// The framework's string: a byte string (ANSI or UTF-8 as given), always NUL-terminated for callers that
// take a const char*.
#pragma once

#include "platform/ui/UiTypes.h"

#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(std::string_view text) : m_text(text) {}
    CString(std::string text) : m_text(std::move(text)) {}

    [[nodiscard]] int GetLength() const { return static_cast<int>(m_text.size()); }
    [[nodiscard]] bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    [[nodiscard]] char GetAt(int index) const { return m_text.at(static_cast<size_t>(index)); }
    operator LPCSTR() const { return m_text.c_str(); }
    [[nodiscard]] const std::string& Str() const { return m_text; }

    CString& operator=(const char* text) {
        m_text = text ? text : "";
        return *this;
    }
    CString& operator+=(const CString& more) {
        m_text += more.m_text;
        return *this;
    }
    CString& operator+=(const char* more) {
        m_text += more ? more : "";
        return *this;
    }
    CString& operator+=(char c) {
        m_text += c;
        return *this;
    }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }

    // Loads string `id` of the current resource library (AfxGetResourceHandle); FALSE and empty when missing.
    BOOL LoadString(UINT id);
    // printf-style formatting, for formats written in the code.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    [[nodiscard]] int Compare(const char* other) const;
    // ASCII letters compared without regard to case, as directory names are.
    [[nodiscard]] int CompareNoCase(const char* other) const;
    // Byte index of the first occurrence, or -1.
    [[nodiscard]] int Find(const char* what, int start = 0) const;
    [[nodiscard]] int Find(char what, int start = 0) const;
    [[nodiscard]] int ReverseFind(char what) const;
    [[nodiscard]] CString Left(int count) const;
    [[nodiscard]] CString Mid(int first, int count = -1) const;
    [[nodiscard]] CString Right(int count) const;
    void MakeUpper();
    void MakeLower();
    void TrimLeft();
    void TrimRight();

    // Direct writing: GetBuffer gives room for at least minLength bytes and a NUL; ReleaseBuffer takes the
    // text up to the first NUL (length -1) or the given length.
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

private:
    std::string m_text;
};
