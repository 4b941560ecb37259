#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "file_system.h"
#include "host_file.h"
#include "pal/files.h"
#include "pal/runtime/context.h"

namespace pal::files {

namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Resolves an existing file or folder; ERROR_FILE_NOT_FOUND when only its folder exists.
std::optional<Target> ResolveExisting(LPCWSTR name, DWORD& error) {
    if (!name) {
        error = ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }
    auto target = Resolve(CurrentMachine(), name, error);
    if (target && !target->exists) {
        error = ERROR_FILE_NOT_FOUND;
        return std::nullopt;
    }
    return target;
}

// A sharing registration held for the length of one operation.
class ScopedOpen {
public:
    ScopedOpen(ShareTable& shares, FileKey key, DWORD access, DWORD share)
        : m_shares(shares), m_key(key), m_token(shares.Acquire(key, access, share)) {}
    ~ScopedOpen() {
        if (m_token) m_shares.Release(m_key, *m_token);
    }
    explicit operator bool() const { return m_token.has_value(); }

private:
    ShareTable& m_shares;
    FileKey m_key;
    std::optional<std::uint64_t> m_token;
};

class ScopedFd {
public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ~ScopedFd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

bool CopyContents(int from, int to, DWORD& error) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = ErrorFromErrno(errno);
            return false;
        }
        if (got == 0) return true;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                error = put < 0 ? ErrorFromErrno(errno) : ERROR_DISK_FULL;
                return false;
            }
            done += put;
        }
    }
}

BOOL CopyOne(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists) {
    FileSystem& fileSystem = CurrentFileSystem();
    std::lock_guard<std::mutex> guard(fileSystem.NamespaceLock());
    DWORD error = 0;
    auto source = ResolveExisting(existingName, error);
    if (!source) return Fail(error);
    if (source->IsDirectory()) return Fail(ERROR_ACCESS_DENIED);
    if (!newName) return Fail(ERROR_PATH_NOT_FOUND);
    auto target = Resolve(CurrentMachine(), newName, error);
    if (!target) return Fail(error);
    FileInfo sourceInfo = fileSystem.Describe(source->host, source->status);
    if (target->exists) {
        if (failIfExists) return Fail(ERROR_FILE_EXISTS);
        if (target->IsDirectory()) return Fail(ERROR_ACCESS_DENIED);
        FileInfo targetInfo = fileSystem.Describe(target->host, target->status);
        if (targetInfo.attributes & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED);
    }

    // The source is read with others allowed to read; the target is written exclusively.
    ShareTable& shares = *fileSystem.Shares();
    ScopedOpen reading(shares, KeyOf(source->status), kAccessRead, FILE_SHARE_READ);
    if (!reading) return Fail(ERROR_SHARING_VIOLATION);
    std::optional<ScopedOpen> writing;
    if (target->exists) {
        writing.emplace(shares, KeyOf(target->status), kAccessWrite, 0);
        if (!*writing) return Fail(ERROR_SHARING_VIOLATION);
        if (shares.HasSection(KeyOf(target->status))) return Fail(ERROR_USER_MAPPED_FILE);
    }

    ScopedFd from(::open(source->host.c_str(), O_RDONLY | O_CLOEXEC));
    if (from.Get() < 0) return Fail(ErrorFromErrno(errno));
    int flags = O_WRONLY | O_CLOEXEC | O_CREAT | (target->exists ? O_TRUNC : O_EXCL);
    ScopedFd to(::open(target->host.c_str(), flags, 0666));
    if (to.Get() < 0) return Fail(ErrorFromErrno(errno));
    if (!CopyContents(from.Get(), to.Get(), error)) {
        if (!target->exists) ::unlink(target->host.c_str());
        return Fail(error);
    }
    SetHostTimes(to.Get(), fileSystem.Now(), sourceInfo.lastWrite);
    struct stat status = {};
    ::fstat(to.Get(), &status);
    DWORD attributes = (sourceInfo.attributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    if (target->exists)
        fileSystem.ApplyAttributes(target->host, status, attributes);
    else
        fileSystem.RecordNew(target->host, status, attributes);
    return TRUE;
}

BOOL DeleteOne(LPCWSTR name) {
    FileSystem& fileSystem = CurrentFileSystem();
    std::lock_guard<std::mutex> guard(fileSystem.NamespaceLock());
    DWORD error = 0;
    auto target = ResolveExisting(name, error);
    if (!target) return Fail(error);
    if (target->IsDirectory()) return Fail(ERROR_ACCESS_DENIED);
    if (fileSystem.Describe(target->host, target->status).attributes & FILE_ATTRIBUTE_READONLY)
        return Fail(ERROR_ACCESS_DENIED);
    if (!fileSystem.Shares()->Allows(KeyOf(target->status), kAccessDelete, kAccessAll))
        return Fail(ERROR_SHARING_VIOLATION);
    if (::unlink(target->host.c_str()) != 0) return Fail(ErrorFromErrno(errno));
    fileSystem.Metadata().Forget(target->host);
    return TRUE;
}

DWORD AttributesOf(LPCWSTR name) {
    FileSystem& fileSystem = CurrentFileSystem();
    DWORD error = 0;
    auto target = ResolveExisting(name, error);
    if (!target) {
        SetLastError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    return fileSystem.Describe(target->host, target->status).attributes;
}

BOOL SetAttributes(LPCWSTR name, DWORD attributes) {
    FileSystem& fileSystem = CurrentFileSystem();
    std::lock_guard<std::mutex> guard(fileSystem.NamespaceLock());
    DWORD error = 0;
    auto target = ResolveExisting(name, error);
    if (!target) return Fail(error);
    if (!fileSystem.ApplyAttributes(target->host, target->status, attributes & kSettableAttributes))
        return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL MakeDirectory(LPCWSTR name) {
    if (!name) return Fail(ERROR_PATH_NOT_FOUND);
    FileSystem& fileSystem = CurrentFileSystem();
    std::lock_guard<std::mutex> guard(fileSystem.NamespaceLock());
    DWORD error = 0;
    auto target = Resolve(CurrentMachine(), name, error);
    if (!target) return Fail(error);
    if (target->IsRoot()) return Fail(ERROR_ACCESS_DENIED);
    if (target->exists) return Fail(ERROR_ALREADY_EXISTS);
    if (::mkdir(target->host.c_str(), 0777) != 0) return Fail(ErrorFromErrno(errno));
    struct timespec times[2] = {TimespecOf(fileSystem.Now()), TimespecOf(fileSystem.Now())};
    ::utimensat(AT_FDCWD, target->host.c_str(), times, 0);
    struct stat status = {};
    ::stat(target->host.c_str(), &status);
    fileSystem.RecordNew(target->host, status, 0);
    return TRUE;
}

BOOL RemoveEmptyDirectory(LPCWSTR name) {
    if (!name) return Fail(ERROR_PATH_NOT_FOUND);
    FileSystem& fileSystem = CurrentFileSystem();
    std::lock_guard<std::mutex> guard(fileSystem.NamespaceLock());
    DWORD error = 0;
    auto target = ResolveExisting(name, error);
    if (!target) return Fail(error);
    if (target->IsRoot()) return Fail(ERROR_ACCESS_DENIED);
    if (!target->IsDirectory()) return Fail(ERROR_DIRECTORY);
    if (::rmdir(target->host.c_str()) != 0)
        return Fail(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY
                                                          : ErrorFromErrno(errno));
    fileSystem.Metadata().Forget(target->host);
    return TRUE;
}

// Runs `call` on the UTF-16 form of an ANSI path argument (null stays null).
template <class Result, class Call>
Result WithAnsi(LPCSTR name, Result failure, Call call) {
    if (!name) return call(nullptr);
    DWORD error = 0;
    auto wide = AnsiPath(name, error);
    if (!wide) {
        SetLastError(error);
        return failure;
    }
    return call(wide->c_str());
}

}  // namespace

}  // namespace pal::files

using pal::files::WithAnsi;

BOOL DeleteFileA(LPCSTR lpFileName) { return WithAnsi(lpFileName, FALSE, pal::files::DeleteOne); }

BOOL DeleteFileW(LPCWSTR lpFileName) { return pal::files::DeleteOne(lpFileName); }

BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    return WithAnsi(lpExistingFileName, FALSE, [&](LPCWSTR existing) {
        return WithAnsi(lpNewFileName, FALSE, [&](LPCWSTR target) {
            return pal::files::CopyOne(existing, target, bFailIfExists);
        });
    });
}

BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
    return pal::files::CopyOne(lpExistingFileName, lpNewFileName, bFailIfExists);
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
    return WithAnsi(lpFileName, INVALID_FILE_ATTRIBUTES, pal::files::AttributesOf);
}

DWORD GetFileAttributesW(LPCWSTR lpFileName) { return pal::files::AttributesOf(lpFileName); }

BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    return WithAnsi(lpFileName, FALSE, [&](LPCWSTR name) {
        return pal::files::SetAttributes(name, dwFileAttributes);
    });
}

BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes) {
    return pal::files::SetAttributes(lpFileName, dwFileAttributes);
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    return WithAnsi(lpPathName, FALSE, pal::files::MakeDirectory);
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    return pal::files::MakeDirectory(lpPathName);
}

BOOL RemoveDirectoryA(LPCSTR lpPathName) {
    return WithAnsi(lpPathName, FALSE, pal::files::RemoveEmptyDirectory);
}

BOOL RemoveDirectoryW(LPCWSTR lpPathName) { return pal::files::RemoveEmptyDirectory(lpPathName); }
