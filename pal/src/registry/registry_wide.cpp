// The UTF-16 registry entry points.
#include <cstring>

#include "registry_calls.h"

namespace {

std::u16string_view NameOrEmpty(LPCWSTR name) {
    return name ? std::u16string_view(name) : std::u16string_view();
}

}  // namespace

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    return pal::reg::OpenKey(hKey, NameOrEmpty(lpSubKey), samDesired, phkResult);
}

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    return pal::reg::CreateKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition);
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    DWORD type = 0;
    std::vector<BYTE> data;
    LONG error = pal::reg::QueryValue(hKey, NameOrEmpty(lpValueName), type, data);
    if (error != ERROR_SUCCESS) return error;
    return pal::reg::CopyValueOut(type, data, lpType, lpData, lpcbData);
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::vector<BYTE> data(lpData, lpData + (lpData ? cbData : 0));
    return pal::reg::SetValue(hKey, NameOrEmpty(lpValueName), dwType, std::move(data));
}

LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    return pal::reg::DeleteKey(hKey, lpSubKey);
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    return pal::reg::DeleteValue(hKey, NameOrEmpty(lpValueName));
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD,
                   LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    std::u16string name;
    LONG error = pal::reg::EnumKey(hKey, dwIndex, name, lpftLastWriteTime);
    if (error != ERROR_SUCCESS) return error;
    if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
    std::memcpy(lpName, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    *lpcchName = static_cast<DWORD>(name.size());
    // Keys carry no class name.
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) { return pal::reg::CloseKey(hKey); }

LONG RegFlushKey(HKEY hKey) { return pal::reg::FlushKey(hKey); }
