// The transport library's entry points: the Inbox creates the account type's handler through
// OneStopFactory.
#include <mail_transport.h>
#include <windows.h>

#include <new>

#include "transport_sync_handler.h"

namespace {

HINSTANCE g_module = nullptr;

// The one account type this library serves.
constexpr const WCHAR* kAccountType = W("Kestrin");

}  // namespace

HINSTANCE TransportModule() { return g_module; }

PAL_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

PAL_EXPORT HRESULT OneStopFactory(LPCWSTR pszType, IMailSyncHandler** ppHandler) {
    if (!ppHandler) return E_INVALIDARG;
    // Whatever follows, the caller never finds a stale pointer here.
    *ppHandler = nullptr;
    if (!pszType || _wcsicmp(pszType, kAccountType) != 0) return E_INVALIDARG;
    auto* handler = new (std::nothrow) CTransportSyncHandler;
    if (!handler) return E_OUTOFMEMORY;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    *ppHandler = handler;
    return S_OK;
}
