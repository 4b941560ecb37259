// The ANSI registry entry points: names and string data pass through the machine's ANSI code
// page (Windows-1252), one byte per UTF-16 unit, and sizes are those of the ANSI form.
#include <cstring>

#include "pal/runtime/encoding.h"
#include "registry_calls.h"

namespace {

std::u16string Widen(LPCSTR text) { return text ? pal::Cp1252ToUtf16(text) : std::u16string(); }

// ANSI string bytes as the UTF-16 bytes they are stored as.
std::vector<BYTE> WidenData(const BYTE* data, DWORD size) {
    std::vector<BYTE> wide;
    wide.reserve(size * 2);
    for (DWORD i = 0; i < size; ++i) {
        char16_t unit = pal::Cp1252ToUtf16(data[i]);
        wide.push_back(static_cast<BYTE>(unit & 0xFF));
        wide.push_back(static_cast<BYTE>(unit >> 8));
    }
    return wide;
}

// Stored UTF-16 string bytes in the ANSI code page; an odd trailing byte has no unit and goes.
std::vector<BYTE> NarrowData(const std::vector<BYTE>& wide) {
    std::vector<BYTE> ansi;
    ansi.reserve(wide.size() / 2);
    for (size_t i = 0; i + 1 < wide.size(); i += 2) {
        auto unit = static_cast<char16_t>(wide[i] | (wide[i + 1] << 8));
        ansi.push_back(pal::Utf16ToCp1252(unit).value_or('?'));
    }
    return ansi;
}

}  // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    return pal::reg::OpenKey(hKey, Widen(lpSubKey), samDesired, phkResult);
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    return pal::reg::CreateKey(hKey, Widen(lpSubKey), samDesired, phkResult, lpdwDisposition);
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    DWORD type = 0;
    std::vector<BYTE> data;
    LONG error = pal::reg::QueryValue(hKey, Widen(lpValueName), type, data);
    if (error != ERROR_SUCCESS) return error;
    if (pal::reg::IsStringType(type)) data = NarrowData(data);
    return pal::reg::CopyValueOut(type, data, lpType, lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::vector<BYTE> data = pal::reg::IsStringType(dwType)
                                 ? WidenData(lpData, cbData)
                                 : std::vector<BYTE>(lpData, lpData + (lpData ? cbData : 0));
    return pal::reg::SetValue(hKey, Widen(lpValueName), dwType, std::move(data));
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    return pal::reg::DeleteKey(hKey, Widen(lpSubKey));
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    return pal::reg::DeleteValue(hKey, Widen(lpValueName));
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD,
                   LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    std::u16string name;
    LONG error = pal::reg::EnumKey(hKey, dwIndex, name, lpftLastWriteTime);
    if (error != ERROR_SUCCESS) return error;
    std::string ansi = pal::Utf16ToCp1252(name);
    if (ansi.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
    std::memcpy(lpName, ansi.c_str(), ansi.size() + 1);
    *lpcchName = static_cast<DWORD>(ansi.size());
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    return ERROR_SUCCESS;
}
