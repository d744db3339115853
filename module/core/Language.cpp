#include "module/core/Language.h"

#include "host/services/HostTypes.h"
#include "platform/winapi/WinApi.h"

namespace {

constexpr const char* kSessionSettingsKey = "Software\\Tandry\\SessionSettings";
constexpr const char* kNetworkLanguageKey = "Network\\Tandry\\System Config\\Language\\CVLANGUAGE";
constexpr const char* kParametersLanguageKey = "Software\\Tandry\\Parameters\\CVLanguage";

// Reads a string value into a 256-byte buffer; "" when it is missing, not a string, or too long.
std::string ReadString(HKEY key, const char* valueName) {
    char buffer[kLanguageNameSize] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

// Answers whether the key opened; *value gets the value's text.
bool ReadKeyValue(const char* keyPath, const char* valueName, std::string* value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    *value = ReadString(key, valueName);
    RegCloseKey(key);
    return true;
}

} // namespace

std::string ReadLanguageName() {
    std::string language;
    if (!ReadKeyValue(kSessionSettingsKey, "CVLANGUAGE", &language)) {
        if (!ReadKeyValue(kNetworkLanguageKey, nullptr, &language) || language.empty()) {
            ReadKeyValue(kParametersLanguageKey, nullptr, &language);
        }
    }
    return language.empty() ? kDefaultLanguage : language;
}

bool IsUsableLanguageName(const std::string& language) {
    return !language.empty() && language != "." && language.find('/') == std::string::npos &&
           language.find('\\') == std::string::npos && language.find("..") == std::string::npos;
}

std::optional<ResourcePaths> LanguagePaths(const std::string& hostAnswer, const std::string& language) {
    size_t slash = hostAnswer.rfind('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    std::string folder = hostAnswer.substr(0, slash + 1) + language + "/";
    ResourcePaths paths{folder + kResourceLibraryName, folder + kHelpFileName};
    if (paths.library.size() >= kResourcePathSize || paths.help.size() >= kResourcePathSize) {
        return std::nullopt;
    }
    return paths;
}
