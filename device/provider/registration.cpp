// Registration with the engine: HKEY_LOCAL_MACHINE "Windows CE Services\Synchronization\Objects"
// gets a subkey per object type whose "Store" value names this library.
#include <windows.h>

#include "registry_tree.h"

#include "kestrin_obj.h"

HINSTANCE KestrinModule();

namespace {

constexpr const WCHAR* kObjectsKey = W("Windows CE Services\\Synchronization\\Objects");
// The access the engine's key is opened with: read and write.
constexpr REGSAM kReadWrite = 0x2001F;

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
    DeleteRegistryTree(objects, MAIL_OBJTYPE, kReadWrite);
    DeleteRegistryTree(objects, CONTACTS_OBJTYPE, kReadWrite);
    RegCloseKey(objects);
    return S_OK;
}
