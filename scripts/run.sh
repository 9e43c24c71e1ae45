#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds, makes a sample station database and opens the
# window with it (drop the file from build/sample/ on the window, tick, press Start).
# Without a display it cleans a copy of the sample from the command line instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
sample=${SAMPLE:-$PWD/$BUILD_DIR/sample/STATION.GDB}
mkdir -p "$(dirname "$sample")"
[ -f "$sample" ] || "$BUILD_DIR/bin/dolvane-sample-db" "$sample" --rows 20000
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$BUILD_DIR/bin/dolvane" ]; then
    echo "Sample station database: $sample"
    exec "$BUILD_DIR/bin/dolvane"
fi
work="$PWD/$BUILD_DIR/sample/STATION-COPY.GDB"
cp "$sample" "$work"
"$BUILD_DIR/bin/dolvane-cli" --dry-run --tick 2 --prior-to 2023-01-01 "$work"
"$BUILD_DIR/bin/dolvane-cli" --tick 2 --prior-to 2023-01-01 "$work"
