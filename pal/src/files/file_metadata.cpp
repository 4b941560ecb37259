#include "file_metadata.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace pal::files {

namespace fs = std::filesystem;

std::optional<FileIdentity> IdentityOf(const fs::path& host) {
    struct statx status = {};
    if (::statx(AT_FDCWD, host.c_str(), 0, STATX_INO | STATX_BTIME, &status) != 0)
        return std::nullopt;
    FileIdentity identity;
    identity.inode = status.stx_ino;
    if (status.stx_mask & STATX_BTIME)
        identity.born = static_cast<long long>(status.stx_btime.tv_sec) * 1000000000LL +
                        status.stx_btime.tv_nsec;
    return identity;
}

FileMetadata::FileMetadata(fs::path root, fs::path store)
    : m_root(std::move(root)), m_store(std::move(store)) {
    Load();
}

std::string FileMetadata::Key(const fs::path& host) const {
    return host.lexically_normal().lexically_relative(m_root.lexically_normal()).generic_string();
}

std::optional<FileRecord> FileMetadata::Find(const fs::path& host,
                                             const FileIdentity& identity) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_entries.find(Key(host));
    if (it == m_entries.end() || !(it->second.identity == identity)) return std::nullopt;
    return it->second.record;
}

void FileMetadata::Set(const fs::path& host, const FileIdentity& identity,
                       const FileRecord& record) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries[Key(host)] = {identity, record};
    m_dirty = true;
}

void FileMetadata::Forget(const fs::path& host) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_entries.erase(Key(host))) m_dirty = true;
}

// One record per line: inode, birth time, creation time, attributes, then the path (Windows
// names hold no tab or line break).
void FileMetadata::Load() {
    std::ifstream file(m_store, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        FileIdentity identity;
        unsigned long long creation = 0;
        unsigned long attributes = 0;
        std::string path;
        if (!(fields >> identity.inode >> identity.born >> creation >> attributes) ||
            fields.get() != '\t' || !std::getline(fields, path) || path.empty())
            continue;  // a damaged line only loses that file's creation time
        m_entries[path] = {identity, {creation, static_cast<DWORD>(attributes)}};
    }
}

void FileMetadata::Save() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_dirty) return;
    std::ostringstream out;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        auto identity = IdentityOf(m_root / it->first);
        if (!identity || !(*identity == it->second.identity)) {
            it = m_entries.erase(it);
            continue;
        }
        const Entry& entry = it->second;
        out << entry.identity.inode << '\t' << entry.identity.born << '\t' << entry.record.creation
            << '\t' << entry.record.attributes << '\t' << it->first << '\n';
        ++it;
    }
    auto temp = m_store;
    temp += ".tmp";
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        file << out.str();
        if (!file) return;  // kept dirty: the next save tries again
    }
    std::error_code ec;
    fs::rename(temp, m_store, ec);
    if (!ec) m_dirty = false;
}

}  // namespace pal::files
