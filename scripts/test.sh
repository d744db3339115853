#!/usr/bin/env bash
# The whole test suite: the normal build, a short fuzzing run, then the sanitizer build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

# The tests and benchmarks are asked for by name: the build stops when what they need is missing.
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELNT_TESTS=ON -DKELNT_BENCH=ON
ctest --test-dir build --output-on-failure -j 2

if [ -f scripts/fuzz.sh ]; then
    bash scripts/fuzz.sh short
fi

bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DKELNT_SANITIZE=ON -DKELNT_TESTS=ON -DKELNT_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j 2
