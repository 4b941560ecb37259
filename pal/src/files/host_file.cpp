#include "host_file.h"

#include <cerrno>
#include <cstring>

#include "pal/errors.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"

namespace pal::files {

namespace {

constexpr ULONGLONG kUnixEpochAsFileTime = 116444736000000000ULL;
constexpr LONGLONG kTicksPerSecond = 10000000;

}  // namespace

bool Target::IsRoot() const {
    return windows.size() <= 3 && !windows.empty() && windows.back() == u'\\';
}

std::optional<Target> Resolve(Machine& machine, std::u16string_view path, DWORD& error) {
    auto host = ResolvePath(machine, path, error);
    if (!host) return std::nullopt;
    Target target;
    target.host = std::move(*host);
    DWORD ignored = 0;
    target.windows = *CanonicalWindowsPath(machine, path, ignored);
    if (::stat(target.host.c_str(), &target.status) == 0) {
        target.exists = true;
        return target;
    }
    if (errno == ENAMETOOLONG) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return std::nullopt;
    }
    struct stat parent = {};
    if (::stat(target.host.parent_path().c_str(), &parent) != 0 || !S_ISDIR(parent.st_mode)) {
        error = ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }
    return target;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

std::optional<std::u16string> AnsiPath(LPCSTR text, DWORD& error) {
    std::string_view view(text);
    if (view.size() >= MAX_PATH) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return std::nullopt;
    }
    return Cp1252ToUtf16(view);
}

ULONGLONG FileTimeOf(const struct timespec& time) {
    LONGLONG ticks = static_cast<LONGLONG>(time.tv_sec) * kTicksPerSecond + time.tv_nsec / 100;
    return kUnixEpochAsFileTime + static_cast<ULONGLONG>(ticks);
}

struct timespec TimespecOf(ULONGLONG fileTime) {
    LONGLONG ticks = static_cast<LONGLONG>(fileTime - kUnixEpochAsFileTime);
    LONGLONG seconds = ticks / kTicksPerSecond, rest = ticks % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    struct timespec result = {};
    result.tv_sec = static_cast<time_t>(seconds);
    result.tv_nsec = static_cast<long>(rest * 100);
    return result;
}

FILETIME ToFileTime(ULONGLONG value) {
    return {static_cast<DWORD>(value & 0xFFFFFFFF), static_cast<DWORD>(value >> 32)};
}

bool SetHostTimes(int fd, ULONGLONG access, ULONGLONG write) {
    struct timespec times[2] = {TimespecOf(access), TimespecOf(write)};
    return ::futimens(fd, times) == 0;
}

}  // namespace pal::files
