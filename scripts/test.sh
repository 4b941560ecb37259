#!/usr/bin/env bash
# Builds everything and runs every test (each test case in a process of its own).
# Usage: scripts/test.sh [PRESET]   (default preset: "default"; "asan" for sanitizers)
set -euo pipefail
cd "$(dirname "$0")/.."
PRESET="${1:-default}"
scripts/setup.sh "$PRESET"
ctest --preset "$PRESET"
