#include "OndrikData.h"

#include "VehDets.h"
#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

namespace {

void WriteIniKey(const char* section, const char* key, const std::string& value) {
    if (!platform::WriteProfileString(kOndrikIniFileName, section, key, value))
        throw EOndrikData(FormatText("Unable to write to %s",
                                     platform::ResolveProfileFile(kOndrikIniFileName).c_str()));
}

}  // namespace

std::string VehiclePropertiesText(const TVinRecord& record) {
    std::string text = "[VehicleProperties]\r\n";
    for (const std::string& line : GetVehicleProperties(record, true, "=", true))
        text += line + "\r\n";
    return text;
}

void SaveVehicleProperties(const TVinRecord& record, const std::string& fileName) {
    std::string error;
    // A missing folder is an installation fault to report, not one to paper over.
    const std::string folder = platform::ExtractFilePath(fileName);
    if (!folder.empty() && !platform::DirectoryExists(folder))
        throw EOndrikData(FormatText("Cannot create file %s. The folder %s does not exist",
                                     fileName.c_str(), folder.c_str()));
    if (!platform::WriteFileAtomic(fileName, VehiclePropertiesText(record), &error))
        throw EOndrikData(FormatText("Cannot create file %s. %s", fileName.c_str(), error.c_str()));
}

void WriteRunIdentification(const std::string& programFolder, const std::string& versionNumber,
                            const std::string& commandLine) {
    WriteIniKey("Version Info", "Location", platform::ShortPathName(programFolder));
    WriteIniKey("Version Info", "Number", versionNumber);
    WriteIniKey("Last", "CommandLine", platform::TrimBlanks(commandLine));
}

void WriteUseOrigSymbol(bool useOrigSymbol) {
    WriteIniKey("Settings", "UseOrigSymbol", useOrigSymbol ? "1" : "0");
}
