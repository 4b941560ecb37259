// The partnership's mail options in the registry: the four values under the partnership key's
// options subkey, and the one value the device needs from them.
#pragma once

#include <windows.h>

#include "mail_settings.h"

// Reads "Options", "MaxLines", "Days" and "SizeLimit" (REG_DWORD) from the options subkey of
// `partnership`. A value that is missing or not a REG_DWORD keeps what `settings` holds; a
// missing subkey keeps every value.
void LoadMailOptions(HKEY partnership, MailSettings* settings);
// Creates the options subkey when missing and writes all four values. ERROR_SUCCESS, or the
// registry error of the first step that failed.
LONG SaveMailOptions(HKEY partnership, const MailSettings& settings);

// Tells the connected device whether it keeps a copy of mail it had the desktop send: writes
// "NoKeepSentOver" = 1 when both MAIL_OPT_SEND and MAIL_OPT_NO_KEEP_SENT are set, else 0. Nothing
// is written for a store that serves the selected rather than the connected device
// (ISF_SELECTED_DEVICE in `storeFlags`), nor when the device's key cannot be opened. TRUE when
// the value was written.
BOOL WriteNoKeepSentOver(const MailSettings& settings, UINT storeFlags);
