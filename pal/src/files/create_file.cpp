#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "file_object.h"
#include "file_system.h"
#include "host_file.h"
#include "pal/files.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"

namespace pal::files {

namespace {

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

int OpenHost(const std::filesystem::path& host, int flags) {
    int fd = ::open(host.c_str(), flags | O_NOATIME, 0666);
    if (fd < 0 && errno == EPERM) fd = ::open(host.c_str(), flags, 0666);
    return fd;
}

HANDLE OpenOrCreate(LPCWSTR name, DWORD desiredAccess, DWORD shareMode, DWORD disposition,
                    DWORD flagsAndAttributes) {
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
        (shareMode & ~static_cast<DWORD>(kAccessAll)))
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD access = ((desiredAccess & GENERIC_READ) ? kAccessRead : 0) |
                   ((desiredAccess & GENERIC_WRITE) ? kAccessWrite : 0);
    if (disposition == TRUNCATE_EXISTING && !(access & kAccessWrite))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!name) return Fail(ERROR_PATH_NOT_FOUND);

    FileSystem& fileSystem = CurrentFileSystem();
    std::lock_guard<std::mutex> guard(fileSystem.NamespaceLock());
    DWORD error = 0;
    auto target = Resolve(CurrentMachine(), name, error);
    if (!target) return Fail(error);

    DWORD attributes = (flagsAndAttributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    int flags = ((access & kAccessWrite) ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    bool existed = target->exists;
    bool truncate = false;
    if (existed) {
        if (target->IsDirectory()) return Fail(ERROR_ACCESS_DENIED);
        if (disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS);
        truncate = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
        FileInfo info = fileSystem.Describe(target->host, target->status);
        if ((info.attributes & FILE_ATTRIBUTE_READONLY) && ((access & kAccessWrite) || truncate))
            return Fail(ERROR_ACCESS_DENIED);
        // Overwriting a hidden or system file must keep those attributes.
        DWORD kept = info.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (disposition == CREATE_ALWAYS && (kept & ~attributes)) return Fail(ERROR_ACCESS_DENIED);
    } else {
        if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
            return Fail(ERROR_FILE_NOT_FOUND);
        flags |= O_CREAT | O_EXCL;
    }

    int fd = OpenHost(target->host, flags);
    if (fd < 0) return Fail(ErrorFromErrno(errno));
    struct stat status = {};
    ::fstat(fd, &status);
    auto shares = fileSystem.Shares();
    auto token = shares->Acquire(KeyOf(status), access, shareMode);
    if (!token) {
        ::close(fd);
        return Fail(ERROR_SHARING_VIOLATION);
    }
    auto file =
        std::make_shared<FileObject>(fd, KeyOf(status), target->host, access, shares, *token);
    ULONGLONG now = fileSystem.Now();
    if (!existed) {
        SetHostTimes(fd, now, now);
        fileSystem.RecordNew(target->host, status, attributes);
    } else if (truncate) {
        if (shares->HasSection(file->Key())) return Fail(ERROR_USER_MAPPED_FILE);
        if (::ftruncate(fd, 0) != 0) return Fail(ErrorFromErrno(errno));
        SetHostTimes(fd, now, now);
        if (disposition == CREATE_ALWAYS)
            fileSystem.ApplyAttributes(target->host, status, attributes);
    }
    HANDLE handle = CurrentProcess().Handles().Add(std::move(file));
    bool reportExisting = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

}  // namespace

}  // namespace pal::files

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    if (!lpFileName)
        return CreateFileW(nullptr, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                           dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
    DWORD error = 0;
    auto name = pal::files::AnsiPath(lpFileName, error);
    if (!name) return pal::files::Fail(error);
    return CreateFileW(name->c_str(), dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                       dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE) {
    return pal::files::OpenOrCreate(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                                    dwFlagsAndAttributes);
}

HANDLE CreateFileForMappingW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                             LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                             DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                             HANDLE hTemplateFile) {
    return CreateFileW(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                       dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}
