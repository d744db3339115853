#!/usr/bin/env bash
# fuzz.sh short|long: builds every libFuzzer target (the targets named fuzz_*, added when KELNT_FUZZ is ON)
# with clang (ASan + UBSan) in build-fuzz and runs each for a bounded time: in short mode (the test
# command) 30 s each but well under two minutes in all, in long mode 5 minutes each. Seeds come from
# tests/fuzz/corpus/<name without fuzz_>/ where that exists. A crash, leak or sanitizer report fails the
# script and leaves the reproducer in build-fuzz/crashes/.
set -euo pipefail
mode=${1:-short}
case "$mode" in
    short) seconds=30; budget=90 ;;
    long) seconds=300; budget=0 ;;
    *) echo "usage: $0 short|long" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
flags="-fsanitize=address,undefined -fsanitize=fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELNT_FUZZ=ON -DKELNT_TESTS=ON -DKELNT_BENCH=OFF -DKELNT_WERROR=ON \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
mapfile -t targets < <(cmake --build "$build" --target help | grep -oE '\bfuzz_[A-Za-z0-9_]+' | sort -u)
if ((${#targets[@]} == 0)); then
    echo "fuzz: no fuzz targets found" >&2
    exit 1
fi
cmake --build "$build" --target "${targets[@]}" -j "${KELNT_JOBS:-2}"
if ((budget > 0 && seconds * ${#targets[@]} > budget)); then
    seconds=$((budget / ${#targets[@]}))
fi

mkdir -p "$build/crashes"
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    dirs=("$corpus")
    seeds="$root/tests/fuzz/corpus/${target#fuzz_}"
    [ -d "$seeds" ] && dirs+=("$seeds")
    log="$build/$target.log"
    echo "fuzz: $target for ${seconds}s"
    if ! UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
        "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=1024 \
        -print_final_stats=1 -artifact_prefix="$build/crashes/$target-" "${dirs[@]}" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz: $target FAILED (reproducer in $build/crashes/)" >&2
        exit 1
    fi
    runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "fuzz: $target clean, ${runs:-?} runs"
done
