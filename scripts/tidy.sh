#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over the project's sources (or the
# files named), using the compile commands of the release preset's build folder.
# Any finding fails the run. Usage: scripts/tidy.sh [FILE.cpp...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tidy=${CLANG_TIDY:-clang-tidy-14}
if ! command -v "$tidy" >/dev/null; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends clang-tidy-14
fi

BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/compile_commands.json" ]; then
    scripts/setup.sh
    cmake --preset release -B "$BUILD_DIR"
fi

if [ $# -gt 0 ]; then
    files=("$@")
else
    # Every tracked source the build compiles; generated files (moc, resources) are not ours.
    mapfile -t files < <(git ls-files -- '*.cpp' | while read -r f; do
        grep -qF "\"file\": \"$root/$f\"" "$BUILD_DIR/compile_commands.json" && echo "$f"
    done)
fi
echo "clang-tidy: ${#files[@]} files" >&2
printf '%s\n' "${files[@]}" |
    xargs -P 2 -n 1 "$tidy" -p "$BUILD_DIR" --quiet --warnings-as-errors='*'
