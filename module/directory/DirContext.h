// Owners for what the attribute operations hand out: a directory context and a value read by
// ReadAttrValue. Both release what they own on every path.
#pragma once

#include "platform/ui/String.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

// A directory context made by CreateDirContext (or CreateDirContextAlt) and freed when the owner goes.
class CDirContext {
public:
    enum class Kind { Standard, Alt };

    explicit CDirContext(Kind kind = Kind::Standard);
    ~CDirContext();
    CDirContext(const CDirContext&) = delete;
    CDirContext& operator=(const CDirContext&) = delete;
    CDirContext(CDirContext&& other) noexcept;
    CDirContext& operator=(CDirContext&& other) noexcept;

    [[nodiscard]] bool IsOpen() const { return m_handle > 0; }
    // The handle for the attribute operations; the failure code (negative) when not open.
    [[nodiscard]] int32_t Get() const { return m_handle; }
    // Gives the handle up: the caller frees it with DirFreeContext.
    [[nodiscard]] int32_t Release();

private:
    int32_t m_handle = 0;
};

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};
// A value block from ReadAttrValue.
using DirValuePtr = std::unique_ptr<void, FreeDeleter>;

// ReadAttrValue into an owner. Null when there is no value of that syntax.
DirValuePtr ReadAttrValueOwned(int32_t ctx, const char* object, const char* attr, uint32_t syntax);
// The first value of a string attribute (syntax 1, 3 or 20) as text. 1 and *text set, or 0 and *text empty.
int32_t ReadStringAttr(int32_t ctx, const char* object, const char* attr, uint32_t syntax, CString* text);
