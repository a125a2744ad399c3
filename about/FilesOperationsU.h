// File helpers of the version details: the suite's file names on this
// platform, the version files below a folder, reading and clearing their
// build dates, and the text lines the details dialog shows.
//
// All text is Windows-1252, like every text below the user interface.
// Folders are given with or without a trailing separator.
//
// Errors: reading or writing a version file raises what TqelDataStorage
// raises (EqelDataStorageError, EFileError); the other helpers do not throw
// beyond std::bad_alloc.
#pragma once

#include <string>
#include <vector>

// The suite's programs and libraries, in the order the details list them,
// under their original names ("Yarvel.dll", "Ondrik.exe").
const std::vector<std::string>& SuiteFileNames();

// The name a suite file has on this platform: "X.dll" is "libX.so", "X.exe"
// is "X" (extensions compared without regard to case); any other name is
// kept.
std::string PlatformFileName(const std::string& suiteName);

// Full name of the suite file in the folder, found without regard to letter
// case under its platform name; empty when it is not there.
std::string FindSuiteFile(const std::string& folder, const std::string& suiteName);

// The files below the folder, at any depth, whose name ends in "ver" (the
// last three characters compared without regard to case), as paths relative
// to the folder, sorted without regard to case (ties by exact order).
std::vector<std::string> FindVersionFiles(const std::string& folder);

// A stored build date (year, month and day digits run together) as
// "month/day/year": characters 5-6, 7-8 and 1-4. Empty when the stored value
// has fewer than eight characters.
std::string ConvertBuildDate(const std::string& stored);

// The "General" section of a version file, read as an INI file.
struct TVersionFileInfo {
    std::string Description;
    std::string BuildDate;  // as stored
};
TVersionFileInfo ReadVersionFile(const std::string& path);

// Writes an empty "BuildDate" into the "General" section and saves the file;
// every other value stays.
void CleanupVersionFile(const std::string& path);

// The text after a line of the clean-up list is cleared: cut after the
// hyphen of the last " - " (the separator before the date). A line without
// the separator is kept.
std::string CutAfterDateSeparator(const std::string& line);

// Pads with blanks on the right to the width (in characters); never cuts.
std::string PadRight(const std::string& text, size_t width);

// The details text of the program folder.
struct TDetailsText {
    std::vector<std::string> Lines;         // the whole text, line by line
    std::vector<std::string> VersionFiles;  // FindVersionFiles of the folder
    std::vector<std::string> VersionLines;  // the lines of the version files part
};
TDetailsText BuildDetailsText(const std::string& folder);

// One line of the clean-up list: a blank and the file's name without
// folders, padded to the width, " - " and the converted build date.
std::string CleanupLine(const std::string& fileName, size_t width, const std::string& storedDate);
