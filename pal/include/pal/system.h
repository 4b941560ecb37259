// System information: OS version, locale information, debug output.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

using LCTYPE = DWORD;

// The machine's locale, whichever of the two is asked for (the neutral locale 0 too).
#ifndef LOCALE_SYSTEM_DEFAULT
#define LOCALE_SYSTEM_DEFAULT 0x0400
#endif
#ifndef LOCALE_USER_DEFAULT
#define LOCALE_USER_DEFAULT 0x0800
#endif

#define LOCALE_SLIST 0x0000000C

#define VER_PLATFORM_WIN32_NT 2
#define VER_PLATFORM_WIN32_CE 3

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
using POSVERSIONINFOA = OSVERSIONINFOA*;
using LPOSVERSIONINFOA = OSVERSIONINFOA*;

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
using POSVERSIONINFOW = OSVERSIONINFOW*;
using LPOSVERSIONINFOW = OSVERSIONINFOW*;

// The current machine's OS version and platform with an empty service-pack text; FALSE with
// ERROR_INSUFFICIENT_BUFFER unless dwOSVersionInfoSize is the structure's size.
BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);

// Locale information (LOCALE_SLIST) in the ANSI code page or UTF-16: the count of characters
// written, terminator included, or with cchData 0 the count needed. 0 with
// ERROR_INSUFFICIENT_BUFFER when it does not fit, ERROR_INVALID_PARAMETER for an unknown locale
// or a bad buffer, ERROR_INVALID_FLAGS for an unknown LCTYPE.
int GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData);
int GetLocaleInfoW(LCID Locale, LCTYPE LCType, LPWSTR lpLCData, int cchData);

// Captures the text on the current machine (see pal/runtime/debug_output.h); also echoed to
// standard error when the host environment has VELUMEX_DEBUG_OUTPUT set.
void OutputDebugStringA(LPCSTR lpOutputString);
void OutputDebugStringW(LPCWSTR lpOutputString);

#ifdef UNICODE
using OSVERSIONINFO = OSVERSIONINFOW;
using POSVERSIONINFO = POSVERSIONINFOW;
using LPOSVERSIONINFO = LPOSVERSIONINFOW;
#define GetVersionEx GetVersionExW
#define GetLocaleInfo GetLocaleInfoW
#define OutputDebugString OutputDebugStringW
#else
using OSVERSIONINFO = OSVERSIONINFOA;
using POSVERSIONINFO = POSVERSIONINFOA;
using LPOSVERSIONINFO = LPOSVERSIONINFOA;
#define GetVersionEx GetVersionExA
#define GetLocaleInfo GetLocaleInfoA
#define OutputDebugString OutputDebugStringA
#endif
