// Access to the compiled resources of the current process's modules, with the Win32 failure
// codes the resource calls report.
#pragma once

#include <optional>
#include <string>

#include "pal/runtime/resource_data.h"
#include "pal/types.h"

namespace pal {

// The resources of a module of the current process (null: its executable). On failure sets the
// last error (ERROR_INVALID_HANDLE for an unknown module, ERROR_RESOURCE_DATA_NOT_FOUND for one
// without resources, ERROR_INVALID_DATA for malformed ones) and returns nothing.
std::optional<ResourceData> ModuleResources(HMODULE module);

// The language preferred among several copies of a resource: the current machine's.
WORD PreferredLanguage();

// The entry of this type and name; on failure sets ERROR_RESOURCE_TYPE_NOT_FOUND or
// ERROR_RESOURCE_NAME_NOT_FOUND and returns null.
const ResourceEntry* FindEntry(const ResourceData& data, const ResourceId& type,
                               const ResourceId& name);

// UTF-16 text from little-endian bytes.
std::u16string TextFromBytes(std::span<const BYTE> bytes);

}  // namespace pal
