// The comparable form of a property value, as a sort order orders records: integers, reals or
// bytes (strings as big-endian UTF-16 units, so that byte order is code-unit order); nothing for
// a record that lacks the property.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

namespace emu::cedb {

using SortKey = std::variant<std::monostate, std::int64_t, double, std::vector<std::uint8_t>>;

}  // namespace emu::cedb
