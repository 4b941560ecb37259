// The machine component holding the mail client's state: the SQLite store of messages (opened
// on first use, one connection per machine) and the open Simple MAPI sessions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "emu/sqlite/statement_cache.h"
#include "pal/runtime/components.h"

struct sqlite3;
struct sqlite3_stmt;

namespace pal {
class Machine;
}

namespace emu::mailclient {

class MailStore : public pal::Component {
public:
    explicit MailStore(pal::Machine& machine);
    ~MailStore() override;

    // The connection, opened (and the schema made) on first use. Callers hold Lock(). Throws
    // pal::WorldError when the store was made once and is now missing or empty.
    sqlite3* Db();
    std::recursive_mutex& Lock() { return m_lock; }
    // The connection's prepared statements. Callers hold Lock().
    sqlite::StatementCache& Statements() { return m_statements; }

    std::set<std::uintptr_t>& Sessions() { return m_sessions; }
    std::uintptr_t NextSession() { return ++m_lastSession; }
    bool LogonRefused() const { return m_logonRefused; }
    void SetLogonRefused(bool refused) { m_logonRefused = refused; }

private:
    pal::Machine& m_machine;
    std::filesystem::path m_file;
    std::recursive_mutex m_lock;
    sqlite3* m_db = nullptr;
    sqlite::StatementCache m_statements;
    std::set<std::uintptr_t> m_sessions;
    std::uintptr_t m_lastSession = 0x4D430000;
    bool m_logonRefused = false;
};

// One statement of the store's cache, in use until destroyed (callers hold the store's Lock());
// every SQLite failure throws std::runtime_error with SQLite's text.
class Statement {
public:
    Statement(MailStore& store, std::string sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, const std::string& text);
    Statement& Bind(int index, const std::vector<std::uint8_t>& bytes);
    bool Step();
    void Run();
    std::int64_t Int(int column) const;
    std::string Text(int column) const;
    std::vector<std::uint8_t> Bytes(int column) const;

private:
    MailStore& m_store;
    sqlite3* m_db;
    std::string m_sql;
    sqlite3_stmt* m_statement = nullptr;
};

// Runs SQL without results (schema, BEGIN/COMMIT).
void Execute(sqlite3* db, const char* sql);

}  // namespace emu::mailclient
