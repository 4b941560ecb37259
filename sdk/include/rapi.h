// Remote calls from the desktop into the connected device: each call is carried to the device,
// executed there by its remote-call server, and answered while the caller waits. Registry keys
// and file handles these calls answer are the device's and are valid only in further remote
// calls. Text is UTF-16.
//
// With no device connected (or when the device drops while a call is in flight) a call fails as
// the transport fails: LONG results are ERROR_DEVICE_NOT_CONNECTED, BOOL and handle results
// fail with CeGetLastError() = ERROR_DEVICE_NOT_CONNECTED, and CeRapiGetError() answers
// HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED). A call that reached the device leaves
// CeRapiGetError() at S_OK.
#pragma once

#include <windows.h>

// Session start-up record. cbSize is 12, the published size of the 32-bit layout (sizeof
// differs on this 64-bit build); sizeof(RAPIINIT) is accepted as well.
struct RAPIINIT {
    DWORD cbSize;
    HANDLE heRapiInit;   // out: event signalled once the session is settled
    HRESULT hrRapiInit;  // out: the session's result once the event is signalled
};
#define CBSIZE_RAPIINIT 12

// The device's operating system version. dwOSVersionInfoSize is 276.
struct CEOSVERSIONINFO {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
using LPCEOSVERSIONINFO = CEOSVERSIONINFO*;

// Starts a session of the calling process: S_OK with heRapiInit a new event of the process and
// hrRapiInit set before the event is signalled. A connected device settles the session at once
// (hrRapiInit S_OK); without a connected device the session settles at once as failed
// (hrRapiInit HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)). E_INVALIDARG for a null record or
// a wrong cbSize; E_UNEXPECTED when the process already has a session.
STDAPI CeRapiInitEx(RAPIINIT* pRapiInit);
// Ends the calling process's session and closes its event: S_OK, or E_FAIL without a session.
// Remote calls do not depend on a session: they work whenever a device is connected.
STDAPI CeRapiUninit(void);
// Transport result of the calling thread's last remote call: S_OK when it reached the device.
STDAPI CeRapiGetError(void);
// The device's last-error code after the calling thread's last remote call.
STDAPI_(DWORD) CeGetLastError(void);

// Registry calls on the device, with RegOpenKeyExW … RegCloseKey's results and semantics there.
STDAPI_(LONG)
CeRegOpenKeyEx(HKEY hKey, LPCWSTR lpszSubKey, DWORD dwReserved, REGSAM samDesired, PHKEY phkResult);
STDAPI_(LONG)
CeRegCreateKeyEx(HKEY hKey, LPCWSTR lpszSubKey, DWORD dwReserved, LPWSTR lpszClass,
                 DWORD fdwOptions, REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                 PHKEY phkResult, LPDWORD lpdwDisposition);
STDAPI_(LONG)
CeRegQueryValueEx(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                  LPDWORD lpcbData);
STDAPI_(LONG)
CeRegSetValueEx(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                DWORD cbData);
STDAPI_(LONG) CeRegCloseKey(HKEY hKey);

// File calls on the device, with CreateFileW … DeleteFileW's results there (CeGetLastError
// answers the device's error). Overlapped records are not supported and must be null.
STDAPI_(HANDLE)
CeCreateFile(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
             LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
             DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
STDAPI_(BOOL)
CeReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
           LPOVERLAPPED lpOverlapped);
STDAPI_(BOOL)
CeWriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
            LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
STDAPI_(BOOL) CeCloseHandle(HANDLE hObject);
STDAPI_(BOOL) CeDeleteFile(LPCWSTR lpFileName);
// The device's temporary folder with its trailing "\": the length without terminator, or the
// size needed (terminator included) when nBufferLength is too small; 0 on failure.
STDAPI_(DWORD) CeGetTempPath(DWORD nBufferLength, LPWSTR lpBuffer);
// The device's version: TRUE, or FALSE with ERROR_INVALID_PARAMETER for a null record or a
// dwOSVersionInfoSize other than 276.
STDAPI_(BOOL) CeGetVersionEx(LPCEOSVERSIONINFO lpVersionInformation);
