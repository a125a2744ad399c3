// Positioned reads. Files are never mapped: a file truncated under a mapping
// would kill the process on the next access, whereas a short pread is an
// ordinary error.
#include "Engine.h"

#include <unistd.h>
#include <cerrno>

namespace xb {

int ReadUpTo(int fd, uint64_t offset, void* buffer, size_t size, size_t& got) {
    auto* out = static_cast<uint8_t*>(buffer);
    got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, out + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return XB_E_READ;
        }
        if (n == 0) break;  // end of file
        got += static_cast<size_t>(n);
    }
    return 0;
}

int ReadExact(int fd, uint64_t offset, void* buffer, size_t size) {
    size_t got = 0;
    if (int rc = ReadUpTo(fd, offset, buffer, size, got); rc != 0) return rc;
    // A short read: the file is shorter than it claims.
    return got == size ? 0 : XB_E_READ;
}

IndexFile::~IndexFile() {
    if (fd >= 0) ::close(fd);
}

}  // namespace xb
