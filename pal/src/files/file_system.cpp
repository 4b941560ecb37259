#include "file_system.h"

#include "host_file.h"
#include "pal/files.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"

namespace pal::files {

namespace {

constexpr DWORD kRecordedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

}  // namespace

FileSystem::FileSystem(Machine& machine)
    : m_machine(machine), m_metadata(machine.RootDir(), machine.Dir() / "files.meta") {}

ULONGLONG FileSystem::Now() const { return m_machine.NowUtc(); }

FileInfo FileSystem::Describe(const std::filesystem::path& host, const struct stat& status) const {
    FileInfo info;
    auto record = Record(host, status);
    info.lastWrite = FileTimeOf(status.st_mtim);
    info.lastAccess = FileTimeOf(status.st_atim);
    info.creation = record ? record->creation : info.lastWrite;
    if (S_ISDIR(status.st_mode)) {
        info.attributes =
            FILE_ATTRIBUTE_DIRECTORY |
            (record ? record->attributes & (kRecordedAttributes | FILE_ATTRIBUTE_READONLY) : 0);
        return info;
    }
    info.size = static_cast<ULONGLONG>(status.st_size);
    DWORD attributes = record ? record->attributes & kRecordedAttributes : FILE_ATTRIBUTE_ARCHIVE;
    if (!(status.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    info.attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return info;
}

void FileSystem::RecordNew(const std::filesystem::path& host, const struct stat& status,
                           DWORD attributes) {
    SetReadOnlyMode(host, status, attributes);
    if (auto identity = IdentityOf(host))
        m_metadata.Set(host, *identity, {Now(), Recorded(status, attributes)});
}

bool FileSystem::ApplyAttributes(const std::filesystem::path& host, const struct stat& status,
                                 DWORD attributes) {
    if (!SetReadOnlyMode(host, status, attributes)) return false;
    auto identity = IdentityOf(host);
    if (!identity) return false;
    auto record = m_metadata.Find(host, *identity);
    ULONGLONG creation = record ? record->creation : FileTimeOf(status.st_mtim);
    m_metadata.Set(host, *identity, {creation, Recorded(status, attributes)});
    return true;
}

std::optional<FileRecord> FileSystem::Record(const std::filesystem::path& host,
                                             const struct stat& status) const {
    auto identity = IdentityOf(host);
    if (!identity || identity->inode != status.st_ino) return std::nullopt;
    return m_metadata.Find(host, *identity);
}

DWORD FileSystem::Recorded(const struct stat& status, DWORD attributes) {
    // Folders keep READONLY in their record: the host folder must stay writable.
    return attributes &
           (kRecordedAttributes | (S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_READONLY : 0));
}

bool FileSystem::SetReadOnlyMode(const std::filesystem::path& host, const struct stat& status,
                                 DWORD attributes) {
    if (S_ISDIR(status.st_mode)) return true;
    mode_t mode = status.st_mode & 07777;
    mode_t wanted = (attributes & FILE_ATTRIBUTE_READONLY) ? mode & ~0222 : mode | S_IWUSR;
    return wanted == mode || ::chmod(host.c_str(), wanted) == 0;
}

FileSystem& CurrentFileSystem() { return CurrentMachine().Get<FileSystem>(); }

}  // namespace pal::files
