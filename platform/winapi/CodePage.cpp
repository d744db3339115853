#include "platform/winapi/WinApi.h"

#include <atomic>

namespace {

std::atomic<UINT> g_activeCodePage{1252};

} // namespace

BOOL SetActiveCodePage(UINT codePage) {
    switch (codePage) {
    case 437:
    case 850:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1250:
    case 1251:
    case 1252:
    case 28591:
    case 65001:
        g_activeCodePage = codePage;
        return TRUE;
    default:
        return FALSE;
    }
}

UINT GetACP() {
    return g_activeCodePage;
}

BOOL IsDBCSLeadByte(BYTE testChar) {
    switch (g_activeCodePage.load()) {
    case 932: // Shift-JIS
        return (testChar >= 0x81 && testChar <= 0x9F) || (testChar >= 0xE0 && testChar <= 0xFC);
    case 936: // GBK
    case 949: // Unified Hangul
    case 950: // Big5
        return testChar >= 0x81 && testChar <= 0xFE;
    default:
        return FALSE;
    }
}
