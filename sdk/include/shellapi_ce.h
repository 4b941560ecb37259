// The device shell's special folders.
#pragma once

#include <windows.h>

#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PERSONAL 0x0005
#define CSIDL_WINDOWS 0x0024
#define CSIDL_PROGRAM_FILES 0x0026

// The folder `csidl` names on the current machine into lpszPath (MAX_PATH characters), without a
// trailing backslash; fCreate creates it when missing. FALSE for an unknown folder, or when it
// is missing and not to be (or cannot be) created.
BOOL SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder, BOOL fCreate);
