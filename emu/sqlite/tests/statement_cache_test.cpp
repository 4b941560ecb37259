#include "emu/sqlite/statement_cache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace emu::sqlite {
namespace {

class StatementCacheTest : public ::testing::Test {
protected:
    StatementCacheTest() {
        sqlite3_open(":memory:", &m_db);
        sqlite3_exec(m_db, "CREATE TABLE t(v INTEGER); INSERT INTO t VALUES (1), (2), (3);",
                     nullptr, nullptr, nullptr);
    }
    ~StatementCacheTest() override {
        m_cache.Clear();
        EXPECT_EQ(sqlite3_close(m_db), SQLITE_OK) << "a statement was left unfinalized";
    }

    sqlite3_stmt* Acquire(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(m_cache.Acquire(m_db, sql, &statement), SQLITE_OK);
        return statement;
    }

    sqlite3* m_db = nullptr;
    StatementCache m_cache;
};

TEST_F(StatementCacheTest, AHandedBackStatementIsReusedResetAndWithoutBindings) {
    const std::string sql = "SELECT count(*) FROM t WHERE v > ?1";
    sqlite3_stmt* first = Acquire(sql);
    sqlite3_bind_int(first, 1, 1);
    ASSERT_EQ(sqlite3_step(first), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(first, 0), 2);
    m_cache.Release(sql, first);

    sqlite3_stmt* again = Acquire(sql);
    EXPECT_EQ(again, first);
    // The old binding is gone (NULL compares as nothing) and the statement runs from the start.
    ASSERT_EQ(sqlite3_step(again), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(again, 0), 0);
    m_cache.Release(sql, again);
}

TEST_F(StatementCacheTest, StatementsInUseAtOnceAreDistinctAndEachIsKept) {
    const std::string sql = "SELECT v FROM t ORDER BY v";
    sqlite3_stmt* outer = Acquire(sql);
    ASSERT_EQ(sqlite3_step(outer), SQLITE_ROW);
    // A nested use of the same text while the first is mid-way must not disturb it.
    sqlite3_stmt* inner = Acquire(sql);
    EXPECT_NE(inner, outer);
    ASSERT_EQ(sqlite3_step(inner), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(inner, 0), 1);
    m_cache.Release(sql, inner);
    ASSERT_EQ(sqlite3_step(outer), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(outer, 0), 2);
    m_cache.Release(sql, outer);

    sqlite3_stmt* a = Acquire(sql);
    sqlite3_stmt* b = Acquire(sql);
    EXPECT_TRUE((a == outer && b == inner) || (a == inner && b == outer));
    m_cache.Release(sql, a);
    m_cache.Release(sql, b);
}

TEST_F(StatementCacheTest, TextThatDoesNotPrepareReportsSqlitesCodeAndNoStatement) {
    sqlite3_stmt* statement = reinterpret_cast<sqlite3_stmt*>(&m_db);
    EXPECT_EQ(m_cache.Acquire(m_db, "SELECT * FROM missing", &statement), SQLITE_ERROR);
    EXPECT_EQ(statement, nullptr);
    m_cache.Release("SELECT * FROM missing", statement);  // nothing to hand back
}

}  // namespace
}  // namespace emu::sqlite
