// The properties of one record as last read, and lists of properties to read.
#pragma once

#include <cedb.h>
#include <windows.h>

#include <initializer_list>

class CCeDB;

// A list of property identifiers, held in the local heap.
class CCeColumns {
public:
    CCeColumns() = default;
    virtual ~CCeColumns();
    CCeColumns(const CCeColumns&) = delete;
    CCeColumns& operator=(const CCeColumns&) = delete;

    // Replaces the list; E_FAIL (and an empty list) when the local heap has no room.
    HRESULT Set(std::initializer_list<CEPROPID> ids);

    WORD Count() const { return m_count; }
    CEPROPID* Ids() const { return m_ids; }

private:
    void Free();

    WORD m_count = 0;
    CEPROPID* m_ids = nullptr;
};

class CCeRecord {
public:
    CCeRecord() = default;
    virtual ~CCeRecord();
    CCeRecord(const CCeRecord&) = delete;
    CCeRecord& operator=(const CCeRecord&) = delete;

    // Reads the record at the database's current position: all its properties, or the listed
    // ones (those it lacks come back flagged CEDB_PROPNOTFOUND). The buffer is the platform's,
    // grown in the local heap as needed. S_OK with the record's identifier; E_FAIL with
    // identifier 0 and no values when there is no record or the database is not open.
    HRESULT Read(const CCeDB& db, const CCeColumns* columns);
    // The value of a property read last, or null when the record lacks it.
    CEPROPVAL* Find(CEPROPID id) const;
    // Frees the buffer.
    void Clear();

    CEOID Oid() const { return m_oid; }
    WORD Count() const { return m_count; }

private:
    CEOID m_oid = 0;
    WORD m_count = 0;
    DWORD m_size = 0;
    LPBYTE m_buffer = nullptr;
};
