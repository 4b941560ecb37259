#include "activesync/bytes.h"

namespace activesync {

ByteWriter& ByteWriter::U32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
}

ByteWriter& ByteWriter::U64(std::uint64_t value) {
    U32(static_cast<std::uint32_t>(value));
    return U32(static_cast<std::uint32_t>(value >> 32));
}

ByteWriter& ByteWriter::Blob(const void* data, std::size_t size) {
    U32(static_cast<std::uint32_t>(size));
    auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size) m_bytes.insert(m_bytes.end(), bytes, bytes + size);
    return *this;
}

ByteWriter& ByteWriter::Text(std::u16string_view text) {
    U32(static_cast<std::uint32_t>(text.size()));
    for (char16_t unit : text) {
        m_bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        m_bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return *this;
}

const std::uint8_t* ByteReader::Take(std::size_t size) {
    if (size > m_bytes.size() - m_offset) throw MalformedMessage();
    const std::uint8_t* at = m_bytes.data() + m_offset;
    m_offset += size;
    return at;
}

std::uint32_t ByteReader::U32() {
    const std::uint8_t* at = Take(4);
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint64_t ByteReader::U64() {
    std::uint64_t low = U32();
    return low | static_cast<std::uint64_t>(U32()) << 32;
}

Bytes ByteReader::Blob() {
    std::uint32_t size = U32();
    const std::uint8_t* at = Take(size);
    return Bytes(at, at + size);
}

std::u16string ByteReader::Text() {
    std::uint32_t count = U32();
    if (count > (m_bytes.size() - m_offset) / 2) throw MalformedMessage();
    const std::uint8_t* at = Take(count * 2);
    std::u16string text(count, u'\0');
    for (std::uint32_t i = 0; i < count; ++i)
        text[i] = static_cast<char16_t>(at[2 * i] | at[2 * i + 1] << 8);
    return text;
}

}  // namespace activesync
