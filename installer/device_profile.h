// The connected device's partnership profile on the desktop.
#pragma once

#include <windows.h>

// The profile buffer's size in characters, terminator included.
#define PROFILE_VALUE_SIZE 260

// Reads the string value `name` of the connected device's profile into `value`
// (PROFILE_VALUE_SIZE characters). E_FAIL when no device is connected, else the result of opening
// the profile or of reading the value; `value` is empty on failure.
HRESULT ReadDeviceProfileString(LPCSTR name, LPSTR value, DWORD* deviceId);
