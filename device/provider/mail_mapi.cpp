#include "mail_mapi.h"

HRESULT PropValues::Read(IMAPIProp* object, std::initializer_list<ULONG> tags) {
    MAPIFreeBuffer(m_values);
    m_values = nullptr;
    m_count = 0;
    LPVOID buffer = nullptr;
    HRESULT result = MAPIAllocateBuffer(static_cast<ULONG>(CbNewSPropTagArray(tags.size())), &buffer);
    if (FAILED(result)) return result;
    auto* list = static_cast<LPSPropTagArray>(buffer);
    list->cValues = static_cast<ULONG>(tags.size());
    ULONG index = 0;
    for (ULONG tag : tags) list->aulPropTag[index++] = tag;
    result = object->GetProps(list, MAPI_UNICODE, &m_count, &m_values);
    MAPIFreeBuffer(list);
    if (FAILED(result)) {
        m_values = nullptr;
        m_count = 0;
        return result;
    }
    return S_OK;
}

const SPropValue* PropValues::Find(ULONG tag) const {
    for (ULONG i = 0; i < m_count; ++i)
        if (m_values[i].ulPropTag == tag) return &m_values[i];
    return nullptr;
}

HRESULT ReadBinaryProp(IMAPIProp* object, ULONG tag, std::vector<BYTE>& bytes) {
    PropValues values;
    HRESULT result = values.Read(object, {tag});
    if (FAILED(result)) return result;
    const SPropValue* value = values.Find(tag);
    if (!value) return MAPI_E_NOT_FOUND;
    bytes.assign(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb);
    return S_OK;
}

HRESULT OpenByEntryId(IMsgStore* store, const std::vector<BYTE>& entryId, ULONG flags,
                      LPUNKNOWN* object) {
    ULONG type = 0;
    return store->OpenEntry(static_cast<ULONG>(entryId.size()),
                            reinterpret_cast<LPENTRYID>(const_cast<BYTE*>(entryId.data())),
                            nullptr, flags, &type, object);
}

HRESULT OpenStoreFolder(IMsgStore* store, ULONG tag, ULONG flags, MapiPtr<IMAPIFolder>& folder) {
    std::vector<BYTE> entryId;
    HRESULT result = ReadBinaryProp(store, tag, entryId);
    if (FAILED(result)) return result;
    return OpenByEntryId(store, entryId, flags, folder.OutUnknown());
}

HRESULT OpenPropertyStream(IMAPIProp* object, ULONG tag, ULONG flags, MapiPtr<IStream>& stream) {
    DWORD mode = (flags & (MAPI_MODIFY | MAPI_CREATE)) ? STGM_READWRITE : STGM_READ;
    if (flags & MAPI_CREATE) mode |= STGM_CREATE;
    return object->OpenProperty(tag, &IID_IStream, mode, flags, stream.OutUnknown());
}

bool SameEntry(IMAPISession* session, const std::vector<BYTE>& first,
               const std::vector<BYTE>& second) {
    ULONG same = FALSE;
    HRESULT result = session->CompareEntryIDs(
        static_cast<ULONG>(first.size()), reinterpret_cast<LPENTRYID>(const_cast<BYTE*>(first.data())),
        static_cast<ULONG>(second.size()),
        reinterpret_cast<LPENTRYID>(const_cast<BYTE*>(second.data())), 0, &same);
    return SUCCEEDED(result) && same;
}
