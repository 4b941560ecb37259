// The per-machine state of the file calls: the share table, the metadata records and the lock
// that makes each namespace operation (open, create, delete, copy) atomic machine-wide.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <mutex>

#include "file_metadata.h"
#include "pal/files.h"
#include "pal/runtime/components.h"
#include "share_table.h"

namespace pal {

class Machine;

namespace files {

// A host file as Windows reports it.
struct FileInfo {
    DWORD attributes = 0;
    ULONGLONG creation = 0;
    ULONGLONG lastAccess = 0;
    ULONGLONG lastWrite = 0;
    ULONGLONG size = 0;
};

// The attributes a caller can give a file; FILE_ATTRIBUTE_NORMAL alone means none of them.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

inline FileKey KeyOf(const struct stat& status) { return {status.st_dev, status.st_ino}; }

class FileSystem : public Component {
public:
    explicit FileSystem(Machine& machine);

    // The machine-wide lock for namespace operations; reads and writes do not take it.
    std::mutex& NamespaceLock() { return m_namespaceLock; }
    const std::shared_ptr<ShareTable>& Shares() const { return m_shares; }
    FileMetadata& Metadata() { return m_metadata; }
    ULONGLONG Now() const;

    FileInfo Describe(const std::filesystem::path& host, const struct stat& status) const;
    // Records a file or folder the layer has just made: created now, with `attributes`
    // (READONLY is applied to the host file's mode, the rest recorded).
    void RecordNew(const std::filesystem::path& host, const struct stat& status, DWORD attributes);
    // Applies READONLY/HIDDEN/SYSTEM/ARCHIVE to an existing file or folder.
    bool ApplyAttributes(const std::filesystem::path& host, const struct stat& status,
                         DWORD attributes);

    void Flush() override { m_metadata.Save(); }

private:
    // The record of the file now at `host`, when it is the file `status` describes.
    std::optional<FileRecord> Record(const std::filesystem::path& host,
                                     const struct stat& status) const;
    static DWORD Recorded(const struct stat& status, DWORD attributes);
    static bool SetReadOnlyMode(const std::filesystem::path& host, const struct stat& status,
                                DWORD attributes);

    Machine& m_machine;
    std::mutex m_namespaceLock;
    std::shared_ptr<ShareTable> m_shares = std::make_shared<ShareTable>();
    FileMetadata m_metadata;
};

// The current machine's file system state.
FileSystem& CurrentFileSystem();

}  // namespace files
}  // namespace pal
