// Removing a registry key with everything below it, as the device libraries do when they
// unregister themselves.
#pragma once

#include <windows.h>

// Deletes `name` under `parent` with all its subkeys and values, opening each level with
// `access`. A key that is absent is no error; a subkey that cannot be deleted ends the walk of
// its parent (which then stays) instead of being enumerated again without end.
void DeleteRegistryTree(HKEY parent, LPCWSTR name, REGSAM access);
