// CeSeekDatabase(Ex), CeReadRecordPropsEx, CeWriteRecordProps, CeDeleteRecord,
// CeFreeNotification.
#include <cedb.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <span>

#include "api_guard.h"
#include "cedb_state.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"

using namespace emu::cedb;

namespace {

// One property as it is handed back: a stored value, or a requested one the record lacks.
struct OutValue {
    CEPROPID propid;
    std::optional<std::span<const std::uint8_t>> data;  // nothing: not found
};

std::vector<OutValue> Select(const RecordData& record, const CEPROPID* wanted, WORD count) {
    const PropertyList& properties = record.properties;
    std::vector<OutValue> values;
    if (!wanted) {
        for (std::size_t i = 0; i < properties.Count(); ++i)
            values.push_back({properties.Id(i), properties.Data(i)});
        return values;
    }
    for (WORD i = 0; i < count; ++i) {
        OutValue value{wanted[i], std::nullopt};
        if (auto found = properties.Find(wanted[i])) value.data = properties.Data(*found);
        values.push_back(value);
    }
    return values;
}

std::size_t SizeNeeded(const std::vector<OutValue>& values) {
    std::size_t size = values.size() * sizeof(CEPROPVAL);
    for (auto& value : values)
        if (value.data) size += ExtraSize(value.propid, *value.data);
    return size;
}

// The CEPROPVAL array first, the strings and blobs it points to after it.
void Pack(const std::vector<OutValue>& values, BYTE* buffer) {
    auto* array = reinterpret_cast<CEPROPVAL*>(buffer);
    BYTE* extra = buffer + values.size() * sizeof(CEPROPVAL);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!values[i].data) {
            std::memset(&array[i], 0, sizeof(CEPROPVAL));
            array[i].propid = values[i].propid;
            array[i].wFlags = CEDB_PROPNOTFOUND;
            continue;
        }
        Decode(values[i].propid, *values[i].data, array[i], extra);
        extra += ExtraSize(values[i].propid, *values[i].data);
    }
}

// Gives the caller a buffer of at least `size` bytes, allocating or growing it from the heap
// (NULL: the local heap); the old buffer stays as it was when that fails.
void Grow(LPBYTE* buffer, DWORD size, HANDLE heap) {
    void* grown;
    if (heap)
        grown = *buffer ? HeapReAlloc(heap, 0, *buffer, size) : HeapAlloc(heap, 0, size);
    else
        grown = *buffer ? LocalReAlloc(*buffer, size, LMEM_MOVEABLE) : LocalAlloc(LMEM_FIXED, size);
    if (!grown) throw CedbError(ERROR_NOT_ENOUGH_MEMORY);
    *buffer = static_cast<LPBYTE>(grown);
}

void Publish(DatabaseHandle& handle, ChangeKind kind, CEOID record) {
    Volume& volume = handle.GetVolume();
    CurrentState().Publish(volume, RecordChange{kind, record, handle.Database(), volume.Guid()},
                           &handle);
}

}  // namespace

CEOID CeSeekDatabaseEx(HANDLE hDatabase, DWORD dwSeekType, DWORD_PTR dwValue, WORD wNumVals,
                       LPDWORD lpdwIndex) {
    return Guarded<CEOID>(0, [&] {
        auto handle = HandleOf(hDatabase);
        std::lock_guard<std::mutex> guard(handle->Lock());
        // The index is counted only for a caller that asks for it.
        return handle->GetVolume().Seek(handle->GetCursor(), dwSeekType, dwValue, wNumVals,
                                        lpdwIndex);
    });
}

CEOID CeSeekDatabase(HANDLE hDatabase, DWORD dwSeekType, DWORD_PTR dwValue, LPDWORD lpdwIndex) {
    return CeSeekDatabaseEx(hDatabase, dwSeekType, dwValue, 1, lpdwIndex);
}

CEOID CeReadRecordPropsEx(HANDLE hDbase, DWORD dwFlags, LPWORD lpcPropID, CEPROPID* rgPropID,
                          LPBYTE* lplpBuffer, LPDWORD lpcbBuffer, HANDLE hHeap) {
    return Guarded<CEOID>(0, [&] {
        auto handle = HandleOf(hDbase);
        if ((dwFlags & ~CEDB_ALLOWREALLOC) || !lpcPropID || !lplpBuffer || !lpcbBuffer ||
            (rgPropID && !*lpcPropID))
            throw CedbError(ERROR_INVALID_PARAMETER);
        std::lock_guard<std::mutex> guard(handle->Lock());
        Cursor& cursor = handle->GetCursor();
        auto record = handle->GetVolume().ReadCurrent(cursor);
        if (!record) throw CedbError(ERROR_NO_MORE_ITEMS);
        auto values = Select(*record, rgPropID, *lpcPropID);
        if (values.size() > 0xFFFF) throw CedbError(ERROR_INSUFFICIENT_BUFFER);
        auto needed = static_cast<DWORD>(SizeNeeded(values));
        if (!*lplpBuffer || *lpcbBuffer < needed) {
            if (!(dwFlags & CEDB_ALLOWREALLOC)) {
                *lpcbBuffer = needed;
                throw CedbError(ERROR_INSUFFICIENT_BUFFER);
            }
            Grow(lplpBuffer, needed, hHeap);
        }
        Pack(values, *lplpBuffer);
        *lpcbBuffer = needed;
        *lpcPropID = static_cast<WORD>(values.size());
        if (handle->AutoIncrement())
            cursor.position = Position{Position::Kind::After, record->key, record->oid};
        return record->oid;
    });
}

CEOID CeWriteRecordProps(HANDLE hDbase, CEOID oidRecord, WORD cPropID, CEPROPVAL* rgPropVal) {
    return Guarded<CEOID>(0, [&] {
        auto handle = HandleOf(hDbase);
        if (!cPropID || !rgPropVal) throw CedbError(ERROR_INVALID_PARAMETER);
        std::vector<PropertyChange> changes;
        for (WORD i = 0; i < cPropID; ++i) {
            if (rgPropVal[i].wFlags & CEDB_PROPDELETE) {
                if (!IsKnownType(TypeFromPropID(rgPropVal[i].propid)))
                    throw CedbError(ERROR_INVALID_PARAMETER);
                changes.push_back({StoredValue{rgPropVal[i].propid, {}, {}}, true});
            } else {
                changes.push_back({Encode(rgPropVal[i]), false});
            }
        }
        auto [oid, result] = handle->GetVolume().Write(handle->Database(), oidRecord, changes,
                                                       pal::CurrentMachine().NowUtc());
        Publish(*handle, result == WriteResult::Created ? ChangeKind::Created : ChangeKind::Changed,
                oid);
        return oid;
    });
}

BOOL CeDeleteRecord(HANDLE hDatabase, CEOID oidRecord) {
    return Guarded<BOOL>(FALSE, [&] {
        auto handle = HandleOf(hDatabase);
        handle->GetVolume().DeleteRecord(handle->Database(), oidRecord,
                                         pal::CurrentMachine().NowUtc());
        Publish(*handle, ChangeKind::Deleted, oidRecord);
        return TRUE;
    });
}

BOOL CeFreeNotification(PCENOTIFYREQUEST pRequest, PCENOTIFICATION pNotify) {
    if (!pRequest || !pNotify) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool freed = pRequest->hHeap ? HeapFree(pRequest->hHeap, 0, pNotify) != FALSE
                                 : LocalFree(pNotify) == nullptr;
    if (!freed) SetLastError(ERROR_INVALID_PARAMETER);
    return freed ? TRUE : FALSE;
}
