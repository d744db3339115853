#!/usr/bin/env bash
# setup.sh [run]: installs what the build needs on a fresh Debian machine; a no-op when everything is there.
# With `run`, only what the main job needs to build and run the programs, the module and its resources;
# without it, also what the tests, benchmarks, fuzzing and package test need.
# cvadmin's pictures need FreeType (libfreetype6, with the -dev package for the build) and the DejaVu Sans
# font at run time as well, and fontconfig (libfontconfig1, -dev for the build) to find a font for the
# characters DejaVu Sans lacks; fonts-wqy-microhei is such a font for Chinese and Japanese, which the
# picture tests draw.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config
          libsqlite3-dev libsodium-dev zlib1g-dev
          libldap-dev libedit-dev libfreetype-dev fonts-dejavu-core libfontconfig-dev)
case ${1:-all} in
run) ;;
all)
    # slapd: the tests' throwaway servers; dpkg-dev and file: cpack's .deb with dpkg-shlibdeps (the package
    # test); groff-base: the man page check; fonts-wqy-microhei: the Chinese and Japanese the picture tests
    # draw.
    packages+=(googletest libgtest-dev libgmock-dev libbenchmark-dev
               libgmp-dev clang libclang-rt-14-dev locales
               slapd ldap-utils
               fonts-wqy-microhei
               dpkg-dev file groff-base
               bsdutils)  # script(1): the tests give cvadmin a terminal
    ;;
*) echo "usage: $0 [run]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    # slapd is only for the tests' own throwaway servers: its package must not start a system-wide one.
    policy=/usr/sbin/policy-rc.d
    made_policy=0
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
        "${sudo_cmd[@]}" chmod 755 "$policy"
        made_policy=1
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
    if [ "$made_policy" = 1 ]; then
        "${sudo_cmd[@]}" rm -f "$policy"
    fi
fi
