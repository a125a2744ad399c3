#include "DbfImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "WriteError.h"

namespace {

std::uint32_t Le16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

// Reads exactly `size` bytes at `offset`; false at a short file.
bool ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset, int& error) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (size > 0) {
        ssize_t n = pread(fd, bytes, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

TDbfImage::TDbfImage(const std::string& path) : m_path(path) {
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) throw EXbaseWrite("Cannot open '" + path + "': " + std::strerror(errno));
    try {
        auto damaged = [&](const std::string& why) {
            return EXbaseWrite("'" + path + "' is not a usable table: " + why);
        };
        struct stat st;
        if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
            throw EXbaseWrite("Cannot read '" + path + "': not a regular file");
        std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
        std::uint8_t fixed[32];
        int error = 0;
        if (size < 33 || !ReadAt(m_fd, fixed, 32, 0, error))
            throw damaged("the file is too short for a header");
        std::memcpy(m_head, fixed, sizeof m_head);
        m_flags = fixed[28];
        m_recordCount = Le32(fixed + 4);
        m_headerLength = Le16(fixed + 8);
        m_recordLength = Le16(fixed + 10);
        if (m_headerLength < 33 || m_headerLength > size) throw damaged("bad header length");
        std::vector<std::uint8_t> header(m_headerLength);
        if (!ReadAt(m_fd, header.data(), header.size(), 0, error))
            throw EXbaseWrite("Cannot read '" + path + "': " + std::strerror(error));

        std::uint32_t offset = 1;
        std::size_t pos = 32;
        while (pos < m_headerLength && header[pos] != 0x0D) {
            if (pos + 32 > m_headerLength) throw damaged("field descriptors run past the header");
            const std::uint8_t* d = header.data() + pos;
            TFieldDef field;
            std::size_t nameLength = 0;
            while (nameLength < 11 && d[nameLength] != 0) ++nameLength;
            field.name = ToUpperAscii(std::string(reinterpret_cast<const char*>(d), nameLength));
            field.type = static_cast<char>(d[11]);
            field.length = d[16];
            field.decimals = d[17];
            field.offset = offset;
            if (field.name.empty() || field.length == 0)
                throw damaged("field " + std::to_string(m_fields.size() + 1) + " is malformed");
            offset += field.length;
            m_fields.push_back(field);
            pos += 32;
        }
        if (pos >= m_headerLength) throw damaged("the field list is not terminated");
        if (m_fields.empty()) throw damaged("no fields");
        if (offset != m_recordLength)
            throw damaged("the record length " + std::to_string(m_recordLength) +
                          " does not match the fields (" + std::to_string(offset) + ")");
        std::uint64_t needed = m_headerLength + std::uint64_t(m_recordCount) * m_recordLength;
        if (needed > size)
            throw damaged("it is truncated (" + std::to_string(m_recordCount) + " records need " +
                          std::to_string(needed) + " bytes, the file has " + std::to_string(size) +
                          ")");
    } catch (...) {
        close(m_fd);
        throw;
    }
}

TDbfImage::~TDbfImage() {
    close(m_fd);
}

void TDbfImage::ReadRecords(std::uint32_t first, std::uint32_t count, std::uint8_t* buffer) const {
    if (count == 0) return;
    if (first < 1 || count > m_recordCount || first - 1 > m_recordCount - count)
        throw EXbaseWrite("'" + m_path + "': records " + std::to_string(first) + " to " +
                          std::to_string(first + count - 1) + " do not exist");
    int error = 0;
    std::uint64_t offset = m_headerLength + std::uint64_t(first - 1) * m_recordLength;
    if (!ReadAt(m_fd, buffer, std::size_t(count) * m_recordLength, offset, error))
        throw EXbaseWrite("Cannot read '" + m_path + "': " +
                          (error ? std::strerror(error) : "the file shrank while being read"));
}
