#include "sqlite_file.h"

#include <sqlite3.h>

#include "mapi_error.h"

namespace emu::cemapi {

namespace {

[[noreturn]] void Fail(int code) {
    switch (code & 0xFF) {
        case SQLITE_NOMEM:
            throw MapiError(MAPI_E_NOT_ENOUGH_MEMORY);
        case SQLITE_FULL:
        case SQLITE_CANTOPEN:
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_IOERR:
            throw MapiError(MAPI_E_DISK_ERROR);
        default:  // SQLITE_NOTADB, SQLITE_CORRUPT, a missing table, …: not a store
            throw MapiError(MAPI_E_CORRUPT_DATA);
    }
}

void Check(int code) {
    if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) Fail(code);
}

}  // namespace

SqliteFile::SqliteFile(const std::filesystem::path& file, bool create) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int code = sqlite3_open_v2(file.c_str(), &m_db, flags, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        Fail(code);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);
}

SqliteFile::~SqliteFile() {
    m_statements.Clear();
    sqlite3_close(m_db);
}

void SqliteFile::Execute(const char* sql) { Check(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr)); }

std::int64_t SqliteFile::LastInsertId() const { return sqlite3_last_insert_rowid(m_db); }

Statement::Statement(SqliteFile& file, std::string sql) : m_file(file), m_sql(std::move(sql)) {
    int code = file.Statements().Acquire(file.Raw(), m_sql, &m_statement);
    if (code != SQLITE_OK) Fail(code);
}

Statement::~Statement() { m_file.Statements().Release(m_sql, m_statement); }

Statement& Statement::Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(m_statement, index, value));
    return *this;
}

Statement& Statement::Bind(int index, const std::vector<std::uint8_t>& bytes) {
    // A zero-length blob, not NULL, for an empty value.
    Check(sqlite3_bind_blob(m_statement, index, bytes.empty() ? static_cast<const void*>("") : bytes.data(),
                            static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::Bind(int index, const std::string& text) {
    Check(sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
    return *this;
}

bool Statement::Step() {
    int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    Fail(code);
}

void Statement::Run() {
    while (Step()) {
    }
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(m_statement, column); }

std::vector<std::uint8_t> Statement::Bytes(int column) const {
    auto data = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_statement, column));
    int size = sqlite3_column_bytes(m_statement, column);
    return data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>{};
}

std::string Statement::Text(int column) const {
    auto data = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return data ? std::string(data, sqlite3_column_bytes(m_statement, column)) : std::string{};
}

}  // namespace emu::cemapi
