// The service's registration with the device's service host under HKEY_LOCAL_MACHINE
// "Services\KTNotif".
#pragma once

#include <windows.h>

// Writes the registration: "Dll" (this DLL's file name), "Order" (one past the largest "Order" of
// the services registered), "Keep" 1, "Prefix" "KTN", "Index" 0, "DisplayName", "Description".
// S_OK, or E_FAIL when the key cannot be created.
HRESULT RegisterService(HINSTANCE module);
// Deletes the registration with its subkeys; S_OK.
HRESULT UnregisterService();

// The largest "Order" among the subkeys of `services`: a missing value, or one longer than four
// bytes, counts as 0; a shorter one is read into a zeroed number.
DWORD LargestServiceOrder(HKEY services);
// Deletes `name` below `parent` with all its subkeys; false when some key could not be deleted
// (what could be is gone).
bool DeleteKeyTree(HKEY parent, LPCWSTR name);
