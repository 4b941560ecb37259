// The provider's entry points: the engine calls them one at a time on its device thread.
#include <device_sync.h>
#include <windows.h>

#include <new>

#include "store.h"

namespace {

HINSTANCE g_module = nullptr;
CStore* g_store = nullptr;
// Processes attached: processes of one machine share the library's globals, so the store lives
// from the first attach to the last detach.
int g_attached = 0;

}  // namespace

HINSTANCE KestrinModule() { return g_module; }

PAL_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        if (g_attached++ == 0) g_store = new (std::nothrow) CStore;
        return g_store != nullptr;
    }
    if (reason == DLL_PROCESS_DETACH && g_attached > 0 && --g_attached == 0) {
        delete g_store;
        g_store = nullptr;
    }
    return TRUE;
}

PAL_EXPORT BOOL InitObjType(LPWSTR lpszObjType, IReplObjHandler** ppObjHandler, UINT uPartnerBit) {
    return g_store ? g_store->InitObjType(lpszObjType, ppObjHandler, uPartnerBit) : FALSE;
}

PAL_EXPORT BOOL ObjectNotify(POBJNOTIFY pNotify) {
    if (!g_store || !pNotify || pNotify->cbStruct < CBSTRUCT_OBJNOTIFY) return FALSE;
    CKestrinObj* store = g_store->StoreOf(pNotify->szObjType);
    return store ? store->ObjectNotify(pNotify) : FALSE;
}

PAL_EXPORT BOOL GetObjTypeInfo(POBJTYPEINFO pInfo) {
    if (!g_store || !pInfo || pInfo->cbStruct != CBSTRUCT_OBJTYPEINFO) return FALSE;
    CKestrinObj* store = g_store->StoreOf(pInfo->szObjType);
    return store ? store->GetObjTypeInfo(pInfo) : FALSE;
}

PAL_EXPORT HRESULT FindObjects(PFINDOBJINFO pFindInfo) {
    if (!pFindInfo) return E_UNEXPECTED;
    if (pFindInfo->uFlags & FO_DONE_ONE_VOL) {
        // The engine is done with the list handed out before: it came from the local heap.
        if (pFindInfo->poid) LocalFree(pFindInfo->poid);
        pFindInfo->poid = nullptr;
        return S_OK;
    }
    CKestrinObj* store = g_store ? g_store->StoreOf(pFindInfo->szObjType) : nullptr;
    return store ? store->FindObjects(pFindInfo) : E_UNEXPECTED;
}

PAL_EXPORT HRESULT SyncData(PSDREQUEST pRequest) {
    CKestrinObj* store = g_store && pRequest ? g_store->StoreOf(pRequest->szObjType) : nullptr;
    return store ? store->DataRequest(pRequest) : E_FAIL;
}

PAL_EXPORT BOOL ReportStatus(LPWSTR, UINT uCode, UINT) {
    if (uCode == RSC_END_SYNC) {
        // Writes the current user's hive to its file.
        RegFlushKey(HKEY_CURRENT_USER);
        // Makes every mounted volume and the object store durable.
        CeFlushDBVol(nullptr);
    }
    return TRUE;
}
