// yarvel-lookup: a vehicle lookup from the command line, for people who
// integrate the host or support an installation. It loads the engine through
// the program's own binding, looks the vehicle up the way the program's silent
// lookup does, and prints the property lines the output data file would hold.
// It runs the program's own lookup procedures; where they would ask the user
// to choose, it prints the choice the program's dialog shows instead.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "DateUtils.h"
#include "Helpers.h"
#include "OndrikData.h"
#include "TextHelpers.h"
#include "VehDets.h"
#include "YarvelPortal.h"
#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"

namespace {

constexpr int kExitFound = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitSeveral = 2;
constexpr int kExitError = 3;

const char kSynopsis[] =
    "Usage: yarvel-lookup [OPTIONS] VIN\n"
    "       yarvel-lookup [OPTIONS] --year YEAR --make MAKE --model MODEL\n"
    "       yarvel-lookup [OPTIONS] --batch FILE\n";

const char kHelp[] =
    "Looks a vehicle up through the lookup engine (libYarvel.so in this program's\n"
    "folder) the way Ondrik's silent lookup does, and prints the lines Ondrik would\n"
    "write to its output data file. Where Ondrik would ask which of several\n"
    "vehicle descriptions is meant, the choice is printed as its dialog shows\n"
    "it: the caption, the columns in which the descriptions differ, one row each.\n"
    "A VIN is upper-cased, as Ondrik's VIN edit does.\n"
    "\n"
    "Options:\n"
    "  --date DATE    lookup date, in the short date format (M/d/yyyy) or as\n"
    "                 yyyy-mm-dd; default today. 1/1/1950 asks for the original\n"
    "                 symbol.\n"
    "  --data DIR     use the master tables in DIR. The engine finds its data\n"
    "                 folder through the host ini Pollark.Ini in the Windows\n"
    "                 directory ($WINDIR); with --data, $WINDIR points at a private\n"
    "                 temporary folder holding a Pollark.Ini whose section\n"
    "                 [DataPath] sets UseAltDataPath=1 and AlternateDataPath=DIR.\n"
    "                 Without it the engine reads the installation's Pollark.Ini,\n"
    "                 and without that uses the Data folder beside this program.\n"
    "  --year YEAR, --make MAKE, --model MODEL\n"
    "                 look up by model year, make (name or abbreviation) and\n"
    "                 model name instead of a VIN; letter case does not matter.\n"
    "  --batch FILE   one VIN per line, optionally followed by a date (separated\n"
    "                 by a comma, tab or blanks); empty lines and lines starting\n"
    "                 with # are skipped. Prints one result line per VIN: VIN,\n"
    "                 date, result and details, separated by tabs (with --json one\n"
    "                 JSON object per line). The file may be UTF-8 with a byte-order\n"
    "                 mark and have CRLF line ends.\n"
    "  --json         print JSON (UTF-8) instead of text: one object for every\n"
    "                 outcome, errors included ({\"result\":\"error\",...}).\n"
    "  --version      print the version and exit.\n"
    "  -h, --help     print this help and exit.\n"
    "\n"
    "Text is printed in UTF-8; the output data file itself holds Windows-1252.\n"
    "\n"
    "Exit status:\n"
    "  0  one vehicle found (--batch: every line was looked up without error)\n"
    "  1  no vehicle found, or the VIN is shorter than the engine's minimum\n"
    "  2  several vehicle descriptions in effect\n"
    "  3  error: bad command line, engine or data not usable, batch file unreadable,\n"
    "     a batch line whose result is error\n";

// A command line that cannot be run.
class EUsage : public Exception {
public:
    using Exception::Exception;
};

struct TOptions {
    std::string Vin;
    std::optional<std::string> Year, Make, Model;
    std::optional<std::string> Date;
    std::optional<std::string> DataDir;
    std::optional<std::string> BatchFile;
    bool Json = false;
    bool Help = false;
    bool Version = false;
};

TOptions ParseCommandLine(int argc, char** argv) {
    TOptions options;
    bool vinGiven = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            if (vinGiven) throw EUsage("only one VIN can be given: " + arg);
            options.Vin = arg;
            vinGiven = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= argc) throw EUsage("option " + arg + " needs a value");
            return argv[++i];
        };
        auto flag = [&](bool& target) {
            if (inlineValue) throw EUsage("option " + arg + " takes no value");
            target = true;
        };
        if (arg == "--json") {
            flag(options.Json);
        } else if (arg == "--help" || arg == "-h") {
            flag(options.Help);
        } else if (arg == "--version") {
            flag(options.Version);
        } else if (arg == "--date") {
            options.Date = value();
        } else if (arg == "--data") {
            options.DataDir = value();
        } else if (arg == "--batch") {
            options.BatchFile = value();
        } else if (arg == "--year") {
            options.Year = value();
        } else if (arg == "--make") {
            options.Make = value();
        } else if (arg == "--model") {
            options.Model = value();
        } else {
            throw EUsage("unknown option " + arg);
        }
    }
    if (options.Help || options.Version) return options;
    const bool ymm = options.Year || options.Make || options.Model;
    if (ymm && !(options.Year && options.Make && options.Model))
        throw EUsage("--year, --make and --model go together");
    const int searches = (vinGiven ? 1 : 0) + (ymm ? 1 : 0) + (options.BatchFile ? 1 : 0);
    if (searches == 0) throw EUsage("give a VIN, --year/--make/--model or --batch");
    if (searches > 1) throw EUsage("give only one of a VIN, --year/--make/--model and --batch");
    if (vinGiven && platform::TrimBlanks(options.Vin).empty()) throw EUsage("the VIN is empty");
    if (ymm && !IsIntegerText(platform::TrimBlanks(*options.Year)))
        throw EUsage("the year must be a number: " + *options.Year);
    if (options.BatchFile && options.Date)
        throw EUsage("--date does not apply to --batch; give the date on each line");
    return options;
}

// yyyy-mm-dd, or the short date format.
std::optional<double> ReadDate(const std::string& text) {
    const std::string t = platform::TrimBlanks(text);
    if (t.size() >= 8 && t[4] == '-' && t.find_first_not_of("0123456789-") == std::string::npos) {
        if (const auto d = ParseDateText(t, "yyyy-M-d")) return d;
    }
    return ParseDateText(t, platform::ShortDateFormat());
}

std::string IsoDate(double dayCount) {
    return FormatDateText(dayCount, "yyyy-MM-dd");
}

// ---- Output -----------------------------------------------------------------

std::string JsonUtf8String(const std::string& utf8) {
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

std::string JsonString(const std::string& ansi) {
    return JsonUtf8String(platform::AnsiToUtf8(ansi));
}

// Property lines as [key, value] pairs: keys repeat, so no object.
std::string JsonProperties(const std::vector<std::string>& lines) {
    std::string out = "[";
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto eq = lines[i].find('=');
        if (i) out += ",";
        out += "[" + JsonString(lines[i].substr(0, eq)) + "," +
               JsonString(eq == std::string::npos ? "" : lines[i].substr(eq + 1)) + "]";
    }
    return out + "]";
}

std::string Utf8(const std::string& ansi) {
    return platform::AnsiToUtf8(ansi);
}

// One cell of a tab-separated line.
std::string Cell(const std::string& ansi) {
    std::string text = Utf8(ansi);
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n' || c == '\0') c = ' ';
    return text;
}

// ---- Engine messages ----------------------------------------------------------

// The engine reports its failures in message boxes and then answers defaults
// that look like "nothing found". Boxes are still written to stderr as without
// a handler, but an error report turns the outcome into an error. While the
// engine starts they are held back: a start that fails is reported once.
int g_engineErrors = 0;
bool g_holdBoxes = false;
std::vector<std::string> g_heldBoxes;

int StderrBox(const platform::MessageBoxRequest& request) {
    const std::string line = request.caption + ": " + request.text;
    if (g_holdBoxes)
        g_heldBoxes.push_back(line);
    else
        std::fprintf(stderr, "%s\n", platform::AnsiToUtf8(line).c_str());
    if (request.text.rfind("YARVEL.DLL Error", 0) == 0) ++g_engineErrors;
    return platform::DefaultAnswer(request);
}

// An error the tool reports (a UTF-8 message): on stderr for people, and with
// --json as the one JSON object on stdout, so that a script always has
// something to read.
void ReportError(bool json, const std::string& message, bool usage = false) {
    if (usage)
        std::fprintf(stderr, "yarvel-lookup: %s\n%sRun yarvel-lookup --help for the options.\n",
                     message.c_str(), kSynopsis);
    else
        std::fprintf(stderr, "yarvel-lookup: %s\n", message.c_str());
    if (json)
        std::printf("{\"result\":\"error\",%s\"message\":%s}\n", usage ? "\"usage\":true," : "",
                    JsonUtf8String(message).c_str());
}

// ---- Private host ini for --data --------------------------------------------------

// A private folder is "yarvel-lookup.<pid>.<6 characters>"; one whose run
// was killed is removed by a later run once that process is gone.
void RemoveFoldersOfDeadRuns(const std::string& tempFolder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(tempFolder, ec)) {
        const std::string name = entry.path().filename().string();
        const std::string prefix = "yarvel-lookup.";
        if (name.rfind(prefix, 0) != 0) continue;
        const size_t dot = name.find('.', prefix.size());
        if (dot == std::string::npos || dot == prefix.size() || name.size() != dot + 7) continue;
        const std::string digits = name.substr(prefix.size(), dot - prefix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        struct stat st {};
        if (pid <= 0 || pid == getpid() || lstat(entry.path().c_str(), &st) != 0 ||
            !S_ISDIR(st.st_mode) || st.st_uid != getuid())
            continue;
        if (kill(pid, 0) != 0 && errno == ESRCH) std::filesystem::remove_all(entry.path(), ec);
    }
}

class TPrivateWindowsDir {
public:
    explicit TPrivateWindowsDir(const std::string& dataDir) {
        std::error_code ec;
        const std::filesystem::path data = std::filesystem::absolute(dataDir, ec);
        if (ec || !platform::DirectoryExists(data.string()))
            throw Exception("data folder not found: " + dataDir);
        std::string folder = data.lexically_normal().string();
        if (folder.empty() || folder.back() != platform::PathDelim) folder += platform::PathDelim;

        RemoveFoldersOfDeadRuns(platform::TempFolder());
        std::string pattern =
            platform::TempFolder() + "yarvel-lookup." + std::to_string(getpid()) + ".XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw Exception("cannot create a temporary folder in " + platform::TempFolder());
        m_path = pattern;
        const std::string ini = m_path + "/Pollark.Ini";
        std::string error;
        if (!platform::WriteProfileString(ini, "DataPath", "UseAltDataPath", "1", &error) ||
            !platform::WriteProfileString(ini, "DataPath", "AlternateDataPath", folder, &error))
            throw Exception("cannot write " + ini + ": " + error);
        setenv("WINDIR", m_path.c_str(), 1);
    }
    ~TPrivateWindowsDir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    TPrivateWindowsDir(const TPrivateWindowsDir&) = delete;
    TPrivateWindowsDir& operator=(const TPrivateWindowsDir&) = delete;

private:
    std::string m_path;
};

// Keeps the engine loaded for the tool's run.
// Started reports whether the engine's session began; when it did not, Failure
// holds the engine's own first report.
struct TEngineSession {
    TEngineSession() {
        const int errorsBefore = g_engineErrors;
        g_holdBoxes = true;
        g_heldBoxes.clear();
        try {
            LoadYarvel();
            Yarvel().YarvelSetSuppressMessages(1);
            // The engine answers 0 here only when its session did not start.
            Started = Yarvel().YarvelGetMinVinSizePermitted() > 0 && g_engineErrors == errorsBefore;
        } catch (...) {
            g_holdBoxes = false;
            // A binding that failed part-way leaves the library loaded.
            UnloadYarvel();
            throw;
        }
        g_holdBoxes = false;
        if (Started) {
            for (const std::string& line : g_heldBoxes)
                std::fprintf(stderr, "%s\n", platform::AnsiToUtf8(line).c_str());
        } else if (!g_heldBoxes.empty()) {
            // One line: the engine's message may hold line breaks.
            for (const char c : g_heldBoxes.front()) {
                if (c != '\r' && c != '\n')
                    Failure += c;
                else if (!Failure.empty() && Failure.back() != ' ')
                    Failure += ' ';
            }
        }
        g_heldBoxes.clear();
    }
    bool Started = false;
    std::string Failure;
    ~TEngineSession() {
        // Stopping an engine that never started only repeats that it did not.
        g_holdBoxes = !Started;
        UnloadYarvel();
        g_holdBoxes = false;
        g_heldBoxes.clear();
    }
    TEngineSession(const TEngineSession&) = delete;
    TEngineSession& operator=(const TEngineSession&) = delete;
};

// ---- Lookups --------------------------------------------------------------------

enum class TOutcome { Found, Several, NotFound, Invalid, Error };

const char* OutcomeWord(TOutcome outcome) {
    switch (outcome) {
        case TOutcome::Found:
            return "found";
        case TOutcome::Several:
            return "several";
        case TOutcome::NotFound:
            return "not_found";
        case TOutcome::Invalid:
            return "invalid";
        case TOutcome::Error:
            return "error";
    }
    return "error";
}

int ExitStatus(TOutcome outcome) {
    switch (outcome) {
        case TOutcome::Found:
            return kExitFound;
        case TOutcome::Several:
            return kExitSeveral;
        case TOutcome::NotFound:
        case TOutcome::Invalid:
            return kExitNotFound;
        case TOutcome::Error:
            return kExitError;
    }
    return kExitError;
}

// The tool's chooser: nobody is asked. It keeps the choice the program's
// dialog would show and answers the row given in advance, or cancel.
class TPrintingChooser : public TVehicleChooser {
public:
    explicit TPrintingChooser(int answer = -1) : m_answer(answer) {}
    int Choose(const TChoiceTable& table) override {
        Asked = table;
        return m_answer;
    }
    std::optional<TChoiceTable> Asked;

private:
    int m_answer;
};

struct TResult {
    TOutcome Outcome = TOutcome::NotFound;
    std::string Message;
    TVinRecordPtr Record;  // found
    // Several: the choice as the program's dialog shows it, and the vehicle
    // each of its rows gives (null where that lookup found none).
    TChoiceTable Choice;
    std::vector<TVinRecordPtr> Choices;
};

// One run of the program's lookup on a fresh record with the chooser.
using TLookup = std::function<bool(TVinRecord&, TVehicleChooser&)>;

// Runs the lookup; when it asks for a choice, runs it again for each row so
// that every row's vehicle is the one the program would take for it.
TResult Decide(const TLookup& lookup, const std::string& notFound) {
    TResult result;
    TPrintingChooser chooser;
    TVinRecordPtr record = NewVinRecord();
    const bool found = lookup(*record, chooser);
    if (chooser.Asked) {
        result.Outcome = TOutcome::Several;
        result.Choice = std::move(*chooser.Asked);
        for (size_t row = 0; row < result.Choice.Rows.size(); ++row) {
            TPrintingChooser pick(static_cast<int>(row));
            TVinRecordPtr taken = NewVinRecord();
            result.Choices.push_back(lookup(*taken, pick) ? std::move(taken) : nullptr);
        }
    } else if (found) {
        result.Outcome = TOutcome::Found;
        result.Record = std::move(record);
    } else {
        result.Message = notFound;
    }
    return result;
}

// The program's VIN search: the VIN upper-cased as its VIN edit does, the
// engine's own load first (its model year decides the choice's symbol
// columns), then the lookup procedure.
TResult LookupVin(const std::string& vinText, double date) {
    const TYarvelEntryPoints& y = Yarvel();
    TResult result;
    const std::string vin = UpperText1252(platform::TrimBlanks(vinText));
    const int32_t minimum = y.YarvelGetMinVinSizePermitted();
    if (static_cast<int64_t>(vin.size()) < minimum) {
        result.Outcome = TOutcome::Invalid;
        result.Message = "VIN must be at least " + std::to_string(minimum) +
                         " characters in order for a lookup to occur";
        return result;
    }
    const TLookup lookup = [&](TVinRecord& record, TVehicleChooser& chooser) {
        ClearVinRecord(record);
        record.EffectiveDate = date;
        record.VIN = ReplaceRecordText(record.VIN, vin);
        y.YarvelGetRecordByVIN(&record);
        const bool found = LookupByVIN(record, vin, chooser);
        // The record carries the VIN searched, not the engine's pattern.
        if (found) record.VIN = ReplaceRecordText(record.VIN, vin);
        return found;
    };
    return Decide(lookup, "No vehicle found for VIN " + vin + " on " +
                              FormatDateText(date, platform::ShortDateFormat()));
}

bool SameName(const std::string& a, const std::string& b) {
    return platform::SameTextNoCase(platform::TrimBlanks(a), platform::TrimBlanks(b));
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

// The program's year, make and model search, on the make and model of the
// engine's lists that the names given match.
TResult LookupYmm(const std::string& yearText, const std::string& makeText,
                  const std::string& modelText, double date) {
    const TYarvelEntryPoints& y = Yarvel();
    TResult result;
    const std::string year = std::to_string(StrToIntTrimmed(yearText));

    TMakeList makes;
    y.YarvelGetListOfMakes(makes.Protocol());
    const TAutoMake* make = nullptr;
    std::vector<std::string> makeNames;
    for (const auto& [name, object] : makes.Entries()) {
        makeNames.push_back(name);
        if (!make && object &&
            (SameName(name, makeText) || SameName(RecordText(object->Make), makeText) ||
             SameName(RecordText(object->Abbr), makeText)))
            make = object;
    }
    if (!make) {
        result.Message = "No make " + makeText + "; the makes are: " + JoinNames(makeNames);
        return result;
    }

    TModelList models;
    const TYarvelText yearArg(year);
    y.YarvelGetListOfModels(models.Protocol(), make, yearArg.In());
    TModelID* model = nullptr;
    std::vector<std::string> modelNames;
    for (const auto& [name, object] : models.Entries()) {
        if (modelNames.empty() || modelNames.back() != name) modelNames.push_back(name);
        if (!model && object &&
            (SameName(name, modelText) || SameName(RecordText(object->Name), modelText)))
            model = object;
    }
    if (!model) {
        result.Message = "No model " + modelText + " of " + RecordText(make->Make) + " in " + year +
                         (modelNames.empty() ? "" : "; the models are: " + JoinNames(modelNames));
        return result;
    }

    const std::string makeAbbreviation = RecordText(make->Abbr);
    const std::string modelName = RecordText(model->Name);
    const TLookup lookup = [&](TVinRecord& record, TVehicleChooser& chooser) {
        ClearVinRecord(record);
        record.EffectiveDate = date;
        return LookupByYMM(record, model, year, makeAbbreviation, modelName, chooser);
    };
    return Decide(lookup, "No vehicle description of " + year + " " + RecordText(make->Make) +
                              " " + platform::TrimBlanks(modelName) + " in effect on " +
                              FormatDateText(date, platform::ShortDateFormat()));
}

// Runs one lookup; engine error reports make it an error whatever it answered.
template <typename F>
TResult Guarded(F&& lookup) {
    const int errorsBefore = g_engineErrors;
    TResult result;
    try {
        result = lookup();
    } catch (const Exception& e) {
        result = TResult{};
        result.Outcome = TOutcome::Error;
        result.Message = e.Message();
    }
    if (g_engineErrors != errorsBefore && result.Outcome != TOutcome::Error) {
        result = TResult{};
        result.Outcome = TOutcome::Error;
        result.Message = "the engine reported an error (see above)";
    }
    return result;
}

// ---- Printing ---------------------------------------------------------------------

std::string JsonList(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (size_t i = 0; i < texts.size(); ++i) out += (i ? "," : "") + JsonString(texts[i]);
    return out + "]";
}

// The date as given on a batch line that could not be read, else yyyy-mm-dd.
std::string JsonResult(const TResult& r, const std::string& queryJson,
                       const std::string& dateText) {
    std::string out = "{\"result\":" + JsonString(OutcomeWord(r.Outcome)) + ",\"query\":{" +
                      queryJson + ",\"date\":" + JsonString(dateText) + "}";
    if (r.Outcome == TOutcome::Found) {
        out +=
            ",\"properties\":" + JsonProperties(GetVehicleProperties(*r.Record, true, "=", true));
    } else if (r.Outcome == TOutcome::Several) {
        out += ",\"caption\":" + JsonString(r.Choice.Caption) +
               ",\"columns\":" + JsonList(r.Choice.Titles) +
               ",\"choiceRows\":" + std::to_string(r.Choice.Rows.size()) + ",\"candidates\":[";
        for (size_t c = 0; c < r.Choice.Rows.size(); ++c) {
            out += (c ? ",{" : "{") + std::string("\"values\":") + JsonList(r.Choice.Rows[c]);
            // What the output data file would hold with this row chosen.
            if (c < r.Choices.size() && r.Choices[c])
                out += ",\"properties\":" +
                       JsonProperties(GetVehicleProperties(*r.Choices[c], true, "=", true));
            out += "}";
        }
        out += "]";
    }
    if (!r.Message.empty()) out += ",\"message\":" + JsonString(r.Message);
    return out + "}";
}

void PrintText(const TResult& r) {
    switch (r.Outcome) {
        case TOutcome::Found: {
            // Exactly the output data file's lines, with the terminal's line ends.
            std::string text = VehiclePropertiesText(*r.Record);
            std::erase(text, '\r');
            std::fputs(Utf8(text).c_str(), stdout);
            break;
        }
        case TOutcome::Several:
            // What the program's choice dialog shows (and writes when headless).
            std::printf("%s\n", Utf8(ChoiceText(r.Choice)).c_str());
            break;
        case TOutcome::NotFound:
        case TOutcome::Invalid:
            std::printf("%s\n", Utf8(r.Message).c_str());
            break;
        case TOutcome::Error:
            std::fprintf(stderr, "yarvel-lookup: %s\n", Utf8(r.Message).c_str());
    }
}

std::string JoinCells(const std::vector<std::string>& cells, const char* separator) {
    std::string out;
    for (size_t i = 0; i < cells.size(); ++i) out += (i ? separator : "") + Cell(cells[i]);
    return out;
}

std::string BatchTextLine(const std::string& vin, const std::string& dateText, const TResult& r) {
    std::string line = Cell(vin) + "\t" + Cell(dateText) + "\t" + OutcomeWord(r.Outcome);
    if (r.Outcome == TOutcome::Found) {
        for (const auto& property : GetVehicleProperties(*r.Record, true, "=", true))
            line += "\t" + Cell(property);
    } else if (r.Outcome == TOutcome::Several) {
        // The columns in which the descriptions differ, then each row's values.
        line += "\t" + std::to_string(r.Choice.Rows.size()) + " descriptions differing in " +
                JoinCells(r.Choice.Titles, ", ") + ":";
        for (size_t i = 0; i < r.Choice.Rows.size(); ++i)
            line += (i ? " | " : " ") + JoinCells(r.Choice.Rows[i], ", ");
    } else if (!r.Message.empty()) {
        line += "\t" + Cell(r.Message);
    }
    return line;
}

int RunBatch(const TOptions& options) {
    std::ifstream in(*options.BatchFile, std::ios::binary);
    if (!in || platform::DirectoryExists(*options.BatchFile)) {
        ReportError(options.Json, "cannot read " + *options.BatchFile);
        return kExitError;
    }
    int status = kExitFound;
    std::string raw;
    for (bool first = true; std::getline(in, raw); first = false) {
        // Files saved by Windows editors start with a byte-order mark; their
        // carriage returns go with the trimming.
        if (first && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
        const std::string line = platform::TrimBlanks(raw);
        if (line.empty() || line[0] == '#') continue;
        const auto end = line.find_first_of(" \t,");
        const std::string vin = UpperText1252(platform::Utf8ToAnsi(line.substr(0, end)));
        std::string dateText =
            end == std::string::npos ? "" : platform::TrimBlanks(line.substr(end + 1));
        if (!dateText.empty() && dateText[0] == ',')
            dateText = platform::TrimBlanks(dateText.substr(1));
        const std::optional<double> date =
            dateText.empty() ? std::optional<double>(NowDayCount()) : ReadDate(dateText);
        TResult result;
        if (!date) {
            result.Outcome = TOutcome::Error;
            result.Message = "not a date: " + platform::Utf8ToAnsi(dateText);
        } else {
            result = Guarded([&] { return LookupVin(vin, *date); });
        }
        if (result.Outcome == TOutcome::Error) status = kExitError;
        // An unreadable date is shown as it was given, never as today's.
        const std::string shownDate = date ? IsoDate(*date) : platform::Utf8ToAnsi(dateText);
        // Written whole: a NUL read from the file must not cut the line.
        const std::string out =
            options.Json ? JsonResult(result, "\"vin\":" + JsonString(vin), shownDate)
                         : BatchTextLine(vin, dateText.empty() ? shownDate : platform::Utf8ToAnsi(dateText),
                                         result);
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return status;
}

int Run(const TOptions& options) {
    std::optional<double> date = NowDayCount();
    if (options.Date) {
        date = ReadDate(*options.Date);
        if (!date) throw EUsage("not a date: " + *options.Date);
    }
    std::optional<TPrivateWindowsDir> windowsDir;
    if (options.DataDir) windowsDir.emplace(*options.DataDir);

    TEngineSession engine;
    if (!engine.Started) {
        ReportError(options.Json,
                    "the engine did not start" +
                        (engine.Failure.empty() ? "" : ": " + platform::AnsiToUtf8(engine.Failure)));
        return kExitError;
    }
    if (options.BatchFile) return RunBatch(options);

    TResult result;
    std::string queryJson;
    if (options.Year) {
        const std::string make = platform::Utf8ToAnsi(*options.Make);
        const std::string model = platform::Utf8ToAnsi(*options.Model);
        result = Guarded([&] { return LookupYmm(*options.Year, make, model, *date); });
        queryJson = "\"year\":" + JsonString(platform::TrimBlanks(*options.Year)) +
                    ",\"make\":" + JsonString(make) + ",\"model\":" + JsonString(model);
    } else {
        const std::string vin = UpperText1252(platform::TrimBlanks(platform::Utf8ToAnsi(options.Vin)));
        result = Guarded([&] { return LookupVin(vin, *date); });
        queryJson = "\"vin\":" + JsonString(vin);
    }
    if (options.Json) {
        std::printf("%s\n", JsonResult(result, queryJson, IsoDate(*date)).c_str());
        if (result.Outcome == TOutcome::Error)
            std::fprintf(stderr, "yarvel-lookup: %s\n", Utf8(result.Message).c_str());
    } else {
        PrintText(result);
    }
    return ExitStatus(result.Outcome);
}

// Whether JSON was asked for, read before the command line is parsed so that
// a command line that cannot be parsed is answered in JSON too.
bool JsonAsked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        if (arg == "--json" || arg.rfind("--json=", 0) == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    platform::SetMessageBoxHandler(StderrBox);
    const bool json = JsonAsked(argc, argv);
    try {
        const TOptions options = ParseCommandLine(argc, argv);
        if (options.Help) {
            std::fputs(kSynopsis, stdout);
            std::fputs("\n", stdout);
            std::fputs(kHelp, stdout);
            return kExitFound;
        }
        if (options.Version) {
            const std::string version = GetVersionString(platform::ProgramFileName(), 2);
            std::printf("yarvel-lookup %s\n", version.empty() ? "(no version)" : version.c_str());
            return kExitFound;
        }
        return Run(options);
    } catch (const EUsage& e) {
        ReportError(json, e.Message(), true);
    } catch (const EYarvelPortal& e) {
        std::string message = platform::AnsiToUtf8(e.Message());
        if (!YarvelLoadErrorDetail().empty()) message += " (" + YarvelLoadErrorDetail() + ")";
        ReportError(json, message);
    } catch (const std::exception& e) {
        ReportError(json, e.what());
    }
    return kExitError;
}
