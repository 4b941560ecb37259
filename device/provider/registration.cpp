// Registration with the engine: HKEY_LOCAL_MACHINE "Windows CE Services\Synchronization\Objects"
// gets a subkey per object type whose "Store" value names this library.
#include <windows.h>

#include "kestrin_obj.h"

HINSTANCE KestrinModule();

namespace {

constexpr const WCHAR* kObjectsKey = W("Windows CE Services\\Synchronization\\Objects");
// The access the engine's key is opened with: read and write.
constexpr REGSAM kReadWrite = 0x2001F;
constexpr DWORD kMaxKeyName = 256;

void RegisterType(HKEY objects, LPCWSTR type, const WCHAR* path, DWORD length) {
    HKEY key = nullptr;
    // Creates the type's subkey, or opens it when it exists.
    if (RegCreateKeyExW(objects, type, 0, nullptr, 0, kReadWrite, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    // A REG_SZ whose size counts the terminator.
    RegSetValueExW(key, W("Store"), 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                   (length + 1) * sizeof(WCHAR));
    RegCloseKey(key);
}

// Deletes `name` under `parent` with everything below it.
void DeleteTree(HKEY parent, LPCWSTR name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name, 0, kReadWrite, &key) == ERROR_SUCCESS) {
        WCHAR child[kMaxKeyName + 1];
        for (;;) {
            DWORD size = kMaxKeyName + 1;
            // The first remaining subkey; fails once none is left.
            if (RegEnumKeyExW(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            DeleteTree(key, child);
            // A subkey that cannot be deleted would be enumerated again without end.
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

}  // namespace

PAL_EXPORT HRESULT DllRegisterServer() {
    HKEY objects = nullptr;
    // The engine's registry of synchronization providers; it must exist already.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kObjectsKey, 0, kReadWrite, &objects) != ERROR_SUCCESS)
        return E_FAIL;
    WCHAR path[MAX_PATH + 1] = {};
    // This library's full Windows path, cut to MAX_PATH characters.
    DWORD length = GetModuleFileNameW(KestrinModule(), path, MAX_PATH);
    if (length > MAX_PATH - 1) length = MAX_PATH - 1;
    path[length] = 0;
    RegisterType(objects, MAIL_OBJTYPE, path, length);
    RegisterType(objects, CONTACTS_OBJTYPE, path, length);
    RegCloseKey(objects);
    return S_OK;
}

PAL_EXPORT HRESULT DllUnregisterServer() {
    HKEY objects = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kObjectsKey, 0, kReadWrite, &objects) != ERROR_SUCCESS)
        return S_OK;
    DeleteTree(objects, MAIL_OBJTYPE);
    DeleteTree(objects, CONTACTS_OBJTYPE);
    RegCloseKey(objects);
    return S_OK;
}
