// The desktop's partnership utility library: the registry keys of the synchronization engine's
// partnerships (one "profile" per device partnership) and the ids of the connected and selected
// partnerships. Desktop code is ANSI: every text is in the ANSI code page.
#pragma once

#include <windows.h>

// A partnership utility key: an open desktop registry key of the calling process.
using HCESVC = HKEY;
using PHCESVC = HCESVC*;

// Roots that CeSvcOpen opens.
#define CESVC_DEVICEX 3  // the partnership whose profile id is passed as pszPath

// Opens a root key. For CESVC_DEVICEX, pszPath carries the profile id itself
// ((LPSTR)(DWORD_PTR)id) and fCreate creates the partnership key when it is missing. S_OK, or
// E_INVALIDARG (null phSvc, unknown root, profile id 0 or 0xFFFFFFFF), or the HRESULT of the
// registry error (HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) for a partnership that does not exist).
STDAPI CeSvcOpen(UINT uSvc, LPSTR pszPath, BOOL fCreate, PHCESVC phSvc);
// Opens (fCreate: creates) the subkey pszPath of an open key; the same results.
STDAPI CeSvcOpenEx(HCESVC hSvcRoot, LPSTR pszPath, BOOL fCreate, PHCESVC phSvc);
// Closes a key opened here or by CeSvcEnumProfiles. S_OK or E_INVALIDARG for a bad key.
STDAPI CeSvcClose(HCESVC hSvc);
// Reads a REG_DWORD value: S_OK, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when it is missing,
// E_FAIL when it holds another type or size, E_INVALIDARG for a null pdwVal or bad key.
STDAPI CeSvcGetDword(HCESVC hSvc, LPCSTR pszValName, LPDWORD pdwVal);
// Reads a REG_SZ value into pszVal, cbVal characters long, terminator included: S_OK;
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when missing; E_FAIL for another type;
// HRESULT_FROM_WIN32(ERROR_MORE_DATA) when the text and its terminator do not fit (the buffer
// is left empty); E_INVALIDARG for a null buffer or bad key.
STDAPI CeSvcGetString(HCESVC hSvc, LPCSTR pszValName, LPSTR pszVal, DWORD cbVal);
// Enumerates the partnerships: *phSvc null on the first call receives an enumeration key that
// the caller closes with CeSvcClose. *plProfile := the profile id at lProfileIndex (0 upward);
// HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS) past the last one; E_INVALIDARG for null pointers.
STDAPI CeSvcEnumProfiles(PHCESVC phSvc, DWORD lProfileIndex, PDWORD plProfile);

// Profile id of the connected device's partnership; 0 when no device is connected.
STDAPI_(DWORD) CeGetDeviceId(void);
// Profile id of the partnership selected in the engine's window; 0 when none is selected.
STDAPI_(DWORD) CeGetSelectedDeviceId(void);
