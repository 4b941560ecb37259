// An open property database, and database creation.
#pragma once

#include <cedb.h>
#include <windows.h>

class CCeDB {
public:
    CCeDB() = default;
    virtual ~CCeDB();
    CCeDB(const CCeDB&) = delete;
    CCeDB& operator=(const CCeDB&) = delete;

    // Closes any open handle, then opens the database `name` (or, with a null name, the one whose
    // identifier is `oid`) in `volume` (null: the object store), ordered by `sortProperty`
    // (0: record order), with CEDB_AUTOINCREMENT or 0 as `flags` and an optional notification
    // request. S_OK, or the platform's last-error code (a positive number) with the handle left
    // INVALID_HANDLE_VALUE.
    HRESULT Open(LPCWSTR name, CEOID oid, CENOTIFYREQUEST* request, CEPROPID sortProperty,
                 DWORD flags, CEGUID* volume);
    void Close();

    HANDLE Handle() const { return m_handle; }
    CEOID Oid() const { return m_oid; }
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    CEOID m_oid = 0;
};

// Creates a database named `name` (at most 31 characters) of `type` (0: none) with `sortCount`
// sort orders (at most 4) in `volume` (null: the object store), answering its identifier through
// `oid` when given. S_OK; E_INVALIDARG for a missing or over-long name or bad sort orders; else
// the platform's last-error code, ERROR_DUP_NAME when a database of that name exists (which is
// left as it is).
HRESULT CreateDatabase(LPCWSTR name, DWORD type, CEOID* oid, WORD sortCount,
                       const SORTORDERSPEC* sortOrders, CEGUID* volume);
