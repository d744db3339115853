// Loads a snap-in module the way the host does: dlopen, the module's start hook (its application object's
// start-up; 0 refuses the load), then InitSnapin; and at the end SNAP_CLOSE_CLASS to every class,
// ShutDown and dlclose.
#pragma once

#include <string>

// The start hook every module exports: int SnapinModuleStart(void), 0 refuses the load.
#define SNAPIN_START_HOOK "SnapinModuleStart"

class SnapinLoader {
public:
    SnapinLoader() = default;
    SnapinLoader(const SnapinLoader&) = delete;
    SnapinLoader& operator=(const SnapinLoader&) = delete;
    ~SnapinLoader() { Unload(); }

    struct [[nodiscard]] Result {
        bool ok = false;
        std::string error; // for a person; empty when ok
    };
    // Loads the module at path. Refused (and unloaded again) when dlopen fails, an entry point is missing,
    // the start hook answers 0 or InitSnapin answers non-zero.
    Result Load(const std::string& path);
    [[nodiscard]] bool IsLoaded() const { return m_handle != nullptr; }
    // Ends the module's session; the host's registrations of it are forgotten. Answers ShutDown's answer
    // (0 when nothing was loaded).
    long Unload();

private:
    void* m_handle = nullptr;
    bool m_initialised = false;
};
