#include "mail_journal.h"

#include "ce_db.h"
#include "ce_record.h"
#include "journal.h"

namespace {

bool OpenJournal(CCeDBVolume& volume, CCeDB& db) {
    db.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, 0, volume.Guid());
    return db.IsOpen();
}

}  // namespace

bool ReadMessageEntryId(CCeDBVolume& volume, CEOID oid, std::vector<BYTE>& entryId) {
    CCeDB db;
    if (oid == 0 || !OpenJournal(volume, db)) return false;
    // The seek must land on the record itself.
    if (CeSeekDatabase(db.Handle(), CEDB_SEEK_CEOID, oid, nullptr) != oid) return false;
    CCeColumns columns;
    CCeRecord record;
    if (FAILED(columns.Set({PROPID_MESSAGE_ENTRY_ID})) || FAILED(record.Read(db, &columns)))
        return false;
    CEPROPVAL* value = record.Find(PROPID_MESSAGE_ENTRY_ID);
    if (!value || value->val.blob.dwCount == 0 || !value->val.blob.lpb) return false;
    entryId.assign(value->val.blob.lpb, value->val.blob.lpb + value->val.blob.dwCount);
    return true;
}

CEOID AddMessageRecord(CCeDBVolume& volume, WORD changeState, const std::vector<BYTE>& entryId) {
    CCeDB db;
    if (!OpenJournal(volume, db)) return 0;
    CEPROPVAL values[2] = {};
    values[0].propid = PROPID_CHANGE_STATE;
    values[0].val.uiVal = changeState;
    values[1].propid = PROPID_MESSAGE_ENTRY_ID;
    values[1].val.blob.dwCount = static_cast<DWORD>(entryId.size());
    values[1].val.blob.lpb = const_cast<LPBYTE>(entryId.data());
    return CeWriteRecordProps(db.Handle(), 0, 2, values);
}

bool SetMessageChangeState(CCeDBVolume& volume, CEOID oid, WORD changeState) {
    CCeDB db;
    if (oid == 0 || !OpenJournal(volume, db)) return false;
    CEPROPVAL value{};
    value.propid = PROPID_CHANGE_STATE;
    value.val.uiVal = changeState;
    return CeWriteRecordProps(db.Handle(), oid, 1, &value) != 0;
}
