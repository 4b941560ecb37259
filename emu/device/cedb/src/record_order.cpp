#include "record_order.h"

namespace emu::cedb {

bool HasKey(const SortKey& key) { return !std::holds_alternative<std::monostate>(key); }

std::vector<std::pair<Run, Bound>> RunsFrom(const Cursor& cursor, const Position& from,
                                            bool inclusive, bool forward) {
    using Kind = Position::Kind;
    std::vector<std::pair<Run, Bound>> runs;
    if (from.kind == (forward ? Kind::End : Kind::Begin)) return runs;
    // A walk from its own end of the order is unbounded; a keyed position lies in the keyed run,
    // an unkeyed one in the unkeyed run.
    bool open = from.kind == Kind::Begin || from.kind == Kind::End;
    Bound bound = open ? Bound::None : inclusive ? Bound::Inclusive : Bound::Strict;
    bool keyed = !open && HasKey(from.key);
    if (forward) {
        if (open || keyed) runs.emplace_back(Run::Keyed, bound);
        runs.emplace_back(Run::Unkeyed, keyed ? Bound::None : bound);
    } else {
        if (!keyed) runs.emplace_back(Run::Unkeyed, bound);
        runs.emplace_back(Run::Keyed, keyed ? bound : Bound::None);
    }
    if (!cursor.sortProperty) std::erase_if(runs, [](auto& run) { return run.first == Run::Keyed; });
    return runs;
}

std::string RunSql(Run run, Bound bound, bool forward, Select select, bool sorted) {
    std::string op = forward ? ">" : "<";
    if (bound == Bound::Inclusive) op += "=";
    std::string dir = forward ? "" : " DESC";
    const bool count = select == Select::Count;
    const bool properties = select == Select::RecordsWithProperties;
    std::string sql;
    if (run == Run::Keyed) {
        sql = count ? "SELECT COUNT(*)" : "SELECT k.record, k.sort_key";
        if (properties) sql += ", r.props";
        sql += " FROM sort_keys k";
        // CROSS JOIN keeps the walk on the sort index, each record looked up by its key.
        if (properties) sql += " CROSS JOIN records r ON r.db = k.db AND r.oid = k.record";
        sql += " WHERE k.db = ?1 AND k.propid = ?2";
        if (bound != Bound::None) sql += " AND (k.sort_key, k.record) " + op + " (?3, ?4)";
        if (!count) sql += " ORDER BY k.sort_key" + dir + ", k.record" + dir;
    } else {
        sql = count ? "SELECT COUNT(*)" : "SELECT r.oid, NULL";
        if (properties) sql += ", r.props";
        sql += " FROM records r WHERE r.db = ?1";
        if (sorted)
            sql +=
                " AND NOT EXISTS (SELECT 1 FROM sort_keys k"
                " WHERE k.db = ?1 AND k.propid = ?2 AND k.record = r.oid)";
        else
            sql += " AND ?2 = 0";
        if (bound != Bound::None) sql += " AND r.oid " + op + " ?4";
        if (!count) sql += " ORDER BY r.oid" + dir;
    }
    if (select == Select::Records) sql += " LIMIT ?6 OFFSET ?5";
    return sql;
}

void BindRun(Statement& statement, const Cursor& cursor, const Position& from, Run run,
             Bound bound) {
    statement.Bind(1, std::int64_t{cursor.database}).Bind(2, std::int64_t{cursor.sortProperty});
    if (bound == Bound::None) return;
    if (run == Run::Keyed) statement.Bind(3, from.key);
    statement.Bind(4, std::int64_t{from.record});
}

}  // namespace emu::cedb
