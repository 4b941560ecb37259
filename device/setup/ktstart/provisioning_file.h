// Applying the provisioning file the desktop leaves in the device's root folder.
#pragma once

#include <windows.h>

// The largest provisioning file applied; a larger one is deleted unread.
#define PROVISIONING_FILE_LIMIT (256 * 1024)

// On a device of OS version 5 or later, applies "\VelumexSetup.xml" (UTF-16LE after a byte-order
// mark, else ANSI) through the configuration manager; the file is deleted in every case.
void ApplyProvisioningFile();
