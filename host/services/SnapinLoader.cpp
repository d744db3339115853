#include "host/services/SnapinLoader.h"

#include "host/services/HostServices.h"

#include <dlfcn.h>

namespace {
using StartHook = int (*)();
using InitSnapinProc = long (*)();
using ShutDownProc = long (*)();
} // namespace

SnapinLoader::Result SnapinLoader::Load(const std::string& path) {
    if (m_handle != nullptr) {
        return {false, "a module is already loaded"};
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        return {false, "cannot load " + path + ": " + (why ? why : "unknown error")};
    }
    auto start = reinterpret_cast<StartHook>(dlsym(handle, SNAPIN_START_HOOK));
    auto init = reinterpret_cast<InitSnapinProc>(dlsym(handle, "InitSnapin"));
    auto shutDown = reinterpret_cast<ShutDownProc>(dlsym(handle, "ShutDown"));
    if (start == nullptr || init == nullptr || shutDown == nullptr) {
        dlclose(handle);
        return {false,
                path + " is not a snap-in module (missing " SNAPIN_START_HOOK ", InitSnapin or ShutDown)"};
    }
    if (start() == 0) {
        dlclose(handle);
        return {false, path + " refused to start"};
    }
    m_handle = handle;
    long answer = init();
    m_initialised = true;
    if (answer != 0) {
        Unload();
        return {false, "InitSnapin of " + path + " answered " + std::to_string(answer)};
    }
    return {true, {}};
}

long SnapinLoader::Unload() {
    if (m_handle == nullptr) {
        return 0;
    }
    long answer = 0;
    HostServices& host = HostServices::Instance();
    if (m_initialised) {
        host.CloseAllClasses();
        auto shutDown = reinterpret_cast<ShutDownProc>(dlsym(m_handle, "ShutDown"));
        answer = shutDown ? shutDown() : 0;
    }
    // The procedures the module registered die with it.
    host.ForgetRegistrations();
    dlclose(m_handle);
    m_handle = nullptr;
    m_initialised = false;
    return answer;
}
