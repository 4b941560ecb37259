// Where a library name leads on the current machine.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "pal/types.h"

namespace pal {

class Module;
class Process;

struct LibraryLocation {
    std::u16string windowsPath;  // canonical Windows path
    std::filesystem::path hostPath;
};

// The existing file `name` (with its extension already completed) names in `process`'s machine.
// A path is taken as it stands (relative to the current directory when not absolute); a bare name
// is looked for in the caller's folder (when `caller` is a module), the executable's folder, the
// system folder and the Windows folder, in that order. Nothing with `error` set when no file is
// there.
std::optional<LibraryLocation> LocateLibrary(Process& process, std::u16string_view name,
                                             const Module* caller, DWORD& error);

}  // namespace pal
