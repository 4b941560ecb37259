// The contacts journal records the contacts handler reads and writes itself.
#pragma once

#include <cedb.h>
#include <windows.h>

#include "ce_db_volume.h"

// What reading a record found.
enum class ContactRecordRead {
    Found,
    NoJournal,  // the journal is missing or cannot be opened
    NoRecord,   // the journal has no record `oid`, or it cannot be read
};

// Whether the contacts journal can be opened.
bool ContactsJournalOpens(CCeDBVolume& volume);

// Reads ContactOid and ChangeState of record `oid` (a missing ChangeState reads as 0).
ContactRecordRead ReadContactRecord(CCeDBVolume& volume, CEOID oid, CEOID* contactOid,
                                    WORD* changeState);

// Writes {ContactOid, ChangeState} to record `oid` (0: a new record); the record's identifier,
// 0 when it could not be written.
CEOID WriteContactRecord(CCeDBVolume& volume, CEOID oid, CEOID contactOid, WORD changeState);
