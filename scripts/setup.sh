#!/usr/bin/env bash
# Installs whatever the build needs that this Debian machine lacks, then configures and builds.
# Usage: scripts/setup.sh [PRESET]   (default preset: "default"; "asan" for sanitizers)
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev
          libbenchmark-dev libsqlite3-dev libpugixml-dev libcli11-dev binutils-mingw-w64-x86-64
          libgmime-3.0-dev)

missing=()
for package in "${PACKAGES[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    echo "installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

PRESET="${1:-default}"
cmake --preset "$PRESET" >/dev/null
cmake --build --preset "$PRESET"
