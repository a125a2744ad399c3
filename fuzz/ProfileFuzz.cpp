// Fuzz target for the profile-file (ini) reader and writer: any bytes as an
// ini file are read without a crash, and writing one key changes that key
// only: it then reads back as written, and every other key still reads as
// before.
//
// Input layout: byte 0 picks the section and byte 1 the key to write (an
// existing one by number when the file has it, a new one otherwise); the
// rest is the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/Profile.h"

namespace {

const std::string& File() {
    static const std::string file = [] {
        char pattern[] = "/tmp/profile-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        return std::string(pattern) + "/fuzz.ini";
    }();
    return file;
}

using TValues = std::map<std::pair<std::string, std::string>, std::string>;

// What the file answers for every section and key it lists, keyed in upper
// case since names compare without regard to case (the first one wins).
TValues Snapshot(const std::string& file) {
    TValues values;
    for (const auto& section : platform::ReadProfileSections(file))
        for (const auto& key : platform::ReadProfileKeys(file, section)) {
            std::string s = section, k = key;
            for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            for (char& c : k) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            values.emplace(std::make_pair(s, k),
                           platform::ReadProfileString(file, section, key, "\x01"));
        }
    return values;
}

void Fail(const char* what, const std::string& section, const std::string& key) {
    std::fprintf(stderr, "%s: [%s] %s\n", what, section.c_str(), key.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 2) return 0;
    const unsigned sectionPick = bytes[0], keyPick = bytes[1];
    const std::string text(reinterpret_cast<const char*>(bytes + 2), size - 2);
    const std::string& file = File();
    if (!platform::WriteFileAtomic(file, text, nullptr)) std::abort();

    // In memory, every reading call.
    const platform::IniText ini = platform::IniText::Parse(text);
    for (const auto& section : ini.Sections()) {
        for (const auto& key : ini.Keys(section)) (void)ini.Get(section, key);
        (void)ini.HasSection(section);
    }
    (void)ini.Text();

    const TValues before = Snapshot(file);
    const auto sections = platform::ReadProfileSections(file);
    std::string section = "Fuzz", key = "Key";
    if (!sections.empty() && sectionPick < 200) {
        section = sections[sectionPick % sections.size()];
        const auto keys = platform::ReadProfileKeys(file, section);
        if (!keys.empty() && keyPick < 200) key = keys[keyPick % keys.size()];
    }
    // A section or key name that the file format cannot hold as such (a
    // bracket, "=", a comment mark, blanks around it) is not what this checks.
    for (const std::string* name : {&section, &key})
        for (char c : *name)
            if (c == '[' || c == ']' || c == '=' || c == ';' || static_cast<unsigned char>(c) <= ' ')
                return 0;
    platform::ReadProfileInteger(file, section, key, 7);
    platform::ReadProfileBool(file, section, key, false);

    const std::string value = "v" + std::to_string(size);
    std::string error;
    if (!platform::WriteProfileString(file, section, key, value, &error)) std::abort();
    if (platform::ReadProfileString(file, section, key, "") != value)
        Fail("written value not read back", section, key);

    TValues after = Snapshot(file);
    std::string s = section, k = key;
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : k) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    after.erase(std::make_pair(s, k));
    for (const auto& [name, old] : before) {
        if (name == std::make_pair(s, k)) continue;
        const auto it = after.find(name);
        if (it == after.end()) Fail("key lost by a write", name.first, name.second);
        if (it->second != old) Fail("key changed by a write", name.first, name.second);
    }
    platform::EraseProfileKey(file, section, key);
    platform::EraseProfileSection(file, section);
    return 0;
}
