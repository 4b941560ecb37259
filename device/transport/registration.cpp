// Registration with the Inbox: HKEY_LOCAL_MACHINE "Software\Microsoft\Inbox\Svc\Kestrin" names
// this library as the transport of the account type and the message class it carries.
#include <mail_transport.h>
#include <windows.h>

#include "registry_tree.h"

HINSTANCE TransportModule();

namespace {

constexpr const WCHAR* kAccountType = W("Kestrin");
constexpr const WCHAR* kMessageClass = W("IPM.Note");
// Full access, as the Inbox's key is opened.
constexpr REGSAM kFullAccess = 0xF003F;

void SetString(HKEY key, LPCWSTR name, LPCWSTR text) {
    // A REG_SZ whose size counts the terminator.
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   (lstrlenW(text) + 1) * sizeof(WCHAR));
}

void SetDword(HKEY key, LPCWSTR name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

}  // namespace

PAL_EXPORT HRESULT DllRegisterServer() {
    WCHAR path[MAX_PATH + 1] = {};
    // This library's full Windows path, cut to MAX_PATH characters.
    DWORD length = GetModuleFileNameW(TransportModule(), path, MAX_PATH);
    if (length > MAX_PATH - 1) length = MAX_PATH - 1;
    path[length] = 0;
    HKEY svc = nullptr;
    // The Inbox's key must exist already: without an Inbox there is nothing to register with.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, INBOX_SVC_KEY, 0, kFullAccess, &svc) != ERROR_SUCCESS)
        return S_OK;
    HKEY account = nullptr;
    if (RegCreateKeyExW(svc, kAccountType, 0, nullptr, 0, kFullAccess, nullptr, &account,
                        nullptr) == ERROR_SUCCESS) {
        SetString(account, W("Name"), kAccountType);
        SetString(account, W("DLL"), path);
        SetDword(account, W("UserCannotCreate"), 1);
        HKEY classes = nullptr;
        if (RegCreateKeyExW(account, W("MsgClasses"), 0, nullptr, 0, kFullAccess, nullptr,
                            &classes, nullptr) == ERROR_SUCCESS) {
            SetDword(classes, kMessageClass, 1);
            RegCloseKey(classes);
        }
        RegCloseKey(account);
    }
    RegCloseKey(svc);
    return S_OK;
}

PAL_EXPORT HRESULT DllUnregisterServer() {
    HKEY svc = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, INBOX_SVC_KEY, 0, kFullAccess, &svc) == ERROR_SUCCESS) {
        DeleteRegistryTree(svc, kAccountType, kFullAccess);
        RegCloseKey(svc);
    }
    return S_OK;
}
