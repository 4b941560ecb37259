#include "volume_format.h"

#include "cedb_error.h"
#include "property_list.h"

namespace emu::cedb {

namespace {

const char* const kRecordTables = R"(
    CREATE TABLE records(
        db INTEGER NOT NULL, oid INTEGER NOT NULL, size INTEGER NOT NULL, props BLOB NOT NULL,
        PRIMARY KEY(db, oid)) WITHOUT ROWID;
    CREATE UNIQUE INDEX records_by_oid ON records(oid);
    CREATE TABLE sort_keys(
        db INTEGER NOT NULL, propid INTEGER NOT NULL, record INTEGER NOT NULL,
        sort_key NOT NULL, PRIMARY KEY(db, propid, record)) WITHOUT ROWID;
    CREATE INDEX sort_keys_in_order ON sort_keys(db, propid, sort_key, record);
)";

const char* const kOtherTables = R"(
    CREATE TABLE volume(key TEXT PRIMARY KEY, value INTEGER NOT NULL);
    CREATE TABLE databases(
        oid INTEGER PRIMARY KEY, name BLOB NOT NULL, name_key TEXT NOT NULL UNIQUE,
        type INTEGER NOT NULL, flags INTEGER NOT NULL, modified INTEGER NOT NULL);
    CREATE TABLE sort_orders(
        db INTEGER NOT NULL, position INTEGER NOT NULL, propid INTEGER NOT NULL,
        flags INTEGER NOT NULL, PRIMARY KEY(db, position));
)";

void StoreRecord(Connection& connection, std::int64_t database, std::int64_t record,
                 const PropertyList& properties) {
    Statement insert(connection,
                     "INSERT INTO records(db, oid, size, props) VALUES (?1, ?2, ?3, ?4)");
    insert.Bind(1, database)
        .Bind(2, record)
        .Bind(3, static_cast<std::int64_t>(properties.Stored().size()))
        .Bind(4, properties.Stored())
        .Run();
}

// Layout 1: `records(oid, db, size)` and one `properties(record, db, propid, position, data,
// sort_key)` row per property, `position` giving the order first written.
void UpgradeFromRowsPerProperty(Connection& connection) {
    connection.Execute("ALTER TABLE records RENAME TO records_v1");
    connection.Execute("DROP INDEX records_by_db");
    connection.Execute(kRecordTables);
    {
        Statement old(connection,
                      "SELECT r.oid, r.db, p.propid, p.data FROM records_v1 r"
                      " LEFT JOIN properties p ON p.record = r.oid ORDER BY r.oid, p.position");
        std::int64_t record = 0;
        std::int64_t database = 0;
        PropertyList properties;
        bool pending = false;
        while (old.Step()) {
            if (pending && old.Int(0) != record) {
                StoreRecord(connection, database, record, properties);
                properties = PropertyList();
            }
            record = old.Int(0);
            database = old.Int(1);
            pending = true;
            if (!old.IsNull(2)) properties.Set(static_cast<CEPROPID>(old.Int(2)), old.Bytes(3));
        }
        if (pending) StoreRecord(connection, database, record, properties);
    }
    connection.Execute(
        "INSERT OR IGNORE INTO sort_keys(db, propid, record, sort_key)"
        " SELECT p.db, p.propid, p.record, p.sort_key FROM properties p"
        " JOIN sort_orders s ON s.db = p.db AND s.propid = p.propid"
        " WHERE p.sort_key IS NOT NULL");
    connection.Execute("DROP TABLE properties; DROP TABLE records_v1");
}

}  // namespace

void CreateTables(Connection& connection) {
    connection.Execute(kOtherTables);
    connection.Execute(kRecordTables);
}

void UpgradeTables(Connection& connection, std::int64_t format) {
    if (format != 1) throw CedbError(ERROR_INVALID_DATA);
    Transaction transaction(connection);
    UpgradeFromRowsPerProperty(connection);
    Statement mark(connection, "UPDATE volume SET value = ?1 WHERE key = 'format'");
    mark.Bind(1, kVolumeFormat).Run();
    transaction.Commit();
}

}  // namespace emu::cedb
