// Profile (ini) files with the Windows semantics the system was written for.
//
// A file name without a folder resolves in the Windows directory. Reading a
// missing file, section or key gives the caller's default. Integers follow
// the integer text syntax (IntegerText.h); a text that does not gives the
// default. Booleans are integers: any non-zero value reads true, and true is
// written "1", false "0". Writing rewrites the file whole and atomically,
// keeps every other line (comments included) and creates the file and its
// folder when absent; false is returned when the file cannot be written, and
// the old file is then untouched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Export.h"

namespace platform {

// The file a profile name stands for: a bare name lies in the Windows
// directory; an existing file whose name differs only in letter case is
// taken as that file.
PLATFORM_API std::string ResolveProfileFile(const std::string& file);

PLATFORM_API std::string ReadProfileString(const std::string& file, const std::string& section,
                                           const std::string& key, const std::string& deflt);
PLATFORM_API int32_t ReadProfileInteger(const std::string& file, const std::string& section,
                                        const std::string& key, int32_t deflt);
PLATFORM_API bool ReadProfileBool(const std::string& file, const std::string& section,
                                  const std::string& key, bool deflt);
PLATFORM_API std::vector<std::string> ReadProfileSections(const std::string& file);
PLATFORM_API std::vector<std::string> ReadProfileKeys(const std::string& file,
                                                      const std::string& section);

// Writes change the file (creating it when it is not there) and answer
// false with `error` set when they fail; a file that exists but cannot be
// read is left as it is and the write fails.
PLATFORM_API bool WriteProfileString(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value,
                                     std::string* error = nullptr);
PLATFORM_API bool WriteProfileInteger(const std::string& file, const std::string& section,
                                      const std::string& key, int32_t value,
                                      std::string* error = nullptr);
PLATFORM_API bool WriteProfileBool(const std::string& file, const std::string& section,
                                   const std::string& key, bool value,
                                   std::string* error = nullptr);
PLATFORM_API bool EraseProfileKey(const std::string& file, const std::string& section,
                                  const std::string& key, std::string* error = nullptr);
PLATFORM_API bool EraseProfileSection(const std::string& file, const std::string& section,
                                      std::string* error = nullptr);

}  // namespace platform
