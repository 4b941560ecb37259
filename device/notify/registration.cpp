#include "registration.h"

#include <cstring>

namespace {

constexpr WCHAR kServicesKey[] = W("Services");
constexpr WCHAR kServiceKey[] = W("Services\\KTNotif");
constexpr WCHAR kServiceName[] = W("KTNotif");
constexpr REGSAM kServicesAccess = 0x2001F;

LONG SetString(HKEY key, LPCWSTR name, LPCWSTR value) {
    DWORD size = static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(WCHAR));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), size);
}

LONG SetNumber(HKEY key, LPCWSTR name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

// The file-name part of a module path: what follows its last backslash.
LPCWSTR FileNamePart(LPCWSTR path) {
    LPCWSTR name = path;
    for (LPCWSTR at = path; *at; ++at)
        if (*at == W('\\')) name = at + 1;
    return name;
}

}  // namespace

DWORD LargestServiceOrder(HKEY services) {
    DWORD largest = 0;
    for (DWORD index = 0;; ++index) {
        WCHAR name[261];
        DWORD length = 261;
        if (RegEnumKeyExW(services, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY service = nullptr;
        if (RegOpenKeyExW(services, name, 0, KEY_READ, &service) != ERROR_SUCCESS) continue;
        // Zeroed first: a value shorter than four bytes fills only its low bytes.
        DWORD order = 0;
        DWORD size = sizeof(order);
        if (RegQueryValueExW(service, W("Order"), nullptr, nullptr,
                             reinterpret_cast<LPBYTE>(&order), &size) != ERROR_SUCCESS)
            order = 0;
        RegCloseKey(service);
        if (order > largest) largest = order;
    }
    return largest;
}

bool DeleteKeyTree(HKEY parent, LPCWSTR name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    bool complete = true;
    for (;;) {
        WCHAR child[257];
        DWORD length = 257;
        if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        // A subkey that cannot be deleted would come first again for ever: stop there.
        if (!DeleteKeyTree(key, child)) {
            complete = false;
            break;
        }
    }
    RegCloseKey(key);
    return complete && RegDeleteKeyW(parent, name) == ERROR_SUCCESS;
}

HRESULT RegisterService(HINSTANCE module) {
    DWORD order = 0;
    HKEY services = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServicesKey, 0, kServicesAccess, &services) ==
        ERROR_SUCCESS) {
        order = LargestServiceOrder(services);
        RegCloseKey(services);
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    WCHAR path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    SetString(key, W("Dll"), FileNamePart(path));
    SetNumber(key, W("Order"), order + 1);
    SetNumber(key, W("Keep"), 1);
    SetString(key, W("Prefix"), W("KTN"));
    SetNumber(key, W("Index"), 0);
    SetString(key, W("DisplayName"), W("Kestrin"));
    SetString(key, W("Description"),
              W("Journals the changes of the Kestrin account's mail and of the device contacts"));
    RegCloseKey(key);
    return S_OK;
}

HRESULT UnregisterService() {
    HKEY services = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServicesKey, 0, kServicesAccess, &services) !=
        ERROR_SUCCESS)
        return S_OK;
    DeleteKeyTree(services, kServiceName);
    RegCloseKey(services);
    return S_OK;
}
