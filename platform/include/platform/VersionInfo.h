// Version information of our executable files.
//
// The build embeds in every library and program of ours an ELF section
// ".verinfo" holding:  "VERINFO1" NUL  "StringFileInfo\040904E4" NUL, then
// key NUL value NUL pairs ("CompanyName", "FileDescription", "FileVersion",
// "InternalName", "LegalCopyright", "LegalTradeMarks", "OriginalFilename",
// "ProductName", "ProductVersion", "Comments").
#pragma once

#include <string>

#include "platform/Export.h"

namespace platform {

// The value of one key of the file's string table "040904E4"; empty when the
// file cannot be read, is not an ELF file, has no block or no such key.
PLATFORM_API std::string ReadVersionValue(const std::string& file, const std::string& key);

}  // namespace platform
