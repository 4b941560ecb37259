// Conversion between the caller's property values and stored ones, and the selection of values a
// GetProps or a table row answers.
#pragma once

#include <cemapi.h>

#include <vector>

#include "store_file.h"

namespace emu::cemapi {

// The stored form of a value; MapiError(MAPI_E_INVALID_TYPE) for a type that is not stored
// (PT_ERROR, PT_NULL, PT_OBJECT, unknown types), MAPI_E_INVALID_PARAMETER for a null pointer.
StoredProp FromPropValue(const SPropValue& value);

// Fills `out` for the requested tags from `available` (a null list: every available value),
// allocating strings and binaries with MAPIAllocateMore on `block`. A requested property that is
// absent, or whose type differs from the one asked for, becomes PT_ERROR / MAPI_E_NOT_FOUND.
// Answers whether any such error value was produced.
bool SelectProps(const std::vector<StoredProp>& available, const SPropTagArray* tags, LPVOID block,
                 SPropValue* out);

// Allocates a value array for `count` values in a new MAPI buffer.
SPropValue* AllocateValues(ULONG count);

// The number of values SelectProps produces.
ULONG SelectedCount(const std::vector<StoredProp>& available, const SPropTagArray* tags);

}  // namespace emu::cemapi
