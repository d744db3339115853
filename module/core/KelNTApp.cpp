#include "module/core/KelNTApp.h"

#include "host/services/Host.h"
#include "module/core/Language.h"
#include "module/core/SnapinIds.h"
#include "platform/locale/Locale.h"
#include "platform/ui/MessageBox.h"
#include "resources/RcFormat.h"

#include <cstring>
#include <dlfcn.h>
#include <optional>

namespace {

constexpr const char* kAppName = "KELNT";
constexpr const char* kModuleBanner = "KELNT NT accounts snap-in 1.0";

// Loads a library and keeps it only when it is a resource library.
HINSTANCE LoadResourceLibrary(const std::string& path) {
    HINSTANCE library = LoadLibraryA(path.c_str());
    if (library != nullptr && GetProcAddress(library, RC_LOAD_STRING) == nullptr) {
        FreeLibrary(library);
        library = nullptr;
    }
    return library;
}

// The help file beside a loaded library, for when the host's answer gave no language folder.
std::string HelpBesideLibrary(HINSTANCE library) {
    Dl_info info{};
    auto symbol = reinterpret_cast<void*>(GetProcAddress(library, RC_LOAD_STRING));
    if (symbol == nullptr || dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(kHelpFileName)
                                      : path.substr(0, slash + 1) + kHelpFileName;
}

uint32_t RecordField(const unsigned char* record, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

} // namespace

CKelNTApp::CKelNTApp() : CWinApp(kAppName), CSnapinModule(kModuleBanner) {}

CKelNTApp::~CKelNTApp() {
    // A host that never called ShutDown still gets the library back.
    FreeResourceLibrary();
}

BOOL CKelNTApp::InitInstance() {
    std::string language = ReadLanguageName();
    if (!IsUsableLanguageName(language)) {
        std::string text =
            "The language \"" + language +
            "\" in the registry is not a folder name and is not used; \"English\" is used instead.";
        MessageBoxA(nullptr, text.c_str(), kAppName, MB_OK | MB_ICONEXCLAMATION);
        language = kDefaultLanguage;
    }

    // The host's answer is checked: on a failure, or a path that would not fit, only the library search
    // path is tried.
    char found[kResourcePathSize] = {};
    std::optional<ResourcePaths> paths;
    if (HostFindResourceLibrary(kResourceLibraryName, found) == 0) {
        found[sizeof found - 1] = '\0';
        paths = LanguagePaths(found, language);
    }

    FreeResourceLibrary();
    HINSTANCE library = paths ? LoadResourceLibrary(paths->library) : nullptr;
    if (library == nullptr) {
        library = LoadResourceLibrary(kResourceLibraryName);
    }
    if (library == nullptr) {
        MessageBoxA(nullptr, kNoResourceLibraryText, kAppName, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    m_resourceLibrary = library;
    AfxSetResourceHandle(library);

    if (LocInitialize(m_localeRecord) == 0) {
        ResourceMessageBox(GetFocus(), kIdsLocaleInitFailed, kIdsModuleCaption, MB_OK);
    }
    if (LocCheckVersion(RecordField(m_localeRecord, LOC_RECORD_VERSION_OFFSET),
                        RecordField(m_localeRecord, LOC_RECORD_CODE_PAGE_OFFSET)) != 0) {
        ResourceMessageBox(GetFocus(), kIdsLocaleVersion, kIdsModuleCaption, MB_OK);
    }

    SetHelpFilePath(paths ? paths->help.c_str() : HelpBesideLibrary(library).c_str());
    return CWinApp::InitInstance();
}

LONG CKelNTApp::FreeResourceLibrary() {
    if (m_resourceLibrary == nullptr) {
        return 0;
    }
    if (AfxGetResourceHandle() == m_resourceLibrary) {
        AfxSetResourceHandle(nullptr);
    }
    if (m_resourceInstance == m_resourceLibrary) {
        m_resourceInstance = nullptr;
    }
    BOOL freed = FreeLibrary(m_resourceLibrary);
    m_resourceLibrary = nullptr;
    return freed;
}
