// The module object the host talks to (InitSnapin, ShutDown), the registration of the Tools command and the
// class handlers, and the path of every host message from a class's CallBack to its handler.
#pragma once

#include "host/services/HostTypes.h"
#include "module/core/SnapinClass.h"
#include "module/core/SnapinTool.h"

#include <array>
#include <memory>

// The eight class handlers, in the order in which they are created and registered.
enum class SnapinClassSlot {
    UserExt,
    TemplateExt,
    KelNTDomain,
    KelNTWS,
    KelNTUser,
    KelNTGlobalGroup,
    KelNTLocalGroup,
    KelNTHybridUser,
};
constexpr size_t kSnapinClassCount = 8;

// Each handler (and the Tools command) makes itself known with a factory, so that the module registers
// exactly those that are built into it. A factory answers a new object owned by the caller.
using SnapinClassFactory = CSnapinClass* (*)();
using SnapinToolFactory = CSnapinTool* (*)();
void SetSnapinClassFactory(SnapinClassSlot slot, SnapinClassFactory factory);
void SetSnapinToolFactory(SnapinToolFactory factory);
// The factory of a handler class with a default constructor.
template <class THandler> CSnapinClass* MakeSnapinClass() {
    return new THandler();
}
// For a namespace-scope constant in the file of the handler:
// `const SnapinClassRegistrar kReg(slot, &MakeSnapinClass<CHandler>);`
struct SnapinClassRegistrar {
    SnapinClassRegistrar(SnapinClassSlot slot, SnapinClassFactory factory) {
        SetSnapinClassFactory(slot, factory);
    }
};
struct SnapinToolRegistrar {
    explicit SnapinToolRegistrar(SnapinToolFactory factory) { SetSnapinToolFactory(factory); }
};

class CSnapinModule {
public:
    // The first module object constructed is the module's; a later one stays out of the way (no banner).
    explicit CSnapinModule(const char* banner);
    virtual ~CSnapinModule();
    CSnapinModule(const CSnapinModule&) = delete;
    CSnapinModule& operator=(const CSnapinModule&) = delete;

    // Registers the Tools command and the class handlers that exist; answers 0.
    virtual LONG Init();
    // Deletes the command and the handlers, then frees the resource library; answers what freeing does.
    virtual LONG Term();
    // The resource library's handle; until Init sets it, the application's default resource handle.
    virtual HINSTANCE GetResourceInstance();

    [[nodiscard]] const char* GetBanner() const { return m_banner.get(); }
    [[nodiscard]] CSnapinTool* GetTool() const { return m_tool.get(); }
    [[nodiscard]] CSnapinClass* GetHandler(SnapinClassSlot slot) const {
        return m_handlers[static_cast<size_t>(slot)].get();
    }

    // The module object, or null.
    static CSnapinModule* Current();

protected:
    // The loaded resource library; Init takes it as the resource instance.
    virtual HINSTANCE ResourceLibrary() const { return nullptr; }
    // Frees the resource library; the answer is Term's.
    virtual LONG FreeResourceLibrary() { return 0; }

    HINSTANCE m_resourceInstance = nullptr;

private:
    std::unique_ptr<char[]> m_banner;
    std::unique_ptr<CSnapinTool> m_tool;
    std::array<std::unique_ptr<CSnapinClass>, kSnapinClassCount> m_handlers;
};

// The class handler whose registration is under way (the latch of its CallBack takes it on SNAP_INIT_CLASS).
CSnapinClass* SnapinRegisteringHandler();

// The body of every class's exported CallBack: the class's latch, then the dispatcher.
long SnapinCallBack(SnapinClassSlot slot, char* objectName, unsigned short message, unsigned long param1,
                    unsigned long param2);
// The handler a CallBack has latched, or null.
CSnapinClass* SnapinLatchedHandler(SnapinClassSlot slot);
// Turns one host message into one handler operation and answers its answer; unknown messages answer 0.
long SnapinDispatch(CSnapinClass* handler, char* objectName, unsigned short message, unsigned long param1,
                    unsigned long param2);

// The full name of the object whose details are open ("" when none): at most 513 bytes. A longer name
// leaves it empty (it is never cut, since a cut name could name another object).
const char* GetCurrentObjectName();
constexpr size_t kCurrentObjectNameSize = 514;

// The tool button's state procedure: *state 1 when the NT Integration utility is set up, else 0.
LONG __stdcall SnapinToolButtonState(uint32_t unused, unsigned int* state);

extern "C" {
long InitSnapin();
long ShutDown();
long CVASnapinMDIFrameProc(char* objectName, unsigned short message, unsigned long param1,
                           unsigned long param2);
}
