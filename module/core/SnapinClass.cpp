#include "module/core/SnapinClass.h"

#include "host/services/Host.h"
#include "module/core/SnapinModule.h"

namespace {
constexpr const char* kSnapInKey = "Software\\Corvane\\Parameters\\KelNTSnapIn";
}

CSnapinClass::CSnapinClass(const char* nameSpace, const char* className, const char* displayName,
                           HBITMAP normal, HBITMAP alias, HBITMAP readOnly)
    : m_nameSpace(nameSpace ? nameSpace : ""), m_className(className ? className : ""),
      m_displayName(displayName ? displayName : "") {
    if (CSnapinModule* module = CSnapinModule::Current()) {
        m_resourceInstance = module->GetResourceInstance();
        m_banner = module->GetBanner();
    }
    if (normal != nullptr) {
        m_normalBitmap = normal;
    }
    if (alias != nullptr) {
        m_aliasBitmap = alias;
    }
    if (readOnly != nullptr) {
        m_readOnlyBitmap = readOnly;
    }
}

CSnapinClass::~CSnapinClass() {
    RemoveAllPages();
}

void CSnapinClass::RemoveAllPages() {
    // Unlinked one by one so that a long list cannot exhaust the stack.
    while (m_pages) {
        m_pages = std::move(m_pages->next);
    }
    m_pageCount = 0;
}

void CSnapinClass::AddPage(CSnapinPage* page) {
    if (page == nullptr) {
        return;
    }
    auto entry = std::make_unique<PageEntry>();
    entry->record.dialogProc = page->GetDialogProc();
    entry->record.resource = m_resourceInstance;
    entry->record.templateId = page->GetTemplateId();
    entry->record.title = page->GetTitle();
    entry->record.pageParam = page->GetPageParam();
    std::unique_ptr<PageEntry>* tail = &m_pages;
    while (*tail) {
        tail = &(*tail)->next;
    }
    *tail = std::move(entry);
    ++m_pageCount;
}

LONG CSnapinClass::GetPage(const char* /*name*/, unsigned long index, SnapPageRecord* record) {
    if (static_cast<unsigned long>(m_pageCount) < index || !m_pages || record == nullptr) {
        return -1;
    }
    const PageEntry* entry = m_pages.get();
    for (unsigned long step = 0; step < index; ++step) {
        if (!entry->next) {
            return -1;
        }
        entry = entry->next.get();
    }
    *record = entry->record;
    return 0;
}

LONG CSnapinClass::RegisterBitmaps(HBITMAP normal, HBITMAP alias, HBITMAP readOnly) {
    if (m_displayName.empty()) {
        m_displayName = m_className;
    }
    m_normalBitmap = normal;
    m_aliasBitmap = alias;
    m_readOnlyBitmap = readOnly;
    if (m_displayName.empty() || normal == nullptr || alias == nullptr || readOnly == nullptr) {
        return 0;
    }
    return HostSetClassBitmaps(m_className.c_str(), m_displayName.c_str(), normal, alias, readOnly) == 0 ? 1
                                                                                                         : 0;
}

LONG CSnapinClass::ReleaseBitmaps() {
    if (m_normalBitmap == nullptr || m_aliasBitmap == nullptr || m_readOnlyBitmap == nullptr) {
        return 0;
    }
    return HostReleaseClassBitmaps(m_className.c_str(), &m_normalBitmap, &m_aliasBitmap, &m_readOnlyBitmap) ==
                   0
               ? 1
               : 0;
}

LONG CSnapinClass::SwitchedClassFlags(const char* valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSnapInKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return kClassFlagsNotCreatable;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG status = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    bool on = status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && value == 1;
    return on ? kClassFlagsCreatable : kClassFlagsNotCreatable;
}
