// Helpers shared by the registry tests.
#pragma once

#include <string>
#include <vector>

#include "pal/types.h"

namespace pal::testing {

// UTF-16 text as the little-endian bytes a registry value holds, optionally with a terminator.
inline std::vector<BYTE> Utf16Bytes(std::u16string_view text, bool terminator = true) {
    std::vector<BYTE> bytes;
    for (char16_t u : text) {
        bytes.push_back(static_cast<BYTE>(u & 0xFF));
        bytes.push_back(static_cast<BYTE>(u >> 8));
    }
    if (terminator) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

}  // namespace pal::testing
