// A small RAII layer over SQLite: a connection, prepared statements with typed binding (prepared
// once per connection and reused), and a transaction that rolls back unless committed. Every SQLite
// failure becomes a CedbError with the nearest Win32 code (ERROR_DISK_FULL, ERROR_INVALID_DATA for
// a file that is no volume, …).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "emu/sqlite/statement_cache.h"
#include "sort_key.h"

struct sqlite3;
struct sqlite3_stmt;

namespace emu::cedb {

class Connection {
public:
    // Opens (or, with `create`, creates) the database file.
    Connection(const std::filesystem::path& file, bool create);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void Execute(const char* sql);
    sqlite3* Raw() const { return m_db; }

    // A prepared statement for `sql`: an idle one prepared earlier, or a new one. Statements in
    // use at once each get their own.
    sqlite3_stmt* Acquire(const std::string& sql);
    // Hands a statement back, reset and without bindings, for the next Acquire of `sql`.
    void Release(const std::string& sql, sqlite3_stmt* statement);

private:
    sqlite3* m_db = nullptr;
    sqlite::StatementCache m_statements;
};

// A statement of the connection's cache, in use until destroyed.
class Statement {
public:
    Statement(Connection& connection, std::string sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are numbered from 1.
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, const std::vector<std::uint8_t>& bytes);
    Statement& Bind(int index, const std::string& text);
    Statement& Bind(int index, const SortKey& key);
    // Advances to the next row; false when there is none.
    bool Step();
    // Runs a statement that returns no rows.
    void Run();

    std::int64_t Int(int column) const;
    std::vector<std::uint8_t> Bytes(int column) const;
    // The bytes of a column as SQLite holds them, valid until the statement steps or resets.
    std::span<const std::uint8_t> View(int column) const;
    SortKey Key(int column) const;
    bool IsNull(int column) const;

private:
    Connection& m_connection;
    std::string m_sql;
    sqlite3_stmt* m_statement = nullptr;
};

// BEGIN IMMEDIATE on construction; rolled back on destruction unless Commit ran.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    void Commit();

private:
    Connection& m_connection;
    bool m_done = false;
};

}  // namespace emu::cedb
