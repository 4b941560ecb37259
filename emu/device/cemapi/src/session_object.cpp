#include "session_object.h"

#include "entry_id.h"
#include "mapi_error.h"
#include "msg_store_object.h"
#include "open_entry.h"
#include "store_set.h"
#include "table_object.h"

namespace emu::cemapi {

STDMETHODIMP SessionObject::GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
    (void)ulFlags;
    if (!lppTable) return MAPI_E_INVALID_PARAMETER;
    *lppTable = nullptr;
    if (m_loggedOff) return MAPI_E_INVALID_OBJECT;
    return Guarded([&] {
        std::vector<TableObject::RowReader> rows;
        for (auto& [number, file] : StoresOf(m_machine).All()) {
            rows.push_back([context = StoreContext{&m_machine, file}] {
                return std::optional<std::vector<StoredProp>>(context.StoreProps());
            });
        }
        *lppTable = new TableObject(std::move(rows), {PR_ENTRYID, PR_DISPLAY_NAME_W, PR_OBJECT_TYPE});
        return S_OK;
    });
}

STDMETHODIMP SessionObject::OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID,
                                         LPCIID lpInterface, ULONG ulFlags, LPMDB* lppMDB) {
    (void)ulUIParam;
    (void)lpInterface;
    (void)ulFlags;
    if (!lppMDB) return MAPI_E_INVALID_PARAMETER;
    *lppMDB = nullptr;
    if (m_loggedOff) return MAPI_E_INVALID_OBJECT;
    auto ref = ParseEntryId(cbEntryID, lpEntryID);
    if (!ref || ref->type != MAPI_STORE) return MAPI_E_INVALID_ENTRYID;
    return Guarded([&] {
        auto file = StoresOf(m_machine).ByUid(ref->store);
        if (!file) return MAPI_E_NOT_FOUND;
        *lppMDB = new MsgStoreObject(StoreContext{&m_machine, file});
        return S_OK;
    });
}

STDMETHODIMP SessionObject::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                                      ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) {
    (void)lpInterface;
    if (!lppUnk) return MAPI_E_INVALID_PARAMETER;
    *lppUnk = nullptr;
    if (m_loggedOff) return MAPI_E_INVALID_OBJECT;
    auto ref = ParseEntryId(cbEntryID, lpEntryID);
    if (!ref) return MAPI_E_INVALID_ENTRYID;
    std::shared_ptr<StoreFile> file;
    HRESULT hr = Guarded([&] {
        file = StoresOf(m_machine).ByUid(ref->store);
        return file ? S_OK : MAPI_E_NOT_FOUND;
    });
    if (FAILED(hr)) return hr;
    return OpenObject(StoreContext{&m_machine, file}, *ref, ulFlags, lpulObjType, lppUnk);
}

STDMETHODIMP SessionObject::CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                            LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) {
    (void)ulFlags;
    if (m_loggedOff) return MAPI_E_INVALID_OBJECT;
    return CompareEntries(cbEntryID1, lpEntryID1, cbEntryID2, lpEntryID2, lpulResult);
}

STDMETHODIMP SessionObject::Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) {
    (void)ulUIParam;
    (void)ulFlags;
    (void)ulReserved;
    m_loggedOff = true;
    return S_OK;
}

}  // namespace emu::cemapi
