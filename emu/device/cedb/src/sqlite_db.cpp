#include "sqlite_db.h"

#include <sqlite3.h>

#include "cedb_error.h"

namespace emu::cedb {

namespace {

[[noreturn]] void Fail(int code) {
    switch (code & 0xFF) {
        case SQLITE_FULL:
            throw CedbError(ERROR_DISK_FULL);
        case SQLITE_NOMEM:
            throw CedbError(ERROR_NOT_ENOUGH_MEMORY);
        case SQLITE_CANTOPEN:
            throw CedbError(ERROR_CANTOPEN);
        case SQLITE_READONLY:
        case SQLITE_PERM:
            throw CedbError(ERROR_ACCESS_DENIED);
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw CedbError(ERROR_SHARING_VIOLATION);
        case SQLITE_IOERR:
            throw CedbError(ERROR_CANTWRITE);
        default:  // SQLITE_NOTADB, SQLITE_CORRUPT, a missing table, …: not a volume
            throw CedbError(ERROR_INVALID_DATA);
    }
}

void Check(int code) {
    if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) Fail(code);
}

}  // namespace

Connection::Connection(const std::filesystem::path& file, bool create) {
    // The owner serialises every use of the connection, so SQLite's own locking is left out.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int code = sqlite3_open_v2(file.c_str(), &m_db, flags, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        Fail(code);
    }
    sqlite3_extended_result_codes(m_db, 1);
}

Connection::~Connection() {
    m_statements.Clear();
    sqlite3_close(m_db);
}

void Connection::Execute(const char* sql) {
    Check(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

sqlite3_stmt* Connection::Acquire(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    Check(m_statements.Acquire(m_db, sql, &statement));
    return statement;
}

void Connection::Release(const std::string& sql, sqlite3_stmt* statement) {
    m_statements.Release(sql, statement);
}

Statement::Statement(Connection& connection, std::string sql)
    : m_connection(connection), m_sql(std::move(sql)), m_statement(connection.Acquire(m_sql)) {}

Statement::~Statement() { m_connection.Release(m_sql, m_statement); }

Statement& Statement::Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(m_statement, index, value));
    return *this;
}

Statement& Statement::Bind(int index, const std::vector<std::uint8_t>& bytes) {
    // A zero-length blob, not NULL, for no bytes.
    static const std::uint8_t kEmpty = 0;
    Check(sqlite3_bind_blob(m_statement, index, bytes.empty() ? &kEmpty : bytes.data(),
                            static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::Bind(int index, const std::string& text) {
    Check(sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::Bind(int index, const SortKey& key) {
    if (auto* i = std::get_if<std::int64_t>(&key)) return Bind(index, *i);
    if (auto* d = std::get_if<double>(&key)) {
        Check(sqlite3_bind_double(m_statement, index, *d));
        return *this;
    }
    if (auto* b = std::get_if<std::vector<std::uint8_t>>(&key)) return Bind(index, *b);
    Check(sqlite3_bind_null(m_statement, index));
    return *this;
}

bool Statement::Step() {
    int code = sqlite3_step(m_statement);
    Check(code);
    return code == SQLITE_ROW;
}

void Statement::Run() {
    while (Step()) {
    }
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(m_statement, column); }

std::vector<std::uint8_t> Statement::Bytes(int column) const {
    auto view = View(column);
    return std::vector<std::uint8_t>(view.begin(), view.end());
}

std::span<const std::uint8_t> Statement::View(int column) const {
    auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_statement, column));
    int size = sqlite3_column_bytes(m_statement, column);
    if (!data) return {};
    return {data, static_cast<std::size_t>(size)};
}

SortKey Statement::Key(int column) const {
    switch (sqlite3_column_type(m_statement, column)) {
        case SQLITE_INTEGER:
            return Int(column);
        case SQLITE_FLOAT:
            return sqlite3_column_double(m_statement, column);
        case SQLITE_BLOB:
            return Bytes(column);
        default:
            return std::monostate();
    }
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    m_connection.Execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (!m_done) sqlite3_exec(m_connection.Raw(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    m_connection.Execute("COMMIT");
    m_done = true;
}

}  // namespace emu::cedb
