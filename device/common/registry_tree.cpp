#include "registry_tree.h"

namespace {
constexpr DWORD kMaxKeyName = 256;
}

void DeleteRegistryTree(HKEY parent, LPCWSTR name, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name, 0, access, &key) == ERROR_SUCCESS) {
        WCHAR child[kMaxKeyName + 1];
        for (;;) {
            DWORD size = kMaxKeyName + 1;
            // The first remaining subkey; fails once none is left.
            if (RegEnumKeyExW(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            DeleteRegistryTree(key, child, access);
            HKEY still = nullptr;
            if (RegOpenKeyExW(key, child, 0, KEY_READ, &still) == ERROR_SUCCESS) {
                RegCloseKey(still);
                break;
            }
        }
        RegCloseKey(key);
    }
    // Removes the (now empty) key from its parent.
    RegDeleteKeyW(parent, name);
}
