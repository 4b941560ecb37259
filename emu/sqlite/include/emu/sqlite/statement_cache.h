// The prepared statements of one SQLite connection, kept for reuse: preparing a statement costs
// far more than running a small one, and the stores run the same few statements for every object.
#pragma once

#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace emu::sqlite {

class StatementCache {
public:
    StatementCache() = default;
    // Finalizes the idle statements; Clear() must have run before the connection closes.
    ~StatementCache() { Clear(); }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // An idle statement prepared earlier for `sql` on `db`, or a new one; statements in use at
    // once each get their own. SQLite's result code when it cannot be prepared (`*statement`
    // is then null).
    int Acquire(sqlite3* db, const std::string& sql, sqlite3_stmt** statement);
    // Hands a statement back, reset and without bindings, for the next Acquire of `sql`.
    void Release(const std::string& sql, sqlite3_stmt* statement);
    // Finalizes every idle statement.
    void Clear();

private:
    std::unordered_multimap<std::string, sqlite3_stmt*> m_idle;
};

}  // namespace emu::sqlite
