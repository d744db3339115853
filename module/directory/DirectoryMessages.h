// String ids of the messages the directory access layer shows. Formats are filled with the directory
// client's error code.
#pragma once

#include <cstdint>

inline constexpr unsigned kFmtBufferAllocFailed = 12;      // format: %d, the client's code
inline constexpr unsigned kMsgNoContext = 13;              // no directory context could be opened
inline constexpr unsigned kFmtListFailed = 14;             // format: %d
inline constexpr unsigned kFmtObjectCountFailed = 15;      // format: %d
inline constexpr unsigned kMsgRightsQueryFailed = 57348;   // the effective rights could not be read
inline constexpr unsigned kMsgIdentityQueryFailed = 57349; // the signed-in identity could not be read
