#!/usr/bin/env bash
# PackageTest.sh BUILD VERSION PRIVATE_DIR LANGUAGES: builds the .deb of the build folder BUILD, unpacks it
# into a scratch folder as dpkg would lay it out, and uses it from there as an operator would after
# installing it: no environment variable pointing anywhere, run from an unrelated folder, and nothing of the
# build tree on any path. Needs no root; the scratch folder is removed however the test ends.
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
private=$3
IFS=, read -r -a languages <<<"$4"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelnt-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# The package, built as an operator would build it.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack could not build the package"; exit 1; }
mapfile -t debs < <(find "$scratch/pkg" -maxdepth 1 -name 'kelnt_*.deb')
if ((${#debs[@]} != 1)); then
    fail "expected one kelnt_*.deb, found ${#debs[@]}"
    exit 1
fi
deb=${debs[0]}
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"

# Its control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kelnt ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project's is $version"
[[ "$(field Maintainer)" =~ ^.+\ \<.+@.+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
echo "depends: $depends"
# The package names alone, one a line ("libc6 (>= 2.34), zlib1g" -> libc6, zlib1g).
declared=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
# The font that pictures are drawn in is read as a file, so no library brings it in.
grep -qxF fonts-dejavu-core <<<"$declared" || fail "Depends does not name fonts-dejavu-core"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
lib="$root/usr/$private"
bin="$root/usr/bin"

# Every system library that a program or library of the package links itself (its NEEDED entries) is
# declared: the Debian package that holds it is named in Depends. What those libraries link in turn is their
# own packages' dependencies.
mapfile -t elves < <(find "$root" -type f \( -name '*.so' -o -perm -u+x \) -exec sh -c \
    'head -c 4 "$1" | grep -q ELF && echo "$1"' _ {} \;)
((${#elves[@]} >= 4)) || fail "the package holds only ${#elves[@]} programs and libraries"
for elf in "${elves[@]}"; do
    # Installed files never look into the build tree.
    if readelf -d "$elf" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
        fail "${elf#"$root"} has a run path into the build tree"
    fi
    needed=$(readelf -d "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    while read -r name path; do
        grep -qxF "$name" <<<"$needed" || continue
        case "$path" in
        "$root"/*) continue ;; # the package's own
        "not found"*)
            fail "${elf#"$root"} needs $name, which nothing provides"
            continue
            ;;
        esac
        owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n1 | cut -d: -f1) || true
        [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | head -n1 | cut -d: -f1) || true
        if [ -z "$owner" ]; then
            fail "${elf#"$root"} needs $path, which no Debian package holds"
        elif ! grep -qxF "$owner" <<<"$declared"; then
            fail "${elf#"$root"} needs $name from $owner, which Depends does not name"
        fi
    done < <(env -i ldd "$elf" | awk '/=>/ { print $1, ($3 == "not" ? "not found" : $3) }')
done

# What the operator reads: the man pages and the tour.
for page in cvadmin kelnt-agent; do
    [ -f "$root/usr/share/man/man1/$page.1.gz" ] || [ -f "$root/usr/share/man/man1/$page.1" ] ||
        fail "no man page for $page"
done
tour="$root/usr/share/doc/kelnt/examples/tour.cvs"
[ -f "$tour" ] || fail "no examples/tour.cvs"

# Every language the build made, each with its resource library and help file.
for language in "${languages[@]}"; do
    for file in rckelnt.so qor.hlp; do
        [ -f "$lib/$language/$file" ] || fail "no $language/$file in $private"
    done
done
[ -f "$lib/KELNT.so" ] || fail "no KELNT.so in $private"

# Run as a person on a fresh account would: a clean environment, a home of its own, another folder.
home="$scratch/home"
work="$scratch/work"
mkdir -p "$home" "$work/out" "$scratch/tmp"
run() { (cd "$work" && env -i HOME="$home" TMPDIR="$scratch/tmp" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"); }

for program in cvadmin kelnt-agent; do
    out=$(run "$bin/$program" --version) || fail "$program --version failed"
    [ "$out" = "$program (KELNT) $version" ] || fail "$program --version printed '$out'"
done

# The main job, the way scripts/run-sample.sh runs it, from the unpacked programs.
run "$bin/cvadmin" sample out/sample.db >"$scratch/sample.log" 2>&1 ||
    { cat "$scratch/sample.log" >&2; fail "cvadmin sample failed"; }
cp "$root/usr/share/doc/kelnt/examples/sample.reg" "$work/out/sample.reg" ||
    fail "the package holds no examples/sample.reg"
admin=(--store out/sample.db --registry out/sample.reg --login Admin --password admin-secret)
if run "$bin/cvadmin" "${admin[@]}" --script "$tour" >"$scratch/tour.out" 2>"$scratch/tour.err"; then
    echo "tour: $(wc -l <"$scratch/tour.out") lines of output"
    [ -s "$scratch/tour.err" ] && fail "the tour wrote to standard error: $(head -n3 "$scratch/tour.err")"
    [ -s "$work/out/domain-users.png" ] || fail "the tour rendered no out/domain-users.png"
else
    tail -n 5 "$scratch/tour.err" >&2
    fail "the tour failed from the package"
fi

# The module loads its pages in every language of the package, by the registry's rule or --lang.
for language in "${languages[@]}"; do
    out=$(run "$bin/cvadmin" "${admin[@]}" --lang "$language" -c 'details NTDOM.Corp; show' 2>&1) ||
        fail "cvadmin --lang $language cannot open a sheet: $(head -n2 <<<"$out")"
done

# The package's agent opens what the package's module sealed during the tour (Mary's new password on WKS1).
sealed=$(run "$bin/cvadmin" "${admin[@]}" -c "dump Mary.WKS1.Corp 'KEL:Authentication'" | awk -F' [|] ' '{print $4}')
sealed=${sealed#0x}
password=$(run "$bin/kelnt-agent" unseal --key out/sample-WKS1.private.key --hex "$sealed") ||
    fail "kelnt-agent could not unseal Mary's value"
[ "$password" = NewPass9 ] || fail "kelnt-agent unsealed '$password', the tour set NewPass9"

# And its own round trip: a new key pair, a sealing, an unsealing.
run "$bin/kelnt-agent" keygen --bits 424 --public out/k.pub --private out/k.key >/dev/null ||
    fail "kelnt-agent keygen failed"
hex=$(run "$bin/kelnt-agent" seal --key out/k.pub --password 'Pässword 1') || fail "kelnt-agent seal failed"
[ "$(run "$bin/kelnt-agent" unseal --key out/k.key --hex "$hex")" = 'Pässword 1' ] ||
    fail "kelnt-agent's own sealing did not round-trip"

if ((failures)); then
    echo "package test: $failures failed" >&2
    exit 1
fi
echo "package test: passed"
