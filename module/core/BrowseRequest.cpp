#include "module/core/BrowseRequest.h"

#include "host/services/Host.h"

#include <cstring>

CBrowseRequest::CBrowseRequest(uint32_t type, const char* className) : m_type(type) {
    m_classNames.emplace_back(className);
}

CBrowseRequest::CBrowseRequest(uint32_t type, std::initializer_list<const char*> classNames) : m_type(type) {
    for (const char* className : classNames) {
        m_classNames.emplace_back(className);
    }
}

bool CBrowseRequest::Run(HWND parent, const char* startContext) {
    m_results.clear();
    m_resultClasses.clear();
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
            const char* record = reinterpret_cast<const char*>(param2);
            const char* name = record + kBrowseFullNameOffset;
            self->m_results.emplace_back(std::string_view(name, strnlen(name, kBrowseFullNameSize)));
            self->m_resultClasses.emplace_back(std::string_view(record, strnlen(record, kBrowseClassNameSize)));
        }
        break;
    case kBrowseFilterCount:
        if (param1 != 0) {
            *reinterpret_cast<uint32_t*>(param1) = static_cast<uint32_t>(self->m_classNames.size());
        }
        break;
    case kBrowseFilterName:
        if (param1 < self->m_classNames.size() && param2 != 0) {
            char* out = reinterpret_cast<char*>(param2);
            std::strncpy(out, self->m_classNames[param1], kBrowseClassNameSize - 1);
            out[kBrowseClassNameSize - 1] = '\0';
        }
        break;
    default:
        break;
    }
    return 0;
}
