// The date parser never reads past its text, and a date it accepts has plausible field widths.
#include "platform/winapi/WinApi.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // a copy of exactly size bytes, so that reading past the end is caught
    std::string text(reinterpret_cast<const char*>(data), size);
    std::optional<DateParts> parts = ParseDate(text);
    if (parts && (parts->day < 0 || parts->day > 99 || parts->month < 0 || parts->month > 99 ||
                  parts->year < 0 || parts->year > 9999))
        std::abort();
    return 0;
}
