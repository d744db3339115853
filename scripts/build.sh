#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configure (once) and build one build tree, with warnings as errors.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
cmake -S "$root" -B "$root/$dir" -G Ninja -DKELNT_WERROR=ON "$@" >/dev/null
cmake --build "$root/$dir" -j "${KELNT_JOBS:-2}"
