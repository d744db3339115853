#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian machine; a no-op when everything is there.
set -euo pipefail
# dpkg-dev and file: cpack's .deb with dpkg-shlibdeps (the package test); groff-base: the man page check.
packages=(build-essential cmake ninja-build pkg-config
          libsqlite3-dev libsodium-dev zlib1g-dev
          googletest libgtest-dev libgmock-dev libbenchmark-dev
          libgmp-dev clang libclang-rt-14-dev locales
          dpkg-dev file groff-base)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
