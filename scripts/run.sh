#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds, makes a sample station database and cleans a copy
# of it from the command line (sales, purchases and pricing before 1 January this year).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
sample=${SAMPLE:-$PWD/$BUILD_DIR/sample/STATION.GDB}
mkdir -p "$(dirname "$sample")"
[ -f "$sample" ] || "$BUILD_DIR/bin/dolvane-sample-db" "$sample" --rows 20000
"$BUILD_DIR/bin/dolvane-cli" --tick 2 "$sample"
