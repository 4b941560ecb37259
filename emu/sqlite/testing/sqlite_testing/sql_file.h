// For tests that lay out or inspect a stored database file by hand, each call with a connection
// of its own.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace emu::sqlite::testing {

// Runs `sql` (one or more statements) on the file, made when missing; "" when it ran, else
// SQLite's message.
inline std::string ExecuteSql(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        std::string message = sqlite3_errmsg(db);
        sqlite3_close(db);
        return message;
    }
    char* error = nullptr;
    int code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string message = code == SQLITE_OK ? "" : error ? error : "failed";
    sqlite3_free(error);
    sqlite3_close(db);
    return message;
}

// The first column of the first row that `sql` answers on the file, read only, as text; "" when
// it answers none.
inline std::string QueryText(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string text;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* query = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) == SQLITE_OK &&
            sqlite3_step(query) == SQLITE_ROW && sqlite3_column_text(query, 0))
            text = reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return text;
}

}  // namespace emu::sqlite::testing
