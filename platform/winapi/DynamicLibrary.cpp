#include "platform/winapi/WinApi.h"

#include <dlfcn.h>

namespace {

thread_local std::string t_loadError;

} // namespace

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (fileName == nullptr || fileName[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* text = dlerror();
        t_loadError = text != nullptr ? text : "cannot load library";
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    t_loadError.clear();
    return static_cast<HMODULE>(handle);
}

BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return dlclose(module) == 0 ? TRUE : FALSE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    if (module == nullptr || procName == nullptr || reinterpret_cast<uintptr_t>(procName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(module, procName);
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

std::string LoadLibraryLastErrorText() {
    return t_loadError;
}
