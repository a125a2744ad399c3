#include "FilesOperationsU.h"

#include <algorithm>
#include <cctype>

#include "Helpers.h"
#include "TextHelpers.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "qelDataStorage.h"

namespace {

constexpr const char* kSection = "General";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWithNoCase(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() &&
           platform::SameTextNoCase(std::string_view(text).substr(text.size() - tail.size()), tail);
}

std::string WithSeparator(const std::string& folder) {
    return EnsureEndsWith(folder, platform::PathDelim);
}

void OpenVersionFile(TqelDataStorage& storage, const std::string& path) {
    storage.SetStorageType(TqelDataStorage::stINI);
    storage.SetStorageName(path);
}

size_t LongestLength(const std::vector<std::string>& texts) {
    size_t width = 0;
    for (const std::string& text : texts) width = std::max(width, text.size());
    return width;
}

}  // namespace

const std::vector<std::string>& SuiteFileNames() {
    static const std::vector<std::string> names = {"Harfel.exe",  "Vestrun.exe",  "Ondrik.exe",
                                                   "PKMaint.exe", "Vandrel.dll",  "Vandrelin.dll",
                                                   "Plimtor.dll", "qelEmail.dll", "Yarvel.dll"};
    return names;
}

std::string PlatformFileName(const std::string& suiteName) {
    if (suiteName.size() > 4 && EndsWithNoCase(suiteName, ".dll"))
        return "lib" + suiteName.substr(0, suiteName.size() - 4) + ".so";
    if (suiteName.size() > 4 && EndsWithNoCase(suiteName, ".exe"))
        return suiteName.substr(0, suiteName.size() - 4);
    return suiteName;
}

std::string FindSuiteFile(const std::string& folder, const std::string& suiteName) {
    const std::string found = platform::FindFileNoCase(folder, PlatformFileName(suiteName));
    return !found.empty() && platform::FileExists(found) ? found : std::string();
}

std::vector<std::string> FindVersionFiles(const std::string& folder) {
    const std::string base = WithSeparator(folder);
    std::vector<std::string> found;
    for (const std::string& file : platform::ListFilesRecursive(base)) {
        if (!EndsWithNoCase(platform::ExtractFileName(file), "ver")) continue;
        found.push_back(file.compare(0, base.size(), base) == 0 ? file.substr(base.size()) : file);
    }
    std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
        const std::string la = Lower(a), lb = Lower(b);
        return la != lb ? la < lb : a < b;
    });
    return found;
}

std::string ConvertBuildDate(const std::string& stored) {
    if (stored.size() < 8) return {};
    return FormatText("%s/%s/%s", stored.substr(4, 2).c_str(), stored.substr(6, 2).c_str(),
                      stored.substr(0, 4).c_str());
}

TVersionFileInfo ReadVersionFile(const std::string& path) {
    TqelDataStorage storage;
    OpenVersionFile(storage, path);
    TVersionFileInfo info;
    info.Description = storage.ReadString(kSection, "Description");
    info.BuildDate = storage.ReadString(kSection, "BuildDate");
    return info;
}

void CleanupVersionFile(const std::string& path) {
    TqelDataStorage storage;
    OpenVersionFile(storage, path);
    storage.WriteString(kSection, "BuildDate", "");
    storage.UpdateFile();
}

std::string CutAfterDateSeparator(const std::string& line) {
    const size_t at = line.rfind(" - ");
    return at == std::string::npos ? line : line.substr(0, at + 2);
}

std::string PadRight(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string CleanupLine(const std::string& fileName, size_t width, const std::string& storedDate) {
    return PadRight(" " + fileName, width) + " - " + ConvertBuildDate(storedDate);
}

TDetailsText BuildDetailsText(const std::string& folder) {
    const std::string base = WithSeparator(folder);
    TDetailsText details;
    std::vector<std::string>& lines = details.Lines;
    lines = {"", "            Exe/Dll versions           ", ""};

    std::vector<std::string> labels, versions;
    for (const std::string& name : SuiteFileNames()) {
        const std::string file = FindSuiteFile(base, name);
        if (file.empty()) continue;
        labels.push_back(" " + PlatformFileName(name) + " ");
        versions.push_back(GetVersionString(file, 2));
    }
    const size_t suiteWidth = LongestLength(labels);
    for (size_t i = 0; i < labels.size(); ++i)
        lines.push_back(PadRight(labels[i], suiteWidth) + " : " + versions[i]);
    lines.push_back("");
    lines.push_back("");

    details.VersionFiles = FindVersionFiles(base);
    if (details.VersionFiles.empty()) return details;
    lines.push_back("           Version files info          ");
    lines.push_back("");

    labels.clear();
    std::vector<std::string> dates;
    for (const std::string& relative : details.VersionFiles) {
        const std::string path = base + relative;
        if (!platform::FileExists(path)) continue;  // gone since the search
        TVersionFileInfo info;
        try {
            info = ReadVersionFile(path);
        } catch (const Exception&) {
            continue;  // unreadable: left out like a file without a description
        }
        if (platform::TrimBlanks(info.Description).empty()) continue;
        labels.push_back(" " + info.Description + " (" + platform::ExtractFileName(path) + ") ");
        dates.push_back(ConvertBuildDate(info.BuildDate));
    }
    const size_t width = LongestLength(labels);
    for (size_t i = 0; i < labels.size(); ++i) {
        details.VersionLines.push_back(PadRight(labels[i], width) + " : " + dates[i]);
        lines.push_back(details.VersionLines.back());
    }
    return details;
}
