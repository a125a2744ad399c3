#include "platform/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/Paths.h"

namespace platform::testing {

TempFolder::TempFolder(bool asWindowsDirectory) : m_setWindir(asWindowsDirectory) {
    std::string pattern = platform::TempFolder() + "ondrik-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern + "/";
    if (m_setWindir) {
        if (const char* old = std::getenv("WINDIR")) {
            m_hadWindir = true;
            m_oldWindir = old;
        }
        std::filesystem::create_directories(WindowsDir());
        setenv("WINDIR", WindowsDir().c_str(), 1);
    }
}

TempFolder::~TempFolder() {
    if (m_setWindir) {
        if (m_hadWindir)
            setenv("WINDIR", m_oldWindir.c_str(), 1);
        else
            unsetenv("WINDIR");
    }
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string TempFolder::Write(const std::string& relativeName, const std::string& contents) const {
    const std::string full = m_path + relativeName;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << contents;
    return full;
}

std::string TempFolder::Read(const std::string& relativeName) const {
    std::ifstream in(m_path + relativeName, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace platform::testing
