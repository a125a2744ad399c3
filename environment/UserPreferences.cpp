#include "UserPreferences.h"

#include "platform/IniText.h"
#include "platform/IntegerText.h"
#include "platform/Files.h"
#include "platform/Profile.h"

void TDataPathUserPreferences::LoadPreferences() {
    // One read of the file for all seven keys.
    std::string text;
    if (!platform::ReadWholeFile(platform::ResolveProfileFile(m_iniFileName), text)) text.clear();
    const platform::IniText ini = platform::IniText::Parse(text);
    auto str = [&](const char* section, const char* key) {
        return ini.Get(section, key).value_or(std::string());
    };
    auto integer = [&](const char* section, const char* key, int32_t deflt) {
        const auto value = ini.Get(section, key);
        const auto n = value ? platform::ParseIntegerText(*value) : std::nullopt;
        return n ? *n : deflt;
    };
    Location = str("Version Info", "Location");
    UseAltDataPath = integer("DataPath", "UseAltDataPath", 0) != 0;
    UseAltQuotePath = integer("DataPath", "UseAltQuotePath", 0) != 0;
    AlternateDataPath = str("DataPath", "AlternateDataPath");
    AlternateQuotePath = str("DataPath", "AlternateQuotePath");
    UseAppLogFile = integer("Preferences", "UseAppLogFile", 0) != 0;
    LogListLength = integer("Preferences", "LogListLength", 1000);
}

void TDataPathUserPreferences::SavePreferences() {
    if (!platform::WriteProfileBool(m_iniFileName, "Preferences", "UseAppLogFile", UseAppLogFile) ||
        !platform::WriteProfileInteger(m_iniFileName, "Preferences", "LogListLength",
                                       LogListLength))
        throw EIniFileException(FormatText("Unable to write to %s", m_iniFileName.c_str()));
}
