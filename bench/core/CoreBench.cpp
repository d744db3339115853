// The module's start and the paths every host message and resource lookup takes.
#include "host/services/HostServices.h"
#include "module/core/KelNTApp.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/String.h"
#include "platform/winapi/Prompter.h"

#include <benchmark/benchmark.h>

namespace {

const std::string kEnglish = std::string(KELNT_BINARY_DIR) + "/lib/English/rckelnt.so";

class CBenchHandler : public CSnapinClass {
public:
    CBenchHandler() : CSnapinClass("DS", "KEL:NT User", "QOR NT User", nullptr, nullptr, nullptr) {}
    LONG OnInitClass() override { return 0; }
    LONG OnCloseClass() override { return 0; }
    SnapCallBack GetCallBack() override { return &CallBack; }
    static long __stdcall CallBack(char* name, unsigned short message, unsigned long p1, unsigned long p2) {
        return SnapinCallBack(SnapinClassSlot::KelNTUser, name, message, p1, p2);
    }
};

CSnapinClass* MakeHandler() {
    return new CBenchHandler();
}

// The module's whole start: language lookup, library load, locale check; then its unload.
void BM_ModuleStart(benchmark::State& state) {
    RegistryUseMemory();
    for (auto _ : state) {
        CKelNTApp app;
        if (!app.InitInstance()) {
            state.SkipWithError("the module did not start");
            break;
        }
    }
}
BENCHMARK(BM_ModuleStart);

// One host message through the latch and the dispatcher (259 also copies the current object name).
void BM_CallBackDispatch(benchmark::State& state) {
    RegistryUseMemory();
    HostServices::Instance().Reset();
    SetSnapinClassFactory(SnapinClassSlot::KelNTUser, &MakeHandler);
    CSnapinModule module("bench");
    InitSnapin();
    char name[] = "jdoe.NTDOM.Sales.Corp";
    const auto message = static_cast<unsigned short>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(CBenchHandler::CallBack(name, message, 0, 0));
    }
    ShutDown();
    SetSnapinClassFactory(SnapinClassSlot::KelNTUser, nullptr);
    HostServices::Instance().Reset();
}
BENCHMARK(BM_CallBackDispatch)->Arg(SNAP_GET_CLASS_FLAGS)->Arg(SNAP_GET_PAGE_COUNT);

void BM_LoadString(benchmark::State& state) {
    HINSTANCE library = LoadLibraryA(kEnglish.c_str());
    AfxSetResourceHandle(library);
    for (auto _ : state) {
        CString text;
        benchmark::DoNotOptimize(text.LoadString(57347));
    }
    AfxSetResourceHandle(nullptr);
    FreeLibrary(library);
}
BENCHMARK(BM_LoadString);

void BM_LoadBitmapByName(benchmark::State& state) {
    HINSTANCE library = LoadLibraryA(kEnglish.c_str());
    AfxSetResourceHandle(library);
    for (auto _ : state) {
        CBitmap bitmap;
        benchmark::DoNotOptimize(bitmap.LoadBitmap("ckelntlocalgroupROBITMAP"));
    }
    AfxSetResourceHandle(nullptr);
    FreeLibrary(library);
}
BENCHMARK(BM_LoadBitmapByName);

} // namespace

BENCHMARK_MAIN();
