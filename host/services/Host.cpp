#include "host/services/Host.h"

#include "host/services/HostServices.h"

#include <cstring>
#include <string>

namespace {

// Copies text into a buffer of `size` bytes; a text that does not fit leaves "" and answers false, since a
// cut name could name another object.
bool CopyBounded(const std::string& text, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) {
        return false;
    }
    if (text.size() >= size) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

std::string Text(const char* text) {
    return text ? text : "";
}

} // namespace

LONG HostRegisterClass(const char* nameSpace, const char* className, const char* banner, HINSTANCE resource,
                       SnapCallBack callBack, uint32_t version) {
    RegisteredClass entry;
    entry.nameSpace = Text(nameSpace);
    entry.className = Text(className);
    entry.banner = Text(banner);
    entry.resource = resource;
    entry.callBack = callBack;
    entry.version = version;
    return HostServices::Instance().AddClass(std::move(entry));
}

LONG HostRegisterTool(const char* menuName, uint32_t /*reserved1*/, uint32_t /*reserved2*/,
                      uint32_t /*reserved3*/, uint16_t* commandId, const char* menuText,
                      const char* statusText, ToolMenuAction action, ToolMenuValid valid, uint32_t version) {
    RegisteredTool entry;
    entry.menuName = Text(menuName);
    entry.menuText = Text(menuText);
    entry.statusText = Text(statusText);
    entry.action = action;
    entry.valid = valid;
    entry.version = version;
    return HostServices::Instance().AddTool(std::move(entry), commandId);
}

LONG HostAddToolButton(const ToolButtonRecord* record) {
    return record == nullptr ? -1 : HostServices::Instance().AddToolButton(*record);
}

HWND HostGetMainWindow() {
    return HostServices::Instance().MainWindow();
}

LONG HostQueryContext(uint32_t /*reserved*/, char* buffer) {
    const HostServices& host = HostServices::Instance();
    if (buffer != nullptr) {
        CopyBounded(host.ContextName(), buffer, kQueryContextBufferSize);
    }
    return host.QueryContextAnswer();
}

LONG HostQueryMode(uint32_t* mode) {
    if (mode != nullptr) {
        *mode = HostServices::Instance().QueryMode();
    }
    return 0;
}

LONG HostGetSelection(HostSelectionRecord* record, char* buffer) {
    const HostServices& host = HostServices::Instance();
    if (record != nullptr) {
        std::memset(record, 0, sizeof *record);
        CopyBounded(host.TreeName(), record->treeName, sizeof record->treeName);
    }
    if (buffer != nullptr) {
        std::memset(buffer, 0, kSelectionBufferSize);
        CopyBounded(host.SelectedObject(), buffer, kSelectionBufferSize);
    }
    return 0;
}

LONG HostSetClassBitmaps(const char* className, const char* displayName, HBITMAP normal, HBITMAP alias,
                         HBITMAP readOnly) {
    RegisteredClass* entry = HostServices::Instance().FindClass(Text(className));
    if (entry == nullptr) {
        return -1;
    }
    entry->displayName = Text(displayName);
    entry->normal = normal;
    entry->alias = alias;
    entry->readOnly = readOnly;
    return 0;
}

LONG HostReleaseClassBitmaps(const char* className, HBITMAP* /*normal*/, HBITMAP* /*alias*/,
                             HBITMAP* /*readOnly*/) {
    RegisteredClass* entry = HostServices::Instance().FindClass(Text(className));
    if (entry == nullptr ||
        (entry->normal == nullptr && entry->alias == nullptr && entry->readOnly == nullptr)) {
        return -1;
    }
    entry->normal = nullptr;
    entry->alias = nullptr;
    entry->readOnly = nullptr;
    return 0;
}

LONG HostBrowse(HWND parent, void* request, char* context, uint32_t /*reserved1*/, uint32_t /*reserved2*/,
                uint32_t /*reserved3*/, uint32_t option, BrowseCollector collector) {
    if (collector == nullptr) {
        return -1;
    }
    BrowseQuery query;
    query.parent = parent;
    query.option = option;
    if (context != nullptr) {
        query.startContext.assign(context, strnlen(context, kBrowseContextSize));
    }
    uint32_t count = 0;
    collector(request, kBrowseFilterCount, reinterpret_cast<ULONG_PTR>(&count), 0);
    for (uint32_t i = 0; i < count && i < 256; ++i) {
        char name[kBrowseClassNameSize] = {};
        collector(request, kBrowseFilterName, i, reinterpret_cast<ULONG_PTR>(name));
        name[kBrowseClassNameSize - 1] = '\0';
        query.classFilter.emplace_back(name);
    }
    const Browser& browser = HostServices::Instance().GetBrowser();
    BrowseAnswer answer = browser ? browser(query) : BrowseAnswer{};
    if (answer.picks.empty()) {
        return -1;
    }
    if (context != nullptr) {
        std::string endContext = answer.endContext.empty() ? query.startContext : answer.endContext;
        CopyBounded(endContext, context, kBrowseContextSize);
        collector(request, kBrowseKeepContext, reinterpret_cast<ULONG_PTR>(context), 0);
    }
    for (const BrowsePick& pick : answer.picks) {
        // A pick whose names do not fit the record is not handed on: a cut name could name another object.
        if (pick.baseClass.size() >= kBrowseClassNameSize || pick.fullName.size() >= kBrowseFullNameSize) {
            continue;
        }
        unsigned char record[kBrowseResultSize] = {};
        std::memcpy(record, pick.baseClass.c_str(), pick.baseClass.size());
        std::memcpy(record + kBrowseFullNameOffset, pick.fullName.c_str(), pick.fullName.size());
        collector(request, kBrowseAddResult, 0, reinterpret_cast<ULONG_PTR>(record));
    }
    return 0;
}

LONG HostFindResourceLibrary(const char* fileName, char* path) {
    if (path == nullptr) {
        return -1;
    }
    path[0] = '\0';
    if (fileName == nullptr || fileName[0] == '\0') {
        return -1;
    }
    std::string full = HostServices::Instance().ResourceRoot() + "/" + fileName;
    return CopyBounded(full, path, kResourcePathSize) ? 0 : -1;
}
