// The start-up procedure of the lookup program: everything of a run happens
// inside RunOndrik, and the process ends when it returns.
#include "Ondrik.h"

#include <exception>
#include <vector>

#include "AppInfo.h"
#include "CommandLine.h"
#include "Helpers.h"
#include "OndrikData.h"
#include "VehDets.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

void ShowLookupError(const std::string& message) { ShowErrorMessage("Ondrik Error: " + message); }

void DeleteIfExists(const std::string& fileName) {
    if (platform::FileExists(fileName)) platform::DeleteFile(fileName);
}

// Steps inside the handler: whatever they raise is shown and logged, and the
// run still ends normally.
void RunLookupSteps(TAppInfo& appInfo, const std::vector<std::string>& argv) {
    const std::string dataFileName = appInfo.DataPath() + kOutputDataFileName;
    appInfo.Log("output data file: " + dataFileName);
    if (platform::FileExists(dataFileName)) {
        appInfo.Log("Previous data file found - deleting");
        platform::DeleteFile(dataFileName);
    }
    // From here on the output data file exists only if this run writes it.

    TVehicleInfoLookup lookup(appInfo);
    const std::vector<std::string> arguments(argv.begin() + (argv.empty() ? 0 : 1), argv.end());
    lookup.SetStartedWithParameters(!arguments.empty());

    TVinRecordPtr record = NewVinRecord();
    ClearVinRecord(*record);
    WriteRunIdentification(appInfo.AppPath(), lookup.VersionNumber(), WholeCommandLine(argv));

    bool found = false;
    TCommandLineReading reading;
    if (!arguments.empty()) {
        reading = ReadCommandLine(arguments, *record,
                                  [&appInfo](const std::string& entry) { appInfo.Log(entry); });
        if (reading.ParametersFound != 0) found = lookup.QuickLookup(*record);
    }
    if (!found) {
        if (reading.ParametersFound != 0 && !reading.VinGiven) {
            ShowInfoMessage(
                "A vehicle could not be found with the information provided.  Please refine your search");
        }
        found = lookup.ShowLookup(*record);
    }
    if (found) {
        appInfo.Log("Save properties to output data file");
        SaveVehicleProperties(*record, dataFileName);
    } else {
        appInfo.Log("Unsuccessful lookup - deleting data file if it exists");
        DeleteIfExists(dataFileName);
    }
    appInfo.Log("Complete Ondrik");
}

}  // namespace

int RunOndrik(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i]);

    std::unique_ptr<TAppInfo> appInfo;
    try {
        appInfo = std::make_unique<TAppInfo>();
    } catch (const Exception& e) {
        // Without an environment there is no log and no data folder.
        ShowLookupError(e.Message());
        return 0;
    } catch (const std::exception& e) {
        ShowLookupError(e.what());
        return 0;
    }

    try {
        const std::string programFile = platform::ProgramFileName();
        appInfo->SetLogFileName(platform::ChangeFileExt(programFile, ".log"));
        if (platform::FileExists(platform::ChangeFileExt(programFile, ".logger"))) appInfo->StartLog();
        appInfo->Log("Begin Ondrik");
        RunLookupSteps(*appInfo, arguments);
    } catch (const Exception& e) {
        ShowLookupError(e.Message());
        appInfo->Log("*** EXCEPTION GENERATED ***\r\n" + e.Message());
    } catch (const std::exception& e) {
        // Not of our own making (out of memory, say): shown the same way, so
        // the run still ends normally.
        ShowLookupError(e.what());
        appInfo->Log(std::string("*** EXCEPTION GENERATED ***\r\n") + e.what());
    }
    return 0;
}
