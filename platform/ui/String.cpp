#include "platform/ui/String.h"

#include "platform/ui/ResourceAccess.h"
#include "platform/ui/WinApp.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

BOOL CString::LoadString(UINT id) {
    // Resource strings are short; a longer one is read again with the room it needs.
    for (int size = 256; size <= 65536; size *= 4) {
        std::string buffer(static_cast<size_t>(size), '\0');
        int length = LoadStringA(AfxGetResourceHandle(), id, buffer.data(), size);
        if (length <= 0) {
            m_text.clear();
            return FALSE;
        }
        if (length < size - 1) {
            buffer.resize(static_cast<size_t>(length));
            m_text = std::move(buffer);
            return TRUE;
        }
    }
    m_text.clear();
    return FALSE;
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0) {
        m_text.clear();
    } else {
        std::string out(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<size_t>(length));
        m_text = std::move(out);
    }
    va_end(args);
}

int CString::Compare(const char* other) const {
    return std::strcmp(m_text.c_str(), other ? other : "");
}

int CString::CompareNoCase(const char* other) const {
    const char* a = m_text.c_str();
    const char* b = other ? other : "";
    for (;; ++a, ++b) {
        int x = std::tolower(static_cast<unsigned char>(*a));
        int y = std::tolower(static_cast<unsigned char>(*b));
        if (x != y || x == 0) {
            return x < y ? -1 : (x > y ? 1 : 0);
        }
    }
}

int CString::Find(const char* what, int start) const {
    if (what == nullptr || start < 0 || static_cast<size_t>(start) > m_text.size()) {
        return -1;
    }
    size_t found = m_text.find(what, static_cast<size_t>(start));
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

int CString::Find(char what, int start) const {
    if (start < 0 || static_cast<size_t>(start) > m_text.size()) {
        return -1;
    }
    size_t found = m_text.find(what, static_cast<size_t>(start));
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

int CString::ReverseFind(char what) const {
    size_t found = m_text.rfind(what);
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

CString CString::Left(int count) const {
    return CString(m_text.substr(0, static_cast<size_t>(std::clamp(count, 0, GetLength()))));
}

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    int rest = GetLength() - first;
    if (count < 0 || count > rest) {
        count = rest;
    }
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(m_text.size() - static_cast<size_t>(count)));
}

void CString::MakeUpper() {
    for (char& c : m_text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
}

void CString::MakeLower() {
    for (char& c : m_text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
}

void CString::TrimLeft() {
    size_t first = m_text.find_first_not_of(" \t\r\n");
    m_text.erase(0, first == std::string::npos ? m_text.size() : first);
}

void CString::TrimRight() {
    size_t last = m_text.find_last_not_of(" \t\r\n");
    m_text.erase(last == std::string::npos ? 0 : last + 1);
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) {
        m_text.resize(static_cast<size_t>(minLength));
    }
    return m_text.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        m_text.resize(std::strlen(m_text.c_str()));
    } else {
        m_text.resize(static_cast<size_t>(std::min(newLength, GetLength())));
    }
}
