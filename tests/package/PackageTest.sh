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
# A server the test started is stopped by its own script before the folder goes.
ldap_folder=
cleanup() {
    if [ -n "$ldap_folder" ] && [ -d "$ldap_folder" ]; then
        run "$bin/kelnt-ldap-server" stop "$ldap_folder" >/dev/null 2>&1 || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
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

# What the operator reads: the man pages, the copyright file where Debian keeps it, and the tour.
for page in cvadmin kelnt-agent; do
    [ -f "$root/usr/share/man/man1/$page.1.gz" ] || [ -f "$root/usr/share/man/man1/$page.1" ] ||
        fail "no man page for $page"
done
copyright="$root/usr/share/doc/kelnt/copyright"
if [ -f "$copyright" ]; then
    # Debian's machine-readable form: its Format line, and the package's files under a Copyright and a License.
    head -n1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/' ||
        fail "the copyright file does not begin with the Format line of Debian's form"
    for field in 'Files: \*' 'Copyright: .' 'License: .'; do
        grep -q "^$field" "$copyright" || fail "the copyright file has no '${field//\\/}' line"
    done
else
    fail "no usr/share/doc/kelnt/copyright"
fi
examples="$root/usr/share/kelnt/examples"
tour="$examples/tour.cvs"
for file in tour.cvs sample.reg run-tour.sh; do
    [ -f "$examples/$file" ] || fail "no $file in usr/share/kelnt/examples"
done

# Whatever the programs' help and man pages send the operator to is in the package: every file or folder
# under /usr they name, and every program of theirs.
named=$(
    for program in cvadmin kelnt-agent; do
        env -i "$root/usr/bin/$program" --help
        gzip -dc "$root/usr/share/man/man1/$program.1.gz" 2>/dev/null || cat "$root/usr/share/man/man1/$program.1"
    done | sed 's/\\-/-/g'
)
while read -r path; do
    [ -e "$root$path" ] || fail "the programs' help names $path, which the package does not hold"
done < <(grep -oE '/usr/[A-Za-z0-9._/-]*[A-Za-z0-9_/]' <<<"$named" | sort -u)
while read -r program; do
    [ -x "$root/usr/bin/$program" ] || fail "the programs' help names $program, which the package does not hold"
done < <(grep -oE '\bkelnt-(agent|ldap|ldap-server)\b' <<<"$named" | sort -u)
grep -q 'scripts/' <<<"$(env -i "$root/usr/bin/cvadmin" --help | grep -v 'in the source tree')" &&
    fail "cvadmin --help sends the operator to the source tree's scripts/"

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

# The tour, from its installed folder into a folder of the operator's choice (with a blank in its name), from
# an unrelated folder and with nothing of the source tree: the script finds the package's cvadmin itself.
tourdir="$scratch/my tour"
if run "$examples/run-tour.sh" "$tourdir" >"$scratch/tour.out" 2>"$scratch/tour.err"; then
    echo "tour: $(wc -l <"$scratch/tour.out") lines of output"
    [ -s "$scratch/tour.err" ] && fail "the tour wrote to standard error: $(head -n3 "$scratch/tour.err")"
    for picture in domain-users.png hours.png password-wizard.png; do
        [ -s "$tourdir/$picture" ] || fail "the tour drew no $picture into its folder"
    done
    # Run again into the same folder, it refuses to lose the sample it made unless told to make it anew.
    run "$examples/run-tour.sh" "$tourdir" >/dev/null 2>"$scratch/again.err" &&
        fail "a second tour into the same folder went ahead over the first one's sample"
    grep -q -- '--again' "$scratch/again.err" || fail "the refused second tour did not say how: $(cat "$scratch/again.err")"
else
    tail -n 5 "$scratch/tour.err" >&2
    fail "the tour failed from the package"
fi
# What scripts/run-sample.sh and the README do: the sample and the tour's commands given to cvadmin by hand.
run "$bin/cvadmin" sample out/sample.db >"$scratch/sample.log" 2>&1 ||
    { cat "$scratch/sample.log" >&2; fail "cvadmin sample failed"; }
cp "$examples/sample.reg" "$work/out/sample.reg" || fail "the package holds no examples/sample.reg"
admin=(--store out/sample.db --registry out/sample.reg --login Admin --password admin-secret)
run "$bin/cvadmin" "${admin[@]}" --script "$tour" >"$scratch/tour2.out" 2>"$scratch/tour2.err" ||
    { tail -n 5 "$scratch/tour2.err" >&2; fail "the tour failed given to the package's cvadmin by hand"; }

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

# The LDAP server tooling, as installed: the schema the package ships is the one its kelnt-ldap makes, and
# kelnt-ldap-server makes a server (on the loopback, stopped again at the end) that the package's cvadmin
# works on.
[ -f "$root/usr/share/kelnt/ldap/kelnt-schema.ldif" ] || fail "no usr/share/kelnt/ldap/kelnt-schema.ldif"
out=$(run "$bin/kelnt-ldap-server" --help) || fail "kelnt-ldap-server --help failed"
grep -q '^  kelnt-ldap-server new FOLDER' <<<"$out" || fail "kelnt-ldap-server --help does not name itself: $out"
cmp -s <(run "$bin/kelnt-ldap-server" schema 2>/dev/null) <(run "$bin/kelnt-ldap" schema) ||
    fail "kelnt-ldap-server schema does not print the schema kelnt-ldap makes"
for attempt in 1 2 3; do
    port=$((20000 + RANDOM % 30000))
    ldap_folder="$scratch/ldap$attempt"
    if run "$bin/kelnt-ldap-server" new "$ldap_folder" --port "$port" >"$scratch/ldap.out" 2>&1; then
        break
    fi
    run "$bin/kelnt-ldap-server" stop "$ldap_folder" >/dev/null 2>&1 || true
    port=
done
if [ -z "$port" ]; then
    tail -n 5 "$scratch/ldap.out" >&2
    fail "kelnt-ldap-server could not make a server from the package"
else
    grep -qxF "cvadmin --store ldap://127.0.0.1:$port/o=kel" "$scratch/ldap.out" ||
        fail "kelnt-ldap-server did not print the cvadmin line: $(cat "$scratch/ldap.out")"
    out=$(run "$bin/cvadmin" --store "ldap://127.0.0.1:$port/o=kel" -c 'dir add Corp Organization; ls' 2>&1 </dev/null) ||
        fail "the package's cvadmin cannot work on the server kelnt-ldap-server made: $out"
    grep -q '^Corp' <<<"$out" || fail "the server's directory does not list what was added: $out"
    # A base the server holds no directory under is met with the installed program that makes one.
    out=$(run "$bin/cvadmin" --store "ldap://127.0.0.1:$port/o=elsewhere" -c 'ls' 2>&1 </dev/null) &&
        fail "cvadmin worked on a base that holds no directory"
    grep -q 'make one with kelnt-ldap-server' <<<"$out" || fail "a base without a directory is not met with kelnt-ldap-server: $out"
    run "$bin/kelnt-ldap-server" stop "$ldap_folder" >/dev/null || fail "kelnt-ldap-server stop failed"
fi

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
