#include "module/core/SnapinModule.h"

#include "host/services/Host.h"
#include "module/core/IntegrationSettings.h"
#include "module/core/SnapinIds.h"
#include "platform/ui/WinApp.h"

#include <cstring>

namespace {

// Module-wide state. Everything runs on the host's user-interface thread, so none of it is locked.
CSnapinModule* g_module = nullptr;
CSnapinClass* g_registering = nullptr;
std::array<CSnapinClass*, kSnapinClassCount> g_latches{};
std::unique_ptr<char[]> g_currentObjectName;

// Constant-initialised, so registrars in other files may fill them during static initialisation.
SnapinClassFactory g_classFactories[kSnapinClassCount] = {};
SnapinToolFactory g_toolFactory = nullptr;

constexpr const char* kToolButtonBanner = "KELNT NT Integration tool";

void SetCurrentObjectName(const char* name) {
    g_currentObjectName.reset();
    if (name == nullptr) {
        return;
    }
    size_t length = strnlen(name, kCurrentObjectNameSize);
    if (length >= kCurrentObjectNameSize) {
        return;
    }
    g_currentObjectName = std::make_unique<char[]>(kCurrentObjectNameSize);
    std::memcpy(g_currentObjectName.get(), name, length);
}

} // namespace

void SetSnapinClassFactory(SnapinClassSlot slot, SnapinClassFactory factory) {
    g_classFactories[static_cast<size_t>(slot)] = factory;
}

void SetSnapinToolFactory(SnapinToolFactory factory) {
    g_toolFactory = factory;
}

CSnapinModule::CSnapinModule(const char* banner) {
    if (g_module != nullptr) {
        return;
    }
    g_module = this;
    const char* text = banner ? banner : "";
    size_t length = std::strlen(text);
    m_banner = std::make_unique<char[]>(length + 1);
    std::memcpy(m_banner.get(), text, length + 1);
}

CSnapinModule::~CSnapinModule() {
    // Only the module object itself gives up the module-wide pointer; a second object going away must not
    // leave the real one unreachable.
    if (g_module == this) {
        g_module = nullptr;
    }
}

CSnapinModule* CSnapinModule::Current() {
    return g_module;
}

HINSTANCE CSnapinModule::GetResourceInstance() {
    if (m_resourceInstance == nullptr) {
        m_resourceInstance = AfxGetResourceHandle();
    }
    return m_resourceInstance;
}

LONG CSnapinModule::Init() {
    m_resourceInstance = ResourceLibrary();

    if (g_toolFactory != nullptr && !m_tool) {
        m_tool.reset(g_toolFactory());
        if (m_tool) {
            m_tool->Attach();
            (void)HostRegisterTool(m_tool->GetMenuName(), 0, 0, 0, m_tool->CommandIdSlot(),
                                   m_tool->GetMenuText(), m_tool->GetStatusText(), m_tool->GetMenuAction(),
                                   m_tool->GetMenuValid(), kSnapinInterfaceVersion);
            ToolButtonRecord button{};
            button.size = sizeof button;
            button.banner = kToolButtonBanner;
            button.commandId = m_tool->GetCommandId();
            button.resource = m_resourceInstance;
            button.iconId = kIdiToolButton;
            button.menuTextId = kIdsToolMenuText;
            button.statusTextId = kIdsToolStatusText;
            button.field7 = 6;
            button.stateProc = &SnapinToolButtonState;
            button.version = kSnapinInterfaceVersion;
            (void)HostAddToolButton(&button);
        }
    }

    for (size_t i = 0; i < kSnapinClassCount; ++i) {
        if (g_classFactories[i] == nullptr || m_handlers[i]) {
            continue;
        }
        m_handlers[i].reset(g_classFactories[i]());
        CSnapinClass* handler = m_handlers[i].get();
        if (handler == nullptr) {
            continue;
        }
        g_registering = handler;
        (void)HostRegisterClass(handler->GetNameSpace(), handler->GetClassName(), m_banner.get(),
                                handler->GetResourceInstance(), handler->GetCallBack(),
                                kSnapinInterfaceVersion);
    }
    return 0;
}

LONG CSnapinModule::Term() {
    m_tool.reset();
    for (auto& handler : m_handlers) {
        handler.reset();
    }
    // The latches named the handlers just deleted; a later InitSnapin in the same load must latch anew.
    g_latches.fill(nullptr);
    g_registering = nullptr;
    g_currentObjectName.reset();
    return FreeResourceLibrary();
}

CSnapinClass* SnapinRegisteringHandler() {
    return g_registering;
}

CSnapinClass* SnapinLatchedHandler(SnapinClassSlot slot) {
    return g_latches[static_cast<size_t>(slot)];
}

long SnapinCallBack(SnapinClassSlot slot, char* objectName, unsigned short message, unsigned long param1,
                    unsigned long param2) {
    CSnapinClass*& latch = g_latches[static_cast<size_t>(slot)];
    if (latch == nullptr) {
        if (message != SNAP_INIT_CLASS) {
            return 0;
        }
        latch = g_registering;
    }
    return SnapinDispatch(latch, objectName, message, param1, param2);
}

long SnapinDispatch(CSnapinClass* handler, char* objectName, unsigned short message, unsigned long param1,
                    unsigned long param2) {
    if (handler == nullptr) {
        return 0;
    }
    const char* name = objectName;
    switch (message) {
    case SNAP_INIT_CLASS:
        return handler->OnInitClass();
    case SNAP_CLOSE_CLASS:
        return handler->OnCloseClass();
    case SNAP_CREATE_OBJECT:
        return handler->OnCreateObject(name, param1);
    case SNAP_GET_PAGE_COUNT:
        SetCurrentObjectName(name);
        // A name too long to keep opens no pages: pages that read "" would act on no object or another one.
        if (g_currentObjectName == nullptr) {
            return 0;
        }
        return handler->GetPageCount();
    case SNAP_GET_PAGE:
        return handler->GetPage(name, param1, reinterpret_cast<SnapPageRecord*>(param2));
    case SNAP_RENAME_OBJECT:
        return handler->OnRenameObject(name, param1);
    case SNAP_APPLY_PAGES:
        return handler->OnApplyPages(name);
    case SNAP_QUERY_DELETE:
        return handler->OnQueryDelete(name);
    case SNAP_QUERY_COPY:
        return handler->OnQueryCopy(name);
    case SNAP_QUERY_MOVE:
        return handler->OnQueryMove(name);
    case SNAP_GET_CLASS_FLAGS:
        return handler->GetClassFlags(name);
    case SNAP_END_PAGES: {
        long answer = handler->OnEndPages(param1);
        g_currentObjectName.reset();
        return answer;
    }
    case SNAP_IGNORED_274:
        return handler->OnIgnored274(name);
    case SNAP_NOTIFY_MOVE:
        return handler->OnNotifyMove(name, param1, param2);
    case SNAP_NOTIFY_RENAME:
        return handler->OnNotifyRename(name, param1);
    case SNAP_IGNORED_277:
        return handler->OnIgnored277(name);
    case SNAP_APPLY_TEMPLATE:
        return handler->OnApplyTemplate(name, param1);
    default:
        return 0;
    }
}

const char* GetCurrentObjectName() {
    return g_currentObjectName ? g_currentObjectName.get() : "";
}

LONG __stdcall SnapinToolButtonState(uint32_t /*unused*/, unsigned int* state) {
    if (state != nullptr) {
        *state = 0;
    }
    IntegrationSettings settings = ReadIntegrationSettings(kProgramNameMenuSize);
    if (settings.openStatus != ERROR_SUCCESS) {
        return settings.openStatus;
    }
    if (state != nullptr && settings.Usable()) {
        *state = 1;
    }
    return settings.closeStatus;
}

extern "C" long InitSnapin() {
    if (g_module == nullptr) {
        return -1;
    }
    (void)g_module->GetResourceInstance();
    return g_module->Init();
}

extern "C" long ShutDown() {
    if (g_module == nullptr) {
        return 0;
    }
    return g_module->Term();
}

extern "C" long CVASnapinMDIFrameProc(char* /*objectName*/, unsigned short /*message*/,
                                      unsigned long /*param1*/, unsigned long /*param2*/) {
    return 0;
}
