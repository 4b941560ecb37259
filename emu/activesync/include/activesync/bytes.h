// Explicit little-endian encoding of the requests and replies that cross the device link, so that
// the link carries bytes only and a socket could carry them as well.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace activesync {

using Bytes = std::vector<std::uint8_t>;

// A request or reply that is shorter than its fields say.
class MalformedMessage : public std::runtime_error {
public:
    MalformedMessage() : std::runtime_error("malformed link message") {}
};

class ByteWriter {
public:
    ByteWriter& U32(std::uint32_t value);
    ByteWriter& U64(std::uint64_t value);
    // A 32-bit length followed by the bytes.
    ByteWriter& Blob(const void* data, std::size_t size);
    ByteWriter& Blob(const Bytes& data) { return Blob(data.data(), data.size()); }
    // A 32-bit count of UTF-16 units followed by the units.
    ByteWriter& Text(std::u16string_view text);
    Bytes Take() { return std::move(m_bytes); }

private:
    Bytes m_bytes;
};

// Reads fields in order; throws MalformedMessage past the end.
class ByteReader {
public:
    explicit ByteReader(const Bytes& bytes) : m_bytes(bytes) {}
    std::uint32_t U32();
    std::uint64_t U64();
    Bytes Blob();
    std::u16string Text();

private:
    const std::uint8_t* Take(std::size_t size);
    const Bytes& m_bytes;
    std::size_t m_offset = 0;
};

}  // namespace activesync
