// Windows paths of a machine mapped into its host folder. The desktop has one drive, C:, whose
// root is WORLD/desktop/c; the device's "\" is WORLD/device/root. Existing components are found
// without regard to case; missing ones keep the case given (case-preserving creation). A path
// that would leave the machine's root, or that names another drive, is refused.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "pal/types.h"

namespace pal {

class Machine;

// The absolute Windows form of `path` ("C:\A\b.txt" or "\A\b.txt"): separators made "\",
// "." and ".." folded, relative paths taken from the current process's current directory.
// Nothing when the path is malformed or leaves the root; `error` then says why
// (ERROR_INVALID_NAME, ERROR_INVALID_DRIVE, ERROR_ACCESS_DENIED).
std::optional<std::u16string> CanonicalWindowsPath(Machine& machine, std::u16string_view path,
                                                   DWORD& error);

// The host path for a Windows path of `machine`, matching existing components without regard
// to case. `error` as above.
std::optional<std::filesystem::path> ResolvePath(Machine& machine, std::u16string_view path,
                                                 DWORD& error);

// The Windows path of a host path under the machine's root (nothing when it lies outside).
std::optional<std::u16string> WindowsPathOf(Machine& machine, const std::filesystem::path& host);

}  // namespace pal
