#include "platform/winapi/FailureInjection.h"

#include <atomic>

namespace {

thread_local DWORD t_lastError = 0;
std::atomic<unsigned> g_armed{0};

unsigned Bit(WinApiFailure point) {
    return 1u << static_cast<unsigned>(point);
}

} // namespace

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD code) {
    t_lastError = code;
}

void WinApiInjectFailure(WinApiFailure point) {
    g_armed.fetch_or(Bit(point));
}

void WinApiClearInjectedFailures() {
    g_armed.store(0);
}

bool TakeInjectedFailure(WinApiFailure point) {
    return (g_armed.fetch_and(~Bit(point)) & Bit(point)) != 0;
}
