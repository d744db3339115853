// Figures for the attribute operations over the in-memory store: whole-list writes and reads of growing
// lists (several requests and replies each), single-value writes, and full-name splitting.
#include "module/directory/AttrAccess.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "platform/dirclient/DirClient.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr char kObject[] = "Target.Bench";

// A store with one object to write to; the context is made the way the module makes it.
struct World {
    World() {
        if (DirOpenMemoryStore() != kDirOk || DirLogin("Admin", "") != kDirOk) {
            std::fprintf(stderr, "no store\n");
            std::exit(1);
        }
        ctx = CreateDirContext();
        DirBuffer* buf = nullptr;
        int32_t rc = DirAllocBuffer(kDirBufferSmall, &buf);
        for (const auto& [name, objectClass] :
             {std::pair{"Bench", "Organization"}, std::pair{kObject, kClassNtUser}}) {
            rc = rc == kDirOk ? DirInitBuffer(ctx, kDirOpAdd, buf) : rc;
            rc = rc == kDirOk ? DirPutAttrName(ctx, buf, kAttrObjectClass) : rc;
            rc = rc == kDirOk ? DirPutAttrValue(ctx, buf, kSyntaxClassName, objectClass) : rc;
            rc = rc == kDirOk ? DirAddObject(ctx, name, 0, 0, buf) : rc;
        }
        static_cast<void>(DirFreeBuffer(buf));
        if (ctx <= 0 || rc != kDirOk) {
            std::fprintf(stderr, "no object\n");
            std::exit(1);
        }
    }
    ~World() {
        static_cast<void>(DirFreeContext(ctx));
        static_cast<void>(DirCloseStore());
    }
    int32_t ctx = 0;
};

CStringArray Values(int64_t count) {
    CStringArray values;
    for (int64_t i = 0; i < count; ++i) {
        values.Add(CString("WORKSTATION-" + std::to_string(i)));
    }
    return values;
}

void BM_SetAttrValues(benchmark::State& state) {
    World world;
    const CStringArray values = Values(state.range(0));
    for (auto _ : state) {
        if (SetAttrValues(world.ctx, kObject, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString,
                          &values) != 1) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SetAttrValues)->Arg(8)->Arg(100)->Arg(1000)->Arg(5000);

// What SetAttrValues spends on checking, before it sends anything, that every value fits an empty request.
void BM_FitCheckOnly(benchmark::State& state) {
    World world;
    const CStringArray values = Values(state.range(0));
    DirBuffer* buf = nullptr;
    if (DirAllocBuffer(kDirBufferLarge, &buf) != kDirOk) {
        state.SkipWithError("no buffer");
        return;
    }
    for (auto _ : state) {
        for (int i = 0; i < values.GetSize(); ++i) {
            int32_t rc = DirInitBuffer(world.ctx, kDirOpModify, buf);
            rc = rc == kDirOk ? DirPutChange(world.ctx, buf, kDirChangeAddValue, kAttrEnabledWorkstationList)
                              : rc;
            rc = rc == kDirOk ? DirPutAttrValue(world.ctx, buf, kSyntaxCaseIgnoreString, values[i]) : rc;
            benchmark::DoNotOptimize(rc);
        }
    }
    static_cast<void>(DirFreeBuffer(buf));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FitCheckOnly)->Arg(100)->Arg(1000)->Arg(5000);

void BM_ReadAttrValues(benchmark::State& state) {
    World world;
    const CStringArray values = Values(state.range(0));
    if (SetAttrValues(world.ctx, kObject, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &values) !=
        1) {
        state.SkipWithError("write failed");
        return;
    }
    CStringArray read;
    for (auto _ : state) {
        if (ReadAttrValues(world.ctx, kObject, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &read) !=
            1) {
            state.SkipWithError("read failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadAttrValues)->Arg(8)->Arg(100)->Arg(1000)->Arg(5000);

void BM_SetAttrValue(benchmark::State& state) {
    World world;
    for (auto _ : state) {
        if (SetAttrValue(world.ctx, kObject, kAttrFullName, kSyntaxCaseIgnoreString, "Joe Average") != 1) {
            state.SkipWithError("write failed");
            break;
        }
    }
}
BENCHMARK(BM_SetAttrValue);

void BM_SplitFullName(benchmark::State& state) {
    const char* name = "Joe\\.Jr.Accounts.Sales.Europe.Corp";
    CString leaf;
    CString container;
    for (auto _ : state) {
        SplitFullName(name, &leaf, &container);
        benchmark::DoNotOptimize(leaf);
    }
}
BENCHMARK(BM_SplitFullName);

} // namespace

BENCHMARK_MAIN();
