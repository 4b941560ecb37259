#include "byte_reader.h"

namespace pal {

void ByteReader::Fail(const std::string& problem) const {
    throw ResourceFormatError(std::string(m_what) + ": " + problem + " at offset " +
                              std::to_string(m_offset));
}

void ByteReader::Seek(size_t offset) {
    if (offset > m_data.size()) Fail("position beyond the end");
    m_offset = offset;
}

void ByteReader::Align(size_t n) {
    size_t aligned = (m_offset + n - 1) / n * n;
    m_offset = aligned <= m_data.size() ? aligned : m_data.size();
}

BYTE ByteReader::Byte() {
    if (Remaining() < 1) Fail("data cut short");
    return m_data[m_offset++];
}

WORD ByteReader::Word() {
    if (Remaining() < 2) Fail("data cut short");
    WORD value = static_cast<WORD>(m_data[m_offset] | (m_data[m_offset + 1] << 8));
    m_offset += 2;
    return value;
}

DWORD ByteReader::Dword() {
    DWORD low = Word();
    return low | (static_cast<DWORD>(Word()) << 16);
}

std::span<const BYTE> ByteReader::Bytes(size_t count) {
    if (Remaining() < count) Fail("data cut short");
    auto bytes = m_data.subspan(m_offset, count);
    m_offset += count;
    return bytes;
}

std::u16string ByteReader::Text() {
    std::u16string text;
    for (WORD unit = Word(); unit != 0; unit = Word()) text.push_back(static_cast<char16_t>(unit));
    return text;
}

ResourceId ByteReader::NameOrOrdinal() {
    size_t start = m_offset;
    if (Word() == 0xFFFF) return ResourceId(Word());
    m_offset = start;
    return ResourceId(Text());
}

std::optional<ResourceId> ByteReader::OptionalNameOrOrdinal() {
    size_t start = m_offset;
    if (Word() == 0) return std::nullopt;
    m_offset = start;
    return NameOrOrdinal();
}

}  // namespace pal
