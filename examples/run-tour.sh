#!/usr/bin/env bash
# run-tour.sh [--again] FOLDER: the tour of KELNT. Makes the sample directory in FOLDER (made when missing),
# gives it the registry switches of sample.reg and runs tour.cvs in cvadmin from FOLDER, so that the pictures
# the tour draws land there too. tour.cvs and sample.reg lie beside this script; nothing else of the source
# tree is needed. cvadmin is the one CVADMIN names, else that of the installation this script belongs to
# (<prefix>/bin), else the build's beside the source tree's examples/, else the one on PATH.
# The tour changes the sample, so it runs on a new one: a FOLDER that holds one already (sample.db) is
# refused unless --again is given, which replaces the sample's files (sample.db, sample.reg, sample-*.key).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
name=$(basename "$0")
# Installed, the line below holds the way from this script's folder to the programs' folder (the install
# fills it in); in the source tree it stays empty.
installed_bin=

usage() {
    echo "usage: $name [--again] FOLDER" >&2
    exit 2
}
die() {
    echo "$name: $*" >&2
    exit 1
}

again=0
folder=
while [ $# -gt 0 ]; do
    case $1 in
    --again) again=1 ;;
    -h | --help)
        sed -n '2,8p' "$0" | sed "s/^# \{0,1\}//; s/run-tour\.sh/$name/"
        exit 0
        ;;
    -*) echo "$name: unknown option $1" >&2; usage ;;
    *) [ -z "$folder" ] || usage; folder=$1 ;;
    esac
    shift
done
[ -n "$folder" ] || usage

if [ -n "${CVADMIN:-}" ]; then
    cvadmin=$CVADMIN
elif [ -n "$installed_bin" ] && [ -x "$here/$installed_bin/cvadmin" ]; then
    cvadmin=$here/$installed_bin/cvadmin
elif [ -z "$installed_bin" ] && [ -x "$here/../build/bin/cvadmin" ]; then
    cvadmin=$here/../build/bin/cvadmin
else
    cvadmin=$(command -v cvadmin) || die "cvadmin not found: install the kelnt package or set CVADMIN"
fi
# The folder changes below, so a relative path to the program must not.
case $cvadmin in
/*) ;;
*/*) cvadmin=$(cd "$(dirname "$cvadmin")" && pwd)/$(basename "$cvadmin") ;;
esac
for file in tour.cvs sample.reg; do
    [ -f "$here/$file" ] || die "$here/$file is missing"
done

mkdir -p -- "$folder" || die "cannot make the folder $folder"
folder=$(cd -- "$folder" && pwd)
if [ -e "$folder/sample.db" ]; then
    [ "$again" = 1 ] ||
        die "$folder holds a sample already (sample.db): choose another folder, or give --again to make it anew"
    rm -f -- "$folder/sample.db" "$folder/sample.db-wal" "$folder/sample.db-shm" "$folder/sample.reg" \
        "$folder"/sample-*.key
fi
cd -- "$folder"
"$cvadmin" sample sample.db
# The administrator's creation switches: accounts and groups may be made in an NT system before its upload.
cp -- "$here/sample.reg" sample.reg
chmod u+w sample.reg
"$cvadmin" --store sample.db --registry sample.reg --login Admin --password admin-secret --script "$here/tour.cvs"
echo "$name: the tour ran in $folder (sample.db, sample.reg, the NT systems' keys and the pictures it drew)"
