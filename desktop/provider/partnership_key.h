// The desktop registry key of the current partnership, where the provider keeps the user's
// options for this device under its own subkey.
#pragma once

#include <ceutil.h>
#include <replication.h>
#include <windows.h>

// The subkey of the partnership key that holds the mail and contacts options.
#define PARTNERSHIP_OPTIONS_SUBKEY "KV.WinCE.OE.3"

// The partnership key the engine hands out: the selected partnership's when the store serves the
// selected device (ISF_SELECTED_DEVICE in `storeFlags`), else the connected one's. Null when the
// engine has none to give; the caller closes a key it gets with RegCloseKey.
HKEY QueryPartnershipKey(IReplNotify* notify, UINT storeFlags);

// The partnership key opened through the partnership utility library: the connected device's
// partnership, or the selected one when no device is connected. Null when neither opens; the
// caller closes a key it gets with CeSvcClose.
HCESVC OpenDevicePartnership();
