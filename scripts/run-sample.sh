#!/usr/bin/env bash
# The main job: make a sample directory and walk through it with cvadmin. It builds only what it runs (the
# programs, the module and its resources: the target product); scripts/test.sh builds the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh run
bash scripts/build.sh build --target product -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The tour as the package runs it (examples/run-tour.sh), with this build's cvadmin, into out/.
CVADMIN=build/bin/cvadmin bash examples/run-tour.sh --again out

# Pictures of the NT domain's details sheet as the host shows it, one for each language.
sheet_picture() {
    build/bin/cvadmin --store out/sample.db --registry out/sample.reg --login Admin --password admin-secret \
        --lang "$1" -c "details NTDOM.Corp; render $2; cancel" >/dev/null
    echo "run-sample: $2 shows the NTDOM.Corp sheet in $1"
}
sheet_picture English out/domain-sheet.png
sheet_picture German out/domain-sheet-German.png
