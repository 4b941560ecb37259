// A device world with helpers for the property-database tests.
#pragma once

#include <cedb.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pal_testing/temp_world.h"

namespace emu::cedb::testing {

constexpr CEPROPID kNumber = 0xA0690013;  // CEVT_UI4
constexpr CEPROPID kState = 0xA0700012;   // CEVT_UI2
constexpr CEPROPID kBytes = 0xA0710041;   // CEVT_BLOB
constexpr CEPROPID kText = 0x4001001F;    // CEVT_LPWSTR

inline CEPROPVAL Ui4(CEPROPID id, ULONG value) {
    CEPROPVAL v{};
    v.propid = id;
    v.val.ulVal = value;
    return v;
}
inline CEPROPVAL Ui2(CEPROPID id, USHORT value) {
    CEPROPVAL v{};
    v.propid = id;
    v.val.uiVal = value;
    return v;
}
inline CEPROPVAL Text(CEPROPID id, const WCHAR* value) {
    CEPROPVAL v{};
    v.propid = id;
    v.val.lpwstr = const_cast<LPWSTR>(value);
    return v;
}
inline CEPROPVAL Blob(CEPROPID id, std::vector<BYTE>& bytes) {
    CEPROPVAL v{};
    v.propid = id;
    v.val.blob.dwCount = static_cast<DWORD>(bytes.size());
    v.val.blob.lpb = bytes.data();
    return v;
}

class CedbTest : public pal::testing::DeviceTest {
protected:
    ~CedbTest() override {
        if (m_buffer) LocalFree(m_buffer);
    }

    static CEGUID SystemGuid() {
        CEGUID guid;
        CREATE_SYSTEMGUID(&guid);
        return guid;
    }

    CEGUID Mount(const WCHAR* path = W("\\kestrin.vol"), DWORD disposition = OPEN_ALWAYS) {
        CEGUID guid;
        CREATE_INVALIDGUID(&guid);
        EXPECT_TRUE(CeMountDBVol(&guid, const_cast<LPWSTR>(path), disposition)) << GetLastError();
        return guid;
    }

    // Creates a database with at most one sort order (0: none).
    static CEOID Create(CEGUID guid, const WCHAR* name, CEPROPID sort = 0, DWORD type = 12345) {
        CEDBASEINFO info{};
        info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE;
        std::u16string text(name);
        std::copy(text.begin(), text.end(), info.szDbaseName);
        info.dwDbaseType = type;
        if (sort) {
            info.dwFlags |= CEDB_VALIDSORTSPEC;
            info.wNumSortOrder = 1;
            info.rgSortSpecs[0] = {sort, 0};
        }
        return CeCreateDatabaseEx(&guid, &info);
    }

    static HANDLE Open(CEGUID guid, const WCHAR* name, CEPROPID sort = 0, DWORD flags = 0,
                       CENOTIFYREQUEST* request = nullptr, CEOID* oid = nullptr) {
        CEOID ignored = 0;
        return CeOpenDatabaseEx(&guid, oid ? oid : &ignored, const_cast<LPWSTR>(name), sort, flags,
                                request);
    }

    static CEOID Write(HANDLE db, CEOID record, std::vector<CEPROPVAL> values) {
        return CeWriteRecordProps(db, record, static_cast<WORD>(values.size()), values.data());
    }

    // Reads the record at the current position (all properties, or `ids`) into the fixture's
    // buffer; the values are valid until the next read.
    CEOID Read(HANDLE db, std::vector<CEPROPID> ids = {}) {
        WORD count = static_cast<WORD>(ids.size());
        m_count = 0;
        CEOID oid =
            CeReadRecordPropsEx(db, CEDB_ALLOWREALLOC, &count, ids.empty() ? nullptr : ids.data(),
                                &m_buffer, &m_size, nullptr);
        if (oid) m_count = count;
        return oid;
    }
    const CEPROPVAL* Find(CEPROPID id) const {
        auto* values = reinterpret_cast<const CEPROPVAL*>(m_buffer);
        for (WORD i = 0; i < m_count; ++i)
            if (values[i].propid == id && !(values[i].wFlags & CEDB_PROPNOTFOUND))
                return &values[i];
        return nullptr;
    }
    const CEPROPVAL* Values() const { return reinterpret_cast<const CEPROPVAL*>(m_buffer); }

    // The CEOIDs of every record from the beginning, in the handle's order.
    static std::vector<CEOID> Walk(HANDLE db) {
        std::vector<CEOID> oids;
        for (CEOID oid = CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr); oid;
             oid = CeSeekDatabase(db, CEDB_SEEK_CURRENT, 1, nullptr))
            oids.push_back(oid);
        return oids;
    }

    LPBYTE m_buffer = nullptr;
    DWORD m_size = 0;
    WORD m_count = 0;
};

}  // namespace emu::cedb::testing
