// The two files through which the program hands its result to the host: the
// output data file Ondrik.dat (the accepted vehicle) and the program ini file
// Ondrik.ini (location, version, last command line, one window setting). The
// program writes both and never reads them back.
#pragma once

#include <string>

#include "Exception.h"
#include "yarvel.h"

// Writing either file failed; the message names the file.
class EOndrikData : public Exception {
public:
    using Exception::Exception;
};

inline constexpr char kOutputDataFileName[] = "Ondrik.dat";
// A bare name: the profile-file service resolves it in the Windows directory.
inline constexpr char kOndrikIniFileName[] = "Ondrik.ini";

// The text of the output data file: "[VehicleProperties]", then every property
// line of the record (empty values included, blanks removed from the keys),
// each line ended by carriage return and line feed. Windows-1252 bytes.
std::string VehiclePropertiesText(const TVinRecord& record);

// Replaces the file with VehiclePropertiesText. The host reads the file as soon
// as the program ends, so it is written to a temporary file in the same folder
// and renamed over the old one: a reader sees the old file or the new one,
// never part of one. A missing folder is not created. Throws EOndrikData
// "Cannot create file <name>. <reason>" and leaves any old file untouched.
void SaveVehicleProperties(const TVinRecord& record, const std::string& fileName);

// The run's identification in Ondrik.ini, key by key: "Version Info" /
// "Location" the short form of the program folder, "Version Info" / "Number"
// the program's version, "Last" / "CommandLine" the whole command line with
// surrounding blanks removed. Throws EOndrikData "Unable to write to <file>".
void WriteRunIdentification(const std::string& programFolder, const std::string& versionNumber,
                            const std::string& commandLine);

// "Settings" / "UseOrigSymbol" = "1" or "0". Throws EOndrikData as above.
void WriteUseOrigSymbol(bool useOrigSymbol);
