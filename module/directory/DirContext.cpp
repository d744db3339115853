#include "module/directory/DirContext.h"

#include "module/directory/AttrAccess.h"

#include <cstring>
#include <string_view>
#include <utility>

CDirContext::CDirContext(Kind kind)
    : m_handle(kind == Kind::Alt ? CreateDirContextAlt() : CreateDirContext()) {}

CDirContext::~CDirContext() {
    if (IsOpen()) {
        static_cast<void>(DirFreeContext(m_handle));
    }
}

CDirContext::CDirContext(CDirContext&& other) noexcept : m_handle(std::exchange(other.m_handle, 0)) {}

CDirContext& CDirContext::operator=(CDirContext&& other) noexcept {
    if (this != &other) {
        if (IsOpen()) {
            static_cast<void>(DirFreeContext(m_handle));
        }
        m_handle = std::exchange(other.m_handle, 0);
    }
    return *this;
}

int32_t CDirContext::Release() {
    return std::exchange(m_handle, 0);
}

DirValuePtr ReadAttrValueOwned(int32_t ctx, const char* object, const char* attr, uint32_t syntax) {
    void* value = nullptr;
    if (ReadAttrValue(ctx, object, attr, syntax, &value) != 1) {
        return nullptr;
    }
    return DirValuePtr(value);
}

int32_t ReadStringAttr(int32_t ctx, const char* object, const char* attr, uint32_t syntax, CString* text) {
    if (text == nullptr) {
        return 0;
    }
    text->Empty();
    if (syntax != kDirSyntaxDistinguishedName && syntax != kDirSyntaxCaseIgnoreString &&
        syntax != kDirSyntaxClassName) {
        return 0;
    }
    DirValuePtr value = ReadAttrValueOwned(ctx, object, attr, syntax);
    if (value == nullptr) {
        return 0;
    }
    *text = CString(static_cast<const char*>(value.get()));
    return 1;
}
