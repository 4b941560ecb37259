// What a Windows file system records that the host does not: each file's creation time and its
// HIDDEN, SYSTEM and ARCHIVE attributes (READONLY is the host's owner-write bit). Records are
// keyed by the path below the machine root and carry the host file's identity (inode and
// birth time), so that a record never applies to another file that later takes the same name
// outside the layer; such files, and files made on the host directly, report their last write
// time as their creation time.
// Saved atomically to the machine folder, so the records survive closing the world.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "pal/types.h"

namespace pal::files {

// Who a host file is: its inode, and its birth time where the host file system keeps one (an
// inode number alone is soon reused).
struct FileIdentity {
    unsigned long long inode = 0;
    long long born = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& host);

struct FileRecord {
    ULONGLONG creation = 0;
    DWORD attributes = 0;  // FILE_ATTRIBUTE_HIDDEN | SYSTEM | ARCHIVE bits
};

class FileMetadata {
public:
    FileMetadata(std::filesystem::path root, std::filesystem::path store);

    std::optional<FileRecord> Find(const std::filesystem::path& host,
                                   const FileIdentity& identity) const;
    void Set(const std::filesystem::path& host, const FileIdentity& identity,
             const FileRecord& record);
    void Forget(const std::filesystem::path& host);
    // Writes the records of files that still exist, when anything changed since the last save.
    void Save();

private:
    struct Entry {
        FileIdentity identity;
        FileRecord record;
    };
    void Load();
    std::string Key(const std::filesystem::path& host) const;

    std::filesystem::path m_root;
    std::filesystem::path m_store;
    mutable std::mutex m_lock;
    std::map<std::string, Entry> m_entries;
    bool m_dirty = false;
};

}  // namespace pal::files
