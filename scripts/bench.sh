#!/usr/bin/env bash
# Sets up, builds (Release, without the tests) and runs the benchmark:
#   scripts/bench.sh [--rows N] [--seed S] [--keep DIR]
# --keep DIR keeps the generated database there for the next run.
# The comparison by hand uses gbak, so firebird3.0-utils is installed here (the tool itself
# never needs it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if ! dpkg-query -W -f='${Status}' firebird3.0-utils 2>/dev/null | grep -q "install ok installed"; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends firebird3.0-utils
fi
BUILD_DIR=${BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDOLVANE_BUILD_TESTS=OFF
cmake --build "$BUILD_DIR" --target dolvane-bench dolvane-cli
"$BUILD_DIR/bin/dolvane-bench" "$@"
