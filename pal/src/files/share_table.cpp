#include "share_table.h"

#include <algorithm>

namespace pal::files {

bool ShareTable::Conflicts(const FileKey& key, DWORD access, DWORD share) const {
    auto it = m_opens.find(key);
    if (it == m_opens.end()) return false;
    for (const Open& open : it->second)
        if ((access & ~open.share & kAccessAll) || (open.access & ~share & kAccessAll)) return true;
    return false;
}

std::optional<std::uint64_t> ShareTable::Acquire(const FileKey& key, DWORD access, DWORD share) {
    access &= kAccessAll;
    if (!access) return 0;
    std::lock_guard<std::mutex> guard(m_lock);
    if (Conflicts(key, access, share)) return std::nullopt;
    std::uint64_t token = m_next++;
    m_opens[key].push_back({token, access, share});
    return token;
}

void ShareTable::Release(const FileKey& key, std::uint64_t token) {
    if (!token) return;
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_opens.find(key);
    if (it == m_opens.end()) return;
    std::erase_if(it->second, [token](const Open& open) { return open.token == token; });
    if (it->second.empty()) m_opens.erase(it);
}

bool ShareTable::Allows(const FileKey& key, DWORD access, DWORD share) {
    std::lock_guard<std::mutex> guard(m_lock);
    return !Conflicts(key, access & kAccessAll, share);
}

void ShareTable::AddSection(const FileKey& key) {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_sections[key];
}

void ShareTable::RemoveSection(const FileKey& key) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_sections.find(key);
    if (it != m_sections.end() && --it->second == 0) m_sections.erase(it);
}

bool ShareTable::HasSection(const FileKey& key) {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_sections.count(key) != 0;
}

}  // namespace pal::files
