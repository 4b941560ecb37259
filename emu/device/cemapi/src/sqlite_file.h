// A small RAII layer over SQLite for the store files: a connection and statements with typed
// binding (prepared once per connection and reused). SQLite failures become MapiError:
// MAPI_E_NOT_ENOUGH_MEMORY, MAPI_E_DISK_ERROR for the file system, MAPI_E_CORRUPT_DATA for a file
// that is no store.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "emu/sqlite/statement_cache.h"

struct sqlite3;
struct sqlite3_stmt;

namespace emu::cemapi {

class SqliteFile {
public:
    SqliteFile(const std::filesystem::path& file, bool create);
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    void Execute(const char* sql);
    std::int64_t LastInsertId() const;
    sqlite3* Raw() const { return m_db; }
    // The connection's prepared statements; callers serialize their use of the file.
    sqlite::StatementCache& Statements() { return m_statements; }

private:
    sqlite3* m_db = nullptr;
    sqlite::StatementCache m_statements;
};

// A statement of the file's cache, in use until destroyed.
class Statement {
public:
    Statement(SqliteFile& file, std::string sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are numbered from 1.
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, const std::vector<std::uint8_t>& bytes);
    Statement& Bind(int index, const std::string& text);
    bool Step();
    void Run();

    std::int64_t Int(int column) const;
    std::vector<std::uint8_t> Bytes(int column) const;
    std::string Text(int column) const;

private:
    SqliteFile& m_file;
    std::string m_sql;
    sqlite3_stmt* m_statement = nullptr;
};

}  // namespace emu::cemapi
