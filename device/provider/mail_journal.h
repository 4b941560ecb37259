// The mail journal records the mail handler reads and writes itself: a record's message entry
// identifier, a new record for a message the handler created, and a record's change bits.
#pragma once

#include <cedb.h>
#include <windows.h>

#include <vector>

#include "ce_db_volume.h"

// The MessageEntryId of record `oid`; false when the journal, the record or the property is
// missing.
bool ReadMessageEntryId(CCeDBVolume& volume, CEOID oid, std::vector<BYTE>& entryId);

// A new record {ChangeState, MessageEntryId}; its identifier, 0 when it could not be written.
CEOID AddMessageRecord(CCeDBVolume& volume, WORD changeState, const std::vector<BYTE>& entryId);

// Rewrites ChangeState of record `oid`; false when it could not be written.
bool SetMessageChangeState(CCeDBVolume& volume, CEOID oid, WORD changeState);
