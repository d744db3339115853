// The framework's list of strings, indexed from 0.
#pragma once

#include "platform/ui/Object.h"
#include "platform/ui/String.h"

#include <vector>

class CStringArray : public CObject {
public:
    [[nodiscard]] int GetSize() const { return static_cast<int>(m_items.size()); }
    [[nodiscard]] int GetCount() const { return GetSize(); }
    [[nodiscard]] int GetUpperBound() const { return GetSize() - 1; }
    [[nodiscard]] bool IsEmpty() const { return m_items.empty(); }
    // Indices outside 0..GetSize()-1 are a caller's error and throw std::out_of_range.
    [[nodiscard]] const CString& GetAt(int index) const { return m_items.at(static_cast<size_t>(index)); }
    CString& ElementAt(int index) { return m_items.at(static_cast<size_t>(index)); }
    const CString& operator[](int index) const { return GetAt(index); }
    CString& operator[](int index) { return ElementAt(index); }
    void SetAt(int index, const CString& text) { ElementAt(index) = text; }
    // Answers the new element's index.
    int Add(const CString& text) {
        m_items.push_back(text);
        return GetSize() - 1;
    }
    void InsertAt(int index, const CString& text);
    void RemoveAt(int index, int count = 1);
    void RemoveAll() { m_items.clear(); }
    void SetSize(int size) { m_items.resize(static_cast<size_t>(size < 0 ? 0 : size)); }
    void Copy(const CStringArray& other) { m_items = other.m_items; }

private:
    std::vector<CString> m_items;
};
