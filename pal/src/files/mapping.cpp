#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "file_object.h"
#include "file_system.h"
#include "host_file.h"
#include "pal/files.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"

namespace pal::files {

namespace {

constexpr ULONGLONG kAllocationGranularity = 0x10000;

// A read-only section over a file. It keeps its own descriptor, so the file handle may be
// closed while the mapping or its views live; the file cannot be cut or extended meanwhile.
class MappingObject : public KernelObject {
public:
    MappingObject(int fd, ULONGLONG size, FileKey key, std::shared_ptr<ShareTable> shares)
        : m_fd(fd), m_size(size), m_key(key), m_shares(std::move(shares)) {
        m_shares->AddSection(m_key);
    }
    ~MappingObject() override {
        m_shares->RemoveSection(m_key);
        ::close(m_fd);
    }
    MappingObject(const MappingObject&) = delete;
    MappingObject& operator=(const MappingObject&) = delete;
    int Fd() const { return m_fd; }
    ULONGLONG Size() const { return m_size; }

private:
    int m_fd;
    ULONGLONG m_size;
    FileKey m_key;
    std::shared_ptr<ShareTable> m_shares;
};

// The views a process has mapped, by base address; each keeps its section alive.
class MappedViews : public Component {
public:
    explicit MappedViews(Process&) {}
    ~MappedViews() override {
        for (auto& [base, view] : m_views) ::munmap(base, view.length);
    }
    void Add(void* base, size_t length, std::shared_ptr<MappingObject> section) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_views[base] = {length, std::move(section)};
    }
    bool Remove(const void* base) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_views.find(const_cast<void*>(base));
        if (it == m_views.end()) return false;
        ::munmap(it->first, it->second.length);
        m_views.erase(it);
        return true;
    }

private:
    struct View {
        size_t length;
        std::shared_ptr<MappingObject> section;
    };
    std::mutex m_lock;
    std::map<void*, View> m_views;
};

HANDLE FailNull(DWORD error) {
    SetLastError(error);
    return nullptr;
}

HANDLE CreateMapping(HANDLE fileHandle, DWORD protect, DWORD sizeHigh, DWORD sizeLow, bool named) {
    if (named) return FailNull(ERROR_NOT_SUPPORTED);
    if (fileHandle == INVALID_HANDLE_VALUE || protect != PAGE_READONLY)
        return FailNull(ERROR_INVALID_PARAMETER);
    auto file = CurrentProcess().Handles().GetAs<FileObject>(fileHandle);
    if (!file) return FailNull(ERROR_INVALID_HANDLE);
    if (!file->CanRead()) return FailNull(ERROR_ACCESS_DENIED);
    struct stat status = {};
    if (::fstat(file->Fd(), &status) != 0) return FailNull(ErrorFromErrno(errno));
    auto fileSize = static_cast<ULONGLONG>(status.st_size);
    ULONGLONG size = (static_cast<ULONGLONG>(sizeHigh) << 32) | sizeLow;
    if (size == 0) {
        if (fileSize == 0) return FailNull(ERROR_FILE_INVALID);
        size = fileSize;
    } else if (size > fileSize) {
        return FailNull(ERROR_NOT_ENOUGH_MEMORY);  // a read-only section cannot grow its file
    }
    int fd = ::dup(file->Fd());
    if (fd < 0) return FailNull(ErrorFromErrno(errno));
    auto section =
        std::make_shared<MappingObject>(fd, size, file->Key(), CurrentFileSystem().Shares());
    SetLastError(NO_ERROR);
    return CurrentProcess().Handles().Add(std::move(section));
}

}  // namespace

}  // namespace pal::files

HANDLE CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect,
                          DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCSTR lpName) {
    return pal::files::CreateMapping(hFile, flProtect, dwMaximumSizeHigh, dwMaximumSizeLow,
                                     lpName != nullptr);
}

HANDLE CreateFileMappingW(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect,
                          DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCWSTR lpName) {
    return pal::files::CreateMapping(hFile, flProtect, dwMaximumSizeHigh, dwMaximumSizeLow,
                                     lpName != nullptr);
}

LPVOID MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                     DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap) {
    using pal::files::FailNull;
    pal::Process& process = pal::CurrentProcess();
    auto section = process.Handles().GetAs<pal::files::MappingObject>(hFileMappingObject);
    if (!section) return FailNull(ERROR_INVALID_HANDLE);
    if (dwDesiredAccess != FILE_MAP_READ) return FailNull(ERROR_ACCESS_DENIED);
    ULONGLONG offset = (static_cast<ULONGLONG>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
    if (offset % pal::files::kAllocationGranularity) return FailNull(ERROR_MAPPED_ALIGNMENT);
    if (offset >= section->Size() || dwNumberOfBytesToMap > section->Size() - offset)
        return FailNull(ERROR_ACCESS_DENIED);
    size_t length = dwNumberOfBytesToMap ? dwNumberOfBytesToMap : section->Size() - offset;
    void* base =
        ::mmap(nullptr, length, PROT_READ, MAP_SHARED, section->Fd(), static_cast<off_t>(offset));
    if (base == MAP_FAILED) return FailNull(ERROR_NOT_ENOUGH_MEMORY);
    process.Get<pal::files::MappedViews>().Add(base, length, std::move(section));
    SetLastError(NO_ERROR);
    return base;
}

BOOL UnmapViewOfFile(LPCVOID lpBaseAddress) {
    if (!pal::CurrentProcess().Get<pal::files::MappedViews>().Remove(lpBaseAddress)) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    return TRUE;
}
