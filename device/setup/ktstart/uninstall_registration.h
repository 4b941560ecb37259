// Arranging for the mail account to be removed when the application is uninstalled.
#pragma once

#include <windows.h>

// Inserts template 100 of `instance` (the account's removal) after the first
// "</characteristic>" of the uninstall provisioning file the package installer registered for
// this application. A file that already carries the removal, has no such marker or cannot be
// read whole is left as it is; a failed rewrite puts the old text back.
void RegisterAccountRemoval(HINSTANCE instance);
