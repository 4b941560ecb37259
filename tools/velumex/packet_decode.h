// Human-readable listing of a property packet, as `velumex packet decode` prints it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>

namespace velumex {

// Writes one line per property in packet order (tag, name, type, value; attachment records on
// indented lines of their own), then, when the walk stopped early or bytes are left over, a line
// saying at which offset and why, and last the count read against the count announced.
// Follows PacketReader's rules on truncated input and never reads outside [data, data + length).
// Returns true when the packet is well formed: every announced entry read, nothing left over.
bool DecodePacket(const std::uint8_t* data, std::size_t length, std::ostream& out);

}  // namespace velumex
