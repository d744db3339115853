#include "module/core/BrowseRequest.h"

#include "host/services/Host.h"

#include <cstring>

CBrowseRequest::CBrowseRequest(uint32_t type, const char* className) : m_type(type), m_className(className) {}

bool CBrowseRequest::Run(HWND parent, const char* startContext) {
    m_results.clear();
    char context[kBrowseContextSize] = {};
    if (startContext != nullptr) {
        std::strncpy(context, startContext, kBrowseContextSize - 1);
    }
    if (HostBrowse(parent, this, context, 0, 0, 0, m_type, &CBrowseRequest::Collect) != 0) {
        return false;
    }
    return !m_results.empty();
}

LONG __stdcall CBrowseRequest::Collect(void* request, uint32_t message, ULONG_PTR param1, ULONG_PTR param2) {
    auto* self = static_cast<CBrowseRequest*>(request);
    if (self == nullptr) {
        return 0;
    }
    switch (message) {
    case kBrowseKeepContext:
        if (param1 != 0) {
            const char* context = reinterpret_cast<const char*>(param1);
            self->m_context = CString(std::string_view(context, strnlen(context, kBrowseContextSize)));
        }
        break;
    case kBrowseAddResult:
        if (param2 != 0) {
            // The record need not end its name with a zero byte when the name fills it.
            const char* name = reinterpret_cast<const char*>(param2) + kBrowseFullNameOffset;
            self->m_results.emplace_back(std::string_view(name, strnlen(name, kBrowseFullNameSize)));
        }
        break;
    case kBrowseFilterCount:
        if (param1 != 0) {
            *reinterpret_cast<uint32_t*>(param1) = 1;
        }
        break;
    case kBrowseFilterName:
        if (param1 == 0 && param2 != 0) {
            char* out = reinterpret_cast<char*>(param2);
            std::strncpy(out, self->m_className, kBrowseClassNameSize - 1);
            out[kBrowseClassNameSize - 1] = '\0';
        }
        break;
    default:
        break;
    }
    return 0;
}
