// The opens of every file of a machine with their access and sharing, so that an open, a
// deletion or a truncation that conflicts with an earlier open fails as on Windows. Files are
// known by host device and inode, which a handle keeps however the file is named.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "pal/types.h"

namespace pal::files {

using FileKey = std::pair<dev_t, ino_t>;

// Access and sharing bits; the sharing values are those of FILE_SHARE_READ/WRITE/DELETE.
constexpr DWORD kAccessRead = 1;
constexpr DWORD kAccessWrite = 2;
constexpr DWORD kAccessDelete = 4;
constexpr DWORD kAccessAll = kAccessRead | kAccessWrite | kAccessDelete;

class ShareTable {
public:
    // Registers an open; nothing when it conflicts with an open already registered: the new
    // access is not shared by an earlier open, or the new sharing refuses an earlier access.
    // An open without read, write or delete access takes part in no check (token 0).
    std::optional<std::uint64_t> Acquire(const FileKey& key, DWORD access, DWORD share);
    void Release(const FileKey& key, std::uint64_t token);
    // Whether the file could be opened with `access` and `share` now.
    bool Allows(const FileKey& key, DWORD access, DWORD share);

    // Mapped sections: a mapped file may not be cut or extended.
    void AddSection(const FileKey& key);
    void RemoveSection(const FileKey& key);
    bool HasSection(const FileKey& key);

private:
    struct Open {
        std::uint64_t token;
        DWORD access;
        DWORD share;
    };
    bool Conflicts(const FileKey& key, DWORD access, DWORD share) const;

    std::mutex m_lock;
    std::map<FileKey, std::vector<Open>> m_opens;
    std::map<FileKey, int> m_sections;
    std::uint64_t m_next = 1;
};

}  // namespace pal::files
