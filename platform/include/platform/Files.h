// File access the rest of the system goes through, so that tests can make
// any step fail (see SetFileFaultHandler).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Export.h"

namespace platform {

PLATFORM_API bool FileExists(const std::string& path);       // a file, not a folder
PLATFORM_API bool DirectoryExists(const std::string& path);
PLATFORM_API bool DeleteFile(const std::string& path);       // true when it is gone now
PLATFORM_API bool RenameFile(const std::string& from, const std::string& to);
// Creates the folder and every missing parent; true when it exists afterwards.
PLATFORM_API bool ForceDirectories(const std::string& path);

// Every file below the folder, recursively, as full names, sorted by name.
// Symbolic links to folders are not followed (no cycles).
PLATFORM_API std::vector<std::string> ListFilesRecursive(const std::string& folder);

// The full name of the file in the folder whose name equals `name` without
// regard to letter case; the exact spelling wins when several match. Empty
// when there is none.
PLATFORM_API std::string FindFileNoCase(const std::string& folder, const std::string& name);

// Reads the whole file. False (and `error` set) when it cannot be read.
PLATFORM_API bool ReadWholeFile(const std::string& path, std::string& contents,
                                std::string* error = nullptr);

// Replaces the file with `contents` so that a reader sees either the old file
// or the new one, never part of one: the bytes go to a temporary file in the
// same folder, are flushed to disk and renamed over the target. The folder is
// created when missing. On failure the old file is untouched, no temporary
// file is left and `error` says what failed.
PLATFORM_API bool WriteFileAtomic(const std::string& path, std::string_view contents,
                                  std::string* error = nullptr);

// Test seam: a handler asked before each step of WriteFileAtomic, ReadWholeFile
// and ForceDirectories; a non-zero answer is taken as that errno and the step
// fails. Returns the previous handler; an empty handler removes it.
enum class FileStep { Read, CreateFolder, CreateTemp, Write, Sync, Rename };
using FileFaultHandler = std::function<int(FileStep step, const std::string& path)>;
PLATFORM_API FileFaultHandler SetFileFaultHandler(FileFaultHandler handler);

}  // namespace platform
