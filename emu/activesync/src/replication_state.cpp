#include "activesync/replication_state.h"

#include <sqlite3.h>

#include "emu/sqlite/statement_cache.h"

namespace activesync {

namespace {

const char kStateFile[] = "replication.db";

const char kSchema[] =
    "PRAGMA journal_mode=WAL;"
    "PRAGMA synchronous=NORMAL;"
    "CREATE TABLE IF NOT EXISTS folders("
    "  partnership INTEGER NOT NULL, type TEXT NOT NULL, store_id BLOB NOT NULL,"
    "  folder BLOB NOT NULL, PRIMARY KEY(partnership, type));"
    "CREATE TABLE IF NOT EXISTS objects("
    "  id INTEGER PRIMARY KEY, partnership INTEGER NOT NULL, type TEXT NOT NULL,"
    "  item BLOB NOT NULL, oid INTEGER NOT NULL, sent_to_device INTEGER NOT NULL,"
    "  sent_to_desktop INTEGER NOT NULL, desktop_changed INTEGER NOT NULL,"
    "  pending_token INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS objects_by_type ON objects(partnership, type);";

}  // namespace

// One connection and the statements the state uses, each prepared once; every failure is a
// ReplicationStateError.
class ReplicationState::Db {
public:
    explicit Db(const std::filesystem::path& file) {
        if (sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK)
            Fail("cannot open the replication state");
        sqlite3_busy_timeout(m_db, 5000);
        char* message = nullptr;
        if (sqlite3_exec(m_db, kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
            std::string text = message ? message : "";
            sqlite3_free(message);
            throw ReplicationStateError("the replication state is damaged: " + text);
        }
    }
    ~Db() {
        m_statements.Clear();
        sqlite3_close(m_db);
    }

    [[noreturn]] void Fail(const std::string& what) {
        throw ReplicationStateError(what + ": " + (m_db ? sqlite3_errmsg(m_db) : "no database"));
    }

    // A statement of the connection's cache, handed back when destroyed.
    class Query {
    public:
        Query(Db& db, const char* sql) : m_db(db), m_sql(sql) {
            if (db.m_statements.Acquire(db.m_db, m_sql, &m_statement) != SQLITE_OK)
                db.Fail("cannot read the replication state");
        }
        ~Query() { m_db.m_statements.Release(m_sql, m_statement); }
        Query& Int(int index, std::int64_t value) {
            sqlite3_bind_int64(m_statement, index, value);
            return *this;
        }
        Query& Text(int index, const std::string& value) {
            sqlite3_bind_text(m_statement, index, value.c_str(), static_cast<int>(value.size()),
                              SQLITE_TRANSIENT);
            return *this;
        }
        Query& Blob(int index, const Bytes& value) {
            // An empty blob is still a blob, not NULL.
            static const std::uint8_t kEmpty = 0;
            sqlite3_bind_blob(m_statement, index, value.empty() ? &kEmpty : value.data(),
                              static_cast<int>(value.size()), SQLITE_TRANSIENT);
            return *this;
        }
        bool Step() {
            int result = sqlite3_step(m_statement);
            if (result == SQLITE_ROW) return true;
            if (result != SQLITE_DONE) m_db.Fail("cannot update the replication state");
            return false;
        }
        std::int64_t IntAt(int column) { return sqlite3_column_int64(m_statement, column); }
        std::string TextAt(int column) {
            auto* text = sqlite3_column_text(m_statement, column);
            return text ? reinterpret_cast<const char*>(text) : "";
        }
        Bytes BlobAt(int column) {
            auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_statement, column));
            int size = sqlite3_column_bytes(m_statement, column);
            return data ? Bytes(data, data + size) : Bytes();
        }

    private:
        Db& m_db;
        std::string m_sql;
        sqlite3_stmt* m_statement = nullptr;
    };

    void Execute(const char* sql) {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail("cannot update the replication state");
    }

    sqlite3* m_db = nullptr;
    emu::sqlite::StatementCache m_statements;
};

std::filesystem::path ReplicationStatePath(pal::Machine& desktop) {
    return desktop.Dir() / kStateFile;
}

ReplicationState::ReplicationState(pal::Machine& desktop)
    : m_db(std::make_unique<Db>(ReplicationStatePath(desktop))) {}

ReplicationState::~ReplicationState() = default;

std::optional<FolderState> ReplicationState::Folder(DWORD partnership, const std::string& type) {
    Db::Query query(*m_db,
                    "SELECT store_id, folder FROM folders WHERE partnership = ? AND type = ?");
    query.Int(1, partnership).Text(2, type);
    if (!query.Step()) return std::nullopt;
    return FolderState{query.BlobAt(0), query.BlobAt(1)};
}

void ReplicationState::SetFolder(DWORD partnership, const std::string& type,
                                 const FolderState& folder) {
    Db::Query query(*m_db, "INSERT OR REPLACE INTO folders VALUES(?, ?, ?, ?)");
    query.Int(1, partnership).Text(2, type).Blob(3, folder.storeId).Blob(4, folder.folder).Step();
}

void ReplicationState::Reset(DWORD partnership, const std::string& type) {
    m_db->Execute("BEGIN IMMEDIATE");
    try {
        Db::Query(*m_db, "DELETE FROM objects WHERE partnership = ? AND type = ?")
            .Int(1, partnership)
            .Text(2, type)
            .Step();
        Db::Query(*m_db, "DELETE FROM folders WHERE partnership = ? AND type = ?")
            .Int(1, partnership)
            .Text(2, type)
            .Step();
        m_db->Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(m_db->m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::vector<ReplicationEntry> ReplicationState::Entries(DWORD partnership,
                                                        const std::string& type) {
    Db::Query query(*m_db,
                    "SELECT id, item, oid, sent_to_device, sent_to_desktop, desktop_changed, "
                    "pending_token FROM objects WHERE partnership = ? AND type = ? ORDER BY id");
    query.Int(1, partnership).Text(2, type);
    std::vector<ReplicationEntry> entries;
    while (query.Step()) {
        ReplicationEntry entry;
        entry.id = query.IntAt(0);
        entry.item = query.BlobAt(1);
        entry.oid = static_cast<DWORD>(query.IntAt(2));
        entry.sentToDevice = query.IntAt(3);
        entry.sentToDesktop = query.IntAt(4);
        entry.desktopChanged = query.IntAt(5) != 0;
        entry.pendingToken = static_cast<std::uint64_t>(query.IntAt(6));
        entries.push_back(std::move(entry));
    }
    return entries;
}

void ReplicationState::Save(DWORD partnership, const std::string& type, ReplicationEntry& entry) {
    auto bind = [&](Db::Query& query) -> Db::Query& {
        return query.Int(1, partnership)
            .Text(2, type)
            .Blob(3, entry.item)
            .Int(4, entry.oid)
            .Int(5, entry.sentToDevice)
            .Int(6, entry.sentToDesktop)
            .Int(7, entry.desktopChanged ? 1 : 0)
            .Int(9, static_cast<std::int64_t>(entry.pendingToken));
    };
    if (entry.id) {
        // An entry keeps its partnership and type: updated in place, the index by type stays.
        Db::Query update(*m_db,
                         "UPDATE objects SET item = ?3, oid = ?4, sent_to_device = ?5, "
                         "sent_to_desktop = ?6, desktop_changed = ?7, pending_token = ?9 "
                         "WHERE id = ?8 AND partnership = ?1 AND type = ?2");
        bind(update).Int(8, entry.id).Step();
        if (sqlite3_changes(m_db->m_db) > 0) return;
    }
    Db::Query insert(*m_db,
                     entry.id ? "INSERT OR REPLACE INTO objects VALUES(?8, ?1, ?2, ?3, ?4, ?5, ?6, "
                                "?7, ?9)"
                              : "INSERT INTO objects(partnership, type, item, oid, sent_to_device, "
                                "sent_to_desktop, desktop_changed, pending_token) "
                                "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?9)");
    bind(insert);
    if (entry.id) insert.Int(8, entry.id);
    insert.Step();
    if (!entry.id) entry.id = sqlite3_last_insert_rowid(m_db->m_db);
}

void ReplicationState::Remove(std::int64_t id) {
    Db::Query(*m_db, "DELETE FROM objects WHERE id = ?").Int(1, id).Step();
}

std::vector<std::string> ReplicationState::Types(DWORD partnership) {
    Db::Query query(*m_db,
                    "SELECT type FROM folders WHERE partnership = ? UNION "
                    "SELECT DISTINCT type FROM objects WHERE partnership = ? ORDER BY 1");
    query.Int(1, partnership).Int(2, partnership);
    std::vector<std::string> types;
    while (query.Step()) types.push_back(query.TextAt(0));
    return types;
}

}  // namespace activesync
