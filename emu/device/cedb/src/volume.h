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

#include "cursor.h"
#include "property_codec.h"

namespace emu::cedb {

class Connection;
class RecordWalk;

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
    // stores its index there (counting the records before it costs a pass over them, except
    // from the end), or throws CedbError(ERROR_SEEK) leaving the cursor where it was.
    CEOID Seek(Cursor& cursor, DWORD type, DWORD_PTR value, WORD valueCount, DWORD* index);
    // The record at the cursor, or nothing past the last record. Reads go on through the
    // cursor's walk while the cursor stands where the walk left it and the volume is unchanged,
    // so reading on record by record costs one pass over the database; any other read starts a
    // walk with one indexed lookup.
    std::optional<RecordData> ReadCurrent(Cursor& cursor);
    // Ends the cursor's walk; called before the cursor goes.
    void EndWalk(const Cursor& cursor);
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
    // Every change to the volume's records and databases ends the cursors' walks first: their
    // open queries read the volume as it was.
    void EndWalks();
    // The number of records before a record's position.
    DWORD IndexOf(const Cursor& cursor, const Position& at);
    // A database's record count and size, counted once and kept up to date by every write.
    struct Totals {
        std::int64_t records = 0;
        std::int64_t size = 0;
    };
    Totals& TotalsOf(CEOID database);
    // The properties a database's sort orders sort by (each once); throws
    // CedbError(ERROR_INVALID_PARAMETER) when there is no such database.
    const std::vector<CEPROPID>& SortPropertiesOf(CEOID database);
    // Keeps a record's sort key for a changed property in step, when the database sorts by it.
    void StoreSortKey(CEOID database, CEOID record, const PropertyChange& change);
    void Adjust(CEOID database, std::int64_t records, std::int64_t size);

    std::filesystem::path m_file;
    std::mutex m_lock;
    std::unique_ptr<Connection> m_connection;
    DWORD m_tag;
    CEGUID m_guid{};
    std::map<CEOID, Totals> m_totals;
    std::map<CEOID, std::vector<CEPROPID>> m_sortProperties;
    // The walk each cursor that has read reads on through.
    std::map<const Cursor*, std::unique_ptr<RecordWalk>> m_walks;
};

}  // namespace emu::cedb
