// Entry identifiers of this emulation: 4 flag bytes (0), the store's 16-byte unique id, the
// object type (32-bit) and the object's id in its store (64-bit), little-endian; 32 bytes. An
// object's identifier never changes, so a moved message keeps it and identifiers survive the
// world being closed and opened again.
#pragma once

#include <cemapi.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "store_file.h"

namespace emu::cemapi {

struct EntryRef {
    StoreUid store{};
    ULONG type = 0;  // MAPI_STORE, MAPI_FOLDER, MAPI_MESSAGE
    std::int64_t id = 0;
    bool operator==(const EntryRef&) const = default;
};

std::vector<std::uint8_t> MakeEntryId(const EntryRef& ref);
// Nothing for bytes that are no identifier of this emulation.
std::optional<EntryRef> ParseEntryId(ULONG cb, const ENTRYID* entryId);
std::optional<EntryRef> ParseEntryId(const std::vector<std::uint8_t>& bytes);

}  // namespace emu::cemapi
