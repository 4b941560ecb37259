#!/usr/bin/env bash
# The main job: build everything, then create a fresh world and show it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh default
VELUMEX=build/default/bin/velumex
WORLD="${VELUMEX_WORLD:-$(mktemp -d)/velumex-world}"
"$VELUMEX" --world "$WORLD" world create --device-os 4.21
"$VELUMEX" --world "$WORLD" world show
echo "The world is in $WORLD; try: $VELUMEX --world $WORLD --help"
