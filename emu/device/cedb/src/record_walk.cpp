#include "record_walk.h"

#include <algorithm>
#include <numeric>

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
    if (!m_onRow && !Advance()) return std::nullopt;
    RecordData record;
    record.oid = static_cast<CEOID>(m_query->Int(0));
    // Records of the unkeyed run have no key to read.
    if (m_runs[m_run].first == Run::Keyed) record.key = m_query->Key(1);
    // The record's rows follow one another: one per property (or one without any).
    m_written.clear();
    do {
        if (!m_query->IsNull(2)) {
            record.properties.push_back({static_cast<CEPROPID>(m_query->Int(2)),
                                         m_query->Bytes(3), m_query->Key(4)});
            m_written.push_back(m_query->Int(5));
        }
        m_onRow = Advance();
    } while (m_onRow && static_cast<CEOID>(m_query->Int(0)) == record.oid);
    // They come by property identifier; a record keeps them in the order they were first written.
    if (!std::is_sorted(m_written.begin(), m_written.end())) {
        std::vector<std::size_t> order(m_written.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return m_written[a] < m_written[b]; });
        std::vector<StoredValue> ordered;
        ordered.reserve(order.size());
        for (std::size_t i : order) ordered.push_back(std::move(record.properties[i]));
        record.properties = std::move(ordered);
    }
    m_where = Position{Position::Kind::After, record.key, record.oid};
    return record;
}

}  // namespace emu::cedb
