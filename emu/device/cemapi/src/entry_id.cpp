#include "entry_id.h"

#include <algorithm>

namespace emu::cemapi {

namespace {

constexpr size_t kEntryIdSize = 32;

}  // namespace

std::vector<std::uint8_t> MakeEntryId(const EntryRef& ref) {
    std::vector<std::uint8_t> bytes(kEntryIdSize, 0);
    std::copy(ref.store.begin(), ref.store.end(), bytes.begin() + 4);
    for (int i = 0; i < 4; ++i) bytes[20 + i] = static_cast<std::uint8_t>(ref.type >> (8 * i));
    auto id = static_cast<std::uint64_t>(ref.id);
    for (int i = 0; i < 8; ++i) bytes[24 + i] = static_cast<std::uint8_t>(id >> (8 * i));
    return bytes;
}

std::optional<EntryRef> ParseEntryId(ULONG cb, const ENTRYID* entryId) {
    if (!entryId || cb != kEntryIdSize) return std::nullopt;
    auto bytes = reinterpret_cast<const std::uint8_t*>(entryId);
    return ParseEntryId(std::vector<std::uint8_t>(bytes, bytes + cb));
}

std::optional<EntryRef> ParseEntryId(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() != kEntryIdSize) return std::nullopt;
    if (bytes[0] || bytes[1] || bytes[2] || bytes[3]) return std::nullopt;
    EntryRef ref;
    std::copy(bytes.begin() + 4, bytes.begin() + 20, ref.store.begin());
    for (int i = 0; i < 4; ++i) ref.type |= ULONG{bytes[20 + i]} << (8 * i);
    std::uint64_t id = 0;
    for (int i = 0; i < 8; ++i) id |= std::uint64_t{bytes[24 + i]} << (8 * i);
    ref.id = static_cast<std::int64_t>(id);
    if (ref.type != MAPI_STORE && ref.type != MAPI_FOLDER && ref.type != MAPI_MESSAGE)
        return std::nullopt;
    return ref;
}

}  // namespace emu::cemapi
