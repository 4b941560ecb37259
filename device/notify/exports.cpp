// The service's entry points: the service host's stream interface ("KTN") and registration.
#include <windows.h>

#include "registration.h"
#include "wnd_hidden.h"

namespace {

HINSTANCE g_module = nullptr;
// The service: created when the DLL is loaded, destroyed when it is unloaded.
CWndHidden g_service;

}  // namespace

HINSTANCE NotifyModule() { return g_module; }

PAL_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

// Starts the service thread. 1 (the device context), or 0 when the service runs already or its
// thread cannot start.
PAL_EXPORT DWORD KTN_Init(DWORD) { return g_service.StartThread() ? 1 : 0; }

// Stops the service thread, whether it waits for the shell or runs its window, and waits for it.
PAL_EXPORT BOOL KTN_Deinit(DWORD) {
    g_service.StopThread();
    return 0;
}

PAL_EXPORT DWORD KTN_Open(DWORD, DWORD, DWORD) { return 0; }
PAL_EXPORT BOOL KTN_Close(DWORD) { return 0; }
PAL_EXPORT DWORD KTN_Read(DWORD, LPVOID, DWORD) { return 0; }
PAL_EXPORT DWORD KTN_Write(DWORD, LPCVOID, DWORD) { return 0; }
PAL_EXPORT DWORD KTN_Seek(DWORD, long, DWORD) { return 0; }
PAL_EXPORT BOOL KTN_IOControl(DWORD, DWORD, PBYTE, DWORD, PBYTE, DWORD, PDWORD) { return TRUE; }

STDAPI DllRegisterServer() { return RegisterService(g_module); }
STDAPI DllUnregisterServer() { return UnregisterService(); }
