// Registry: hives of the current machine, keys and values; environment-string expansion.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

// Security attributes are accepted and ignored by the registry calls.
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Predefined keys, sign-extended as on 64-bit Windows. HKEY_CLASSES_ROOT is the key
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes itself, not a copy of it.
#define HKEY_CLASSES_ROOT \
    (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000))))
#define HKEY_CURRENT_USER \
    (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001))))
#define HKEY_LOCAL_MACHINE \
    (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002))))

// Value types. Any other type number is kept as raw bytes.
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11

// Key access rights. The desktop enforces them on each call; Windows CE ignores them.
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE KEY_READ
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x0
#define REG_OPTION_VOLATILE 0x1

// RegCreateKeyEx dispositions.
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

// Opens an existing subkey (null or empty: a new handle to hKey itself); ERROR_FILE_NOT_FOUND
// when it does not exist, *phkResult then null.
LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   PHKEY phkResult);
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
// Opens a subkey, creating it and every missing key above it; the disposition tells which.
LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
// Reads a value's type and exact bytes (null or empty name: the default value). Null data with
// a size pointer asks for the size; a short buffer gives ERROR_MORE_DATA and the size needed.
LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData);
// As the W form; string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) comes back in the ANSI code
// page and every size is that of the ANSI form.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData);
// Stores exactly cbData bytes with the given type, replacing any earlier value of that name.
LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE* lpData, DWORD cbData);
// As the W form; string data given in the ANSI code page is stored as UTF-16.
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
// Deletes a subkey. On the desktop a key with subkeys is refused (ERROR_ACCESS_DENIED); on
// Windows CE the whole subtree goes. Open handles to deleted keys answer ERROR_KEY_DELETED.
LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
// Deletes one value; ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// The name of the subkey at dwIndex in name order (without regard to case); ERROR_NO_MORE_ITEMS
// past the last one, ERROR_MORE_DATA when the name and its terminator do not fit.
LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
// Closes a key handle of the current process; closing a predefined key succeeds and does nothing.
LONG RegCloseKey(HKEY hKey);
// Writes the hive holding the key to its file before returning.
LONG RegFlushKey(HKEY hKey);

// Replaces each %NAME% with the machine's environment variable of that name (any case); unknown
// names stay as written. Returns the characters of the result including its terminator, or the
// size needed when nSize is too small (the buffer is then left untouched); 0 on failure.
DWORD ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize);
// As the W form in the ANSI code page; sizes are in bytes of the ANSI form.
DWORD ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize);

#ifdef UNICODE
#define RegOpenKeyEx RegOpenKeyExW
#define RegCreateKeyEx RegCreateKeyExW
#define RegQueryValueEx RegQueryValueExW
#define RegSetValueEx RegSetValueExW
#define RegDeleteKey RegDeleteKeyW
#define RegDeleteValue RegDeleteValueW
#define RegEnumKeyEx RegEnumKeyExW
#define ExpandEnvironmentStrings ExpandEnvironmentStringsW
#else
#define RegOpenKeyEx RegOpenKeyExA
#define RegCreateKeyEx RegCreateKeyExA
#define RegQueryValueEx RegQueryValueExA
#define RegSetValueEx RegSetValueExA
#define RegDeleteKey RegDeleteKeyA
#define RegDeleteValue RegDeleteValueA
#define RegEnumKeyEx RegEnumKeyExA
#define ExpandEnvironmentStrings ExpandEnvironmentStringsA
#endif
