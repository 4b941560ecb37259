// Creating the device's mail account for synchronized mail.
#pragma once

#include <windows.h>

// The display name's buffer, terminator included.
#define DISPLAY_NAME_SIZE 64

// Composes the display name from the engine's own account name into `name`
// (DISPLAY_NAME_SIZE characters; a longer name is cut to fit).
void ComposeDisplayName(LPWSTR name);

// Records the display name as the transport's "FriendlyName" and provisions the account through
// the configuration manager with template 101 of `instance`.
void CreateAccount(HINSTANCE instance);
