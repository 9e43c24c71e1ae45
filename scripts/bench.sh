#!/usr/bin/env bash
# Sets up, builds (Release, without the tests) and runs the benchmark:
#   scripts/bench.sh [--rows N] [--seed S] [--keep DIR]
# --keep DIR keeps the generated database there for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDOLVANE_BUILD_TESTS=OFF
cmake --build "$BUILD_DIR" --target dolvane-bench dolvane-cli
"$BUILD_DIR/bin/dolvane-bench" "$@"
