// The book's entry identifiers: 4 bytes "VWAB", a 32-bit kind and a 32-bit number, little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace emu::wab {

enum IdKind : std::uint32_t {
    kIdRoot = 1,      // the root container (also what an empty identifier opens)
    kIdPab = 2,       // the personal address book
    kIdEntry = 3,     // an entry: contact, group or folder
    kIdTemplate = 4,  // the template new contacts are created from
};

struct ParsedId {
    std::uint32_t kind;
    std::uint32_t number;
};

inline std::vector<std::uint8_t> MakeEntryId(std::uint32_t kind, std::uint32_t number) {
    std::vector<std::uint8_t> bytes = {'V', 'W', 'A', 'B'};
    for (std::uint32_t value : {kind, number})
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return bytes;
}

inline std::optional<ParsedId> ParseEntryId(const std::uint8_t* bytes, std::size_t size) {
    if (!bytes || size != 12 || bytes[0] != 'V' || bytes[1] != 'W' || bytes[2] != 'A' ||
        bytes[3] != 'B')
        return std::nullopt;
    auto word = [&](int at) {
        return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
               std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
    };
    return ParsedId{word(4), word(8)};
}

}  // namespace emu::wab
