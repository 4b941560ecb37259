// Feeds arbitrary bytes to the item handle decoder: it may never read outside them, no field may
// break its line, and it says a handle is complete exactly when no line reports it truncated.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "handle_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that AddressSanitizer catches a read one byte past the end.
    std::vector<std::uint8_t> bytes(data, data + size);
    velumex::DecodedHandle decoded = velumex::DecodeHandle(bytes);
    bool saysTruncated = decoded.text.starts_with("truncated: ") ||
                         decoded.text.find("\ntruncated: ") != std::string::npos;
    if (saysTruncated == decoded.complete) std::abort();
    // Every line is one field: "name  value" with a printable value.
    for (char c : decoded.text)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F) std::abort();
    return 0;
}
