// Fuzz target for the program's command-line reading: any arguments must
// fill the record or raise the conversion error, never crash, hang or trip
// a sanitizer; the whole command line rebuilt from them must split back into
// the same arguments.
//
// Input layout: arguments separated by NUL bytes (an argument cannot hold
// one); the first byte picks the short date format.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Exception.h"
#include "VehDets.h"
#include "platform/Services.h"

namespace {

// The platform's splitting rule for the rebuilt line: blanks separate, a
// double-quoted stretch holds blanks, \" is a quote.
std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> parts;
    std::string part;
    bool quoted = false;
    bool any = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
            part += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && c == ' ') {
            if (any || !part.empty()) parts.push_back(part);
            part.clear();
            any = false;
        } else {
            part += c;
        }
    }
    if (any || !part.empty()) parts.push_back(part);
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const char* const kFormats[] = {"M/d/yyyy", "dd.MM.yyyy", "yyyy-MM-dd", "d/M/yy"};
    if (size == 0) return 0;
    const std::string format = kFormats[bytes[0] % 4];
    platform::SetShortDateFormatHandler([format] { return format; });
    std::vector<std::string> arguments;
    std::string current;
    for (size_t i = 1; i < size; ++i) {
        if (bytes[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(bytes[i]);
        }
    }
    arguments.push_back(current);

    TVinRecordPtr record = NewVinRecord();
    ClearVinRecord(*record);
    size_t logged = 0;
    try {
        ReadCommandLine(arguments, *record, [&logged](const std::string& entry) { logged += entry.size(); });
    } catch (const Exception&) {
    }

    // Tabs and other controls are not separators of the rule above, and the
    // line is trimmed: only arguments of printable text and inner blanks
    // round-trip exactly.
    std::vector<std::string> argv = {"/opt/ondrik/Ondrik"};
    bool plain = true;
    for (const std::string& a : arguments) {
        for (unsigned char c : a) plain = plain && c >= ' ' && c != '\\';
        argv.push_back(a);
    }
    if (plain && Split(WholeCommandLine(argv)) != argv) std::abort();
    return 0;
}
