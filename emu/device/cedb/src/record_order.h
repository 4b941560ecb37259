// A database's order as SQL. The order is two runs: the records with a sort key, by key then
// CEOID (walked through the index on sort_keys (db, propid, sort_key, record)), then the records
// without one, by CEOID (records are kept by (db, oid)). Without a sort property every record is
// unkeyed, and the order is the records table alone.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cursor.h"
#include "sqlite_db.h"

namespace emu::cedb {

enum class Run { Keyed, Unkeyed };
// How a walk bounds a run: not at all, or by the position's (key, CEOID), strictly or not.
enum class Bound { None, Strict, Inclusive };
// What a run query answers, row by row in walking order: (record, key) from the `?5`th on, at
// most ?6 of them; (record, key, stored properties) for every record; or the count.
enum class Select { Records, RecordsWithProperties, Count };

bool HasKey(const SortKey& key);

// The runs a walk from `from` passes through, in its direction, each with how the position
// bounds it; `inclusive` lets a record at the position itself count. Empty for a walk that starts
// past its end of the order.
std::vector<std::pair<Run, Bound>> RunsFrom(const Cursor& cursor, const Position& from,
                                            bool inclusive, bool forward);

// A query over one run: ?1 the database, ?2 the sort property, ?3 and ?4 the bounding position's
// key and CEOID. Every form is a range of one index, so its first row costs O(log n) whatever the
// size of the database.
std::string RunSql(Run run, Bound bound, bool forward, Select select, bool sorted);
void BindRun(Statement& statement, const Cursor& cursor, const Position& from, Run run,
             Bound bound);

}  // namespace emu::cedb
