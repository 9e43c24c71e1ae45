#!/usr/bin/env bash
# Builds the Debian package: build/dolvane_<version>_<arch>.deb, installing dolvane,
# dolvane-cli and dolvane-reg under /usr/bin with the desktop entry, the icon, the
# Firebird database MIME type and the manual pages.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# dpkg-shlibdeps works out the package's library dependencies.
if ! command -v dpkg-shlibdeps >/dev/null; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends dpkg-dev
fi
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja
cmake --build build
(cd build && cpack -G DEB)
ls -1 build/dolvane_*.deb
