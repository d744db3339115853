#!/usr/bin/env bash
# The whole test suite: the normal build, a short fuzzing run, then the sanitizer build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j 2

if [ -f scripts/fuzz.sh ]; then
    bash scripts/fuzz.sh short
fi

bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DKELNT_SANITIZE=ON -DKELNT_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j 2
