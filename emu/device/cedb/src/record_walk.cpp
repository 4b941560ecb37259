#include "record_walk.h"

namespace emu::cedb {

RecordWalk::RecordWalk(Connection& connection, const Cursor& cursor, const Position& from,
                       bool inclusive)
    : m_connection(connection),
      m_cursor(cursor),
      m_from(from),
      m_runs(RunsFrom(cursor, from, inclusive, true)),
      m_where(from) {}

bool RecordWalk::Advance() {
    while (m_run < m_runs.size()) {
        if (!m_query) {
            auto [run, bound] = m_runs[m_run];
            m_query = std::make_unique<Statement>(
                m_connection,
                RunSql(run, bound, true, Select::RecordsWithProperties, m_cursor.sortProperty != 0));
            BindRun(*m_query, m_cursor, m_from, run, bound);
        }
        if (m_query->Step()) return true;
        m_query.reset();
        ++m_run;
    }
    return false;
}

std::optional<RecordData> RecordWalk::Next() {
    if (!Advance()) return std::nullopt;
    RecordData record;
    record.oid = static_cast<CEOID>(m_query->Int(0));
    // Records of the unkeyed run have no key to read.
    if (m_runs[m_run].first == Run::Keyed) record.key = m_query->Key(1);
    record.properties = PropertyList(m_query->View(2));
    m_where = Position{Position::Kind::After, record.key, record.oid};
    return record;
}

}  // namespace emu::cedb
