#!/usr/bin/env bash
# Installs what Dolvane needs to build, run and test on Debian 12.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev
    libfbclient2 firebird-dev firebird3.0-server-core
    libsqlite3-dev libcurl4-openssl-dev
    libgtest-dev libgmock-dev
    xvfb xauth
    fonts-dejavu-core dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
