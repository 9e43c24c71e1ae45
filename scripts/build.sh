#!/usr/bin/env bash
# Configures and builds a CMake preset (CMakePresets.json): release unless named (debug,
# sanitize), into the preset's folder, or into ${BUILD_DIR} when set.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}
if [ -n "${BUILD_DIR:-}" ]; then
    cmake --preset "$preset" -B "$BUILD_DIR" ${BUILD_TYPE:+-DCMAKE_BUILD_TYPE=$BUILD_TYPE}
    cmake --build "$BUILD_DIR"
else
    cmake --preset "$preset" ${BUILD_TYPE:+-DCMAKE_BUILD_TYPE=$BUILD_TYPE}
    cmake --build --preset "$preset"
fi
