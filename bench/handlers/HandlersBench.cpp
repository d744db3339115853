// A details sheet as the host opens it (page dialogs built from templates, the identification page's
// directory reads and rights query), an edit applied to the directory, and the selection dialog listing a
// container.
#include "host/services/HostServices.h"
#include "host/services/HostSheet.h"
#include "module/core/KelNTApp.h"
#include "module/core/SelectionDialog.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/ui/window/UserActions.h"
#include "platform/winapi/WinApi.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

void AddObject(const std::string& object, const char* objectClass) {
    CDirContext dir;
    DirBuffer* buffer = nullptr;
    if (DirAllocBuffer(kDirBufferSmall, &buffer) != kDirOk) {
        return;
    }
    if (DirInitBuffer(dir.Get(), kDirOpAdd, buffer) == kDirOk &&
        DirPutAttrName(dir.Get(), buffer, kAttrObjectClass) == kDirOk &&
        DirPutAttrValue(dir.Get(), buffer, kSyntaxClassName, objectClass) == kDirOk) {
        static_cast<void>(DirAddObject(dir.Get(), object.c_str(), 0, 0, buffer));
    }
    static_cast<void>(DirFreeBuffer(buffer));
}

// The module started on a memory directory holding one domain with `groups` global groups.
class World {
public:
    explicit World(int groups) {
        RegistryUseMemory();
        HostServices::Instance().Reset();
        static_cast<void>(DirOpenMemoryStore());
        static_cast<void>(DirLogin("Admin", ""));
        AddObject("Corp", "Organization");
        AddObject("NTD.Corp", kClassNtDomain);
        for (int i = 0; i < groups; ++i) {
            AddObject("Group" + std::to_string(i) + ".NTD.Corp", kClassNtGlobalGroup);
        }
        m_app = std::make_unique<CKelNTApp>();
        m_started = m_app->InitInstance() != FALSE && InitSnapin() == 0;
    }
    ~World() {
        HostServices::Instance().CloseAllClasses();
        static_cast<void>(ShutDown());
        HostServices::Instance().ForgetRegistrations();
        m_app.reset();
        static_cast<void>(DirCloseStore());
        HostServices::Instance().Reset();
    }
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    [[nodiscard]] bool Started() const { return m_started; }

private:
    std::unique_ptr<CKelNTApp> m_app;
    bool m_started = false;
};

void BM_DetailsSheetOpenAndCancel(benchmark::State& state) {
    World world(0);
    if (!world.Started()) {
        state.SkipWithError("the module did not start");
        return;
    }
    for (auto _ : state) {
        HostSheet sheet;
        if (!sheet.Open(kClassNtDomain, "NTD.Corp").empty()) {
            state.SkipWithError("the sheet did not open");
            break;
        }
        benchmark::DoNotOptimize(sheet.Close(kEndPagesCancel));
    }
}
BENCHMARK(BM_DetailsSheetOpenAndCancel);

// Open, type a 20-character description, OK (validate, apply: one directory write), close.
void BM_DetailsSheetEditAndOk(benchmark::State& state) {
    World world(0);
    if (!world.Started()) {
        state.SkipWithError("the module did not start");
        return;
    }
    for (auto _ : state) {
        HostSheet sheet;
        if (!sheet.Open(kClassNtDomain, "NTD.Corp").empty() ||
            TypeText(sheet.CurrentPageWindow(), 1030, "Primary NT domain 01") != UiActionError::None) {
            state.SkipWithError("the sheet did not open");
            break;
        }
        benchmark::DoNotOptimize(sheet.Ok());
    }
}
BENCHMARK(BM_DetailsSheetEditAndOk);

// A driver that closes the dialog as soon as it is shown.
class CloseAtOnce : public UiDriver {
public:
    bool NextAction(ModalContext& context) override {
        return PressKey(context.window, UiKey::Escape) == UiActionError::None;
    }
};

void BM_SelectionDialogListing(benchmark::State& state) {
    World world(static_cast<int>(state.range(0)));
    if (!world.Started()) {
        state.SkipWithError("the module did not start");
        return;
    }
    CloseAtOnce driver;
    UiDriver* previous = SetUiDriver(&driver);
    for (auto _ : state) {
        CSelectionDialog dialog;
        dialog.m_container = "NTD.Corp";
        dialog.AddClassEntry(kClassNtGlobalGroup, nullptr, kListItemGlobalGroup);
        benchmark::DoNotOptimize(dialog.DoModal());
    }
    SetUiDriver(previous);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SelectionDialogListing)->Arg(10)->Arg(200);

} // namespace

BENCHMARK_MAIN();
