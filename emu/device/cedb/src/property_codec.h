// Property values in their stored form: the value's bytes, little-endian (strings as UTF-16LE
// units without the terminator, blobs as they are), and its sort key.
#pragma once

#include <cedb.h>

#include <cstdint>
#include <span>
#include <vector>

#include "sort_key.h"

namespace emu::cedb {

struct StoredValue {
    CEPROPID propid = 0;
    std::vector<std::uint8_t> data;
    SortKey key;
};

// True for the value types a record can hold.
bool IsKnownType(WORD type);
// The stored form of a value; throws CedbError(ERROR_INVALID_PARAMETER) for an unknown type or
// a blob without bytes.
StoredValue Encode(const CEPROPVAL& value);
// Bytes a value needs after the CEPROPVAL array when it is read (strings with their terminator),
// rounded up so that the next one stays aligned.
std::size_t ExtraSize(CEPROPID propid, std::span<const std::uint8_t> data);
// Fills `out` (propid and val) from a stored value; strings and blobs are copied to `extra`,
// which must have ExtraSize bytes.
void Decode(CEPROPID propid, std::span<const std::uint8_t> data, CEPROPVAL& out,
            std::uint8_t* extra);

}  // namespace emu::cedb
