#include "ce_db.h"

namespace {

CEGUID VolumeOrObjectStore(const CEGUID* volume) {
    CEGUID guid;
    if (volume)
        guid = *volume;
    else
        CREATE_SYSTEMGUID(&guid);
    return guid;
}

}  // namespace

CCeDB::~CCeDB() { Close(); }

HRESULT CCeDB::Open(LPCWSTR name, CEOID oid, CENOTIFYREQUEST* request, CEPROPID sortProperty,
                    DWORD flags, CEGUID* volume) {
    Close();
    CEGUID guid = VolumeOrObjectStore(volume);
    CEOID opened = name ? 0 : oid;
    // Opens by name (answering the identifier) or by identifier; INVALID_HANDLE_VALUE on failure.
    HANDLE handle =
        CeOpenDatabaseEx(&guid, &opened, const_cast<LPWSTR>(name), sortProperty, flags, request);
    if (handle == INVALID_HANDLE_VALUE) return static_cast<HRESULT>(GetLastError());
    m_handle = handle;
    m_oid = opened;
    return S_OK;
}

void CCeDB::Close() {
    // Closes the database handle; the database itself stays.
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_oid = 0;
}

HRESULT CreateDatabase(LPCWSTR name, DWORD type, CEOID* oid, WORD sortCount,
                       const SORTORDERSPEC* sortOrders, CEGUID* volume) {
    if (!name) return E_INVALIDARG;
    CEDBASEINFO info{};
    info.dwFlags = CEDB_VALIDNAME;
    size_t length = 0;
    while (name[length]) {
        if (++length >= CEDB_MAXDBASENAMELEN) return E_INVALIDARG;
    }
    for (size_t i = 0; i < length; ++i) info.szDbaseName[i] = name[i];
    if (type != 0) {
        info.dwFlags |= CEDB_VALIDTYPE;
        info.dwDbaseType = type;
    }
    if (sortCount != 0) {
        if (sortCount > CEDB_MAXSORTORDER || !sortOrders) return E_INVALIDARG;
        info.dwFlags |= CEDB_VALIDSORTSPEC;
        info.wNumSortOrder = sortCount;
        for (WORD i = 0; i < sortCount; ++i) info.rgSortSpecs[i] = sortOrders[i];
    }
    CEGUID guid = VolumeOrObjectStore(volume);
    // Creates the database, or fails with ERROR_DUP_NAME leaving an existing one untouched.
    CEOID created = CeCreateDatabaseEx(&guid, &info);
    if (!created) return static_cast<HRESULT>(GetLastError());
    if (oid) *oid = created;
    return S_OK;
}
