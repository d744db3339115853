#!/usr/bin/env bash
# build.sh DIR [--target NAME]... [cmake options...]: configure (once) and build one build tree, with warnings
# as errors; only the targets named when some are (e.g. product: the programs, the module, the resources).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
targets=()
while [ $# -gt 0 ] && [ "$1" = --target ]; do
    targets+=(--target "$2")
    shift 2
done
cmake -S "$root" -B "$root/$dir" -G Ninja -DKELNT_WERROR=ON "$@" >/dev/null
cmake --build "$root/$dir" -j "${KELNT_JOBS:-2}" "${targets[@]}"
