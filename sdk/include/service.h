// The device's service host (services.exe): the calls that load, find and unload services, and
// the stream-interface entry points a service DLL exports.
//
// A service is registered under HKEY_LOCAL_MACHINE "Services\<name>": "Dll" (REG_SZ, the DLL's
// file name, found in \Windows), "Prefix" (REG_SZ, three characters naming its exports
// <Prefix>_Init …), "Index" (REG_DWORD, 0–9, the device name <Prefix><Index>:), "Order"
// (REG_DWORD, the order of loading at boot, lowest first) and "Keep" (REG_DWORD, 1: the host keeps
// the DLL loaded; otherwise it unloads it once <Prefix>_Init returns).
#pragma once

#include <windows.h>

#ifndef ERROR_SERVICE_ALREADY_RUNNING
#define ERROR_SERVICE_ALREADY_RUNNING 1056L
#endif
#ifndef ERROR_OPEN_FAILED
#define ERROR_OPEN_FAILED 110L
#endif
#ifndef ERROR_NOT_FOUND
#define ERROR_NOT_FOUND 1168L
#endif
#ifndef ERROR_SERVICE_NOT_ACTIVE
#define ERROR_SERVICE_NOT_ACTIVE 1062L
#endif
#ifndef ERROR_SERVICE_DOES_NOT_EXIST
#define ERROR_SERVICE_DOES_NOT_EXIST 1060L
#endif

// Stream-interface entry points of a service DLL, <Prefix>_Init … <Prefix>_IOControl.
// Init answers the service's context (0: the service did not start); Deinit gets it back.
using PFN_SERVICE_INIT = DWORD (*)(DWORD dwContext);
using PFN_SERVICE_DEINIT = BOOL (*)(DWORD hDeviceContext);

// Loads the service registered as "Services\<lpszDevKey>" in the service host and calls its
// Init with dwClientInfo. Answers the service's handle; NULL with ERROR_SERVICE_DOES_NOT_EXIST
// (no such registration, or no "Dll"/"Prefix"), ERROR_SERVICE_ALREADY_RUNNING (its device name is
// in use), ERROR_MOD_NOT_FOUND / ERROR_PROC_NOT_FOUND (the DLL or its Init cannot be found) or
// ERROR_SERVICE_DISABLED... (Init answered 0: ERROR_OPEN_FAILED). Without "Keep" = 1 the DLL is
// unloaded again after Init and no handle is answered (NULL, last error 0).
HANDLE ActivateService(LPCWSTR lpszDevKey, DWORD dwClientInfo);

// The handle of the running service with device name szPrefix (for example "KTN0:", compared
// without regard to case); its DLL's file name goes to szDllName when given, within *pdwDllBuf
// bytes. NULL with ERROR_NOT_FOUND when no running service has that name,
// ERROR_INSUFFICIENT_BUFFER (the size needed in *pdwDllBuf) when the name does not fit.
HANDLE GetServiceHandle(LPWSTR szPrefix, LPWSTR szDllName, DWORD* pdwDllBuf);

// Stops a running service: calls its Deinit with its context in the service host and unloads its
// DLL. FALSE with ERROR_INVALID_HANDLE for a handle that names no running service.
BOOL DeregisterService(HANDLE hDevice);
