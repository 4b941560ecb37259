#include "mail_store.h"

#include <sqlite3.h>

#include <stdexcept>

#include "pal/runtime/machine.h"
#include "pal/runtime/machine_stores.h"

namespace emu::mailclient {

namespace {

// Identifiers come from AUTOINCREMENT, so a deleted message's identifier is never issued again.
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS messages (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    folder INTEGER NOT NULL,
    subject TEXT NOT NULL,
    body TEXT NOT NULL,
    received TEXT NOT NULL,
    unread INTEGER NOT NULL,
    from_name TEXT NOT NULL,
    from_address TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS recipients (
    message INTEGER NOT NULL REFERENCES messages(id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    class INTEGER NOT NULL,
    name TEXT NOT NULL,
    address TEXT NOT NULL,
    PRIMARY KEY (message, position));
CREATE TABLE IF NOT EXISTS attachments (
    message INTEGER NOT NULL REFERENCES messages(id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    file_name TEXT NOT NULL,
    path_name TEXT NOT NULL,
    content BLOB NOT NULL,
    PRIMARY KEY (message, position));
CREATE INDEX IF NOT EXISTS messages_by_receipt ON messages (folder, received, id);
)";

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw std::runtime_error("mail client store: " + what + ": " +
                             (db ? sqlite3_errmsg(db) : "out of memory"));
}

}  // namespace

void Execute(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db, "cannot execute");
}

constexpr const char* kStoreFile = "mailclient.db";

MailStore::MailStore(pal::Machine& machine)
    : m_machine(machine), m_file(machine.Dir() / kStoreFile) {}

MailStore::~MailStore() {
    m_statements.Clear();
    if (m_db) sqlite3_close(m_db);
}

sqlite3* MailStore::Db() {
    if (m_db) return m_db;
    // A store made once and since lost is reported, never made again as an empty Inbox.
    pal::CheckStore(m_machine, kStoreFile);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(m_file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error("mail client store: cannot open " + m_file.string() + ": " +
                                 message);
    }
    try {
        // The one connection keeps the file locked while the machine is open (its world belongs
        // to one host process): SQLite then keeps its page cache between transactions instead of
        // taking a file lock and re-checking the file for every read.
        Execute(db, "PRAGMA locking_mode = EXCLUSIVE");
        Execute(db, "PRAGMA foreign_keys = ON");
        Execute(db, kSchema);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    m_db = db;
    pal::RecordStore(m_machine, kStoreFile);
    return m_db;
}

Statement::Statement(MailStore& store, std::string sql)
    : m_store(store), m_db(store.Db()), m_sql(std::move(sql)) {
    if (store.Statements().Acquire(m_db, m_sql, &m_statement) != SQLITE_OK)
        Fail(m_db, "cannot prepare");
}

Statement::~Statement() { m_store.Statements().Release(m_sql, m_statement); }

Statement& Statement::Bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(m_statement, index, value) != SQLITE_OK) Fail(m_db, "cannot bind");
    return *this;
}

Statement& Statement::Bind(int index, const std::string& text) {
    if (sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        Fail(m_db, "cannot bind");
    return *this;
}

Statement& Statement::Bind(int index, const std::vector<std::uint8_t>& bytes) {
    // A zero-length blob still binds as a blob, not as NULL.
    if (sqlite3_bind_blob64(m_statement, index,
                            bytes.empty() ? static_cast<const void*>("") : bytes.data(),
                            bytes.size(), SQLITE_TRANSIENT) != SQLITE_OK)
        Fail(m_db, "cannot bind");
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail(m_db, "cannot step");
}

void Statement::Run() {
    while (Step()) {
    }
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(m_statement, column); }

std::string Statement::Text(int column) const {
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return text ? std::string(text, sqlite3_column_bytes(m_statement, column)) : std::string();
}

std::vector<std::uint8_t> Statement::Bytes(int column) const {
    auto data = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_statement, column));
    return data ? std::vector<std::uint8_t>(data, data + sqlite3_column_bytes(m_statement, column))
                : std::vector<std::uint8_t>();
}

}  // namespace emu::mailclient
