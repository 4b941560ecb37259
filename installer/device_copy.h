// Copying a desktop file onto the connected device.
#pragma once

#include <windows.h>

// Copies the local file `localPath` to `devicePath` on the device over an open remote-call
// session, in blocks of 1024 bytes. TRUE only when every byte arrived; a device file left
// incomplete by a failed read or write is deleted again.
BOOL CopyFileToDeviceFile(LPCSTR localPath, LPCWSTR devicePath);
