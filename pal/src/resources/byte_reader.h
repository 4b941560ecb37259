// Bounds-checked little-endian reading of resource layouts; any read past the end throws
// ResourceFormatError naming the layout and the offset.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "pal/runtime/resource_data.h"
#include "pal/types.h"

namespace pal {

class ByteReader {
public:
    ByteReader(std::span<const BYTE> data, const char* what) : m_data(data), m_what(what) {}

    size_t Offset() const { return m_offset; }
    size_t Remaining() const { return m_data.size() - m_offset; }
    void Seek(size_t offset);
    // Advances to the next multiple of `n` from the start of the data.
    void Align(size_t n);

    BYTE Byte();
    WORD Word();
    SHORT Short() { return static_cast<SHORT>(Word()); }
    DWORD Dword();
    std::span<const BYTE> Bytes(size_t count);
    // A zero-terminated UTF-16 text.
    std::u16string Text();
    // 0xFFFF followed by an ordinal, or a zero-terminated text.
    ResourceId NameOrOrdinal();
    // As NameOrOrdinal, with a leading 0x0000 meaning none.
    std::optional<ResourceId> OptionalNameOrOrdinal();

    [[noreturn]] void Fail(const std::string& problem) const;

private:
    std::span<const BYTE> m_data;
    const char* m_what;
    size_t m_offset = 0;
};

}  // namespace pal
