#include <sys/stat.h>
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

std::shared_ptr<FileObject> FileFrom(HANDLE handle) {
    auto file = CurrentProcess().Handles().GetAs<FileObject>(handle);
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Marks the file written now by the machine clock.
void Touch(FileObject& file) {
    ULONGLONG now = CurrentFileSystem().Now();
    SetHostTimes(file.Fd(), now, now);
}

}  // namespace

}  // namespace pal::files

using pal::files::Fail;
using pal::files::FileFrom;

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    auto file = FileFrom(hFile);
    if (!file) return FALSE;
    if (lpOverlapped) return Fail(ERROR_INVALID_PARAMETER);
    if (!file->CanRead()) return Fail(ERROR_ACCESS_DENIED);
    if (!lpBuffer && nNumberOfBytesToRead) return Fail(ERROR_NOACCESS);
    std::lock_guard<std::mutex> guard(file->Lock());
    auto* out = static_cast<char*>(lpBuffer);
    DWORD done = 0;
    while (done < nNumberOfBytesToRead) {
        ssize_t got =
            ::pread(file->Fd(), out + done, nNumberOfBytesToRead - done, file->Position() + done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Fail(pal::files::ErrorFromErrno(errno));
        if (got == 0) break;
        done += static_cast<DWORD>(got);
    }
    file->Position() += done;
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    auto file = FileFrom(hFile);
    if (!file) return FALSE;
    if (lpOverlapped) return Fail(ERROR_INVALID_PARAMETER);
    if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
    if (!lpBuffer && nNumberOfBytesToWrite) return Fail(ERROR_NOACCESS);
    std::lock_guard<std::mutex> guard(file->Lock());
    const auto* in = static_cast<const char*>(lpBuffer);
    DWORD done = 0;
    while (done < nNumberOfBytesToWrite) {
        ssize_t put =
            ::pwrite(file->Fd(), in + done, nNumberOfBytesToWrite - done, file->Position() + done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            // Whatever reached the file stays written and counted, as on a full disk.
            file->Position() += done;
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
            if (done) pal::files::Touch(*file);
            return Fail(put < 0 ? pal::files::ErrorFromErrno(errno) : ERROR_DISK_FULL);
        }
        done += static_cast<DWORD>(put);
    }
    file->Position() += done;
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
    if (done) pal::files::Touch(*file);
    return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD dwMoveMethod) {
    auto file = FileFrom(hFile);
    if (!file) return INVALID_SET_FILE_POINTER;
    LONGLONG distance =
        lpDistanceToMoveHigh
            ? static_cast<LONGLONG>(
                  (static_cast<ULONGLONG>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                  static_cast<DWORD>(lDistanceToMove))
            : static_cast<LONGLONG>(lDistanceToMove);
    std::lock_guard<std::mutex> guard(file->Lock());
    LONGLONG base = 0;
    switch (dwMoveMethod) {
        case FILE_BEGIN:
            break;
        case FILE_CURRENT:
            base = file->Position();
            break;
        case FILE_END: {
            struct stat status = {};
            if (::fstat(file->Fd(), &status) != 0) {
                SetLastError(pal::files::ErrorFromErrno(errno));
                return INVALID_SET_FILE_POINTER;
            }
            base = status.st_size;
            break;
        }
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
    }
    LONGLONG position = base + distance;
    if (position < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (!lpDistanceToMoveHigh && position > 0xFFFFFFFFLL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    file->Position() = position;
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(position >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(position & 0xFFFFFFFF);
}

BOOL SetEndOfFile(HANDLE hFile) {
    auto file = FileFrom(hFile);
    if (!file) return FALSE;
    if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
    if (pal::files::CurrentFileSystem().Shares()->HasSection(file->Key()))
        return Fail(ERROR_USER_MAPPED_FILE);
    std::lock_guard<std::mutex> guard(file->Lock());
    if (::ftruncate(file->Fd(), file->Position()) != 0)
        return Fail(pal::files::ErrorFromErrno(errno));
    pal::files::Touch(*file);
    return TRUE;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    auto file = FileFrom(hFile);
    if (!file) return INVALID_FILE_SIZE;
    struct stat status = {};
    if (::fstat(file->Fd(), &status) != 0) {
        SetLastError(pal::files::ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<ULONGLONG>(status.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(size & 0xFFFFFFFF);
}

BOOL GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                 LPFILETIME lpLastWriteTime) {
    auto file = FileFrom(hFile);
    if (!file) return FALSE;
    struct stat status = {};
    if (::fstat(file->Fd(), &status) != 0) return Fail(pal::files::ErrorFromErrno(errno));
    auto info = pal::files::CurrentFileSystem().Describe(file->Host(), status);
    if (lpCreationTime) *lpCreationTime = pal::files::ToFileTime(info.creation);
    if (lpLastAccessTime) *lpLastAccessTime = pal::files::ToFileTime(info.lastAccess);
    if (lpLastWriteTime) *lpLastWriteTime = pal::files::ToFileTime(info.lastWrite);
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile) {
    auto file = FileFrom(hFile);
    if (!file) return FALSE;
    if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
    if (::fdatasync(file->Fd()) != 0) return Fail(pal::files::ErrorFromErrno(errno));
    return TRUE;
}
