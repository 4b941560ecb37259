#include "ce_record.h"

#include "ce_db.h"

CCeColumns::~CCeColumns() { Free(); }

void CCeColumns::Free() {
    if (m_ids) LocalFree(m_ids);
    m_ids = nullptr;
    m_count = 0;
}

HRESULT CCeColumns::Set(std::initializer_list<CEPROPID> ids) {
    Free();
    // A zero-initialised block of the local heap, freed with LocalFree.
    m_ids = static_cast<CEPROPID*>(LocalAlloc(LPTR, ids.size() * sizeof(CEPROPID)));
    if (!m_ids) return E_FAIL;
    m_count = static_cast<WORD>(ids.size());
    WORD i = 0;
    for (CEPROPID id : ids) m_ids[i++] = id;
    return S_OK;
}

CCeRecord::~CCeRecord() { Clear(); }

void CCeRecord::Clear() {
    if (m_buffer) LocalFree(m_buffer);
    m_buffer = nullptr;
    m_count = 0;
    m_size = 0;
}

HRESULT CCeRecord::Read(const CCeDB& db, const CCeColumns* columns) {
    m_oid = 0;
    m_count = 0;
    if (!db.IsOpen()) return E_FAIL;
    WORD count = columns ? columns->Count() : 0;
    // Reads the current record into the local-heap buffer, growing it as needed.
    m_oid = CeReadRecordPropsEx(db.Handle(), CEDB_ALLOWREALLOC, &count,
                                columns ? columns->Ids() : nullptr, &m_buffer, &m_size, nullptr);
    if (!m_oid) return E_FAIL;
    m_count = count;
    return S_OK;
}

CEPROPVAL* CCeRecord::Find(CEPROPID id) const {
    auto* values = reinterpret_cast<CEPROPVAL*>(m_buffer);
    for (WORD i = 0; i < m_count; ++i)
        if (values[i].propid == id && !(values[i].wFlags & CEDB_PROPNOTFOUND)) return &values[i];
    return nullptr;
}
