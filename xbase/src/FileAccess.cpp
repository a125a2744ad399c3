// Positioned reads and the index page cache. Files are never mapped: a file
// truncated under a mapping would kill the process on the next access,
// whereas a short pread is an ordinary error.
#include "Engine.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace xb {

int ReadExact(int fd, uint64_t offset, void* buffer, size_t size) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return XB_E_READ;
        }
        if (n == 0) return XB_E_READ;  // end of file: the file is shorter than it claims
        done += static_cast<size_t>(n);
    }
    return 0;
}

const uint8_t* PageCache::Find(uint32_t fileId, uint32_t offset) {
    auto it = m_index.find(Key(fileId, offset));
    if (it == m_index.end()) return nullptr;
    m_lru.splice(m_lru.begin(), m_lru, it->second);
    return it->second->bytes.data();
}

const uint8_t* PageCache::Insert(uint32_t fileId, uint32_t offset, const uint8_t* page) {
    if (m_capacity == 0) return nullptr;
    const uint64_t key = Key(fileId, offset);
    auto it = m_index.find(key);
    if (it != m_index.end()) {
        std::memcpy(it->second->bytes.data(), page, kPageSize);
        m_lru.splice(m_lru.begin(), m_lru, it->second);
        return it->second->bytes.data();
    }
    if (m_lru.size() >= m_capacity) {
        // Reuse the least recently used node instead of allocating.
        m_index.erase(m_lru.back().key);
        m_lru.splice(m_lru.begin(), m_lru, std::prev(m_lru.end()));
    } else {
        m_lru.emplace_front();
    }
    Entry& entry = m_lru.front();
    entry.key = key;
    std::memcpy(entry.bytes.data(), page, kPageSize);
    m_index[key] = m_lru.begin();
    return entry.bytes.data();
}

void PageCache::DropFile(uint32_t fileId) {
    for (auto it = m_lru.begin(); it != m_lru.end();) {
        if ((it->key >> 32) == fileId) {
            m_index.erase(it->key);
            it = m_lru.erase(it);
        } else {
            ++it;
        }
    }
}

void PageCache::Clear() {
    m_index.clear();
    m_lru.clear();
}

IndexFile::~IndexFile() {
    if (fd >= 0) ::close(fd);
}

}  // namespace xb
