#include "file_object.h"

#include <unistd.h>

namespace pal::files {

FileObject::FileObject(int fd, FileKey key, std::filesystem::path host, DWORD access,
                       std::shared_ptr<ShareTable> shares, std::uint64_t token)
    : m_fd(fd),
      m_key(key),
      m_host(std::move(host)),
      m_access(access),
      m_shares(std::move(shares)),
      m_token(token) {}

FileObject::~FileObject() {
    m_shares->Release(m_key, m_token);
    ::close(m_fd);
}

}  // namespace pal::files
