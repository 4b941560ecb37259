#include "book.h"

#include <sqlite3.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"

namespace emu::wab {

namespace {

// Entry ids come from AUTOINCREMENT, so a deleted entry's id is never issued again.
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS entries (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    type INTEGER NOT NULL,
    props BLOB NOT NULL,
    folders BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS stamps (
    name TEXT PRIMARY KEY,
    value INTEGER NOT NULL);
)";

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw AddressBookError("address book: " + what + ": " +
                           (db ? sqlite3_errmsg(db) : "out of memory"));
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : m_db(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            Fail(db, "cannot prepare");
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value) {
        if (sqlite3_bind_int64(m_statement, index, value) != SQLITE_OK) Fail(m_db, "cannot bind");
        return *this;
    }
    Statement& Bind(int index, const std::vector<std::uint8_t>& bytes) {
        if (sqlite3_bind_blob64(m_statement, index,
                                bytes.empty() ? static_cast<const void*>("") : bytes.data(),
                                bytes.size(), SQLITE_TRANSIENT) != SQLITE_OK)
            Fail(m_db, "cannot bind");
        return *this;
    }
    bool Step() {
        int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        Fail(m_db, "cannot step");
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::vector<std::uint8_t> Bytes(int column) const {
        auto data = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_statement, column));
        return data ? std::vector<std::uint8_t>(data,
                                                data + sqlite3_column_bytes(m_statement, column))
                    : std::vector<std::uint8_t>();
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void Put64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Reads within the bytes only; every read past the end fails.
class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    bool Get32(std::uint32_t& value) {
        if (m_bytes.size() - m_at < 4) return false;
        value = 0;
        for (int i = 0; i < 4; ++i) value |= std::uint32_t{m_bytes[m_at + i]} << (8 * i);
        m_at += 4;
        return true;
    }
    bool Get64(std::uint64_t& value) {
        std::uint32_t low = 0, high = 0;
        if (!Get32(low) || !Get32(high)) return false;
        value = (std::uint64_t{high} << 32) | low;
        return true;
    }
    bool GetText(std::string& text) {
        std::uint32_t size = 0;
        if (!Get32(size) || m_bytes.size() - m_at < size) return false;
        text.assign(reinterpret_cast<const char*>(m_bytes.data() + m_at), size);
        m_at += size;
        return true;
    }
    bool AtEnd() const { return m_at == m_bytes.size(); }

private:
    const std::vector<std::uint8_t>& m_bytes;
    std::size_t m_at = 0;
};

std::vector<std::uint8_t> EncodeFolders(const std::vector<std::uint32_t>& folders) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t folder : folders) Put32(out, folder);
    return out;
}

std::vector<std::uint32_t> DecodeFolders(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint32_t> folders;
    Reader reader(bytes);
    std::uint32_t folder = 0;
    while (reader.Get32(folder)) folders.push_back(folder);
    return folders;
}

Entry EntryFromRow(const Statement& row) {
    Entry entry;
    entry.id = static_cast<std::uint32_t>(row.Int(0));
    entry.type = static_cast<int>(row.Int(1));
    std::optional<std::vector<Property>> props = DecodeProps(row.Bytes(2));
    if (!props) throw AddressBookError("address book: entry " + std::to_string(entry.id) +
                                       " is damaged");
    entry.props = std::move(*props);
    entry.folders = DecodeFolders(row.Bytes(3));
    return entry;
}

void SetStamp(Entry& entry, std::int64_t stamp) {
    for (Property& prop : entry.props)
        if (prop.tag == PR_LAST_MODIFICATION_TIME) {
            prop.number = stamp;
            return;
        }
    entry.props.push_back(Property::Number(PR_LAST_MODIFICATION_TIME, stamp));
}

}  // namespace

std::vector<std::uint8_t> EncodeProps(const std::vector<Property>& props) {
    std::vector<std::uint8_t> out;
    for (const Property& prop : props) {
        Put32(out, prop.tag);
        if (PROP_TYPE(prop.tag) & MV_FLAG || PROP_TYPE(prop.tag) == PT_STRING8 ||
            PROP_TYPE(prop.tag) == PT_BINARY) {
            Put32(out, static_cast<std::uint32_t>(prop.items.size()));
            for (const std::string& item : prop.items) {
                Put32(out, static_cast<std::uint32_t>(item.size()));
                out.insert(out.end(), item.begin(), item.end());
            }
        } else {
            Put64(out, static_cast<std::uint64_t>(prop.number));
        }
    }
    return out;
}

std::optional<std::vector<Property>> DecodeProps(const std::vector<std::uint8_t>& bytes) {
    std::vector<Property> props;
    Reader reader(bytes);
    while (!reader.AtEnd()) {
        Property prop;
        if (!reader.Get32(prop.tag)) return std::nullopt;
        if (PROP_TYPE(prop.tag) & MV_FLAG || PROP_TYPE(prop.tag) == PT_STRING8 ||
            PROP_TYPE(prop.tag) == PT_BINARY) {
            std::uint32_t count = 0;
            if (!reader.Get32(count)) return std::nullopt;
            for (std::uint32_t i = 0; i < count; ++i) {
                std::string item;
                if (!reader.GetText(item)) return std::nullopt;
                prop.items.push_back(std::move(item));
            }
        } else {
            std::uint64_t number = 0;
            if (!reader.Get64(number)) return std::nullopt;
            prop.number = static_cast<std::int64_t>(number);
        }
        props.push_back(std::move(prop));
    }
    return props;
}

Book::Book(pal::Machine& machine) : m_machine(machine) {}

Book::~Book() {
    if (m_db) sqlite3_close(m_db);
}

std::filesystem::path Book::File() {
    pal::ScopedContext context(m_machine);
    WCHAR name[MAX_PATH] = {};
    DWORD size = sizeof name - sizeof(WCHAR);
    DWORD type = 0;
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Microsoft\\WAB\\WAB4\\Wab File Name",
                                0, KEY_READ, &key);
    if (result == ERROR_SUCCESS) {
        result = RegQueryValueExW(key, u"", nullptr, &type, reinterpret_cast<LPBYTE>(name), &size);
        RegCloseKey(key);
    }
    if (result != ERROR_SUCCESS || type != REG_SZ || !name[0])
        throw AddressBookError("address book: the user names no book file (is the address book "
                               "installed?)");
    DWORD error = 0;
    std::optional<std::filesystem::path> host = pal::ResolvePath(m_machine, name, error);
    if (!host) throw AddressBookError("address book: the book file's name is not a usable path");
    return *host;
}

sqlite3* Book::Db() {
    std::filesystem::path file = File();
    if (m_db && file == m_file) return m_db;
    if (m_db) sqlite3_close(m_db);
    m_db = nullptr;
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw AddressBookError("address book: cannot open " + file.string() + ": " + message);
    }
    if (sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::string message = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw AddressBookError("address book: " + file.string() + " is no address book: " +
                               message);
    }
    m_db = db;
    m_file = file;
    return m_db;
}

std::int64_t Book::NextStamp() {
    sqlite3* db = Db();
    std::int64_t last = 0;
    {
        Statement read(db, "SELECT value FROM stamps WHERE name = 'modified'");
        if (read.Step()) last = read.Int(0);
    }
    std::int64_t stamp = std::max(static_cast<std::int64_t>(m_machine.NowUtc()), last + 1);
    Statement write(db, "INSERT OR REPLACE INTO stamps (name, value) VALUES ('modified', ?)");
    write.Bind(1, stamp).Step();
    return stamp;
}

std::optional<Entry> Book::Load(std::uint32_t id) {
    Statement row(Db(), "SELECT id, type, props, folders FROM entries WHERE id = ?");
    row.Bind(1, id);
    if (!row.Step()) return std::nullopt;
    return EntryFromRow(row);
}

std::vector<Entry> Book::All() {
    Statement row(Db(), "SELECT id, type, props, folders FROM entries ORDER BY id");
    std::vector<Entry> entries;
    while (row.Step()) entries.push_back(EntryFromRow(row));
    return entries;
}

std::uint32_t Book::Insert(Entry entry) {
    SetStamp(entry, NextStamp());
    Statement insert(Db(), "INSERT INTO entries (type, props, folders) VALUES (?, ?, ?)");
    insert.Bind(1, entry.type).Bind(2, EncodeProps(entry.props)).Bind(3,
                                                                       EncodeFolders(entry.folders));
    insert.Step();
    auto id = static_cast<std::uint32_t>(sqlite3_last_insert_rowid(Db()));
    Notify();
    return id;
}

bool Book::Store(Entry& entry) {
    if (!Load(entry.id)) return false;
    SetStamp(entry, NextStamp());
    Statement update(Db(), "UPDATE entries SET props = ?, folders = ? WHERE id = ?");
    update.Bind(1, EncodeProps(entry.props)).Bind(2, EncodeFolders(entry.folders)).Bind(3, entry.id);
    update.Step();
    Notify();
    return true;
}

bool Book::Remove(std::uint32_t id) {
    if (!Load(id)) return false;
    Statement remove(Db(), "DELETE FROM entries WHERE id = ?");
    remove.Bind(1, id).Step();
    // A folder that goes leaves its members unfiled.
    for (Entry& other : All()) {
        auto at = std::find(other.folders.begin(), other.folders.end(), id);
        if (at == other.folders.end()) continue;
        other.folders.erase(at);
        Statement update(Db(), "UPDATE entries SET folders = ? WHERE id = ?");
        update.Bind(1, EncodeFolders(other.folders)).Bind(2, other.id).Step();
    }
    Notify();
    return true;
}

ULONG Book::Advise(IMAPIAdviseSink* sink) {
    ULONG connection = ++m_lastConnection;
    m_sinks[connection] = sink;
    return connection;
}

bool Book::Unadvise(ULONG connection) { return m_sinks.erase(connection) != 0; }

void Book::Notify() {
    // A copy: a sink may unadvise while it is told.
    std::map<ULONG, IMAPIAdviseSink*> sinks = m_sinks;
    NOTIFICATION notification = {fnevObjectModified, 0, nullptr};
    for (auto& [connection, sink] : sinks) sink->OnNotify(1, &notification);
}

}  // namespace emu::wab
