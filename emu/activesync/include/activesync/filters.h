// The engine's file-conversion filters on the desktop: which filter converts which extension in
// which direction for a partnership, the filter classes, and the sample filter the engine ships.
//
// Partnership key (PartnershipKeyPath):
//   "Filters"          "EnableConversion" REG_DWORD: 0 turns every conversion off
//   "Filters\.ext"     "DefaultImport" / "DefaultExport" REG_SZ: a class identifier in registry
//                      text form ("{…}") or "Binary Copy" (no conversion)
// Filter class: HKCR "CLSID\{…}\PegasusFilter" with "Description" and "NewExtension" (the
// extension of the files it makes, without its dot), "Import" or "Export" (empty strings) for
// the direction it is meant for, and the usual "InprocServer32" for its library.
//
// The sample filter ("C:\Program Files\Sync Engine\TextFilter.dll") converts plain desktop text
// to the device text format and back. Device text (".vtx"), little-endian:
//   bytes 0-3   "VTX" and the format version 1 (0x56 0x54 0x58 0x01)
//   bytes 4-7   the number of UTF-16 code units that follow
//   bytes 8-    the text as UTF-16, no terminator
// Towards the device the desktop text is read in the desktop's ANSI code page; towards the
// desktop the units are written back in it (characters it lacks become "?"). Its class
// kTextToDeviceClass makes ".vtx" files, kDeviceToTextClass ".txt" files; both convert by the
// direction they are driven in. An empty text converts to nothing (the filter makes no output),
// and device text that is malformed fails with ERROR_INVALID_DATA.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pal/runtime/machine.h"

namespace activesync {

inline constexpr std::u16string_view kNoConversion = u"Binary Copy";
inline constexpr char16_t kTextFilterPath[] = u"C:\\Program Files\\Sync Engine\\TextFilter.dll";
inline constexpr std::u16string_view kTextToDeviceClass = u"{8D3A51C0-4E2B-4F7A-9C61-2B5E7A0D1F01}";
inline constexpr std::u16string_view kDeviceToTextClass = u"{8D3A51C0-4E2B-4F7A-9C61-2B5E7A0D1F02}";

enum class FilterDirection { Import, Export };

struct ExtensionFilter {
    std::u16string extension;  // with its dot
    std::u16string import;     // empty when not set
    std::u16string exportFilter;
};

struct PartnershipFilters {
    std::optional<DWORD> enableConversion;  // nothing when the value is missing
    std::vector<ExtensionFilter> extensions;
};

// Writes a filter class's "PegasusFilter" key: its description, the direction it is meant for,
// and its new extension (without a dot; empty writes none). `classText` is "{…}". Throws
// std::invalid_argument for a class text that is not a braced identifier or an extension that
// starts with a dot.
void RegisterFilterClass(pal::Machine& desktop, std::u16string_view classText,
                         std::u16string_view description, FilterDirection direction,
                         std::u16string_view newExtension);

// Sets the filter of `extension` (with its dot) in `direction` for a partnership: a class text or
// kNoConversion; an empty filter removes the value. Throws PartnershipError for a partnership the
// desktop does not have, std::invalid_argument for an extension without its leading dot.
void SetExtensionFilter(pal::Machine& desktop, DWORD partnership, std::u16string_view extension,
                        FilterDirection direction, std::u16string_view filter);
// Writes "EnableConversion" (1 or 0); throws PartnershipError for an unknown partnership.
void SetConversionEnabled(pal::Machine& desktop, DWORD partnership, bool enabled);
// The partnership's filter settings, extensions in enumeration order; throws PartnershipError for
// an unknown partnership.
PartnershipFilters ListFilters(pal::Machine& desktop, DWORD partnership);

// Installs the sample filter's library and registers its two classes. Throws std::runtime_error
// when the machine is not a desktop or the library cannot be installed.
void InstallTextFilter(pal::Machine& desktop);

}  // namespace activesync
