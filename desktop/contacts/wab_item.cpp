#include "wab_item.h"

#include <cstring>
#include <new>

#include "handle_bytes.h"

CWABItem::~CWABItem() { delete[] m_entryId; }

void CWABItem::Free() { delete this; }

DWORD CWABItem::EntryIdSize() const { return m_entryId ? GetDword(m_entryId) : 0; }

const BYTE* CWABItem::EntryIdBytes() const { return m_entryId ? m_entryId + 4 : nullptr; }

void CWABItem::SetEntryId(const BYTE* bytes, DWORD count) {
    BYTE* block = nullptr;
    if (bytes && count) {
        block = new (std::nothrow) BYTE[4 + static_cast<size_t>(count)];
        if (!block) return;
        PutDword(block, count);
        std::memcpy(block + 4, bytes, count);
    }
    delete[] m_entryId;
    m_entryId = block;
}

UINT CWABItem::ToBytes(LPBYTE buffer) {
    UINT header = CReplObject::ToBytes(buffer);
    DWORD count = EntryIdSize();
    if (buffer) {
        BYTE* out = buffer + header;
        PutDword(out, count);
        if (count) std::memcpy(out + 4, EntryIdBytes(), count);
        PutDword(out + 4 + count, m_modified.dwLowDateTime);
        PutDword(out + 8 + count, m_modified.dwHighDateTime);
    }
    return header + 12 + count;
}

BOOL CWABItem::FromBytes(const BYTE* payload, UINT size) {
    CHandleReader reader(payload, size);
    DWORD count = 4;
    if (m_version >= HANDLE_VERSION && !reader.ReadDword(count)) return FALSE;
    // The identifier and the 8 bytes of time must both fit in what is left.
    if (reader.Left() < 8 || count > reader.Left() - 8) return FALSE;
    BYTE* block = nullptr;
    if (count) {
        block = new (std::nothrow) BYTE[4 + static_cast<size_t>(count)];
        if (!block) return FALSE;
        PutDword(block, count);
        reader.ReadBytes(block + 4, count);
    }
    delete[] m_entryId;
    m_entryId = block;
    reader.ReadDword(m_modified.dwLowDateTime);
    reader.ReadDword(m_modified.dwHighDateTime);
    return TRUE;
}

BOOL CWABItem::CopyFrom(CReplObject* source) {
    auto* from = static_cast<CWABItem*>(source);
    if (from != this) SetEntryId(from->EntryIdBytes(), from->EntryIdSize());
    m_modified = from->m_modified;
    return TRUE;
}

int CWABItem::Compare(CItem* other) {
    auto* them = static_cast<CWABItem*>(other);
    DWORD mine = EntryIdSize();
    DWORD theirs = them->EntryIdSize();
    if (mine != theirs) return mine < theirs ? -1 : 1;
    int order = mine ? std::memcmp(EntryIdBytes(), them->EntryIdBytes(), mine) : 0;
    if (order < 0) return -1;
    return order > 0 ? 1 : 0;
}
