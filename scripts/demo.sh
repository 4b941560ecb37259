#!/usr/bin/env bash
# The main job: build everything, then walk a fresh world along the road a synchronization takes
# so far: the desktop's mail client and provider installed and registered, the device provider
# installed, a partnership made and connected, the desktop store created, initialised and
# identified exactly as the sync engine does it, and the mail options changed through the mail
# folder's options dialog.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh default
VELUMEX="$PWD/build/default/bin/velumex"
export VELUMEX_WORLD="${VELUMEX_WORLD:-$(mktemp -d)/velumex-world}"

step() { printf '\n$ velumex %s\n' "$*"; "$VELUMEX" "$@"; }

step world create --device-os 4.21
step desktop mail install
step desktop mail add --from ann@example.com --from-name "Ann Archer" --to me@example.com \
    --subject "Welcome to Velumex" --unread
step desktop mail add --from bob@example.com --to me@example.com --subject "Spring plans" \
    --received 2020-03-02
step desktop mail list
step desktop install
step device install-provider
step partner create --device-type PocketPC
step device connect
# The device's own settings key, as the device-side installation leaves it.
step reg set device 'HKCU\Software\Quorvane\Velumex' ID REG_DWORD 0
step store info
# The mail options dialog as the engine opens it, scripted: a refused number first, then new
# settings; and which Inbox messages the mail folder now replicates.
step options mail --set MaxLines=4 || echo "(refused: nothing was saved)"
step options mail --set Options=0x7F,Days=30,SizeLimit=64
step desktop mail list --scope
step reg query device 'HKCU\Software\Quorvane\Velumex'
step log
step world show
echo
echo "The world is in $VELUMEX_WORLD; try: $VELUMEX --world $VELUMEX_WORLD --help"
