#include "platform/VersionInfo.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace platform {
namespace {

constexpr char kMagic[] = "VERINFO1";
constexpr char kTable[] = "StringFileInfo\\040904E4";
constexpr size_t kMaxBlock = 64 * 1024;

class Fd {
public:
    explicit Fd(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Read(uint64_t offset, void* buf, size_t n) const {
        return m_fd >= 0 && ::pread(m_fd, buf, n, static_cast<off_t>(offset)) ==
                                static_cast<ssize_t>(n);
    }
    uint64_t Size() const {
        struct stat st{};
        return m_fd >= 0 && fstat(m_fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }

private:
    int m_fd;
};

struct Section {
    uint64_t nameOffset, offset, size;
};

template <typename Ehdr, typename Shdr>
bool FindSection(const Fd& fd, uint64_t fileSize, const char* wanted, std::string& contents) {
    Ehdr eh{};
    if (!fd.Read(0, &eh, sizeof eh)) return false;
    if (eh.e_shentsize != sizeof(Shdr) || eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum)
        return false;
    if (eh.e_shoff > fileSize || uint64_t(eh.e_shnum) * sizeof(Shdr) > fileSize - eh.e_shoff)
        return false;
    std::vector<Shdr> sh(eh.e_shnum);
    if (!fd.Read(eh.e_shoff, sh.data(), sh.size() * sizeof(Shdr))) return false;
    const Shdr& names = sh[eh.e_shstrndx];
    if (names.sh_offset > fileSize || names.sh_size > fileSize - names.sh_offset ||
        names.sh_size > kMaxBlock * 16)
        return false;
    std::string strtab(names.sh_size, '\0');
    if (!fd.Read(names.sh_offset, strtab.data(), strtab.size())) return false;
    for (const Shdr& s : sh) {
        if (s.sh_name >= strtab.size() || s.sh_type == SHT_NOBITS) continue;
        if (std::strncmp(strtab.c_str() + s.sh_name, wanted, strtab.size() - s.sh_name) != 0)
            continue;
        if (s.sh_offset > fileSize || s.sh_size > fileSize - s.sh_offset || s.sh_size > kMaxBlock)
            return false;
        contents.assign(s.sh_size, '\0');
        return fd.Read(s.sh_offset, contents.data(), contents.size());
    }
    return false;
}

}  // namespace

std::string ReadVersionValue(const std::string& file, const std::string& key) {
    Fd fd(file);
    unsigned char ident[EI_NIDENT];
    if (!fd.Read(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0) return {};
    const uint64_t size = fd.Size();
    std::string block;
    const bool found =
        ident[EI_CLASS] == ELFCLASS64
            ? FindSection<Elf64_Ehdr, Elf64_Shdr>(fd, size, ".verinfo", block)
            : ident[EI_CLASS] == ELFCLASS32
                  ? FindSection<Elf32_Ehdr, Elf32_Shdr>(fd, size, ".verinfo", block)
                  : false;
    if (!found) return {};
    // Split into NUL-terminated texts; an unterminated tail is ignored.
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i < block.size(); ++i)
        if (block[i] == '\0') {
            parts.emplace_back(block, start, i - start);
            start = i + 1;
        }
    if (parts.size() < 2 || parts[0] != kMagic || parts[1] != kTable) return {};
    for (size_t i = 2; i + 1 < parts.size(); i += 2)
        if (parts[i] == key) return parts[i + 1];
    return {};
}

}  // namespace platform
