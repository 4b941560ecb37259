// A forward walk through a database's records in a cursor's order, reading each record with its
// properties. The walk keeps one query open on the run it is in and steps it a record at a time,
// so reading a database from first to last record costs one pass over it, whatever its size.
//
// The open query reads the volume as it is: a walk must be dropped before the volume changes
// (and before its connection closes), and started afresh from where it stood.
#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "cursor.h"
#include "record_order.h"
#include "sqlite_db.h"

namespace emu::cedb {

class RecordWalk {
public:
    // A walk from `from` (including a record at the position itself when `inclusive`).
    RecordWalk(Connection& connection, const Cursor& cursor, const Position& from,
               bool inclusive);

    // The next record, or nothing past the last one.
    std::optional<RecordData> Next();
    // Where the walk stands: the position it started from, then just after the record it read
    // last.
    const Position& Where() const { return m_where; }

private:
    // Moves the open query to its next row, opening the next run's query as runs run out; false
    // past the last record.
    bool Advance();

    Connection& m_connection;
    Cursor m_cursor;
    Position m_from;
    std::vector<std::pair<Run, Bound>> m_runs;
    std::size_t m_run = 0;
    std::unique_ptr<Statement> m_query;
    Position m_where;
};

}  // namespace emu::cedb
