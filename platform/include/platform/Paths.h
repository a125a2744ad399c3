// Folders the system relies on, and the running program's own file.
#pragma once

#include <string>

#include "platform/Export.h"

namespace platform {

// The one folder separator of folder texts ("Data/", "User/", trailing separators).
inline constexpr char PathDelim = '/';

// The Windows directory: $WINDIR when set and non-empty, else
// $XDG_CONFIG_HOME/pollark (default ~/.config/pollark). Not created here;
// writers create it on first write. No trailing separator.
PLATFORM_API std::string WindowsDirectory();

// $TMPDIR, else /tmp, with a trailing separator.
PLATFORM_API std::string TempFolder();

// Full file name of the running program (/proc/self/exe).
PLATFORM_API std::string ProgramFileName();

// Folder of the running program, with a trailing separator.
PLATFORM_API std::string ProgramFolder();

// Full file name of the shared object or program that contains the address.
// Empty when the address belongs to no loaded file.
PLATFORM_API std::string ModuleFileName(const void* addressInModule);

// Short (8.3) names do not exist here: the path comes back unchanged.
PLATFORM_API std::string ShortPathName(const std::string& path);

// File-name parts, separator-aware: ExtractFilePath keeps the trailing
// separator, ExtractFileName drops the folder, ChangeFileExt replaces or
// appends an extension (given with its dot).
PLATFORM_API std::string ExtractFilePath(const std::string& path);
PLATFORM_API std::string ExtractFileName(const std::string& path);
PLATFORM_API std::string ChangeFileExt(const std::string& path, const std::string& ext);

}  // namespace platform
