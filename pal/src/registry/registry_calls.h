// The registry calls on UTF-16 names and raw value bytes; the W and A entry points wrap them
// with their buffer conventions and conversions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pal/registry.h"

namespace pal::reg {

LONG OpenKey(HKEY hKey, std::u16string_view subKey, REGSAM access, PHKEY result);
LONG CreateKey(HKEY hKey, std::u16string_view subKey, REGSAM access, PHKEY result,
               LPDWORD disposition);
LONG QueryValue(HKEY hKey, std::u16string_view name, DWORD& type, std::vector<BYTE>& data);
LONG SetValue(HKEY hKey, std::u16string_view name, DWORD type, std::vector<BYTE> data);
LONG DeleteKey(HKEY hKey, std::u16string_view subKey);
LONG DeleteValue(HKEY hKey, std::u16string_view name);
LONG EnumKey(HKEY hKey, DWORD index, std::u16string& name, FILETIME* lastWrite);
LONG CloseKey(HKEY hKey);
LONG FlushKey(HKEY hKey);

// Copies `data` out under RegQueryValueEx's rules: null data asks for the size, a short buffer
// gives ERROR_MORE_DATA with the size needed, data without a size pointer is invalid.
LONG CopyValueOut(DWORD type, const std::vector<BYTE>& data, LPDWORD lpType, LPBYTE lpData,
                  LPDWORD lpcbData);

inline bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace pal::reg
