// Places in a database's order and the cursor a database handle reads through.
//
// Records are ordered by the sort key, records without one last, ties by CEOID; the (key, CEOID)
// pair of a position stays meaningful when records around it come and go.
#pragma once

#include <cedb.h>

#include <vector>

#include "property_list.h"
#include "sort_key.h"

namespace emu::cedb {

// A place in a database's order: before its first record, at a record (or where it was), just
// after one, or (as where a backward walk starts) after the last record.
struct Position {
    enum class Kind { Begin, At, After, End };
    Kind kind = Kind::Begin;
    SortKey key;
    CEOID record = 0;
};

inline bool operator==(const Position& a, const Position& b) {
    return a.kind == b.kind && a.record == b.record && a.key == b.key;
}

struct RecordData {
    CEOID oid = 0;
    SortKey key;
    // Properties in the order they were first written.
    PropertyList properties;
};

// What a database handle reads through: its database, its sort property (0: CEOID order) and its
// current position.
struct Cursor {
    CEOID database = 0;
    CEPROPID sortProperty = 0;
    Position position;
};

}  // namespace emu::cedb
