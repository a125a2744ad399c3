// Start benchmark of the real Ondrik: a silent host run (process start to
// Ondrik.dat written and the process ended) on a master of 1,000,000
// descriptions, against the start of an empty Qt Widgets program, both
// offscreen, timed in the same run and interleaved so that the machine's
// noise falls on both alike.
//
// Target: the median wall time of an Ondrik run is at most 1.5 times the
// empty program's. Every Ondrik run must write the expected Ondrik.dat. The
// program exits 1 when either is missed, 2 when it could not set up.
//
// The master is built as users meet it: CSV files in the sample's format,
// turned into tables by the real dbfbuild, kept in the build tree (a second
// run reuses it). The program folder holds copies of Ondrik and our
// libraries, and its Data folder links to the master; the runs get a
// Windows directory and a home of their own.
//
// Where the time goes is measured apart from the timed runs: a few runs with
// the start probe preloaded (timestamps of the loader, Qt, the engine's start
// and the lookup), the loader's own statistics (LD_DEBUG=statistics) and, when
// strace is installed, the system calls made.
//
//   ondrik_start_bench [--runs N] [--rows N] [--seed N]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#if defined(__x86_64__)
#include <x86intrin.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

extern char** environ;

namespace {

// ---- The master data ----------------------------------------------------------

struct TMake {
    const char* abbr;
    const char* wmi;
};

// The makes of the sample's AutoMake table, each with a world manufacturer
// identifier of its own, so that no two makes share a VIN pattern.
const TMake kMakes[] = {{"ACUR", "JH4"}, {"AUDI", "WAU"}, {"BMW", "WBA"},  {"BUIC", "1G4"},
                        {"CADI", "1G6"}, {"CHEV", "1G1"}, {"CHRY", "1C3"}, {"DODG", "1B3"},
                        {"FORD", "1FA"}, {"GMC", "1GT"},  {"HOND", "1HG"}, {"HYUN", "KMH"},
                        {"INFI", "JNK"}, {"ISU", "JAA"},  {"JAGU", "SAJ"}, {"JEEP", "1J4"},
                        {"KIA", "KNA"},  {"LEXU", "JTH"}, {"LINC", "1LN"}, {"LNDR", "SAL"},
                        {"MAZD", "JM1"}, {"MERC", "1ME"}, {"MERZ", "WDB"}, {"MITS", "JA3"},
                        {"NISS", "1N4"}, {"OLDS", "1G3"}, {"PLYM", "1P3"}, {"PONT", "1G2"},
                        {"PORS", "WP0"}, {"RR", "SCA"},   {"SAAB", "YS3"}, {"SATR", "1G8"},
                        {"SUBA", "JF1"}, {"TOYT", "JT2"}, {"VOLK", "WVW"}, {"VOLV", "YV1"}};
constexpr int kMakeCount = sizeof kMakes / sizeof kMakes[0];
constexpr int kFirstYear = 1985;
constexpr int kYears = 43;   // 1985 to 2027
constexpr int kModels = 60;  // per make and year
const char kYearCodes[] = "ABCDEFGHJKLMNPRSTVWXY123456789";
const char kBase36[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Bump when the generated rows change, so that a cached master is rebuilt.
constexpr int kMasterVersion = 2;

// Description i: make, year, model and sub-model follow from the index. Every
// description has a VIN pattern of its own, so a VIN made from it has exactly
// one description and the host run is silent.
struct TDescription {
    int make, year, model, sub;
};

TDescription Describe(int i) {
    const int rest = i / (kMakeCount * kYears);
    return {i % kMakeCount, kFirstYear + (i / kMakeCount) % kYears, rest % kModels,
            rest / kModels};
}

std::string Pattern(const TDescription& d) {
    std::string vin = kMakes[d.make].wmi;
    vin += kBase36[d.model / 36];
    vin += kBase36[d.model % 36];
    vin += kBase36[d.sub % 36];
    vin += 'A';
    vin += d.year >= 2015 ? '1' : '0';  // the year letter repeats after 30 years
    vin += '&';
    vin += kYearCodes[(d.year - 1980) % 30];
    return vin;
}

// A full 17-character VIN of description i: check digit and serial filled in.
std::string VinOf(int i, uint64_t serial) {
    std::string vin = Pattern(Describe(i));
    vin[8] = kBase36[serial % 10];
    char tail[8];
    static const char kLetters[] = "ABCDEFGHJKLMNPRSTUVWXYZ";  // no I, O or Q in a VIN
    std::snprintf(tail, sizeof tail, "%c%06u", kLetters[(serial / 10) % (sizeof kLetters - 1)],
                  static_cast<unsigned>(serial % 1000000));
    return vin + tail;
}

std::string ModelName(int model) {
    return "SERIES " + std::to_string(100 + model);
}

// The model name as the property lines show it (each word capitalised).
std::string ShownModelName(int model) {
    return "Series " + std::to_string(100 + model);
}

void WriteMasterCsv(const fs::path& path, int rows) {
    std::ofstream out(path, std::ios::binary);
    out << "VIN,IIN,REC_TYPE,MANUFACT,MODELNAME,BODYSTYLE,ENGNSIZE,ENGN_CYLN,ENGN_TYPE,FOURWHDRV,"
           "CONT_PERF,REST_IND,ANTILCKBRK,DAYRLIND,ANTITHEFT,SPLINFOSEL,MODELINFO,BODYINFO,"
           "ENGNINFO,RESTINFO,TRANSINFO,NOTCLASINF,TWODIGVSR,VSRSYM,TWODIGNVSR,NON_VSRSYM,"
           "CLASSCODE,STAT_EXEP,COMP_SYM,COLL_SYM,PRICE_SYM,EFF_DATE\n";
    static const char* bodies[] = {"SEDAN 4D", "COUPE 2D", "WAGON 4D", "UTIL 4D 4X4", "PICKUP"};
    static const char* infos[] = {"BASE", "LX", "EX", "SPORT", "LIMITED", "PREMIUM"};
    static const char* classes[] = {"LX", "MV", "SC", "ST", "SU"};
    // Rows in VIN pattern order, as the master data is delivered.
    std::vector<std::pair<std::string, int>> order;
    order.reserve(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) order.emplace_back(Pattern(Describe(i)), i);
    std::sort(order.begin(), order.end());
    char line[512];
    for (const auto& [pattern, i] : order) {
        const TDescription d = Describe(i);
        const int symbol = 5 + (i * 7) % 22;
        // Half the descriptions carry an effective month (January of the year
        // before the model year, never later than 2022), half are "always".
        char effective[5] = "";
        if (d.sub % 2) std::snprintf(effective, sizeof effective, "01%02d", std::min(d.year - 1, 2022) % 100);
        std::snprintf(line, sizeof line,
                      "%s,%02d%02d,%d,%s,%s,%s,%s,%c,,%s,,G,S,S,P,,%s,%s,%s,FRONT/SIDE AIRBAGS,"
                      "A5,,%02d,,%02d,,%s,%s,%d,%d,%d,%s\n",
                      pattern.c_str(), d.year % 100, i % 100, d.year >= 2011 ? 3 : 1,
                      kMakes[d.make].abbr, ModelName(d.model).c_str(), bodies[d.sub % 5],
                      d.sub % 2 ? "3.0" : "2.4", d.sub % 2 ? '6' : '4', d.sub == 3 ? "4" : "",
                      infos[d.sub % 6], bodies[d.sub % 5], d.sub % 2 ? "3.0L 6 CYL" : "2.4L 4 CYL",
                      symbol, symbol - 2, classes[d.model % 5], i % 11 ? "" : "MA", 10 + symbol,
                      12 + symbol, 8 + symbol, effective);
        out << line;
    }
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

// ---- Processes ------------------------------------------------------------------

int64_t NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct TRun {
    int status = -1;     // exit status, 128 + signal when killed
    double wallMs = 0;   // spawn to reaped
    double cpuMs = 0;    // the child's user + system time
    int64_t spawnNs = 0; // monotonic clock just before the spawn
    int64_t execNs = 0;  // ... and when posix_spawn returned: the child has exec'd
};

// Runs argv with exactly the environment given, stdin from /dev/null and
// stdout and stderr into `output`. The wall time runs from just before the
// spawn until wait4 has reaped the child; the CPU time is what wait4 reports
// for it.
TRun Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
           const fs::path& output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const std::string& e : environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    TRun run;
    pid_t pid = 0;
    run.spawnNs = NowNs();
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
    run.execNs = NowNs();
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) throw std::runtime_error("wait4 failed");
    }
    run.wallMs = static_cast<double>(NowNs() - run.spawnNs) / 1e6;
    run.cpuMs = (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A tool run during set-up: any failure ends the benchmark with its output.
void RunTool(const std::vector<std::string>& argv, const fs::path& scratch) {
    const fs::path output = scratch / "tool.out";
    const TRun run = Spawn(argv, {"PATH=/usr/bin:/bin", "LC_ALL=C"}, output);
    if (run.status != 0)
        throw std::runtime_error(argv[0] + " failed (" + std::to_string(run.status) + "): " + ReadFile(output));
}

// ---- The folders ----------------------------------------------------------------

// The master data folder for `rows` descriptions, built once into the build
// tree and reused while its stamp says it was built completely by this
// version of the generator.
fs::path MasterFolder(const fs::path& work, int rows) {
    const fs::path folder = work / ("master-" + std::to_string(rows) + "-v" + std::to_string(kMasterVersion));
    if (fs::exists(folder / "complete")) {
        std::printf("master: %d descriptions, reused from %s\n", rows, folder.c_str());
        return folder;
    }
    // Built beside the final place and renamed into it when complete, so an
    // interrupted build is never taken for a finished one.
    const fs::path building = work / ("building-" + std::to_string(getpid()));
    fs::remove_all(building);
    fs::remove_all(folder);
    fs::create_directories(building);
    const auto t0 = std::chrono::steady_clock::now();
    const std::string sample = ONDRIK_SAMPLE_DIR;
    WriteMasterCsv(building / "Yarvel.csv", rows);
    const auto t1 = std::chrono::steady_clock::now();
    RunTool({DBFBUILD_PATH, sample + "/Yarvel.schema", (building / "Yarvel.csv").string(),
             (building / "Yarvel.dbf").string()},
            building);
    fs::remove(building / "Yarvel.csv");
    for (const char* table : {"AutoMake", "VinTrans"})
        RunTool({DBFBUILD_PATH, sample + "/" + table + ".schema", sample + "/" + table + ".csv",
                 (building / (std::string(table) + ".dbf")).string()},
                building);
    fs::remove(building / "tool.out");
    std::ofstream(building / "complete") << rows << " descriptions, generator version " << kMasterVersion << "\n";
    fs::rename(building, folder);
    const auto t2 = std::chrono::steady_clock::now();
    std::printf("master: %d descriptions built in %s (CSV %.1f s, dbfbuild %.1f s)\n", rows, folder.c_str(),
                std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count());
    return folder;
}

struct TProgramFolder {
    fs::path program;  // Ondrik, our libraries, Data/
    fs::path windows;  // WINDIR
    fs::path scratch;  // home, runtime folder, outputs
    std::vector<std::string> environment;

    fs::path DataFile() const { return program / "Data" / "Ondrik.dat"; }
};

// Copies of the built program and libraries (the program folder is where the
// program file is, so a link to the built one would write into the build's
// own Data folder), the master's tables linked into Data/.
TProgramFolder MakeProgramFolder(const fs::path& work, const fs::path& master) {
    TProgramFolder f;
    const fs::path root = work / "run";
    fs::remove_all(root);
    f.program = root / "Ondrik";
    f.windows = root / "windows";
    f.scratch = root / "scratch";
    fs::create_directories(f.program / "Data");
    fs::create_directories(f.windows);
    fs::create_directories(f.scratch / "home");
    fs::create_directories(f.scratch / "runtime");
    fs::permissions(f.scratch / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    const fs::path built = ONDRIK_BIN_DIR;
    for (const char* file : {"Ondrik", "libYarvel.so", "libxbase.so", "libplatform.so"})
        fs::copy_file(built / file, f.program / file, fs::copy_options::overwrite_existing);
    for (const auto& entry : fs::directory_iterator(master)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".dbf" || ext == ".cdx") fs::create_symlink(entry.path(), f.program / "Data" / entry.path().filename());
    }
    // The same environment for both programs: no display, so Qt draws
    // offscreen; the C locale, whose short date format is M/d/yyyy.
    f.environment = {"WINDIR=" + f.windows.string(),
                     "HOME=" + (f.scratch / "home").string(),
                     "XDG_RUNTIME_DIR=" + (f.scratch / "runtime").string(),
                     "TMPDIR=" + f.scratch.string(),
                     "LANG=C",
                     "LC_ALL=C",
                     "PATH=/usr/bin:/bin",
                     "QT_QPA_PLATFORM=offscreen"};
    return f;
}

// ---- The runs -------------------------------------------------------------------

const char kEffective[] = "7/1/2023";

struct TOndrikRun {
    TRun run;
    std::string vin;
    std::string problem;  // empty when Ondrik.dat is what it must be
};

// What the data file of a found description must hold.
std::string CheckDataFile(const std::string& data, int description, const std::string& vin) {
    const TDescription d = Describe(description);
    const std::string head = "[VehicleProperties]\r\nModelYear=" + std::to_string(d.year) + "\r\n";
    if (data.empty()) return "no Ondrik.dat";
    if (data.rfind(head, 0) != 0) return "Ondrik.dat does not start with the vehicle's year";
    for (const std::string& line : {"\r\nModel=" + ShownModelName(d.model) + "\r\n", "\r\nVIN=" + vin + "\r\n",
                                    std::string("\r\nEffective=") + kEffective + "\r\n"})
        if (data.find(line) == std::string::npos) return "Ondrik.dat lacks \"" + line.substr(2, line.size() - 4) + "\"";
    if (data.size() < 2 || data.compare(data.size() - 2, 2, "\r\n") != 0) return "Ondrik.dat is cut short";
    return "";
}

TOndrikRun RunOndrik(const TProgramFolder& f, int description, uint64_t serial,
                     const std::vector<std::string>& extraEnvironment = {}) {
    TOndrikRun r;
    r.vin = VinOf(description, serial);
    fs::remove(f.DataFile());  // outside the timed span, so a stale file cannot pass
    std::vector<std::string> env = f.environment;
    env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
    const fs::path output = f.scratch / "ondrik.out";
    r.run = Spawn({(f.program / "Ondrik").string(), "/VIN=" + r.vin, std::string("/EFFECTIVE=") + kEffective},
                  env, output);
    if (r.run.status != 0) r.problem = "exit status " + std::to_string(r.run.status);
    else r.problem = CheckDataFile(ReadFile(f.DataFile()), description, r.vin);
    if (!r.problem.empty()) {
        std::string text = ReadFile(output);
        if (!text.empty()) r.problem += "; output: " + text.substr(0, 300);
    }
    return r;
}

TRun RunEmpty(const TProgramFolder& f, const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<std::string> env = f.environment;
    env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
    const fs::path output = f.scratch / "empty.out";
    TRun run = Spawn({EMPTY_QT_PROGRAM_PATH}, env, output);
    if (run.status != 0)
        throw std::runtime_error("the empty Qt program failed (" + std::to_string(run.status) + "): " + ReadFile(output));
    return run;
}

// ---- Figures --------------------------------------------------------------------

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const double rank = p / 100.0 * static_cast<double>(v.size() - 1);
    const size_t lo = static_cast<size_t>(rank);
    const size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (rank - static_cast<double>(lo));
}

double Median(const std::vector<double>& v) {
    return Percentile(v, 50);
}

// The probe's timestamps of one run, relative to the spawn.
std::map<std::string, double> ReadProbe(const fs::path& file, const TRun& run) {
    const int64_t spawnNs = run.spawnNs;
    const int64_t endNs = run.spawnNs + static_cast<int64_t>(run.wallMs * 1e6);
    std::map<std::string, double> at;
    at["exec"] = static_cast<double>(run.execNs - spawnNs) / 1e6;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        long long value = 0, count = 0, cpu = 0;
        if (!(fields >> name >> value)) continue;
        if (name.rfind("call:", 0) == 0) {
            fields >> count;
            at[name] = static_cast<double>(value) / 1e6;
            at["count:" + name.substr(5)] = static_cast<double>(count);
        } else if (name == "engine_calls_ns" || name == "engine_calls_before_lookup_ns") at[name] = static_cast<double>(value) / 1e6;
        else if (name == "engine_calls") at[name] = static_cast<double>(value);
        else if (value != 0) {
            at[name] = static_cast<double>(value - spawnNs) / 1e6;
            if (fields >> cpu) at["cpu:" + name] = static_cast<double>(cpu) / 1e6;
        }
    }
    at["end"] = static_cast<double>(endNs - spawnNs) / 1e6;
    at["cpu:end"] = run.cpuMs;  // what wait4 reported
    at["cpu:exec"] = 0;         // the process's CPU clock starts near zero
    return at;
}

struct TPhase {
    const char* name;
    const char* from;
    const char* to;
    const char* absent = "";  // a mark the run must not have (a phase of the other program)
};

// Phases of a start, each between two probe marks; a phase whose marks are
// missing in a run (the empty program loads no engine) is left out.
const TPhase kPhases[] = {
    {"spawn: fork + exec", "spawn", "exec"},
    {"loader, library initialisers", "exec", "init"},
    {"C runtime start to main()", "init", "main"},
    {"QApplication construction", "app_begin", "app_end"},
    {"program: environment, ini, services", "app_end", "engine_load_begin"},
    {"engine library load (dlopen)", "engine_load_begin", "engine_load_end"},
    {"binding", "engine_load_end", "start_begin"},
    {"YarvelStart (open the tables)", "start_begin", "start_end"},
    {"program: ini, record, to the window", "start_end", "dialog_begin"},
    {"program: ini, record, no window", "start_end", "lookup_begin", "dialog_begin"},
    {"lookup window construction", "dialog_begin", "lookup_begin"},
    {"  of which engine calls (search lists)", "", ""},
    {"VIN lookup, Ondrik.dat written", "lookup_begin", "stop_begin"},
    {"  of which engine calls (the lookup)", "", ""},
    {"YarvelStop", "stop_begin", "stop_end"},
    {"unload, teardown before ~QApplication", "stop_end", "app_done_begin"},
    {"main body: the hidden dialog", "app_end", "app_done_begin", "engine_load_begin"},
    {"~QApplication", "app_done_begin", "app_done_end"},
    {"exit: handlers, finalisers", "app_done_end", "fini"},
    {"process end (kernel), reaped", "fini", "end"},
};

struct TBreakdown {
    std::map<std::string, std::vector<double>> phases, phasesCpu;
    std::vector<double> engineCalls;
    std::map<std::string, std::vector<double>> exportMs, exportCalls;  // by export name
};

void AddProbe(TBreakdown& b, std::map<std::string, double> at) {
    at["spawn"] = 0;
    for (const TPhase& p : kPhases) {
        if (!*p.from) continue;
        if (!at.count(p.from) || !at.count(p.to) || at.count(p.absent)) continue;
        b.phases[p.name].push_back(at[p.to] - at[p.from]);
        const std::string cpuFrom = std::string("cpu:") + p.from, cpuTo = std::string("cpu:") + p.to;
        if (at.count(cpuFrom) && at.count(cpuTo)) b.phasesCpu[p.name].push_back(at[cpuTo] - at[cpuFrom]);
    }
    for (const auto& [key, value] : at)
        if (key.rfind("call:", 0) == 0) {
            b.exportMs[key.substr(5)].push_back(value);
            b.exportCalls[key.substr(5)].push_back(at["count:" + key.substr(5)]);
        }
    if (at.count("engine_calls_ns")) {
        b.phases["  of which engine calls (search lists)"].push_back(at["engine_calls_before_lookup_ns"]);
        b.phases["  of which engine calls (the lookup)"].push_back(at["engine_calls_ns"] -
                                                                   at["engine_calls_before_lookup_ns"]);
        b.engineCalls.push_back(at["engine_calls"]);
    }
}

// The loader's own account (LD_DEBUG=statistics): its time in TSC cycles,
// turned into milliseconds with the TSC rate measured here, and relocations.
struct TLoaderStats {
    double startupMs = -1;
    double relocationMs = -1;
    long relocations = 0;
    long relativeRelocations = 0;
    long finalRelocations = 0;  // at exit: the lazy bindings made while running included
};

double TscPerMs() {
#if defined(__x86_64__)
    const int64_t t0 = NowNs();
    const unsigned long long c0 = __rdtsc();
    while (NowNs() - t0 < 50000000) {
    }
    const unsigned long long c1 = __rdtsc();
    return static_cast<double>(c1 - c0) / (static_cast<double>(NowNs() - t0) / 1e6);
#else
    return 0;
#endif
}

long NumberAfter(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    if (at == std::string::npos) return -1;
    std::string digits;
    for (size_t i = at + label.size(); i < text.size() && text[i] != '\n'; ++i)
        if (std::isdigit(static_cast<unsigned char>(text[i]))) digits += text[i];
        else if (!digits.empty() && text[i] != ',' && text[i] != '.') break;
    return digits.empty() ? -1 : std::stol(digits);
}

TLoaderStats ParseLoaderStats(const std::string& text, double tscPerMs) {
    TLoaderStats s;
    const long startup = NumberAfter(text, "total startup time in dynamic loader:");
    const long relocation = NumberAfter(text, "time needed for relocation:");
    if (tscPerMs > 0 && startup >= 0) s.startupMs = static_cast<double>(startup) / tscPerMs;
    if (tscPerMs > 0 && relocation >= 0) s.relocationMs = static_cast<double>(relocation) / tscPerMs;
    s.relocations = NumberAfter(text, "number of relocations:");
    s.relativeRelocations = NumberAfter(text, "number of relative relocations:");
    s.finalRelocations = NumberAfter(text, "final number of relocations:");
    return s;
}

std::string ReadLoaderOutput(const fs::path& prefix) {
    // LD_DEBUG_OUTPUT writes PREFIX.PID.
    std::string all;
    for (const auto& entry : fs::directory_iterator(prefix.parent_path()))
        if (entry.path().filename().string().rfind(prefix.filename().string() + ".", 0) == 0) {
            all += ReadFile(entry.path());
            fs::remove(entry.path());
        }
    return all;
}

// System calls of one run, from strace -c: the totals, the calls made most
// often and those that took longest (an fsync waits for the disk).
std::string SyscallSummary(const std::vector<std::string>& argv, const TProgramFolder& f, const char* tag) {
    if (!fs::exists("/usr/bin/strace")) return "";
    const fs::path report = f.scratch / (std::string("strace-") + tag);
    std::vector<std::string> full = {"/usr/bin/strace", "-f", "-c", "-w", "-o", report.string()};
    full.insert(full.end(), argv.begin(), argv.end());
    Spawn(full, f.environment, f.scratch / "strace.out");
    std::ifstream in(report);
    std::string line, total;
    std::vector<std::pair<long, std::string>> calls, times;  // by count, by microseconds
    while (std::getline(in, line)) {
        std::istringstream s(line);
        double pct = 0, seconds = 0;
        long usecs = 0, count = 0;
        if (!(s >> pct >> seconds >> usecs >> count)) continue;
        std::string word, name;
        while (s >> word) name = word;
        if (name.empty()) continue;
        if (name == "total") total = std::to_string(count) + " calls, " + std::to_string(static_cast<long>(seconds * 1e3)) + " ms in them (wall)";
        else {
            calls.push_back({count, name});
            times.push_back({static_cast<long>(seconds * 1e6), name});
        }
    }
    std::sort(calls.rbegin(), calls.rend());
    std::sort(times.rbegin(), times.rend());
    std::string out = total + "\n    most made:";
    for (size_t i = 0; i < calls.size() && i < 6; ++i)
        out += " " + calls[i].second + " " + std::to_string(calls[i].first);
    out += "\n    longest (us):";
    for (size_t i = 0; i < times.size() && i < 6; ++i)
        out += " " + times[i].second + " " + std::to_string(times[i].first);
    return out;
}

struct TOptions {
    int runs = 100;
    int rows = 1000000;
    uint64_t seed = 20261211;
};

TOptions ParseOptions(int argc, char** argv) {
    TOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> long long {
            if (i + 1 >= argc) throw std::invalid_argument(std::string(name) + " needs a value");
            char* end = nullptr;
            const long long v = std::strtoll(argv[++i], &end, 10);
            if (!end || *end || v <= 0) throw std::invalid_argument(std::string(name) + " needs a positive number");
            return v;
        };
        if (a == "--runs") o.runs = static_cast<int>(value("--runs"));
        else if (a == "--rows") o.rows = static_cast<int>(std::min<long long>(value("--rows"), 10000000));
        else if (a == "--seed") o.seed = static_cast<uint64_t>(value("--seed"));
        else throw std::invalid_argument("unknown option " + a + " (--runs N, --rows N, --seed N)");
    }
    return o;
}

int Main(int argc, char** argv) {
    const TOptions options = ParseOptions(argc, argv);
    constexpr double kTargetRatio = 1.5;
    constexpr int kWarmUp = 3;
    constexpr int kProbeRuns = 9;

    const fs::path work = ONDRIK_BENCH_WORK_DIR;
    fs::create_directories(work);
    const fs::path master = MasterFolder(work, options.rows);
    const TProgramFolder f = MakeProgramFolder(work, master);
    std::mt19937_64 random(options.seed);
    std::uniform_int_distribution<int> pick(0, options.rows - 1);

    // Warm-up: the files in the page cache, the first runs' costs paid.
    std::vector<std::string> problems;
    for (int i = 0; i < kWarmUp; ++i) {
        RunEmpty(f);
        const int d = pick(random);
        const TOndrikRun r = RunOndrik(f, d, random());
        if (!r.problem.empty()) problems.push_back(r.vin + ": " + r.problem);
    }

    // The timed runs, interleaved in a random order within each pair.
    std::vector<double> emptyWall, emptyCpu, ondrikWall, ondrikCpu;
    int written = 0;
    for (int i = 0; i < options.runs; ++i) {
        const bool emptyFirst = random() & 1;
        if (emptyFirst) {
            const TRun e = RunEmpty(f);
            emptyWall.push_back(e.wallMs);
            emptyCpu.push_back(e.cpuMs);
        }
        const int d = pick(random);
        const TOndrikRun r = RunOndrik(f, d, random());
        ondrikWall.push_back(r.run.wallMs);
        ondrikCpu.push_back(r.run.cpuMs);
        if (r.problem.empty()) ++written;
        else if (problems.size() < 10) problems.push_back(r.vin + ": " + r.problem);
        if (!emptyFirst) {
            const TRun e = RunEmpty(f);
            emptyWall.push_back(e.wallMs);
            emptyCpu.push_back(e.cpuMs);
        }
    }

    // Where the time goes: probe runs.
    TBreakdown ondrikPhases, emptyPhases;
    const fs::path probeFile = f.scratch / "probe.txt";
    const std::vector<std::string> probeEnv = {std::string("LD_PRELOAD=") + START_PROBE_PATH,
                                               "ONDRIK_START_PROBE=" + probeFile.string()};
    for (int i = 0; i < kProbeRuns; ++i) {
        fs::remove(probeFile);
        TRun e = RunEmpty(f, probeEnv);
        AddProbe(emptyPhases, ReadProbe(probeFile, e));
        fs::remove(probeFile);
        const int d = pick(random);
        const TOndrikRun r = RunOndrik(f, d, random(), probeEnv);
        if (!r.problem.empty()) problems.push_back("probe run " + r.vin + ": " + r.problem);
        AddProbe(ondrikPhases, ReadProbe(probeFile, r.run));
    }

    // The loader's statistics.
    const double tscPerMs = TscPerMs();
    const fs::path loaderPrefix = f.scratch / "ld";
    const std::vector<std::string> loaderEnv = {"LD_DEBUG=statistics", "LD_DEBUG_OUTPUT=" + loaderPrefix.string()};
    std::vector<double> emptyLoader, ondrikLoader, ondrikRelocMs, emptyRelocMs;
    TLoaderStats emptyStats, ondrikStats;
    for (int i = 0; i < 3; ++i) {
        RunEmpty(f, loaderEnv);
        emptyStats = ParseLoaderStats(ReadLoaderOutput(loaderPrefix), tscPerMs);
        emptyLoader.push_back(emptyStats.startupMs);
        emptyRelocMs.push_back(emptyStats.relocationMs);
        RunOndrik(f, pick(random), random(), loaderEnv);
        ondrikStats = ParseLoaderStats(ReadLoaderOutput(loaderPrefix), tscPerMs);
        ondrikLoader.push_back(ondrikStats.startupMs);
        ondrikRelocMs.push_back(ondrikStats.relocationMs);
    }
    const std::string ondrikCalls =
        SyscallSummary({(f.program / "Ondrik").string(), "/VIN=" + VinOf(pick(random), 1), std::string("/EFFECTIVE=") + kEffective},
                       f, "ondrik");
    const std::string emptyCalls = SyscallSummary({EMPTY_QT_PROGRAM_PATH}, f, "empty");

    // ---- Report ----
    std::printf("\nmachine: %ld cores online; %d timed runs of each program, interleaved; seed %llu\n",
                sysconf(_SC_NPROCESSORS_ONLN), options.runs, static_cast<unsigned long long>(options.seed));
    std::printf("Ondrik: silent host run /VIN=<random of %d> /EFFECTIVE=%s, offscreen\n\n", options.rows, kEffective);
    std::printf("%-26s %10s %10s %10s %10s\n", "start (ms)", "wall p50", "wall p99", "cpu p50", "cpu p99");
    std::printf("%-26s %10.1f %10.1f %10.1f %10.1f\n", "empty Qt Widgets program", Median(emptyWall),
                Percentile(emptyWall, 99), Median(emptyCpu), Percentile(emptyCpu, 99));
    std::printf("%-26s %10.1f %10.1f %10.1f %10.1f\n", "Ondrik host lookup", Median(ondrikWall),
                Percentile(ondrikWall, 99), Median(ondrikCpu), Percentile(ondrikCpu, 99));

    std::printf("\nwhere the time goes (ms, median of %d probed runs each; the probe adds a little)\n",
                kProbeRuns);
    std::printf("%-40s %11s %11s %11s %11s\n", "phase", "Ondrik wall", "Ondrik cpu", "empty wall", "empty cpu");
    auto cell = [](const std::map<std::string, std::vector<double>>& m, const char* name) {
        const auto at = m.find(name);
        char text[16] = "-";
        if (at != m.end() && !at->second.empty()) std::snprintf(text, sizeof text, "%.2f", Median(at->second));
        return std::string(text);
    };
    for (const TPhase& p : kPhases) {
        if (!ondrikPhases.phases.count(p.name) && !emptyPhases.phases.count(p.name)) continue;
        std::printf("%-40s %11s %11s %11s %11s\n", p.name, cell(ondrikPhases.phases, p.name).c_str(),
                    cell(ondrikPhases.phasesCpu, p.name).c_str(), cell(emptyPhases.phases, p.name).c_str(),
                    cell(emptyPhases.phasesCpu, p.name).c_str());
    }
    if (!ondrikPhases.engineCalls.empty()) {
        std::printf("\nengine calls of an Ondrik run (median of the probed runs)\n");
        std::printf("%-40s %10s %10s\n", "export", "calls", "ms");
        for (const auto& [name, ms] : ondrikPhases.exportMs)
            std::printf("%-40s %10.0f %10.3f\n", name.c_str(), Median(ondrikPhases.exportCalls[name]), Median(ms));
    }
    std::printf("\nloader (LD_DEBUG=statistics, median of 3; TSC %.0f MHz)\n", tscPerMs / 1e3);
    std::printf("%-40s %10s %10s\n", "", "Ondrik", "empty");
    std::printf("%-40s %10.2f %10.2f\n", "startup in the dynamic loader (ms)", Median(ondrikLoader), Median(emptyLoader));
    std::printf("%-40s %10.2f %10.2f\n", "  of which relocation (ms)", Median(ondrikRelocMs), Median(emptyRelocMs));
    std::printf("%-40s %10ld %10ld\n", "symbol relocations at start", ondrikStats.relocations, emptyStats.relocations);
    std::printf("%-40s %10ld %10ld\n", "relative relocations at start", ondrikStats.relativeRelocations,
                emptyStats.relativeRelocations);
    std::printf("%-40s %10ld %10ld\n", "symbol relocations at exit (lazy too)", ondrikStats.finalRelocations,
                emptyStats.finalRelocations);
    if (!ondrikCalls.empty()) {
        std::printf("\nsystem calls (strace -f -c -w, one run each; strace slows every call)\n");
        std::printf("  Ondrik: %s\n  empty:  %s\n", ondrikCalls.c_str(), emptyCalls.c_str());
    }

    const double ratio = Median(ondrikWall) / Median(emptyWall);
    const bool ratioMet = ratio <= kTargetRatio;
    const bool allWritten = written == options.runs && problems.empty();
    std::printf("\n%-34s %10s %10s %8s %8s %5s\n", "measure", "ours", "baseline", "ratio", "target", "met");
    std::printf("%-34s %10.1f %10.1f %8.2f %8s %5s\n", "start, wall p50 (ms)", Median(ondrikWall),
                Median(emptyWall), ratio, "<= 1.50", ratioMet ? "yes" : "NO");
    std::printf("%-34s %10.1f %10.1f %8.2f %8s %5s\n", "start, wall p99 (ms)", Percentile(ondrikWall, 99),
                Percentile(emptyWall, 99), Percentile(ondrikWall, 99) / Percentile(emptyWall, 99), "-", "-");
    std::printf("%-34s %10.1f %10.1f %8.2f %8s %5s\n", "start, cpu p50 (ms)", Median(ondrikCpu), Median(emptyCpu),
                Median(ondrikCpu) / Median(emptyCpu), "-", "-");
    std::printf("%-34s %10d %10s %8s %8d %5s\n", "runs that wrote the right Ondrik.dat", written, "-", "-",
                options.runs, allWritten ? "yes" : "NO");
    for (const std::string& p : problems) std::printf("  %s\n", p.c_str());
    return ratioMet && allWritten ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrik_start_bench: %s\n", e.what());
        return 2;
    }
}
