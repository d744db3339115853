// The locale library: start-up record and check, and UTF-8 to single-byte conversion.
#include "platform/locale/Locale.h"
#include "platform/locale/CodePageTables.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>

namespace {

struct LocaleState {
    std::atomic<uint32_t> codePage{1252};
    std::atomic<int32_t> initializeFails{0};
    std::atomic<int32_t> versionRefused{0};
};

bool EnvFlag(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && v[0] != 0 && std::strcmp(v, "0") != 0;
}

void ReadEnvironment(LocaleState& state) {
    state.codePage = 1252;
    if (const char* cp = std::getenv("KELNT_LOC_CODE_PAGE")) {
        uint32_t page = static_cast<uint32_t>(std::strtoul(cp, nullptr, 10));
        if (IsSupportedCodePage(page))
            state.codePage = page;
    }
    state.initializeFails = EnvFlag("KELNT_LOC_FAIL_INIT") ? 1 : 0;
    state.versionRefused = EnvFlag("KELNT_LOC_REFUSE_VERSION") ? 1 : 0;
}

LocaleState& State() {
    static LocaleState state;
    static const bool read = [] {
        ReadEnvironment(state);
        return true;
    }();
    (void)read;
    return state;
}

// A conversion handle names the code page it was made for; the handles live as long as the library.
struct Converter {
    uint32_t codePage;
};

std::mutex g_convertersMutex;
// A list, so that a handle (the address of its converter) stays valid while more are made.
std::list<Converter>& Converters() {
    static std::list<Converter> converters;
    return converters;
}

Converter* FindConverter(uintptr_t handle) {
    std::lock_guard lock(g_convertersMutex);
    for (Converter& c : Converters())
        if (reinterpret_cast<uintptr_t>(&c) == handle)
            return &c;
    return nullptr;
}

// Decodes one well-formed UTF-8 sequence (no overlong forms, no surrogates, nothing above U+10FFFF).
bool NextCodePoint(const unsigned char*& p, uint32_t& cp) {
    unsigned char b = *p;
    int extra;
    uint32_t minimum;
    if (b < 0x80) {
        cp = b;
        ++p;
        return true;
    } else if (b >= 0xC2 && b <= 0xDF) {
        extra = 1;
        cp = b & 0x1F;
        minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        extra = 2;
        cp = b & 0x0F;
        minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        extra = 3;
        cp = b & 0x07;
        minimum = 0x10000;
    } else {
        return false;
    }
    for (int i = 1; i <= extra; ++i) {
        unsigned char c = p[i];
        if ((c & 0xC0) != 0x80)
            return false; // also stops at the NUL
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    p += extra + 1;
    return true;
}

bool MapCodePoint(uint32_t codePage, uint32_t cp, unsigned char& byte) {
    if (cp < 0x80) {
        byte = static_cast<unsigned char>(cp);
        return true;
    }
    const uint16_t* upper = UpperHalfOf(codePage);
    for (int i = 0; i < 128; ++i) {
        if (upper[i] != 0 && upper[i] == cp) {
            byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

int32_t Fail(char* out, uint32_t outSize, uint32_t* outLength, int32_t code) {
    // nothing of a half-converted password stays behind
    if (out != nullptr && outSize > 0)
        std::memset(out, 0, outSize);
    if (outLength != nullptr)
        *outLength = 0;
    return code;
}

void Put32(unsigned char* record, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        record[offset + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

extern "C" {

int32_t LocInitialize(void* record) {
    if (record == nullptr || State().initializeFails != 0)
        return 0;
    auto* bytes = static_cast<unsigned char*>(record);
    std::memset(bytes, 0, LOC_RECORD_SIZE);
    Put32(bytes, 0, LOC_RECORD_SIZE);
    Put32(bytes, LOC_RECORD_CODE_PAGE_OFFSET, State().codePage);
    Put32(bytes, LOC_RECORD_VERSION_OFFSET, LOC_INTERFACE_VERSION);
    return 1;
}

int32_t LocCheckVersion(uint32_t field60, uint32_t field56) {
    if (State().versionRefused != 0 || (field60 >> 16) != (LOC_INTERFACE_VERSION >> 16))
        return LOC_ERR_VERSION;
    if (!IsSupportedCodePage(field56))
        return LOC_ERR_CODE_PAGE;
    return LOC_OK;
}

int32_t LocGetConversionHandle(uintptr_t* handle) {
    if (handle == nullptr)
        return LOC_ERR_PARAMETER;
    const uint32_t page = State().codePage;
    std::lock_guard lock(g_convertersMutex);
    for (Converter& c : Converters()) {
        if (c.codePage == page) {
            *handle = reinterpret_cast<uintptr_t>(&c);
            return LOC_OK;
        }
    }
    Converters().push_back(Converter{page});
    *handle = reinterpret_cast<uintptr_t>(&Converters().back());
    return LOC_OK;
}

int32_t LocConvertString(uintptr_t handle, char* out, uint32_t outSize, const char* text, uint32_t flags,
                         uint32_t* outLength) {
    if (out == nullptr || outSize == 0 || text == nullptr || flags != 0)
        return Fail(out, outSize, outLength, LOC_ERR_PARAMETER);
    Converter* converter = FindConverter(handle);
    if (converter == nullptr)
        return Fail(out, outSize, outLength, LOC_ERR_HANDLE);
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    uint32_t written = 0;
    while (*p != 0) {
        uint32_t cp;
        if (!NextCodePoint(p, cp))
            return Fail(out, outSize, outLength, LOC_ERR_INVALID_UTF8);
        unsigned char byte;
        if (!MapCodePoint(converter->codePage, cp, byte))
            return Fail(out, outSize, outLength, LOC_ERR_NO_MAPPING);
        if (written + 1 >= outSize) // the NUL needs its byte too
            return Fail(out, outSize, outLength, LOC_ERR_BUFFER_SMALL);
        out[written++] = static_cast<char>(byte);
    }
    std::memset(out + written, 0, outSize - written);
    if (outLength != nullptr)
        *outLength = written;
    return LOC_OK;
}

int32_t LocSetTargetCodePage(uint32_t codePage) {
    if (!IsSupportedCodePage(codePage))
        return 0;
    State().codePage = codePage;
    return 1;
}

uint32_t LocGetTargetCodePage(void) {
    return State().codePage;
}

void LocSetInitializeFails(int32_t fails) {
    State().initializeFails = fails;
}

void LocSetVersionRefused(int32_t refused) {
    State().versionRefused = refused;
}

void LocResetTestHooks(void) {
    ReadEnvironment(State());
}
}
