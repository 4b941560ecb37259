// Feeds arbitrary bytes to the packet reader and the decoder: neither may read outside the input,
// and the reader must stay inside it and never move backwards.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "packet_decode.h"
#include "property_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that AddressSanitizer catches a read one byte past the end.
    std::vector<std::uint8_t> packet(data, data + size);
    PacketReader reader;
    reader.Attach(packet.data(), static_cast<DWORD>(size));
    std::uint64_t previous = reader.Position();
    for (DWORD i = 0; i < reader.Count(); ++i) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        if (!value) {
            if (tag != 0 || reader.Position() != previous) std::abort();
            break;
        }
        if (value < packet.data() || value > packet.data() + size) std::abort();
        if (reader.Position() <= previous || reader.Position() > size + 3) std::abort();
        previous = reader.Position();
    }

    std::ostringstream listing;
    velumex::DecodePacket(packet.data(), size, listing);
    return 0;
}
