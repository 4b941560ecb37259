#include "store_file.h"

#include <random>

#include "mapi_error.h"

namespace emu::cemapi {

namespace {

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS objects(id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " type INTEGER NOT NULL, parent INTEGER NOT NULL, number INTEGER NOT NULL,"
    " attachments INTEGER NOT NULL DEFAULT 0, recipients INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS objects_parent ON objects(parent, type);"
    "CREATE TABLE IF NOT EXISTS props(object INTEGER NOT NULL, id INTEGER NOT NULL,"
    " tag INTEGER NOT NULL, value BLOB NOT NULL, PRIMARY KEY(object, id)) WITHOUT ROWID;";

// Values lie in one tree ordered by (object, property id). Store files made before kept them in
// a row table beside an index in that order, both of which every write changed; opening one
// moves its values over in one transaction.
const char* const kPropsWithoutRowid =
    "CREATE TABLE props_by_object(object INTEGER NOT NULL, id INTEGER NOT NULL,"
    " tag INTEGER NOT NULL, value BLOB NOT NULL, PRIMARY KEY(object, id)) WITHOUT ROWID;"
    "INSERT INTO props_by_object SELECT object, id, tag, value FROM props;"
    "DROP TABLE props;"
    "ALTER TABLE props_by_object RENAME TO props;";

// Commits go to a write-ahead log, synced only when it is folded back into the file: a killed
// process loses no committed change, and a write costs no sync of its own. The log is folded
// back every 8192 pages rather than every 1000: a message's commits rewrite the same table and
// index pages, which are then copied and synced once for many messages. Set once the file is
// known to be a store, so that a damaged file is left as it was.
const char* const kLogging =
    "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA wal_autocheckpoint=8192;";

std::vector<std::uint8_t> TextBytes(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

std::u16string BytesText(const std::vector<std::uint8_t>& bytes) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return text;
}

ObjectRow RowOf(const Statement& statement) {
    return ObjectRow{statement.Int(0), static_cast<ULONG>(statement.Int(1)), statement.Int(2),
                     static_cast<ULONG>(statement.Int(3))};
}

}  // namespace

StoreFile::Scope::Scope(StoreFile& file, Kind kind)
    : m_file(file), m_guard(file.m_lock), m_kind(kind) {
    if (m_file.m_scopes == 0) {
        Statement(m_file.m_db, kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN").Run();
        m_outer = true;
        m_file.m_scopeWrites = kind == Kind::Write;
        m_file.m_scopeFailed = false;
    } else if (kind == Kind::Write && !m_file.m_scopeWrites) {
        // Promoting a read to a write could meet another connection's newer commit.
        throw MapiError(MAPI_E_CALL_FAILED);
    }
    ++m_file.m_scopes;
}

StoreFile::Scope::~Scope() {
    --m_file.m_scopes;
    if (!m_outer) {
        if (m_kind == Kind::Write && !m_committed) m_file.m_scopeFailed = true;
        return;
    }
    if (m_committed) return;
    try {
        // Ends a read, or undoes a write that did not finish.
        Statement(m_file.m_db, "ROLLBACK").Run();
    } catch (const MapiError&) {
        // SQLite has already rolled back a transaction it could not go on with.
    }
}

void StoreFile::Scope::Commit() {
    if (m_outer) {
        if (m_file.m_scopeFailed) throw MapiError(MAPI_E_CALL_FAILED);
        Statement(m_file.m_db, "COMMIT").Run();
    }
    m_committed = true;
}

StoredProp LongProp(ULONG tag, ULONG value) {
    return StoredProp{tag,
                      {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                       static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

StoredProp TextProp(ULONG tag, const std::u16string& text) { return StoredProp{tag, TextBytes(text)}; }

StoredProp BinaryProp(ULONG tag, std::vector<std::uint8_t> bytes) {
    return StoredProp{tag, std::move(bytes)};
}

ULONG LongOf(const StoredProp& prop) {
    ULONG value = 0;
    for (size_t i = 0; i < 4 && i < prop.value.size(); ++i) value |= ULONG{prop.value[i]} << (8 * i);
    return value;
}

std::u16string TextOf(const StoredProp& prop) { return BytesText(prop.value); }

StoreFile::StoreFile(const std::filesystem::path& file, bool create)
    : m_path(file), m_db(file, create) {}

std::unique_ptr<StoreFile> StoreFile::Create(const std::filesystem::path& file,
                                             const std::u16string& name) {
    std::unique_ptr<StoreFile> store(new StoreFile(file, true));
    store->m_db.Execute(kSchema);
    std::random_device random;
    for (auto& byte : store->m_uid) byte = static_cast<std::uint8_t>(random());
    store->m_name = name;
    Scope scope(*store, Scope::Kind::Write);
    Statement meta(store->m_db, "INSERT INTO meta(key, value) VALUES(?1, ?2)");
    meta.Bind(1, std::string("uid")).Bind(2, std::vector<std::uint8_t>(store->m_uid.begin(), store->m_uid.end())).Run();
    Statement metaName(store->m_db, "INSERT INTO meta(key, value) VALUES('name', ?1)");
    metaName.Bind(1, TextBytes(name)).Run();
    // The folders take ids 1 to 6 in FolderKind order; the root is its own parent.
    for (int kind = 1; kind <= 6; ++kind) {
        Statement add(store->m_db, "INSERT INTO objects(id, type, parent, number) VALUES(?1, ?2, 1, ?1)");
        add.Bind(1, kind).Bind(2, kFolderObject).Run();
        store->WriteLocked(kind, {TextProp(PR_DISPLAY_NAME_W, FolderName(static_cast<FolderKind>(kind)))});
    }
    scope.Commit();
    store->m_db.Execute(kLogging);
    return store;
}

std::unique_ptr<StoreFile> StoreFile::Open(const std::filesystem::path& file) {
    std::unique_ptr<StoreFile> store(new StoreFile(file, false));
    bool haveUid = false;
    bool haveName = false;
    {
        Statement meta(store->m_db, "SELECT key, value FROM meta");
        while (meta.Step()) {
            auto key = meta.Text(0);
            auto value = meta.Bytes(1);
            if (key == "uid" && value.size() == store->m_uid.size()) {
                std::copy(value.begin(), value.end(), store->m_uid.begin());
                haveUid = true;
            } else if (key == "name") {
                store->m_name = BytesText(value);
                haveName = true;
            }
        }
    }
    if (!haveUid || !haveName) throw MapiError(MAPI_E_CORRUPT_DATA);
    store->m_db.Execute(kLogging);
    store->UpgradeLayout();
    return store;
}

bool StoreFile::KeepsValuesInRowTable() {
    Statement props(m_db, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'props'");
    if (!props.Step()) throw MapiError(MAPI_E_CORRUPT_DATA);
    return props.Text(0).find("WITHOUT ROWID") == std::string::npos;
}

void StoreFile::UpgradeLayout() {
    if (!KeepsValuesInRowTable()) return;
    Scope scope(*this, Scope::Kind::Write);
    // Another process may have moved the values meanwhile.
    if (KeepsValuesInRowTable()) m_db.Execute(kPropsWithoutRowid);
    scope.Commit();
}

std::optional<ObjectRow> StoreFile::Find(std::int64_t id) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    Statement find(m_db, "SELECT id, type, parent, number FROM objects WHERE id = ?1");
    find.Bind(1, id);
    if (!find.Step()) return std::nullopt;
    return RowOf(find);
}

std::vector<ObjectRow> StoreFile::Children(std::int64_t parent, ULONG type) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    Statement list(m_db,
                   "SELECT id, type, parent, number FROM objects WHERE parent = ?1 AND type = ?2"
                   " AND id <> parent ORDER BY id");
    list.Bind(1, parent).Bind(2, type);
    std::vector<ObjectRow> rows;
    while (list.Step()) rows.push_back(RowOf(list));
    return rows;
}

ObjectRow StoreFile::Add(ULONG type, std::int64_t parent, const std::vector<StoredProp>& props) {
    Scope scope(*this, Scope::Kind::Write);
    ULONG number = 0;
    if (type == kAttachObject || type == kRecipientObject) {
        // Attachments and recipients are counted apart, each from 1.
        bool attachment = type == kAttachObject;
        Statement bump(m_db, attachment
                                 ? "UPDATE objects SET attachments = attachments + 1 WHERE id = ?1"
                                 : "UPDATE objects SET recipients = recipients + 1 WHERE id = ?1");
        bump.Bind(1, parent).Run();
        Statement counter(m_db, attachment ? "SELECT attachments FROM objects WHERE id = ?1"
                                           : "SELECT recipients FROM objects WHERE id = ?1");
        counter.Bind(1, parent);
        if (!counter.Step()) throw MapiError(MAPI_E_OBJECT_DELETED);
        number = static_cast<ULONG>(counter.Int(0));
    }
    Statement add(m_db, "INSERT INTO objects(type, parent, number) VALUES(?1, ?2, ?3)");
    add.Bind(1, type).Bind(2, parent).Bind(3, number).Run();
    ObjectRow row{m_db.LastInsertId(), type, parent, number};
    WriteLocked(row.id, props);
    scope.Commit();
    return row;
}

std::vector<StoredProp> StoreFile::Props(std::int64_t id) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    Statement list(m_db, "SELECT tag, value FROM props WHERE object = ?1 ORDER BY id");
    list.Bind(1, id);
    std::vector<StoredProp> props;
    while (list.Step()) props.push_back(StoredProp{static_cast<ULONG>(list.Int(0)), list.Bytes(1)});
    return props;
}

std::optional<StoredProp> StoreFile::Prop(std::int64_t id, ULONG propId) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    Statement find(m_db, "SELECT tag, value FROM props WHERE object = ?1 AND id = ?2");
    find.Bind(1, id).Bind(2, propId);
    if (!find.Step()) return std::nullopt;
    return StoredProp{static_cast<ULONG>(find.Int(0)), find.Bytes(1)};
}

void StoreFile::WriteLocked(std::int64_t id, const std::vector<StoredProp>& props) {
    for (const auto& prop : props) {
        Statement write(m_db, "INSERT OR REPLACE INTO props(object, id, tag, value) VALUES(?1, ?2, ?3, ?4)");
        write.Bind(1, id).Bind(2, PROP_ID(prop.tag)).Bind(3, prop.tag).Bind(4, prop.value).Run();
    }
}

void StoreFile::Update(std::int64_t id, const std::vector<StoredProp>& set,
                       const std::vector<ULONG>& removeIds) {
    Scope scope(*this, Scope::Kind::Write);
    for (ULONG propId : removeIds) {
        Statement remove(m_db, "DELETE FROM props WHERE object = ?1 AND id = ?2");
        remove.Bind(1, id).Bind(2, propId).Run();
    }
    WriteLocked(id, set);
    scope.Commit();
}

void StoreFile::Replace(std::int64_t id, const std::vector<StoredProp>& props) {
    Scope scope(*this, Scope::Kind::Write);
    Statement clear(m_db, "DELETE FROM props WHERE object = ?1");
    clear.Bind(1, id).Run();
    WriteLocked(id, props);
    scope.Commit();
}

void StoreFile::Reparent(std::int64_t id, std::int64_t parent) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    Statement move(m_db, "UPDATE objects SET parent = ?2 WHERE id = ?1");
    move.Bind(1, id).Bind(2, parent).Run();
}

std::int64_t StoreFile::CopyTree(std::int64_t id, std::int64_t parent) {
    Scope scope(*this, Scope::Kind::Write);
    std::int64_t copy = CopyLocked(id, parent);
    scope.Commit();
    return copy;
}

std::int64_t StoreFile::CopyLocked(std::int64_t id, std::int64_t parent) {
    Statement source(m_db, "SELECT type, number, attachments, recipients FROM objects WHERE id = ?1");
    source.Bind(1, id);
    if (!source.Step()) throw MapiError(MAPI_E_NOT_FOUND);
    Statement add(m_db,
                  "INSERT INTO objects(type, parent, number, attachments, recipients)"
                  " VALUES(?1, ?2, ?3, ?4, ?5)");
    add.Bind(1, source.Int(0)).Bind(2, parent).Bind(3, source.Int(1)).Bind(4, source.Int(2))
        .Bind(5, source.Int(3)).Run();
    std::int64_t copy = m_db.LastInsertId();
    Statement props(m_db, "INSERT INTO props(object, id, tag, value) SELECT ?2, id, tag, value FROM props WHERE object = ?1");
    props.Bind(1, id).Bind(2, copy).Run();
    std::vector<std::int64_t> children;
    Statement list(m_db, "SELECT id FROM objects WHERE parent = ?1 AND id <> parent ORDER BY id");
    list.Bind(1, id);
    while (list.Step()) children.push_back(list.Int(0));
    for (auto child : children) CopyLocked(child, copy);
    return copy;
}

void StoreFile::DeleteTree(std::int64_t id) {
    Scope scope(*this, Scope::Kind::Write);
    DeleteLocked(id);
    scope.Commit();
}

void StoreFile::DeleteLocked(std::int64_t id) {
    std::vector<std::int64_t> children;
    Statement list(m_db, "SELECT id FROM objects WHERE parent = ?1 AND id <> parent");
    list.Bind(1, id);
    while (list.Step()) children.push_back(list.Int(0));
    for (auto child : children) DeleteLocked(child);
    Statement props(m_db, "DELETE FROM props WHERE object = ?1");
    props.Bind(1, id).Run();
    Statement object(m_db, "DELETE FROM objects WHERE id = ?1");
    object.Bind(1, id).Run();
}

}  // namespace emu::cemapi
