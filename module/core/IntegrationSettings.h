// The registry settings of the NT Integration utility: HKEY_CURRENT_USER
// "Software\Corvane\Parameters\KelNTIntegration", string "PgmName" and 32-bit "ShowWindow".
#pragma once

#include "platform/winapi/WinApi.h"

#include <string>

constexpr const char* kIntegrationKey = "Software\\Corvane\\Parameters\\KelNTIntegration";
// "PgmName" buffers: the menu and the tool button read it into 256 bytes, a request into MAX_PATH.
constexpr DWORD kProgramNameMenuSize = 256;
constexpr DWORD kProgramNameRequestSize = MAX_PATH;

struct IntegrationSettings {
    LONG openStatus = ERROR_FILE_NOT_FOUND; // of opening the key
    LONG closeStatus = ERROR_SUCCESS;       // of closing it
    bool programRead = false;               // "PgmName" read as a string that fits programBufferSize
    bool showWindowRead = false;            // "ShowWindow" read as a 32-bit value
    std::string programName;
    DWORD showWindow = 0;

    // Both values read and the program name is not empty.
    [[nodiscard]] bool Usable() const { return programRead && showWindowRead && !programName.empty(); }
};

// Opens the key for reading, reads both values with a program name buffer of programBufferSize bytes (a
// longer value does not read), and closes the key.
IntegrationSettings ReadIntegrationSettings(DWORD programBufferSize);
