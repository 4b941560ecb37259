#include "volume.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "cedb_error.h"
#include "pal/runtime/encoding.h"
#include "record_order.h"
#include "record_walk.h"
#include "sqlite_db.h"
#include "volume_format.h"

namespace emu::cedb {

namespace {

constexpr DWORD kFirstVolumeTag = 2;
constexpr DWORD kLastVolumeTag = 0x7F;
constexpr std::int64_t kLastSerial = 0xFFFFFF;

// Writes reach the file system at each commit without waiting for the disk (CeFlushDBVol does
// that). The one connection keeps the file locked while the volume is open (its world belongs
// to one host process anyway), so SQLite keeps its page cache between transactions instead of
// re-checking the file for every statement. Commits are appended to a write-ahead log beside
// the file (a changed page is written once, not saved to a journal and then overwritten), and
// with the lock held the log's index lives in memory, not in a shared file.
void Tune(Connection& connection) {
    connection.Execute(
        "PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE; PRAGMA journal_mode=WAL");
}

std::vector<std::uint8_t> NameBytes(std::u16string_view name) {
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : name) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

std::u16string NameOf(const std::vector<std::uint8_t>& bytes) {
    std::u16string name;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        name.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return name;
}

// Names compare without regard to case.
std::string NameKey(std::u16string_view name) { return pal::Utf16ToUtf8(pal::ToUpper(name)); }

}  // namespace

Volume::Volume(std::filesystem::path file, std::unique_ptr<Connection> connection, DWORD tag)
    : m_file(std::move(file)), m_connection(std::move(connection)), m_tag(tag) {}

Volume::~Volume() = default;

std::shared_ptr<Volume> Volume::OpenExisting(const std::filesystem::path& file) {
    auto connection = std::make_unique<Connection>(file, false);
    Tune(*connection);
    std::int64_t format = 0;
    {
        Statement select(*connection, "SELECT value FROM volume WHERE key = 'format'");
        if (!select.Step()) throw CedbError(ERROR_INVALID_DATA);
        format = select.Int(0);
    }
    if (format != kVolumeFormat) UpgradeTables(*connection, format);
    Statement tag(*connection, "SELECT value FROM volume WHERE key = 'tag'");
    if (!tag.Step()) throw CedbError(ERROR_INVALID_DATA);
    auto value = static_cast<DWORD>(tag.Int(0));
    return std::shared_ptr<Volume>(new Volume(file, std::move(connection), value));
}

std::shared_ptr<Volume> Volume::Create(const std::filesystem::path& file, DWORD tag) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    auto connection = std::make_unique<Connection>(file, true);
    Tune(*connection);
    {
        Transaction transaction(*connection);
        CreateTables(*connection);
        Statement insert(*connection, "INSERT INTO volume(key, value) VALUES (?1, ?2)");
        insert.Bind(1, std::string("format")).Bind(2, kVolumeFormat).Run();
        Statement insertTag(*connection, "INSERT INTO volume(key, value) VALUES ('tag', ?1)");
        insertTag.Bind(1, std::int64_t{tag}).Run();
        Statement serial(*connection, "INSERT INTO volume(key, value) VALUES ('next_serial', 1)");
        serial.Run();
        transaction.Commit();
    }
    return std::shared_ptr<Volume>(new Volume(file, std::move(connection), tag));
}

Connection& Volume::Db() {
    if (!m_connection) throw CedbError(ERROR_INVALID_HANDLE);
    return *m_connection;
}

void Volume::Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    EndWalks();
    m_connection.reset();
}

void Volume::Sync() {
    std::lock_guard<std::mutex> guard(m_lock);
    // The log is folded into the file first, so that syncing the file keeps every commit.
    Db().Execute("PRAGMA wal_checkpoint(TRUNCATE)");
    int fd = ::open(m_file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw CedbError(ERROR_CANTWRITE);
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    if (!synced) throw CedbError(ERROR_CANTWRITE);
}

std::int64_t Volume::Meta(const char* key) {
    Statement select(Db(), "SELECT value FROM volume WHERE key = ?1");
    select.Bind(1, std::string(key));
    return select.Step() ? select.Int(0) : 0;
}

void Volume::SetMeta(const char* key, std::int64_t value) {
    // Updated in place: the key index stays as it is.
    Statement upsert(Db(),
                     "INSERT INTO volume(key, value) VALUES (?1, ?2)"
                     " ON CONFLICT(key) DO UPDATE SET value = excluded.value");
    upsert.Bind(1, std::string(key)).Bind(2, value).Run();
}

DWORD Volume::AllocateVolumeTag(const std::function<bool(DWORD)>& inUse) {
    std::lock_guard<std::mutex> guard(m_lock);
    Transaction transaction(Db());
    auto next = static_cast<DWORD>(Meta("next_volume_tag"));
    if (next < kFirstVolumeTag || next > kLastVolumeTag) next = kFirstVolumeTag;
    for (DWORD tried = 0; tried <= kLastVolumeTag - kFirstVolumeTag; ++tried) {
        DWORD tag = next;
        next = next == kLastVolumeTag ? kFirstVolumeTag : next + 1;
        if (inUse(tag)) continue;
        SetMeta("next_volume_tag", next);
        transaction.Commit();
        return tag;
    }
    throw CedbError(ERROR_TOO_MANY_OPEN_FILES);
}

CEOID Volume::NextOid() {
    std::int64_t serial = Meta("next_serial");
    if (serial < 1 || serial > kLastSerial) throw CedbError(ERROR_DISK_FULL);
    SetMeta("next_serial", serial + 1);
    return (m_tag << 24) | static_cast<CEOID>(serial);
}

void Volume::Touch(CEOID database, ULONGLONG now) {
    Statement update(Db(), "UPDATE databases SET modified = ?1 WHERE oid = ?2");
    update.Bind(1, static_cast<std::int64_t>(now)).Bind(2, std::int64_t{database}).Run();
}

CEOID Volume::CreateDatabase(std::u16string_view name, DWORD type, DWORD flags,
                             const std::vector<SortSpec>& sortOrders, ULONGLONG now) {
    std::lock_guard<std::mutex> guard(m_lock);
    Transaction transaction(Db());
    Statement existing(Db(), "SELECT oid FROM databases WHERE name_key = ?1");
    if (existing.Bind(1, NameKey(name)).Step()) throw CedbError(ERROR_DUP_NAME);
    CEOID oid = NextOid();
    Statement insert(Db(),
                     "INSERT INTO databases(oid, name, name_key, type, flags, modified)"
                     " VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    insert.Bind(1, std::int64_t{oid})
        .Bind(2, NameBytes(name))
        .Bind(3, NameKey(name))
        .Bind(4, std::int64_t{type})
        .Bind(5, std::int64_t{flags})
        .Bind(6, static_cast<std::int64_t>(now))
        .Run();
    for (std::size_t i = 0; i < sortOrders.size(); ++i) {
        Statement sort(Db(),
                       "INSERT INTO sort_orders(db, position, propid, flags)"
                       " VALUES (?1, ?2, ?3, ?4)");
        sort.Bind(1, std::int64_t{oid})
            .Bind(2, static_cast<std::int64_t>(i))
            .Bind(3, std::int64_t{sortOrders[i].propid})
            .Bind(4, std::int64_t{sortOrders[i].flags})
            .Run();
    }
    transaction.Commit();
    return oid;
}

std::optional<CEOID> Volume::FindDatabase(std::u16string_view name) {
    std::lock_guard<std::mutex> guard(m_lock);
    Statement select(Db(), "SELECT oid FROM databases WHERE name_key = ?1");
    if (!select.Bind(1, NameKey(name)).Step()) return std::nullopt;
    return static_cast<CEOID>(select.Int(0));
}

std::optional<DatabaseInfo> Volume::Database(CEOID oid) {
    std::lock_guard<std::mutex> guard(m_lock);
    Statement select(Db(), "SELECT name, type, flags, modified FROM databases WHERE oid = ?1");
    if (!select.Bind(1, std::int64_t{oid}).Step()) return std::nullopt;
    DatabaseInfo info;
    info.oid = oid;
    info.name = NameOf(select.Bytes(0));
    info.type = static_cast<DWORD>(select.Int(1));
    info.flags = static_cast<DWORD>(select.Int(2));
    info.modified = static_cast<ULONGLONG>(select.Int(3));
    Statement sorts(Db(), "SELECT propid, flags FROM sort_orders WHERE db = ?1 ORDER BY position");
    sorts.Bind(1, std::int64_t{oid});
    while (sorts.Step())
        info.sortOrders.push_back(
            {static_cast<CEPROPID>(sorts.Int(0)), static_cast<DWORD>(sorts.Int(1))});
    const Totals& totals = TotalsOf(oid);
    info.records = static_cast<DWORD>(totals.records);
    info.size = static_cast<DWORD>(totals.size);
    return info;
}

Volume::Totals& Volume::TotalsOf(CEOID database) {
    if (auto it = m_totals.find(database); it != m_totals.end()) return it->second;
    Statement count(Db(), "SELECT COUNT(*), COALESCE(SUM(size), 0) FROM records WHERE db = ?1");
    count.Bind(1, std::int64_t{database}).Step();
    return m_totals[database] = Totals{count.Int(0), count.Int(1)};
}

void Volume::Adjust(CEOID database, std::int64_t records, std::int64_t size) {
    // Only totals already counted need keeping up; the others are counted when first asked.
    if (auto it = m_totals.find(database); it != m_totals.end()) {
        it->second.records += records;
        it->second.size += size;
    }
}

std::optional<CEOID> Volume::RecordParent(CEOID oid) {
    std::lock_guard<std::mutex> guard(m_lock);
    Statement select(Db(), "SELECT db FROM records WHERE oid = ?1");
    if (!select.Bind(1, std::int64_t{oid}).Step()) return std::nullopt;
    return static_cast<CEOID>(select.Int(0));
}

void Volume::DeleteDatabase(CEOID oid) {
    std::lock_guard<std::mutex> guard(m_lock);
    EndWalks();
    Transaction transaction(Db());
    Statement exists(Db(), "SELECT 1 FROM databases WHERE oid = ?1");
    if (!exists.Bind(1, std::int64_t{oid}).Step()) throw CedbError(ERROR_INVALID_PARAMETER);
    for (const char* sql :
         {"DELETE FROM sort_keys WHERE db = ?1", "DELETE FROM records WHERE db = ?1",
          "DELETE FROM sort_orders WHERE db = ?1", "DELETE FROM databases WHERE oid = ?1"}) {
        Statement erase(Db(), sql);
        erase.Bind(1, std::int64_t{oid}).Run();
    }
    transaction.Commit();
    m_totals.erase(oid);
    m_sortProperties.erase(oid);
}

std::optional<std::pair<CEOID, SortKey>> Volume::Walk(const Cursor& cursor, const Position& from,
                                                      bool inclusive, bool forward,
                                                      std::int64_t skip) {
    auto runs = RunsFrom(cursor, from, inclusive, forward);
    const bool sorted = cursor.sortProperty != 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        auto [run, runBound] = runs[i];
        Statement select(Db(), RunSql(run, runBound, forward, Select::Records, sorted));
        BindRun(select, cursor, from, run, runBound);
        select.Bind(5, skip).Bind(6, std::int64_t{1});
        if (select.Step()) return std::make_pair(static_cast<CEOID>(select.Int(0)), select.Key(1));
        if (skip == 0 || i + 1 == runs.size()) continue;
        // The run holds fewer than `skip` + 1 records: skip them all and go on in the next.
        Statement count(Db(), RunSql(run, runBound, forward, Select::Count, sorted));
        BindRun(count, cursor, from, run, runBound);
        count.Step();
        skip -= count.Int(0);
    }
    return std::nullopt;
}

DWORD Volume::IndexOf(const Cursor& cursor, const Position& at) {
    // The records strictly before the position, run by run.
    std::int64_t before = 0;
    bool keyed = HasKey(at.key);
    for (Run run : {Run::Keyed, Run::Unkeyed}) {
        if (run == Run::Keyed && !cursor.sortProperty) continue;
        if (run == Run::Unkeyed && keyed) break;
        Bound bound = (run == Run::Keyed) == keyed ? Bound::Strict : Bound::None;
        Statement count(Db(), RunSql(run, bound, false, Select::Count, cursor.sortProperty != 0));
        BindRun(count, cursor, at, run, bound);
        count.Step();
        before += count.Int(0);
    }
    return static_cast<DWORD>(before);
}

CEOID Volume::Seek(Cursor& cursor, DWORD type, DWORD_PTR value, WORD valueCount, DWORD* index) {
    std::lock_guard<std::mutex> guard(m_lock);
    std::optional<std::pair<CEOID, SortKey>> found;
    std::optional<DWORD> indexFromEnd;
    switch (type) {
        case CEDB_SEEK_CEOID: {
            Statement select(
                Db(),
                "SELECT r.oid, k.sort_key FROM records r LEFT JOIN sort_keys k"
                " ON k.db = r.db AND k.propid = ?1 AND k.record = r.oid"
                " WHERE r.db = ?2 AND r.oid = ?3");
            select.Bind(1, std::int64_t{cursor.sortProperty})
                .Bind(2, std::int64_t{cursor.database})
                .Bind(3, static_cast<std::int64_t>(static_cast<CEOID>(value)));
            if (select.Step()) found.emplace(static_cast<CEOID>(select.Int(0)), select.Key(1));
            break;
        }
        case CEDB_SEEK_BEGINNING:
            found = Walk(cursor, Position{}, false, true, static_cast<DWORD>(value));
            break;
        case CEDB_SEEK_END:
            found = Walk(cursor, Position{Position::Kind::End, {}, 0}, false, false,
                         static_cast<DWORD>(value));
            // Counted from the end, the index needs no pass: `value` records follow the record.
            indexFromEnd = static_cast<DWORD>(value);
            break;
        case CEDB_SEEK_CURRENT: {
            // Counted from the record at the position (or, when it is gone, from where it was):
            // 0 lands on it, +n n records further on, -n n records back.
            auto delta = static_cast<LONG>(static_cast<DWORD>(value));
            const Position& from = cursor.position;
            bool at = from.kind == Position::Kind::At;
            if (delta >= 0)
                found = Walk(cursor, from, at, true, delta);
            else
                found = Walk(cursor, from, !at, false, -std::int64_t{delta} - 1);
            break;
        }
        case CEDB_SEEK_VALUEFIRSTEQUAL: {
            auto* wanted = reinterpret_cast<const CEPROPVAL*>(value);
            if (!wanted || valueCount != 1 || !cursor.sortProperty ||
                wanted->propid != cursor.sortProperty)
                throw CedbError(ERROR_INVALID_PARAMETER);
            SortKey key = Encode(*wanted).key;
            if (!HasKey(key)) break;
            Statement select(Db(),
                             "SELECT record, sort_key FROM sort_keys"
                             " WHERE db = ?1 AND propid = ?2 AND sort_key = ?3"
                             " ORDER BY record LIMIT 1");
            select.Bind(1, std::int64_t{cursor.database})
                .Bind(2, std::int64_t{cursor.sortProperty})
                .Bind(3, key);
            if (select.Step()) found.emplace(static_cast<CEOID>(select.Int(0)), select.Key(1));
            break;
        }
        default:
            throw CedbError(ERROR_INVALID_PARAMETER);
    }
    if (!found) throw CedbError(ERROR_SEEK);
    Position landed{Position::Kind::At, found->second, found->first};
    if (index && indexFromEnd)
        *index = static_cast<DWORD>(TotalsOf(cursor.database).records - 1 - *indexFromEnd);
    else if (index)
        *index = IndexOf(cursor, landed);
    cursor.position = std::move(landed);
    return found->first;
}

std::optional<RecordData> Volume::ReadCurrent(Cursor& cursor) {
    std::lock_guard<std::mutex> guard(m_lock);
    Connection& db = Db();
    auto it = m_walks.find(&cursor);
    if (it == m_walks.end() || !(it->second->Where() == cursor.position)) {
        auto walk = std::make_unique<RecordWalk>(db, cursor, cursor.position,
                                                 cursor.position.kind == Position::Kind::At);
        it = m_walks.insert_or_assign(&cursor, std::move(walk)).first;
    }
    std::optional<RecordData> record;
    try {
        record = it->second->Next();
    } catch (...) {
        m_walks.erase(it);
        throw;
    }
    if (!record) m_walks.erase(it);
    return record;
}

void Volume::EndWalks() { m_walks.clear(); }

void Volume::EndWalk(const Cursor& cursor) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_walks.erase(&cursor);
}

const std::vector<CEPROPID>& Volume::SortPropertiesOf(CEOID database) {
    if (auto it = m_sortProperties.find(database); it != m_sortProperties.end())
        return it->second;
    Statement exists(Db(), "SELECT 1 FROM databases WHERE oid = ?1");
    if (!exists.Bind(1, std::int64_t{database}).Step()) throw CedbError(ERROR_INVALID_PARAMETER);
    std::vector<CEPROPID> properties;
    Statement sorts(Db(), "SELECT DISTINCT propid FROM sort_orders WHERE db = ?1");
    sorts.Bind(1, std::int64_t{database});
    while (sorts.Step()) properties.push_back(static_cast<CEPROPID>(sorts.Int(0)));
    return m_sortProperties[database] = std::move(properties);
}

void Volume::StoreSortKey(CEOID database, CEOID record, const PropertyChange& change) {
    const auto& sorted = SortPropertiesOf(database);
    if (std::find(sorted.begin(), sorted.end(), change.value.propid) == sorted.end()) return;
    if (change.remove || !HasKey(change.value.key)) {
        Statement erase(Db(), "DELETE FROM sort_keys WHERE db = ?1 AND propid = ?2 AND record = ?3");
        erase.Bind(1, std::int64_t{database})
            .Bind(2, std::int64_t{change.value.propid})
            .Bind(3, std::int64_t{record})
            .Run();
        return;
    }
    Statement upsert(Db(),
                     "INSERT OR REPLACE INTO sort_keys(db, propid, record, sort_key)"
                     " VALUES (?1, ?2, ?3, ?4)");
    upsert.Bind(1, std::int64_t{database})
        .Bind(2, std::int64_t{change.value.propid})
        .Bind(3, std::int64_t{record})
        .Bind(4, change.value.key)
        .Run();
}

std::pair<CEOID, WriteResult> Volume::Write(CEOID database, CEOID record,
                                            const std::vector<PropertyChange>& changes,
                                            ULONGLONG now) {
    std::lock_guard<std::mutex> guard(m_lock);
    EndWalks();
    Transaction transaction(Db());
    SortPropertiesOf(database);
    WriteResult result = WriteResult::Changed;
    std::int64_t oldSize = 0;
    PropertyList properties;
    if (record == 0) {
        record = NextOid();
        result = WriteResult::Created;
    } else {
        Statement owner(Db(), "SELECT size, props FROM records WHERE db = ?1 AND oid = ?2");
        if (!owner.Bind(1, std::int64_t{database}).Bind(2, std::int64_t{record}).Step())
            throw CedbError(ERROR_INVALID_PARAMETER);
        oldSize = owner.Int(0);
        properties = PropertyList(owner.View(1));
    }
    for (const auto& change : changes) {
        // A property already there keeps its place; a new one goes last.
        if (change.remove)
            properties.Remove(change.value.propid);
        else
            properties.Set(change.value.propid, change.value.data);
        StoreSortKey(database, record, change);
    }
    auto newSize = static_cast<std::int64_t>(properties.Stored().size());
    // An existing record is updated in place, leaving its entry in the CEOID index alone.
    Statement store(Db(),
                    "INSERT INTO records(db, oid, size, props) VALUES (?1, ?2, ?3, ?4)"
                    " ON CONFLICT(db, oid) DO UPDATE SET size = excluded.size,"
                    " props = excluded.props");
    store.Bind(1, std::int64_t{database})
        .Bind(2, std::int64_t{record})
        .Bind(3, newSize)
        .Bind(4, properties.Stored())
        .Run();
    Touch(database, now);
    transaction.Commit();
    Adjust(database, result == WriteResult::Created ? 1 : 0, newSize - oldSize);
    return {record, result};
}

void Volume::DeleteRecord(CEOID database, CEOID record, ULONGLONG now) {
    std::lock_guard<std::mutex> guard(m_lock);
    EndWalks();
    Transaction transaction(Db());
    Statement owner(Db(), "SELECT size FROM records WHERE db = ?1 AND oid = ?2");
    if (!owner.Bind(1, std::int64_t{database}).Bind(2, std::int64_t{record}).Step())
        throw CedbError(ERROR_INVALID_PARAMETER);
    std::int64_t size = owner.Int(0);
    for (CEPROPID propid : SortPropertiesOf(database))
        StoreSortKey(database, record, PropertyChange{StoredValue{propid, {}, {}}, true});
    Statement erase(Db(), "DELETE FROM records WHERE db = ?1 AND oid = ?2");
    erase.Bind(1, std::int64_t{database}).Bind(2, std::int64_t{record}).Run();
    Touch(database, now);
    transaction.Commit();
    Adjust(database, -1, -size);
}

}  // namespace emu::cedb
