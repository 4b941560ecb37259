#include "contacts_journal.h"

#include "ce_db.h"
#include "ce_record.h"
#include "journal.h"

namespace {

bool OpenJournal(CCeDBVolume& volume, CCeDB& db) {
    db.Open(CONTACTS_JOURNAL_NAME, 0, nullptr, PROPID_CONTACT_OID, 0, volume.Guid());
    return db.IsOpen();
}

}  // namespace

bool ContactsJournalOpens(CCeDBVolume& volume) {
    CCeDB db;
    return OpenJournal(volume, db);
}

ContactRecordRead ReadContactRecord(CCeDBVolume& volume, CEOID oid, CEOID* contactOid,
                                    WORD* changeState) {
    CCeDB db;
    if (!OpenJournal(volume, db)) return ContactRecordRead::NoJournal;
    // The seek must land on the record itself.
    if (oid == 0 || CeSeekDatabase(db.Handle(), CEDB_SEEK_CEOID, oid, nullptr) != oid)
        return ContactRecordRead::NoRecord;
    CCeColumns columns;
    CCeRecord record;
    if (FAILED(columns.Set({PROPID_CONTACT_OID, PROPID_CHANGE_STATE})) ||
        FAILED(record.Read(db, &columns)))
        return ContactRecordRead::NoRecord;
    CEPROPVAL* contact = record.Find(PROPID_CONTACT_OID);
    if (!contact) return ContactRecordRead::NoRecord;
    CEPROPVAL* state = record.Find(PROPID_CHANGE_STATE);
    *contactOid = contact->val.ulVal;
    *changeState = state ? state->val.uiVal : 0;
    return ContactRecordRead::Found;
}

CEOID WriteContactRecord(CCeDBVolume& volume, CEOID oid, CEOID contactOid, WORD changeState) {
    CCeDB db;
    if (!OpenJournal(volume, db)) return 0;
    CEPROPVAL values[2] = {};
    values[0].propid = PROPID_CONTACT_OID;
    values[0].val.ulVal = contactOid;
    values[1].propid = PROPID_CHANGE_STATE;
    values[1].val.uiVal = changeState;
    return CeWriteRecordProps(db.Handle(), oid, 2, values);
}
