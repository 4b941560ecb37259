#include "journal_operations.h"

#include <cstring>

#include "ce_db.h"
#include "ce_record.h"
#include "journal.h"

const JournalKind kContactsJournal{CONTACTS_JOURNAL_NAME, PROPID_CONTACT_OID, true, false};
const JournalKind kMailJournal{MAIL_JOURNAL_NAME, 0, false, true};

namespace {

// Opens the type's journal in the mounted journal volume; false when there is none.
bool OpenJournal(const JournalKind& kind, CCeDBVolume& volume, CEPROPID sortProperty, DWORD flags,
                 CCeDB& db) {
    if (!volume.IsMounted() || CHECK_INVALIDGUID(volume.Guid())) return false;
    db.Open(kind.name, 0, nullptr, sortProperty, flags, volume.Guid());
    return db.IsOpen();
}

USHORT ChangeStateOf(const CCeRecord& record) {
    const CEPROPVAL* value = record.Find(PROPID_CHANGE_STATE);
    return value ? value->val.uiVal : 0;
}

// Rewrites ChangeState of a record; the record's identifier, or 0 when the write failed.
CEOID WriteChangeState(const CCeDB& db, CEOID record, USHORT state) {
    CEPROPVAL value{};
    value.propid = PROPID_CHANGE_STATE;
    value.val.uiVal = state;
    // Replaces the one property; the record keeps its others and its identifier.
    return CeWriteRecordProps(db.Handle(), record, 1, &value);
}

// Whether the notification's volume identifier is the journal volume's CEGUID.
bool FromJournalVolume(const OBJNOTIFY& notify, const CCeDBVolume& volume) {
    return notify.cbVolumeID == sizeof(CEGUID) && notify.lpbVolumeID &&
           std::memcmp(notify.lpbVolumeID, volume.Guid(), sizeof(CEGUID)) == 0;
}

void Report(OBJNOTIFY* notify, bool deleted) {
    notify->poid = reinterpret_cast<UINT*>(&notify->oidObject);
    (deleted ? notify->cOidDel : notify->cOidChg) = 1;
    notify->lpbVolumeID = nullptr;
    notify->cbVolumeID = 0;
}

}  // namespace

UINT CountJournalRecords(HANDLE db, const CEOIDINFO& info) {
    UINT count = info.infDatabase.wNumRecords;
    if (count < 0xFFFF) return count;
    // The platform's count saturates: the last record's index, from one seek to the end, gives
    // the count without a pass over the records.
    DWORD last = 0;
    if (!CeSeekDatabase(db, CEDB_SEEK_END, 0, &last)) return 0;
    return last + 1;
}

HRESULT CollectJournalObjects(HANDLE db, UINT count, UINT partnerBit, FINDOBJINFO* info) {
    // A zero-initialised list of `count` identifiers in the local heap; the frame frees it.
    auto* list = static_cast<UINT*>(LocalAlloc(LPTR, static_cast<SIZE_T>(count) * sizeof(UINT)));
    if (!list) {
        info->poid = nullptr;
        info->lpbVolumeID = nullptr;
        info->cbVolumeID = 0;
        return E_FAIL;
    }
    info->poid = list;
    UINT unchanged = 0;
    UINT changed = 0;
    // Moves to the first record; reads then advance through the journal.
    CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr);
    CEPROPVAL value{};
    CEPROPID column = PROPID_CHANGE_STATE;
    while (unchanged + changed < count) {
        WORD columns = 1;
        LPBYTE buffer = reinterpret_cast<LPBYTE>(&value);
        DWORD size = sizeof(value);
        // Reads the one two-byte property into the fixed one-value buffer, without reallocation.
        CEOID record = CeReadRecordPropsEx(db, 0, &columns, &column, &buffer, &size, nullptr);
        if (!record) break;
        bool isChanged = !(value.wFlags & CEDB_PROPNOTFOUND) && (value.val.uiVal & partnerBit);
        if (isChanged)
            list[count - 1 - changed++] = record;
        else
            list[unchanged++] = record;
    }
    // Fewer records than counted (some were deleted meanwhile): close the gap, so that the
    // changed identifiers directly follow the unchanged ones as the engine reads them.
    if (unchanged + changed < count && changed)
        std::memmove(list + unchanged, list + count - changed, changed * sizeof(UINT));
    info->cUnChg = unchanged;
    info->cChg = changed;
    info->lpbVolumeID = nullptr;
    info->cbVolumeID = 0;
    return S_OK;
}

HRESULT ListJournalObjects(const JournalKind& kind, CCeDBVolume& volume, UINT partnerBit,
                           FINDOBJINFO* info) {
    if (CHECK_INVALIDGUID(volume.Guid())) return E_UNEXPECTED;
    CCeDB db;
    if (!OpenJournal(kind, volume, kind.sortProperty, CEDB_AUTOINCREMENT, db)) return E_UNEXPECTED;
    CEOIDINFO about{};
    // Describes the journal database: its record count among the rest.
    if (!CeOidGetInfoEx(volume.Guid(), db.Oid(), &about)) return E_UNEXPECTED;
    UINT count = CountJournalRecords(db.Handle(), about);
    if (count == 0) return S_OK;
    return CollectJournalObjects(db.Handle(), count, partnerBit, info);
}

BOOL NotifyJournalObject(const JournalKind& kind, CCeDBVolume& volume, UINT partnerBit,
                         OBJNOTIFY* notify) {
    if (!notify || notify->cbStruct != CBSTRUCT_OBJNOTIFY) return FALSE;
    if (!(notify->uFlags & (ONF_RECORD | ONF_CLEAR_CHANGE))) return FALSE;
    CCeDB db;
    if (!OpenJournal(kind, volume, kind.sortProperty, 0, db)) return FALSE;

    USHORT state = 0;
    if (notify->uFlags & ONF_DELETED) {
        if (kind.deletionsFromJournalOnly && notify->oidInfo.infRecord.oidParent != db.Oid())
            return FALSE;
    } else {
        if (notify->uFlags & ONF_RECORD) {
            if (notify->oidInfo.wObjType != OBJTYPE_RECORD ||
                notify->oidInfo.infRecord.oidParent != db.Oid())
                return FALSE;
            if (kind.recordsNeedVolume && !FromJournalVolume(*notify, volume)) return FALSE;
        }
        // Moves to the notification's record; answers 0 when the journal has no such record.
        if (CeSeekDatabase(db.Handle(), CEDB_SEEK_CEOID, notify->oidObject, nullptr) !=
            notify->oidObject)
            return FALSE;
        CCeColumns columns;
        CCeRecord record;
        if (FAILED(columns.Set({PROPID_CHANGE_STATE})) || FAILED(record.Read(db, &columns)))
            return FALSE;
        state = ChangeStateOf(record);
    }

    notify->cOidChg = 0;
    notify->cOidDel = 0;
    if (notify->uFlags & ONF_CLEAR_CHANGE) {
        bool again = (state & CHANGE_AGAIN) != 0;
        USHORT cleared = again ? state & ~CHANGE_AGAIN : state & ~partnerBit;
        CEOID written = WriteChangeState(db, notify->oidObject, cleared);
        if (written) notify->oidObject = written;
        return again ? TRUE : FALSE;
    }
    if (notify->uFlags & ONF_DELETED) {
        Report(notify, true);
        return TRUE;
    }
    if (!(state & partnerBit)) return FALSE;
    Report(notify, false);
    if (state & CHANGE_AGAIN) WriteChangeState(db, notify->oidObject, state & ~CHANGE_AGAIN);
    return TRUE;
}

BOOL JournalStatistics(const JournalKind& kind, CCeDBVolume& volume, OBJTYPEINFO* info) {
    if (!info) return FALSE;
    CCeDB db;
    if (!OpenJournal(kind, volume, 0, 0, db)) return FALSE;
    CEOIDINFO about{};
    // Describes the journal database: record count, size in bytes, last change.
    if (!CeOidGetInfoEx(volume.Guid(), db.Oid(), &about)) return FALSE;
    const WCHAR path[] = KESTRIN_VOLUME_PATH;
    static_assert(sizeof(path) <= sizeof(info->szName));
    std::memset(info->szName, 0, sizeof(info->szName));
    std::memcpy(info->szName, path, sizeof(path));
    info->cObjects = CountJournalRecords(db.Handle(), about);
    info->cbAllObj = about.infDatabase.dwSize;
    info->ftLastModified = about.infDatabase.ftLastModified;
    return TRUE;
}
