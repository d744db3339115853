#!/usr/bin/env bash
# PlainBuildTest.sh SOURCE BUILD: what a person building the programs meets. A plain configuration on a
# machine without GoogleTest and Google Benchmark (their CMake packages hidden from it) succeeds, says that
# the tests are left out, and holds the programs but no test or benchmark; asking for the tests there stops
# with the reason. In the test build BUILD, the main job's target (product) reaches nothing of tests/ or
# bench/. Configures only, in a scratch folder removed however the test ends.
set -euo pipefail
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelnt-plain.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
without=(-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)

if cmake -S "$source" -B "$scratch/plain" -G Ninja -DCMAKE_BUILD_TYPE=Release "${without[@]}" \
    >"$scratch/plain.log" 2>&1; then
    grep -q 'Tests left out: GoogleTest is not installed' "$scratch/plain.log" ||
        fail "the configuration did not say that the tests are left out"
    targets=$(cmake --build "$scratch/plain" --target help | sed -n 's/^\([A-Za-z0-9_.+-]*\): .*/\1/p')
    for target in product cvadmin kelnt-agent kelnt-ldap KELNT rckelnt_English; do
        grep -qxF "$target" <<<"$targets" || fail "the plain build has no target $target"
    done
    extra=$(grep -E '(_test|_tests|_bench|^bench_|^kelnt_slapd)$' <<<"$targets" || true)
    [ -z "$extra" ] || fail "the plain build holds tests or benchmarks: $(tr '\n' ' ' <<<"$extra")"
    if [ -f "$scratch/plain/CTestTestfile.cmake" ] && grep -q 'add_test' "$scratch/plain/CTestTestfile.cmake"; then
        fail "the plain build registers tests"
    fi
else
    tail -n 20 "$scratch/plain.log" >&2
    fail "a plain configuration without GoogleTest failed"
fi

if cmake -S "$source" -B "$scratch/asked" -G Ninja -DKELNT_TESTS=ON "${without[@]}" >"$scratch/asked.log" 2>&1; then
    fail "-DKELNT_TESTS=ON went ahead without GoogleTest"
else
    grep -q 'GTest' "$scratch/asked.log" || fail "-DKELNT_TESTS=ON without GoogleTest stopped without naming it"
fi

# The main job builds the target product: nothing it needs is a test's or a benchmark's.
reached=$(ninja -C "$build" -t inputs product | grep -E '(^|/)(tests|bench)/' || true)
[ -z "$reached" ] || fail "product reaches the tests or benchmarks: $(head -n3 <<<"$reached")"

if ((failures)); then
    echo "plain build test: $failures failed" >&2
    exit 1
fi
echo "plain build test: passed"
