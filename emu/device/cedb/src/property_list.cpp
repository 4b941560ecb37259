#include "property_list.h"

#include "cedb_error.h"

namespace emu::cedb {

namespace {

constexpr std::size_t kHeader = 8;

std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

PropertyList::PropertyList(std::span<const std::uint8_t> stored)
    : m_stored(stored.begin(), stored.end()) {
    std::size_t at = 0;
    while (at < m_stored.size()) {
        if (m_stored.size() - at < kHeader) throw CedbError(ERROR_INVALID_DATA);
        std::uint32_t size = GetU32(m_stored, at + 4);
        if (m_stored.size() - at - kHeader < size) throw CedbError(ERROR_INVALID_DATA);
        m_entries.push_back(
            {GetU32(m_stored, at), static_cast<std::uint32_t>(at + kHeader), size});
        at += kHeader + size;
    }
}

std::span<const std::uint8_t> PropertyList::Data(std::size_t index) const {
    const Entry& entry = m_entries[index];
    return std::span<const std::uint8_t>(m_stored).subspan(entry.offset, entry.size);
}

std::optional<std::size_t> PropertyList::Find(CEPROPID propid) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].propid == propid) return i;
    return std::nullopt;
}

void PropertyList::Append(CEPROPID propid, std::span<const std::uint8_t> data) {
    PutU32(m_stored, propid);
    PutU32(m_stored, static_cast<std::uint32_t>(data.size()));
    m_entries.push_back({propid, static_cast<std::uint32_t>(m_stored.size()),
                         static_cast<std::uint32_t>(data.size())});
    m_stored.insert(m_stored.end(), data.begin(), data.end());
}

void PropertyList::Set(CEPROPID propid, std::span<const std::uint8_t> data) {
    auto index = Find(propid);
    if (!index) {
        Append(propid, data);
        return;
    }
    // Rebuilt with the new value in the old one's place, so the order stays as first written.
    PropertyList rebuilt;
    for (std::size_t i = 0; i < Count(); ++i) rebuilt.Append(Id(i), i == *index ? data : Data(i));
    *this = std::move(rebuilt);
}

void PropertyList::Remove(CEPROPID propid) {
    if (!Find(propid)) return;
    PropertyList rebuilt;
    for (std::size_t i = 0; i < Count(); ++i)
        if (Id(i) != propid) rebuilt.Append(Id(i), Data(i));
    *this = std::move(rebuilt);
}

}  // namespace emu::cedb
