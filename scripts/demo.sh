#!/usr/bin/env bash
# The main job: build everything, then walk a fresh world along the road a synchronization takes
# end to end: the desktop's mail client and provider installed and registered, the device side
# installed as a package (providers, service, transport, mail account), a partnership made and
# connected, the desktop store created, initialised and identified exactly as the sync engine
# does it, the mail options changed through the mail folder's options dialog, a message read into
# a packet for the device; then a synchronization that brings the desktop's mail to the device, a
# reply written on the device and sent by the desktop, a contact that travels from the desktop's
# address book to the device and comes back edited, and a last synchronization with nothing left
# to do.
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
# The device side installs as a user's package does: the providers, the service and the Inbox
# transport copied and registered, the mail account provisioned with its message store, the
# device's settings key created, and the notification service running.
step device package install
step device accounts
step partner create --device-type PocketPC
step device connect
step store info
# The mail options dialog as the engine opens it, scripted: a refused number first, then new
# settings; and which Inbox messages the mail folder now replicates.
step options mail --set MaxLines=4 || echo "(refused: nothing was saved)"
step options mail --set Options=0x7F,Days=30,SizeLimit=64
step desktop mail list --scope
# A message with a body and an attachment, read as the engine reads it for the device: the
# engine's sample filter converts the text attachment on its way, and the body and the converted
# file wait in the device's temporary folder.
step filter install-sample
step filter set .txt import '{8D3A51C0-4E2B-4F7A-9C61-2B5E7A0D1F01}'
FILES="$(mktemp -d)"
printf 'Hello,\nthe minutes are attached.\nAnn\n' >"$FILES/body.txt"
printf 'Minutes of the spring meeting\n1. Budget\n2. Garden\n' >"$FILES/minutes.txt"
step desktop mail add --from ann@example.com --from-name "Ann Archer" --to me@example.com \
    --cc bob@example.com --subject "Minutes" --body-file "$FILES/body.txt" \
    --attach "$FILES/minutes.txt"
step desktop mail packet 3
step reg query device 'HKCU\Software\Quorvane\Velumex'
# The engine synchronizes the partnership: the desktop's messages reach the device's Inbox, their
# bodies cut and their attachments chosen by the mail options.
step sync
step device mail list
MINUTES="$("$VELUMEX" device mail list --folder Inbox | awk '/Minutes/ { print $1; exit }')"
step device mail show "$MINUTES"
# A reply written on the device, with an attachment, waits in its Outbox; the next
# synchronization has the desktop send it, and it lies in the desktop's Sent folder.
printf 'Agreed on both points.\n' >"$FILES/answer.txt"
step device mail compose --to "Ann Archer <ann@example.com>" --subject "Re: Minutes" \
    --body "Thank you, Ann. My answer is attached." --attach "$FILES/answer.txt"
step device mail list --folder Outbox
step sync
step desktop mail sent
step device mail list --folder Outbox
# The address book travels too: a desktop contact reaches the device's contacts; edited there by
# the device's user, it comes back to the desktop at the next synchronization.
step desktop contacts add --set name="Carol Baker" --set first=Carol --set last=Baker \
    --set company="Baker & Sons" --email carol@example.com
step sync --type Address
step device contacts list
CAROL="$("$VELUMEX" device contacts list | awk -F'\t' '$2 == "Carol Baker" { print $1; exit }')"
step device contacts show "$CAROL"
step device contacts edit "$CAROL" --set JobTitle=Director --set MobileTelephoneNumber="+1 555 0199"
step sync --type Address
step desktop contacts show "$("$VELUMEX" desktop contacts list | awk '/Carol Baker/ { print $1; exit }')"
# Nothing changed since: the engine has nothing to do.
step sync
step sync state
step log
step world show
echo
echo "The world is in $VELUMEX_WORLD; try: $VELUMEX --world $VELUMEX_WORLD --help"
