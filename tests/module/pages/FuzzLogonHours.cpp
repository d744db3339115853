// libFuzzer target for stored logon hours, a value other tools write: whatever its length and whatever the
// time zone, the grid takes it without reading past it, and hands back the same 21 bytes (hours past a short
// value's end stay allowed).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "module/pages/users/LogonHoursGrid.h"
#include "platform/winapi/WinApi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes choose the standard bias, in minutes, within a day either way and past it.
    const LONG bias = static_cast<LONG>(static_cast<int16_t>(data[0] | (data[1] << 8))) % 3000;
    TimeZoneInjectBias(bias);
    const uint8_t* stored = data + 2;
    const size_t length = size - 2;

    CLogonHoursGrid grid;
    grid.Initialise();
    grid.SetStoredBytes(stored, length);
    const LogonHoursBytes back = grid.GetStoredBytes();
    for (size_t i = 0; i < kLogonHoursBytes; ++i) {
        const uint8_t expected = i < length ? stored[i] : 0xFF;
        if (back[i] != expected) {
            std::abort();
        }
    }
    TimeZoneClearInjection();
    return 0;
}
