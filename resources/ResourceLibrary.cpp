// The exported face of one language's resource library. The source text is embedded at build time and read
// once, on first use, so a library is a single self-contained file that can be copied anywhere.
#include "resources/RcFormat.h"
#include "resources/ResourceTable.h"

#include <cstring>
#include <string_view>

extern "C" const unsigned char kRcSource[];
extern "C" const unsigned long kRcSourceSize;

#ifndef KELNT_RC_LANGUAGE
#error "KELNT_RC_LANGUAGE must name the language of the library"
#endif

namespace {

const kelnt::rc::ResourceTable& Table() {
    static const auto table = kelnt::rc::ResourceTable::Parse(
        std::string_view(reinterpret_cast<const char*>(kRcSource), kRcSourceSize));
    return *table;
}

} // namespace

#define RC_EXPORT extern "C" __attribute__((visibility("default")))

RC_EXPORT int RcLoadString(uint32_t id, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    const std::string* text = Table().FindString(id);
    if (text == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    size_t count = std::min(text->size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text->data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

RC_EXPORT const RcDialog* RcFindDialog(uint32_t id) {
    return Table().FindDialog(id);
}

RC_EXPORT const RcDialog* RcFindDialogByName(const char* name) {
    return name == nullptr ? nullptr : Table().FindDialog(std::string_view(name));
}

RC_EXPORT const RcBitmap* RcFindBitmap(uint32_t id) {
    return Table().FindBitmap(id);
}

RC_EXPORT const RcBitmap* RcFindBitmapByName(const char* name) {
    return name == nullptr ? nullptr : Table().FindBitmap(std::string_view(name));
}

RC_EXPORT const RcBitmap* RcFindIcon(uint32_t id) {
    return Table().FindIcon(id);
}

RC_EXPORT const RcBitmap* RcFindIconByName(const char* name) {
    return name == nullptr ? nullptr : Table().FindIcon(std::string_view(name));
}

RC_EXPORT const char* RcLanguage() {
    return KELNT_RC_LANGUAGE;
}

RC_EXPORT const char* RcLoadError() {
    const std::string& error = Table().Error();
    return error.empty() ? nullptr : error.c_str();
}
