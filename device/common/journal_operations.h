// What the device provider does with a journal, the same for both object types: the object list
// for the engine, change bits as the engine reports objects done, and statistics.
//
// Each operation opens the type's journal in the journal volume for its own duration and takes
// no lock: the service only ever adds, rewrites or deletes whole records, which each operation
// tolerates.
#pragma once

#include <device_sync.h>
#include <windows.h>

#include "ce_db_volume.h"

// The journal of one object type.
struct JournalKind {
    LPCWSTR name;
    CEPROPID sortProperty;  // the journal's sort order, 0 for none
    // Contacts: a deletion is admitted only from the journal database itself.
    bool deletionsFromJournalOnly;
    // Mail: a changed record must come with the journal volume's CEGUID.
    bool recordsNeedVolume;
};

extern const JournalKind kContactsJournal;  // "_notif_KT", sorted by ContactOid
extern const JournalKind kMailJournal;      // "_notif_KTMSG", record order

// Lists every record of the journal in `info`: a local-heap block of record identifiers, the
// unchanged ones (ChangeState without `partnerBit`) first in journal order, then the changed ones
// in reverse journal order; freed by the frame when the engine is done with it. S_OK (an empty
// journal sets nothing), E_UNEXPECTED when the volume is not mounted or the journal cannot be
// opened, E_FAIL when the list cannot be allocated.
HRESULT ListJournalObjects(const JournalKind& kind, CCeDBVolume& volume, UINT partnerBit,
                           FINDOBJINFO* info);

// The reading step of ListJournalObjects: reads at most `count` records from the beginning of the
// journal open at `db` (CEDB_AUTOINCREMENT) into a new list of `count` slots. Records beyond the
// count taken when the listing began are not listed; when fewer records are left, the changed
// identifiers still follow the unchanged ones directly.
HRESULT CollectJournalObjects(HANDLE db, UINT count, UINT partnerBit, FINDOBJINFO* info);

// The number of records of the journal open at `db`: the platform's count, or when that is
// saturated at 0xFFFF, the count found by seeking. Moves the current position.
UINT CountJournalRecords(HANDLE db, const CEOIDINFO& info);

// Decides whether a notification is about an object of this journal and answers it: TRUE with
// the record as changed (cOidChg 1) or deleted (cOidDel 1), and for ONF_CLEAR_CHANGE clears the
// change this partnership saw (TRUE when the object changed again meanwhile). FALSE when the
// notification is not admitted, names no record of this journal, or there is nothing to report.
BOOL NotifyJournalObject(const JournalKind& kind, CCeDBVolume& volume, UINT partnerBit,
                         OBJNOTIFY* notify);

// Fills the object count, total size, last change and the volume path of `info`. FALSE for a
// null `info` or a journal that cannot be opened.
BOOL JournalStatistics(const JournalKind& kind, CCeDBVolume& volume, OBJTYPEINFO* info);
