// Host-side helpers shared by the file calls: Windows paths resolved to host files with the
// Windows error for each way they can fail, errno translation, and FILETIME ⟷ host times.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "pal/types.h"

namespace pal {

class Machine;

namespace files {

// A Windows path of the current machine with the state of its host file.
struct Target {
    std::u16string windows;      // canonical Windows form
    std::filesystem::path host;  // host path (existing components in their stored case)
    bool exists = false;
    struct stat status = {};  // valid when `exists`
    bool IsDirectory() const { return exists && S_ISDIR(status.st_mode); }
    bool IsRoot() const;
};

// Resolves `path` in `machine`; nothing (with `error` set) when the path is malformed, leaves
// the root, or names a folder that does not exist (ERROR_PATH_NOT_FOUND).
std::optional<Target> Resolve(Machine& machine, std::u16string_view path, DWORD& error);

// The Windows error for a failed host call's errno.
DWORD ErrorFromErrno(int error);

// ANSI (Windows-1252) text to UTF-16 for path arguments of the A calls; nothing, with
// ERROR_FILENAME_EXCED_RANGE, for names of MAX_PATH characters or more.
std::optional<std::u16string> AnsiPath(LPCSTR text, DWORD& error);

// FILETIME values (100 ns units since 1601, UTC) ⟷ host times.
ULONGLONG FileTimeOf(const struct timespec& time);
struct timespec TimespecOf(ULONGLONG fileTime);
FILETIME ToFileTime(ULONGLONG value);

// Sets a host file's last access and last write times.
bool SetHostTimes(int fd, ULONGLONG access, ULONGLONG write);

}  // namespace files
}  // namespace pal
