// Reading a .reg file as large exports from Windows come: many sibling keys under one key. The time a key
// should stay about the same from 1,000 to 100,000 keys (it grew with the count when each new key was
// compared with every earlier sibling: 100,000 keys took over a minute); what growth is left is the cache
// misses of a large tree.
#include "platform/winapi/RegistryTree.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string SiblingsFile(int keys) {
    std::string text = "REGEDIT4\r\n\r\n";
    for (int i = 0; i < keys; ++i)
        text += "[HKEY_CURRENT_USER\\Software\\Many\\Key" + std::to_string(i) + "]\r\n\"V\"=\"x\"\r\n\r\n";
    return text;
}

void BM_ReadSiblingKeys(benchmark::State& state) {
    const std::string text = SiblingsFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        RegistryTree tree;
        RegFileParseResult result = ParseRegFile(text, tree);
        if (!result.ok) {
            state.SkipWithError("the file was refused");
            break;
        }
        benchmark::DoNotOptimize(tree);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadSiblingKeys)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
