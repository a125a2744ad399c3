#include "platform/Profile.h"

#include <functional>

#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/IntegerText.h"
#include "platform/Paths.h"

namespace platform {
namespace {

IniText Load(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) text.clear();
    return IniText::Parse(text);
}

// Loads, changes and writes back the file; unchanged files are not rewritten.
bool Modify(const std::string& file, std::string* error,
            const std::function<bool(IniText&)>& change) {
    const std::string path = ResolveProfileFile(file);
    std::string text;
    const bool existed = ReadWholeFile(path, text, error);
    // Only a file that is not there starts empty: one that could not be
    // read would be replaced by a file holding nothing but the new key.
    if (!existed && (FileExists(path) || DirectoryExists(path))) return false;
    if (error != nullptr) error->clear();
    IniText ini = IniText::Parse(existed ? text : std::string());
    if (!change(ini) && existed) return true;
    return WriteFileAtomic(path, ini.Text(), error);
}

}  // namespace

std::string ResolveProfileFile(const std::string& file) {
    const std::string path =
        file.find(PathDelim) != std::string::npos ? file : WindowsDirectory() + PathDelim + file;
    if (FileExists(path)) return path;
    // Ini files are found without regard to letter case, as where they came
    // from ("Pollark.Ini" may arrive as "pollark.ini").
    const size_t slash = path.rfind(PathDelim);
    const std::string found =
        FindFileNoCase(slash == 0 ? std::string(1, PathDelim) : path.substr(0, slash),
                       path.substr(slash + 1));
    return found.empty() ? path : found;
}

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& deflt) {
    const auto value = Load(ResolveProfileFile(file)).Get(section, key);
    return value ? *value : deflt;
}

int32_t ReadProfileInteger(const std::string& file, const std::string& section,
                           const std::string& key, int32_t deflt) {
    const auto value = Load(ResolveProfileFile(file)).Get(section, key);
    if (!value) return deflt;
    const auto n = ParseIntegerText(*value);
    return n ? *n : deflt;
}

bool ReadProfileBool(const std::string& file, const std::string& section, const std::string& key,
                     bool deflt) {
    return ReadProfileInteger(file, section, key, deflt ? 1 : 0) != 0;
}

std::vector<std::string> ReadProfileSections(const std::string& file) {
    return Load(ResolveProfileFile(file)).Sections();
}

std::vector<std::string> ReadProfileKeys(const std::string& file, const std::string& section) {
    return Load(ResolveProfileFile(file)).Keys(section);
}

bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value, std::string* error) {
    return Modify(file, error, [&](IniText& ini) {
        const auto old = ini.Get(section, key);
        ini.Set(section, key, value);
        return !old || *old != value;
    });
}

bool WriteProfileInteger(const std::string& file, const std::string& section,
                         const std::string& key, int32_t value, std::string* error) {
    return WriteProfileString(file, section, key, std::to_string(value), error);
}

bool WriteProfileBool(const std::string& file, const std::string& section, const std::string& key,
                      bool value, std::string* error) {
    return WriteProfileString(file, section, key, value ? "1" : "0", error);
}

bool EraseProfileKey(const std::string& file, const std::string& section, const std::string& key,
                     std::string* error) {
    return Modify(file, error, [&](IniText& ini) { return ini.EraseKey(section, key); });
}

bool EraseProfileSection(const std::string& file, const std::string& section,
                         std::string* error) {
    return Modify(file, error, [&](IniText& ini) { return ini.EraseSection(section); });
}

}  // namespace platform
