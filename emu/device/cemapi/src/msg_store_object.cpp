#include "msg_store_object.h"

#include "open_entry.h"

namespace emu::cemapi {

HRESULT CompareEntries(ULONG cb1, const ENTRYID* id1, ULONG cb2, const ENTRYID* id2, ULONG* result) {
    if (!result) return MAPI_E_INVALID_PARAMETER;
    auto first = ParseEntryId(cb1, id1);
    auto second = ParseEntryId(cb2, id2);
    if (!first || !second) return MAPI_E_INVALID_ENTRYID;
    *result = *first == *second;
    return S_OK;
}

STDMETHODIMP MsgStoreObject::Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                                    LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) {
    if (!lpAdviseSink || !lpulConnection || ulEventMask == 0) return MAPI_E_INVALID_PARAMETER;
    *lpulConnection = 0;
    std::optional<std::vector<std::uint8_t>> object;
    if (lpEntryID) {
        auto ref = ParseEntryId(cbEntryID, lpEntryID);
        if (!ref || ref->store != m_context.file->Uid()) return MAPI_E_INVALID_ENTRYID;
        object = MakeEntryId(*ref);
    }
    return Guarded([&] {
        *lpulConnection = HubOf(*m_context.machine).Advise(m_context.file->Uid(), std::move(object),
                                                           ulEventMask, lpAdviseSink);
        return S_OK;
    });
}

STDMETHODIMP MsgStoreObject::Unadvise(ULONG ulConnection) {
    return HubOf(*m_context.machine).Unadvise(ulConnection) ? S_OK : MAPI_E_NOT_FOUND;
}

STDMETHODIMP MsgStoreObject::CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                             LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) {
    (void)ulFlags;
    return CompareEntries(cbEntryID1, lpEntryID1, cbEntryID2, lpEntryID2, lpulResult);
}

STDMETHODIMP MsgStoreObject::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                                       ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) {
    (void)lpInterface;
    if (!lppUnk) return MAPI_E_INVALID_PARAMETER;
    *lppUnk = nullptr;
    EntryRef ref{m_context.file->Uid(), MAPI_FOLDER, m_context.file->FolderId(FolderKind::Root)};
    if (lpEntryID) {
        auto parsed = ParseEntryId(cbEntryID, lpEntryID);
        if (!parsed || parsed->store != m_context.file->Uid()) return MAPI_E_INVALID_ENTRYID;
        ref = *parsed;
    }
    return OpenObject(m_context, ref, ulFlags, lpulObjType, lppUnk);
}

}  // namespace emu::cemapi
