// One volume file (a mounted volume or the object store) held open as an SQLite database. One
// connection serves every mount and handle of the volume; a mutex serialises all use of it, so
// threads of any process may work on the volume at once.
//
// Identifiers: CEOIDs are (volume tag << 24) | serial. The tag is fixed when the file is created
// (the object store's is 1, each new volume file takes the next free one), the serial counts up
// in the file and is never given out twice, so identifiers stay unique on the machine and stable
// across mounts and runs.
#pragma once

#include <cedb.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "property_codec.h"
#include "sort_key.h"

namespace emu::cedb {

class Connection;

struct SortSpec {
    CEPROPID propid = 0;
    DWORD flags = 0;
};

struct DatabaseInfo {
    CEOID oid = 0;
    std::u16string name;
    DWORD type = 0;
    DWORD flags = 0;
    std::vector<SortSpec> sortOrders;
    DWORD records = 0;
    DWORD size = 0;
    ULONGLONG modified = 0;
};

// A place in a database's order: before its first record, at a record (or where it was), or
// just after one. Records are ordered by the sort key, records without one last, ties by CEOID;
// the (key, CEOID) pair of a position stays meaningful when records around it come and go.
struct Position {
    enum class Kind { Begin, At, After };
    Kind kind = Kind::Begin;
    SortKey key;
    CEOID record = 0;
};

struct RecordData {
    CEOID oid = 0;
    SortKey key;
    // Properties in the order they were first written.
    std::vector<StoredValue> properties;
};

// The records after a cursor's position, read in one go for a cursor that reads on record by
// record. They stand for the database only while the volume is unchanged since (`generation`)
// and the cursor is where the last record handed out left it (`expected`).
struct ReadAhead {
    std::uint64_t generation = 0;
    Position expected;
    std::vector<RecordData> records;
    std::size_t next = 0;
};

// What a database handle reads through: its database, its sort property (0: CEOID order), its
// current position and the records read ahead of it.
struct Cursor {
    CEOID database = 0;
    CEPROPID sortProperty = 0;
    Position position;
    std::shared_ptr<ReadAhead> readAhead;
};

// One property of a write: a value to store, or (remove) a property to take away.
struct PropertyChange {
    StoredValue value;
    bool remove = false;
};

enum class WriteResult { Created, Changed };

class Volume {
public:
    // Opens an existing volume file; ERROR_INVALID_DATA when it is not one.
    static std::shared_ptr<Volume> OpenExisting(const std::filesystem::path& file);
    // Creates a volume file (replacing any file there) with identifier tag `tag`.
    static std::shared_ptr<Volume> Create(const std::filesystem::path& file, DWORD tag);
    ~Volume();

    const std::filesystem::path& File() const { return m_file; }
    DWORD Tag() const { return m_tag; }
    // The CEGUID callers name the volume by (all zero for the object store).
    const CEGUID& Guid() const { return m_guid; }
    void SetGuid(const CEGUID& guid) { m_guid = guid; }

    // Closes the file; every later use fails with ERROR_INVALID_HANDLE.
    void Close();
    // Makes everything written so far durable in the file.
    void Sync();

    // The next volume tag to hand out (2 … 0x7F, wrapping), skipping those `inUse` says are
    // taken. Kept in the object store.
    DWORD AllocateVolumeTag(const std::function<bool(DWORD)>& inUse);

    CEOID CreateDatabase(std::u16string_view name, DWORD type, DWORD flags,
                         const std::vector<SortSpec>& sortOrders, ULONGLONG now);
    std::optional<CEOID> FindDatabase(std::u16string_view name);
    std::optional<DatabaseInfo> Database(CEOID oid);
    // The database a record belongs to.
    std::optional<CEOID> RecordParent(CEOID oid);
    void DeleteDatabase(CEOID oid);

    // Moves the cursor as CeSeekDatabaseEx does; answers the record and, when `index` is given,
    // stores its index there (counting the records before it costs a pass over them), or throws
    // CedbError(ERROR_SEEK) leaving the cursor where it was.
    CEOID Seek(Cursor& cursor, DWORD type, DWORD_PTR value, WORD valueCount, DWORD* index);
    // The record at the cursor, or nothing past the last record. A read that goes on from the
    // record read before it (the cursor just after that one) takes the next of the records read
    // ahead, reading the next kReadAheadRecords in two queries when none is left; any other read
    // is one indexed lookup.
    std::optional<RecordData> ReadCurrent(Cursor& cursor);
    // Applies the changes, in order, to a record (0: a new one) of `database`.
    std::pair<CEOID, WriteResult> Write(CEOID database, CEOID record,
                                        const std::vector<PropertyChange>& changes, ULONGLONG now);
    void DeleteRecord(CEOID database, CEOID record, ULONGLONG now);

private:
    Volume(std::filesystem::path file, std::unique_ptr<Connection> connection, DWORD tag);
    Connection& Db();
    CEOID NextOid();
    void Touch(CEOID database, ULONGLONG now);
    std::int64_t Meta(const char* key);
    void SetMeta(const char* key, std::int64_t value);
    // The record `skip` records on from `from` walking forward (or back) through the cursor's
    // order; `inclusive` lets a record at the position itself count as the first one.
    std::optional<std::pair<CEOID, SortKey>> Walk(const Cursor& cursor, const Position& from,
                                                  bool inclusive, bool forward, std::int64_t skip);
    // Up to `limit` records on from `from`, walking forward in the cursor's order, with their
    // properties.
    std::vector<RecordData> ReadForward(const Cursor& cursor, const Position& from,
                                        bool inclusive, std::int64_t limit);
    // The number of records before a record's position.
    DWORD IndexOf(const Cursor& cursor, const Position& at);
    // A database's record count and size, counted once and kept up to date by every write.
    struct Totals {
        std::int64_t records = 0;
        std::int64_t size = 0;
    };
    Totals& TotalsOf(CEOID database);
    void Adjust(CEOID database, std::int64_t records, std::int64_t size);

    std::filesystem::path m_file;
    std::mutex m_lock;
    std::unique_ptr<Connection> m_connection;
    DWORD m_tag;
    CEGUID m_guid{};
    std::map<CEOID, Totals> m_totals;
    // Counts every change to the volume's records and databases.
    std::uint64_t m_generation = 0;
};

// Records one sequential read fetches ahead.
inline constexpr std::int64_t kReadAheadRecords = 256;

}  // namespace emu::cedb
