// One whole sealing (import, key-data checks, blocks, generator, filler) beside the bare modular
// exponentiations it needs, done by GMP on the same modulus; the closing lines print the ratio.

#include "module/password/SealPassword.h"
#include "module/password/rsa/BigNum.h"

#include <benchmark/benchmark.h>
#include <gmp.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

struct FixtureKey {
    unsigned bits = 0;
    unsigned exponent = 0;
    std::string modulusHex;
    std::vector<uint8_t> publicBlob;
};

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// The fixed keys of tests/fixtures/sealed.vec, with the modulus as P * Q.
const FixtureKey& Key(unsigned bits, unsigned exponent) {
    static std::vector<FixtureKey> keys = [] {
        std::vector<FixtureKey> list;
        std::ifstream in(std::string(KELNT_SOURCE_DIR) + "/tests/fixtures/sealed.vec");
        std::string line;
        FixtureKey current;
        std::string p;
        bool inKey = false;
        while (std::getline(in, line)) {
            if (line.rfind('[', 0) == 0) {
                inKey = line == "[Key]";
                continue;
            }
            const size_t eq = line.find(" = ");
            if (!inKey || eq == std::string::npos) {
                continue;
            }
            const std::string name = line.substr(0, eq);
            const std::string value = line.substr(eq + 3);
            if (name == "Bits") {
                current = FixtureKey{};
                current.bits = static_cast<unsigned>(std::stoul(value));
            } else if (name == "E") {
                current.exponent = static_cast<unsigned>(std::stoul(value));
            } else if (name == "P") {
                p = value;
            } else if (name == "Q") {
                mpz_t a, b;
                mpz_init_set_str(a, p.c_str(), 16);
                mpz_init_set_str(b, value.c_str(), 16);
                mpz_mul(a, a, b);
                char* text = mpz_get_str(nullptr, 16, a);
                current.modulusHex = text;
                free(text);
                mpz_clears(a, b, nullptr);
            } else if (name == "Public") {
                current.publicBlob = FromHex(value);
                list.push_back(current);
            }
        }
        return list;
    }();
    for (const auto& k : keys) {
        if (k.bits == bits && k.exponent == exponent) {
            return k;
        }
    }
    std::fprintf(stderr, "no fixture key %u/%u\n", bits, exponent);
    std::abort();
}

void BM_SealPassword(benchmark::State& state) {
    const FixtureKey& key = Key(static_cast<unsigned>(state.range(0)), static_cast<unsigned>(state.range(1)));
    std::vector<uint8_t> out(kSealedValueSize);
    for (auto _ : state) {
        const int32_t code = SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()),
                                          out.data(), kSealedValueSize, "Correct Horse 2026");
        if (code != 0) {
            state.SkipWithError("sealing failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
}

// As many exponentiations as the sealing does blocks: two for 848 bits, four for 424.
void BM_GmpPowm(benchmark::State& state) {
    const FixtureKey& key = Key(static_cast<unsigned>(state.range(0)), static_cast<unsigned>(state.range(1)));
    const int blocks = key.bits == 848 ? 2 : 4;
    mpz_t n, e, base, result;
    mpz_init_set_str(n, key.modulusHex.c_str(), 16);
    mpz_init_set_ui(e, key.exponent);
    mpz_init(base);
    mpz_init(result);
    mpz_tdiv_q_ui(base, n, 3); // a full-size base below the modulus
    for (auto _ : state) {
        for (int b = 0; b < blocks; ++b) {
            mpz_add_ui(base, base, 1);
            mpz_powm(result, base, e, n);
        }
        benchmark::DoNotOptimize(result);
    }
    mpz_clears(n, e, base, result, nullptr);
}

// The fixed part of each sealing's arithmetic: the Montgomery constants of the modulus, R^2 mod n among them.
void BM_ModulusSetup(benchmark::State& state) {
    const FixtureKey& key = Key(static_cast<unsigned>(state.range(0)), 65537);
    mpz_t n;
    mpz_init_set_str(n, key.modulusHex.c_str(), 16);
    std::vector<uint8_t> bytes((mpz_sizeinbase(n, 2) + 7) / 8, 0);
    size_t count = 0;
    mpz_export(bytes.data(), &count, -1, 1, 0, 0, n);
    mpz_clear(n);
    rsa::BigNum modulus;
    if (!modulus.SetBytesLE(bytes.data(), count)) {
        state.SkipWithError("modulus does not fit");
        return;
    }
    for (auto _ : state) {
        rsa::CMontgomery mont;
        const bool ok = mont.Init(modulus);
        benchmark::DoNotOptimize(ok);
    }
}

BENCHMARK(BM_SealPassword)->Args({848, 65537})->Args({848, 3})->Args({424, 65537});
BENCHMARK(BM_GmpPowm)->Args({848, 65537})->Args({848, 3})->Args({424, 65537});
BENCHMARK(BM_ModulusSetup)->Arg(848)->Arg(424);

// Prints the table as usual, then one ratio line for each key.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // CPU time, so that other work on a shared machine does not tilt the ratio; with repetitions the
        // median stands for the benchmark.
        for (const auto& run : runs) {
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")) {
                continue;
            }
            const std::string name = run.run_name.str();
            const size_t slash = name.find('/');
            m_times[name.substr(0, slash)][name.substr(slash + 1)] = run.GetAdjustedCPUTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto& seal = m_times["BM_SealPassword"];
        const auto& gmp = m_times["BM_GmpPowm"];
        for (const auto& [args, sealTime] : seal) {
            const auto it = gmp.find(args);
            if (it != gmp.end() && it->second > 0) {
                std::printf("ratio %s: whole sealing / GMP's bare exponentiations = %.2f (CPU time)\n",
                            args.c_str(), sealTime / it->second);
            }
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> m_times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
