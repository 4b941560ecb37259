#include "emu/sqlite/statement_cache.h"

#include <sqlite3.h>

#include <new>

namespace emu::sqlite {

int StatementCache::Acquire(sqlite3* db, const std::string& sql, sqlite3_stmt** statement) {
    if (auto it = m_idle.find(sql); it != m_idle.end()) {
        *statement = it->second;
        m_idle.erase(it);
        return SQLITE_OK;
    }
    *statement = nullptr;
    int code = sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, statement,
                                  nullptr);
    if (code != SQLITE_OK) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    return code;
}

void StatementCache::Release(const std::string& sql, sqlite3_stmt* statement) {
    if (!statement) return;
    // The reset's code repeats the last step's failure, which was reported then.
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    try {
        m_idle.emplace(sql, statement);
    } catch (const std::bad_alloc&) {
        sqlite3_finalize(statement);
    }
}

void StatementCache::Clear() {
    for (auto& [sql, statement] : m_idle) sqlite3_finalize(statement);
    m_idle.clear();
}

}  // namespace emu::sqlite
