// Text form of the item handle bytes a desktop store gives the engine: version, kind and the
// fields of the kind's payload, never reading past the bytes given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velumex {

// One line per field; a payload shorter than its kind requires is reported as truncated.
std::string DecodeHandle(const std::vector<std::uint8_t>& bytes);

// Parses hexadecimal text (blanks allowed between bytes); throws CliError on anything else.
std::vector<std::uint8_t> ParseHex(const std::string& text);

}  // namespace velumex
