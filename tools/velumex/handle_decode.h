// Text form of the item handle bytes a desktop store gives the engine: version, kind and the
// fields of the kind's payload, never reading past the bytes given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velumex {

struct DecodedHandle {
    std::string text;       // one line per field
    bool complete = true;   // false when the bytes end before the kind's payload does
};

// A payload shorter than its kind requires is reported as truncated, in the text and the flag.
DecodedHandle DecodeHandle(const std::vector<std::uint8_t>& bytes);

// Parses hexadecimal text (blanks allowed between bytes); throws CliError on anything else.
std::vector<std::uint8_t> ParseHex(const std::string& text);

}  // namespace velumex
