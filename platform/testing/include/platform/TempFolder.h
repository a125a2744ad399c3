// Test support: a fresh temporary folder, removed with everything in it when
// the object goes. With `asWindowsDirectory`, $WINDIR points at a "windows"
// folder inside it for the object's lifetime.
#pragma once

#include <string>

namespace platform::testing {

class TempFolder {
public:
    explicit TempFolder(bool asWindowsDirectory = true);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, with a trailing separator.
    const std::string& Path() const { return m_path; }
    // Path() + "windows/" when standing in for the Windows directory.
    std::string WindowsDir() const { return m_path + "windows/"; }
    // Writes a file below the folder (creating subfolders); returns its full name.
    std::string Write(const std::string& relativeName, const std::string& contents) const;
    std::string Read(const std::string& relativeName) const;

private:
    std::string m_path;
    std::string m_oldWindir;
    bool m_hadWindir = false;
    bool m_setWindir;
};

}  // namespace platform::testing
