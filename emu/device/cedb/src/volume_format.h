// The tables of a volume file, and the upgrade of files written in the earlier layout.
//
// Layout 2 (current): each record is one row of `records` (keyed by database and CEOID, so a
// database's records lie together in CEOID order) holding its properties as one PropertyList;
// `sort_keys` holds the sort key of each record's value of each of its database's sort
// properties, so a sorted walk is one index range. Layout 1 kept one row per property.
#pragma once

#include <cstdint>

#include "sqlite_db.h"

namespace emu::cedb {

constexpr std::int64_t kVolumeFormat = 2;

// Creates the tables of an empty volume (the caller fills the `volume` table).
void CreateTables(Connection& connection);
// Brings a volume written in layout `format` to the current layout in one transaction; throws
// CedbError(ERROR_INVALID_DATA) for a layout it does not know.
void UpgradeTables(Connection& connection, std::int64_t format);

}  // namespace emu::cedb
