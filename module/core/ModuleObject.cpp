// The module's one application object and its start hook. Built only into KELNT.so: the host calls the hook
// right after loading the module, where the original platform runs the application's start-up itself.
#include "module/core/KelNTApp.h"

namespace {
CKelNTApp theApp;
}

extern "C" __attribute__((visibility("default"))) int SnapinModuleStart() {
    return theApp.InitInstance();
}
