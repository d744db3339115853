#!/usr/bin/env bash
# The main job: make a sample directory and walk through it with cvadmin.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
mkdir -p out
rm -f out/sample.db out/sample.reg out/*.key
build/bin/cvadmin sample out/sample.db
# The administrator's creation switches: accounts and groups may be made in an NT system before its upload.
cp examples/sample.reg out/sample.reg
build/bin/cvadmin --store out/sample.db --registry out/sample.reg --login Admin --password admin-secret \
    --script examples/tour.cvs

# Pictures of the NT domain's details sheet as the host shows it, one for each language.
sheet_picture() {
    build/bin/cvadmin --store out/sample.db --registry out/sample.reg --login Admin --password admin-secret \
        --lang "$1" -c "details NTDOM.Corp; render $2; cancel" >/dev/null
    echo "run-sample: $2 shows the NTDOM.Corp sheet in $1"
}
sheet_picture English out/domain-sheet.png
sheet_picture German out/domain-sheet-German.png
