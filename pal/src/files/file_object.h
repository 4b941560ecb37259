// An open file: a kernel object of the handle table. Every handle to it (duplicates included)
// shares its file pointer; its sharing registration goes when the last reference does.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>

#include "pal/runtime/handles.h"
#include "share_table.h"

namespace pal::files {

class FileObject : public KernelObject {
public:
    FileObject(int fd, FileKey key, std::filesystem::path host, DWORD access,
               std::shared_ptr<ShareTable> shares, std::uint64_t token);
    ~FileObject() override;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    int Fd() const { return m_fd; }
    const FileKey& Key() const { return m_key; }
    const std::filesystem::path& Host() const { return m_host; }
    bool CanRead() const { return m_access & kAccessRead; }
    bool CanWrite() const { return m_access & kAccessWrite; }
    // Guards the file pointer and keeps each read or write whole.
    std::mutex& Lock() { return m_lock; }
    LONGLONG& Position() { return m_position; }

private:
    int m_fd;
    FileKey m_key;
    std::filesystem::path m_host;
    DWORD m_access;
    std::shared_ptr<ShareTable> m_shares;
    std::uint64_t m_token;
    std::mutex m_lock;
    LONGLONG m_position = 0;
};

}  // namespace pal::files
