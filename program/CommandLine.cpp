#include "CommandLine.h"

#include "DateUtils.h"
#include "Helpers.h"
#include "VehDets.h"
#include "platform/Services.h"

namespace {

bool IsBlankOrControl(unsigned char c) { return c <= ' '; }

std::string TrimBlanksAndControls(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlankOrControl(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && IsBlankOrControl(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string TextAfterFirstEquals(const std::string& text) {
    const size_t at = text.find('=');
    return at == std::string::npos ? text : text.substr(at + 1);
}

}  // namespace

TCommandLineReading ReadCommandLine(const std::vector<std::string>& arguments, TVinRecord& record,
                                    const std::function<void(const std::string&)>& log) {
    TCommandLineReading reading;
    if (arguments.empty()) return reading;
    reading.ParametersFound = 1;
    auto count = [&reading] {
        if (reading.ParametersFound < UINT8_MAX) ++reading.ParametersFound;
    };
    std::string logText = "Command line parameters found\r\n";
    for (const std::string& argument : arguments) {
        const std::string name = TrimBlanksAndControls(UpperAscii(argument.substr(0, argument.find('='))));
        std::string unquoted;
        unquoted.reserve(argument.size());
        for (char c : argument) {
            if (c != '"') unquoted += c;
        }
        const std::string value = TrimBlanksAndControls(TextAfterFirstEquals(unquoted));
        logText += name + " = " + value + "\r\n";
        if (value.empty()) continue;
        if (name == "/MAKE") {
            record.Make = ReplaceRecordText(record.Make, value);
            count();
        } else if (name == "/MODEL") {
            record.Model = ReplaceRecordText(record.Model, value);
            count();
        } else if (name == "/VIN") {
            record.VIN = ReplaceRecordText(record.VIN, value);
            reading.VinGiven = true;
            count();
        } else if (name == "/YEAR") {
            record.ModelYear = StrToIntTrimmed(value);
            count();
        } else if (name == "/EFFECTIVE") {
            const auto date = ParseDateText(value, platform::ShortDateFormat());
            record.EffectiveDate = date ? *date : NowDayCount();
        }
    }
    if (log) log(logText);
    return reading;
}

std::string WholeCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& argument : argv) {
        if (!line.empty()) line += ' ';
        if (argument.find_first_of(" \t\"") == std::string::npos && !argument.empty()) {
            line += argument;
            continue;
        }
        line += '"';
        for (char c : argument) {
            if (c == '"') line += '\\';
            line += c;
        }
        line += '"';
    }
    return TrimBlanksAndControls(line);
}
