#include "module/core/IntegrationSettings.h"

#include <vector>

IntegrationSettings ReadIntegrationSettings(DWORD programBufferSize) {
    IntegrationSettings settings;
    HKEY key = nullptr;
    settings.openStatus = RegOpenKeyExA(HKEY_CURRENT_USER, kIntegrationKey, 0, KEY_READ, &key);
    if (settings.openStatus != ERROR_SUCCESS) {
        return settings;
    }
    std::vector<char> program(programBufferSize + 1, '\0');
    DWORD type = REG_NONE;
    DWORD size = programBufferSize;
    if (RegQueryValueExA(key, "PgmName", nullptr, &type, reinterpret_cast<LPBYTE>(program.data()), &size) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        settings.programRead = true;
        settings.programName = program.data();
    }
    DWORD show = 0;
    size = sizeof show;
    if (RegQueryValueExA(key, "ShowWindow", nullptr, &type, reinterpret_cast<LPBYTE>(&show), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof show) {
        settings.showWindowRead = true;
        settings.showWindow = show;
    }
    settings.closeStatus = RegCloseKey(key);
    return settings;
}
