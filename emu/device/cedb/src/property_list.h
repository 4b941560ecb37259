// A record's properties in their stored form: one byte string holding, for each property in the
// order it was first written, its identifier (4 bytes, little-endian), the length of its value
// (4 bytes, little-endian) and the value's bytes (see property_codec.h). A record is one row
// of its volume, so reading it costs one lookup, whatever number of properties it holds.
#pragma once

#include <cedb.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace emu::cedb {

class PropertyList {
public:
    PropertyList() = default;
    // Reads a stored list; throws CedbError(ERROR_INVALID_DATA) when the bytes are not one.
    explicit PropertyList(std::span<const std::uint8_t> stored);

    std::size_t Count() const { return m_entries.size(); }
    CEPROPID Id(std::size_t index) const { return m_entries[index].propid; }
    std::span<const std::uint8_t> Data(std::size_t index) const;
    // The index of a property, or nothing when the record lacks it.
    std::optional<std::size_t> Find(CEPROPID propid) const;

    // Replaces a property's value where it stands, or adds it after the others.
    void Set(CEPROPID propid, std::span<const std::uint8_t> data);
    void Remove(CEPROPID propid);

    // The stored form; its length is the record's size (8 bytes and the value per property).
    const std::vector<std::uint8_t>& Stored() const { return m_stored; }

private:
    struct Entry {
        CEPROPID propid;
        std::uint32_t offset;  // of the value in m_stored
        std::uint32_t size;
    };
    void Append(CEPROPID propid, std::span<const std::uint8_t> data);

    std::vector<std::uint8_t> m_stored;
    std::vector<Entry> m_entries;
};

}  // namespace emu::cedb
