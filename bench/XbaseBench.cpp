// The table engine and the index writer on a table shaped like the vehicle
// master (1,000,000 records of about 350 bytes), with SQLite on the same rows
// as the baseline. The data is generated once into $TMPDIR/ondrik-bench and
// reused while its stamp matches.
//
// After the runs a summary gives the figures against their targets:
//   open + close           under 1 ms, and not growing with the table
//   warm seek + fetch      at least 1.5 times SQLite's indexed lookups
//   d4seekNext             under 0.5 us a call
//   reindex of four tags   faster than SQLite's CREATE INDEX of the same keys
//   memory                 no growth over a million seeks
// The exit status is 1 when a target is missed.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "DbfWriter.h"
#include "EngineTable.h"
#include "FileOut.h"
#include "Schema.h"
#include "TableBuild.h"
#include "WriteError.h"
#include "xbase.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRecords = 1000000;
constexpr std::uint32_t kSmallRecords = 1000;
constexpr const char* kStamp = "vehicle master v1";

const char kSchema[] =
    "field VIN C 17\n"
    "field IIN C 10\n"
    "field RECTYPE N 3\n"
    "field MANUFACT C 4\n"
    "field YR N 2\n"
    "field MODELNAME C 30\n"
    "field BODYSTYLE C 20\n"
    "field ENGNSIZE C 6\n"
    "field ENGN_CYLN C 2\n"
    "field ENGN_TYPE C 1\n"
    "field FOURWHDRV C 1\n"
    "field CONT_PERF C 1\n"
    "field REST_IND C 1\n"
    "field ANTILCKBRK C 1\n"
    "field DAYRLIND C 1\n"
    "field ANTITHEFT C 1\n"
    "field SPLINFOSEL C 1\n"
    "field MODELINFO C 40\n"
    "field BODYINFO C 40\n"
    "field ENGNINFO C 40\n"
    "field RESTINFO C 30\n"
    "field TRANSINFO C 30\n"
    "field NOTCLASINF C 30\n"
    "field TWODIGVSR C 2\n"
    "field VSRSYM C 3\n"
    "field TWODIGNVSR C 2\n"
    "field NON_VSRSYM C 3\n"
    "field CLASSCODE C 4\n"
    "field STAT_EXEP C 10\n"
    "field COMP_SYM N 2\n"
    "field COLL_SYM N 2\n"
    "field PRICE_SYM N 2\n"
    "field EFF_DATE C 4\n"
    "tag VINTAG LEFT(VIN,10)\n"
    "tag TypeMakeYr STR(RECTYPE,10)+MANUFACT+STR(YR,2)+MODELNAME\n"
    "tag VINSCANTAG STR(RECTYPE,10)+MANUFACT+STR(YR,2)+UPPER(MODELNAME)\n"
    "tag VINSEEKTAG STR(RECTYPE,10)+MANUFACT+STR(YR,2)+TRIM(MODELNAME)\n";

// The same four orders in SQLite.
const char* const kSqliteIndexes[] = {
    "CREATE INDEX vintag ON vehicles(substr(vin,1,10))",
    "CREATE INDEX typemakeyr ON vehicles(rectype, manufact, yr, modelname)",
    "CREATE INDEX vinscantag ON vehicles(rectype, manufact, yr, upper(modelname))",
    "CREATE INDEX vinseektag ON vehicles(rectype, manufact, yr, rtrim(modelname))",
};
const char* const kSqliteDrops[] = {"DROP INDEX vintag", "DROP INDEX typemakeyr",
                                    "DROP INDEX vinscantag", "DROP INDEX vinseektag"};

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Joins texts by appending (GCC 12 warns falsely on some `literal + string`).
std::string Cat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text.append(part);
    return text;
}

const char kVinAlphabet[] = "0123456789ABCDEFGHJKLMNPRSTUVWXYZ";

struct TMake {
    const char* abbreviation;
    const char* wmi;
};
const TMake kMakes[] = {
    {"FORD", "1FT"}, {"CHEV", "1GC"}, {"GMC", "1GT"},  {"DODG", "1B3"}, {"TOYT", "JT2"},
    {"HOND", "1HG"}, {"NISS", "JN1"}, {"MAZD", "JM1"}, {"SUBA", "JF1"}, {"MITS", "JA3"},
    {"VW", "WVW"},   {"BMW", "WBA"},  {"MERZ", "WDB"}, {"AUDI", "WAU"}, {"VOLV", "YV1"},
    {"SAAB", "YS3"}, {"JEEP", "1J4"}, {"CHRY", "1C3"}, {"BUIC", "1G4"}, {"CADI", "1G6"},
    {"PONT", "1G2"}, {"OLDS", "1G3"}, {"LINC", "1LN"}, {"MERC", "1ME"}, {"KIA", "KNA"},
    {"HYUN", "KMH"}, {"ISU", "JAA"},  {"SUZI", "JS1"}, {"LEXS", "JT8"}, {"INFI", "JNK"},
    {"ACUR", "JH4"}, {"PORS", "WP0"}, {"JAGU", "SAJ"}, {"LROV", "SAL"}, {"MINI", "WMW"},
    {"FIAT", "ZFA"}, {"ALFA", "ZAR"}, {"SCIO", "JTK"}, {"SATR", "1G8"}, {"PLYM", "1P3"},
    {"EAGL", "2E3"}, {"GEO", "1Y1"},  {"HUMM", "5GR"}, {"SMRT", "WME"}, {"TESL", "5YJ"},
    {"RAM", "3C6"},  {"GENS", "KMT"}, {"MASE", "ZAM"}, {"BENT", "SCB"}, {"ROLL", "SCA"},
};
constexpr std::size_t kMakeCount = sizeof kMakes / sizeof kMakes[0];

const char* const kModels[] = {
    "ACCORD",
    "CIVIC",
    "CAMRY",
    "COROLLA",
    "F150 PICKUP",
    "F250 SUPER DUTY",
    "MUSTANG",
    "EXPLORER",
    "SILVERADO 1500",
    "MALIBU",
    "IMPALA",
    "ALTIMA",
    "SENTRA",
    "MAXIMA",
    "PROTEGE",
    "MX-5 MIATA",
    "OUTBACK",
    "LEGACY",
    "GALANT",
    "ECLIPSE",
    "JETTA",
    "PASSAT",
    "GOLF",
    "3 SERIES",
    "5 SERIES",
    "C CLASS",
    "E CLASS",
    "A4 QUATTRO",
    "S60",
    "9-3",
    "GRAND CHEROKEE",
    "WRANGLER",
    "TOWN & COUNTRY",
    "LESABRE",
    "DEVILLE",
    "GRAND PRIX",
    "CUTLASS SUPREME",
    "TOWN CAR",
    "GRAND MARQUIS",
    "SORENTO",
    "SONATA",
    "ELANTRA",
    "RODEO",
    "VITARA",
    "ES 300",
    "G35",
    "TL",
    "911 CARRERA",
    "XJ8",
    "RANGE ROVER",
};
constexpr std::size_t kModelCount = sizeof kModels / sizeof kModels[0];

const char* const kBodies[] = {"4DR SEDAN",   "2DR COUPE",   "WAGON",     "PICKUP",
                               "UTILITY 4X4", "CONVERTIBLE", "HATCHBACK", "VAN"};
const char* const kInfos[] = {"LX",   "EX V6", "SPORT PACKAGE", "LIMITED EDITION",
                              "BASE", "",      "TURBO",         "HYBRID"};

// The fields of record `n` (counted from 0), in schema order. Records come in
// groups of four sharing the VIN's first ten characters and the make, year
// and model, in an order unrelated to any key.
std::vector<std::string> RecordValues(std::uint32_t n) {
    std::uint64_t group = n / 4;
    std::uint64_t h = Mix(group);
    const TMake& make = kMakes[h % kMakeCount];
    unsigned year = static_cast<unsigned>((h >> 8) % 40);  // 1981 to 2020
    std::string vin = make.wmi;
    for (int k = 0; k < 5; ++k) vin += kVinAlphabet[(h >> (16 + 5 * k)) % 33];
    vin += '&';
    vin += kVinAlphabet[(year + 11) % 33];  // the model-year character
    std::uint64_t r = Mix(n);
    for (int k = 0; k < 7; ++k)
        vin += (r >> (4 * k)) % 3 == 0 ? '&' : kVinAlphabet[(r >> (3 * k)) % 33];
    unsigned recordType = (h >> 50) % 100 < 90 ? 1 : (h >> 50) % 100 < 98 ? 2 : 3;
    std::string yy = std::to_string((year + 81) % 100);
    auto pick = [&](const char* const* list, std::size_t size, int shift) {
        return std::string(list[(r >> shift) % size]);
    };
    return {vin,
            Cat({yy, make.wmi, "ABCDE"}),
            std::to_string(recordType),
            make.abbreviation,
            yy,
            kModels[(h >> 40) % kModelCount],
            pick(kBodies, 8, 5),
            Cat({std::to_string(1 + r % 6), ".", std::to_string((r >> 3) % 10), "L"}),
            std::to_string(4 + 2 * (r % 3)),
            (r >> 7) % 5 == 0 ? "T" : "",
            (r >> 9) % 4 == 0 ? "4" : "",
            "S",
            "D",
            (r >> 11) % 2 ? "S" : "O",
            "S",
            (r >> 13) % 3 ? "A" : "",
            "",
            pick(kInfos, 8, 15),
            pick(kInfos, 8, 18),
            pick(kInfos, 8, 21),
            "DRIVER AND PASSENGER AIRBAGS",
            (r >> 24) % 2 ? "AUTOMATIC 4 SPEED" : "MANUAL 5 SPEED",
            "",
            std::to_string(10 + r % 17),
            "",
            std::to_string(10 + (r >> 5) % 17),
            "",
            Cat({"A", std::to_string(r % 9)}),
            "",
            std::to_string(1 + r % 27),
            std::to_string(1 + (r >> 6) % 27),
            std::to_string(1 + (r >> 12) % 27),
            (r >> 30) % 4 == 0 ? "    " : Cat({"0", std::to_string(1 + (r >> 32) % 9), "05"})};
}

std::string BenchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/ondrik-bench";
}

struct TBenchData {
    std::string folder;
    std::string table;       // 1,000,000 records
    std::string smallTable;  // 1,000 records, same shape
    std::string sqlite;
    std::vector<std::string> vinKeys;  // existing VINTAG keys, random order
    std::string runPrefix;             // a TypeMakeYr prefix with a long run of matches
    std::size_t runLength = 0;
};

TBenchData g_data;

void WriteTable(const std::string& path, std::uint32_t records, const TSchema& schema) {
    {
        TFileOut out(path);
        TDbfWriter writer(out, schema.fields, true);
        std::vector<std::string_view> views(schema.fields.size());
        for (std::uint32_t n = 0; n < records; ++n) {
            std::vector<std::string> values = RecordValues(n);
            for (std::size_t f = 0; f < values.size(); ++f) views[f] = values[f];
            writer.AddRecord(views);
        }
        writer.Finish();
        out.Commit();
    }
    RebuildIndex(path, schema.tags, "the benchmark schema");
}

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "?";
        sqlite3_free(error);
        throw EXbaseWrite(std::string("SQLite: ") + sql + ": " + message);
    }
}

void WriteSqlite(const std::string& path, const TSchema& schema) {
    fs::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw EXbaseWrite("cannot create " + path);
    std::string create = "CREATE TABLE vehicles(";
    std::string insert = "INSERT INTO vehicles VALUES(";
    for (std::size_t f = 0; f < schema.fields.size(); ++f) {
        const TFieldDef& field = schema.fields[f];
        create +=
            (f ? ", " : "") + ToUpperAscii(field.name) + (field.type == 'N' ? " INTEGER" : " TEXT");
        insert += f ? ",?" : "?";
    }
    Exec(db, (create + ")").c_str());
    Exec(db, "BEGIN");
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &statement, nullptr);
    for (std::uint32_t n = 0; n < kRecords; ++n) {
        std::vector<std::string> values = RecordValues(n);
        for (std::size_t f = 0; f < values.size(); ++f) {
            // Character fields as the table stores them: blank-padded.
            const TFieldDef& field = schema.fields[f];
            if (field.type == 'N') {
                sqlite3_bind_int(statement, static_cast<int>(f + 1), std::atoi(values[f].c_str()));
            } else {
                std::string padded = values[f];
                padded.resize(field.length, ' ');
                sqlite3_bind_text(statement, static_cast<int>(f + 1), padded.c_str(),
                                  static_cast<int>(padded.size()), SQLITE_TRANSIENT);
            }
        }
        sqlite3_step(statement);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    Exec(db, "COMMIT");
    for (const char* sql : kSqliteIndexes) Exec(db, sql);
    sqlite3_close(db);
}

void PrepareData() {
    g_data.folder = BenchFolder();
    g_data.table = g_data.folder + "/Yarvel.dbf";
    g_data.smallTable = g_data.folder + "/Small.dbf";
    g_data.sqlite = g_data.folder + "/Yarvel.sqlite";
    fs::create_directories(g_data.folder);
    std::string stampPath = g_data.folder + "/stamp";
    std::ifstream stampIn(stampPath);
    std::string stamp;
    std::getline(stampIn, stamp);
    if (stamp != kStamp || !fs::exists(g_data.table) || !fs::exists(g_data.sqlite)) {
        std::fprintf(stderr, "Generating %u records into %s ...\n", kRecords,
                     g_data.folder.c_str());
        fs::remove(stampPath);
        TSchema schema = ParseSchema(kSchema, "the benchmark schema");
        WriteTable(g_data.table, kRecords, schema);
        WriteTable(g_data.smallTable, kSmallRecords, schema);
        WriteSqlite(g_data.sqlite, schema);
        std::ofstream(stampPath) << kStamp << "\n";
    }

    // Keys for the lookups: the VIN prefixes of records spread over the table.
    for (std::uint32_t i = 0; i < 20000; ++i) {
        std::uint32_t n = static_cast<std::uint32_t>(Mix(i + 7) % kRecords);
        g_data.vinKeys.push_back(RecordValues(n)[0].substr(0, 10));
    }
    // The run for d4seekNext: record type 1 with the first record's make and
    // year, as the key spells them (STR(RECTYPE,10)+MANUFACT+STR(YR,2)).
    std::vector<std::string> first = RecordValues(0);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%10d%-4s%2d", 1, first[3].c_str(),
                  std::atoi(first[4].c_str()));
    g_data.runPrefix = prefix;
}

long CurrentRssKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The engine session, one table open with the tag selected.
class TOpenTable {
public:
    explicit TOpenTable(const std::string& path, const char* tag) {
        m_engine = code4initP();
        code4optStart(m_engine);
        m_data = d4open(m_engine, path.c_str());
        if (m_data == nullptr) throw EXbaseWrite("cannot open " + path);
        if (tag != nullptr) d4tagSelectP(m_data, d4tag(m_data, tag));
    }
    ~TOpenTable() { code4initUndo(m_engine); }
    XBDATA* Data() const { return m_data; }

private:
    XBENGINE* m_engine;
    XBDATA* m_data;
};

void BM_OpenClose(benchmark::State& state, const std::string* path) {
    XBENGINE* engine = code4initP();
    for (auto _ : state) {
        XBDATA* data = d4open(engine, path->c_str());
        if (data == nullptr) {
            state.SkipWithError("d4open failed");
            break;
        }
        d4close(data);
    }
    code4initUndo(engine);
}

long g_seekRssGrowthKb = 0;

void BM_SeekFetch(benchmark::State& state) {
    TOpenTable table(g_data.table, "VINTAG");
    XBFIELD* vin = d4field(table.Data(), "VIN");
    XBFIELD* model = d4field(table.Data(), "MODELNAME");
    std::size_t next = 0, found = 0;
    std::uint64_t touched = 0;
    // Warm up: every key once.
    for (const auto& key : g_data.vinKeys) d4seek(table.Data(), key.c_str());
    long before = CurrentRssKb();
    for (auto _ : state) {
        const std::string& key = g_data.vinKeys[next];
        if (++next == g_data.vinKeys.size()) next = 0;
        if (d4seek(table.Data(), key.c_str()) == XB_SUCCESS) {
            ++found;
            touched += static_cast<unsigned char>(f4str(vin)[9]);
            touched += static_cast<unsigned char>(f4str(model)[0]);
        }
    }
    g_seekRssGrowthKb = std::max(g_seekRssGrowthKb, CurrentRssKb() - before);
    benchmark::DoNotOptimize(touched);
    if (found != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("a key that exists was not found");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_SqliteLookup(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(g_data.sqlite.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT vin, modelname FROM vehicles WHERE substr(vin,1,10) = ? LIMIT 1",
                       -1, &statement, nullptr);
    auto lookup = [&](const std::string& key) {
        sqlite3_bind_text(statement, 1, key.c_str(), static_cast<int>(key.size()), SQLITE_STATIC);
        bool found = sqlite3_step(statement) == SQLITE_ROW;
        std::uint64_t touched = 0;
        if (found) {
            touched += sqlite3_column_text(statement, 0)[9];
            touched += sqlite3_column_text(statement, 1)[0];
        }
        sqlite3_reset(statement);
        benchmark::DoNotOptimize(touched);
        return found;
    };
    for (const auto& key : g_data.vinKeys) lookup(key);
    std::size_t next = 0, found = 0;
    for (auto _ : state) {
        found += lookup(g_data.vinKeys[next]);
        if (++next == g_data.vinKeys.size()) next = 0;
    }
    if (found != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("a key that exists was not found");
    sqlite3_finalize(statement);
    sqlite3_close(db);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// One iteration walks the whole run: a seek, then d4seekNext to its end.
void BM_SeekNext(benchmark::State& state) {
    TOpenTable table(g_data.table, "TYPEMAKEYR");
    const char* prefix = g_data.runPrefix.c_str();
    std::size_t calls = 0, length = 0;
    for (auto _ : state) {
        if (d4seek(table.Data(), prefix) != XB_SUCCESS) {
            state.SkipWithError("the run's prefix is not found");
            break;
        }
        length = 1;
        while (d4seekNext(table.Data(), prefix) == XB_SUCCESS) ++length;
        calls += length;
    }
    g_data.runLength = length;
    state.counters["run"] = static_cast<double>(length);
    state.SetItemsProcessed(static_cast<std::int64_t>(calls));
}

void BM_SqliteStep(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(g_data.sqlite.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT rowid FROM vehicles WHERE rectype = ? AND manufact = ? AND yr = ? "
                       "ORDER BY rectype, manufact, yr, modelname",
                       -1, &statement, nullptr);
    std::vector<std::string> first = RecordValues(0);
    std::string make = first[3];
    make.resize(4, ' ');
    std::size_t rows = 0;
    for (auto _ : state) {
        sqlite3_bind_int(statement, 1, 1);
        sqlite3_bind_text(statement, 2, make.c_str(), 4, SQLITE_STATIC);
        sqlite3_bind_int(statement, 3, std::atoi(first[4].c_str()));
        while (sqlite3_step(statement) == SQLITE_ROW) ++rows;
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    state.SetItemsProcessed(static_cast<std::int64_t>(rows));
}

void BM_Reindex(benchmark::State& state) {
    std::vector<TTagDef> tags = ReadIndexTags(g_data.table);
    for (auto _ : state) RebuildIndex(g_data.table, tags, g_data.table);
    state.counters["tags"] = static_cast<double>(tags.size());
}

void BM_SqliteCreateIndex(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open(g_data.sqlite.c_str(), &db);
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* sql : kSqliteDrops) Exec(db, sql);
        state.ResumeTiming();
        for (const char* sql : kSqliteIndexes) Exec(db, sql);
    }
    sqlite3_close(db);
}

// Keeps every run's figures for the summary, and prints as usual.
class TRecorder : public benchmark::ConsoleReporter {
public:
    TRecorder()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OutputOptions(OO_Tabular | OO_Color)
                                                : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            m_seconds[run.benchmark_name()] = run.GetAdjustedRealTime() * Multiplier(run.time_unit);
            auto items = run.counters.find("items_per_second");
            if (items != run.counters.end()) m_rates[run.benchmark_name()] = items->second;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Seconds(const std::string& name) const { return Find(m_seconds, name); }
    double Rate(const std::string& name) const { return Find(m_rates, name); }

private:
    static double Multiplier(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond:
                return 1e-9;
            case benchmark::kMicrosecond:
                return 1e-6;
            case benchmark::kMillisecond:
                return 1e-3;
            default:
                return 1.0;
        }
    }
    static double Find(const std::map<std::string, double>& map, const std::string& name) {
        for (const auto& [key, value] : map) {
            if (key.rfind(name, 0) == 0) return value;
        }
        return 0.0;
    }
    std::map<std::string, double> m_seconds;
    std::map<std::string, double> m_rates;
};

bool g_missed = false;

void Check(const char* what, bool met, const char* figure) {
    std::printf("  %-44s %-34s %s\n", what, figure, met ? "met" : "MISSED");
    if (!met) g_missed = true;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        PrepareData();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "xbase_bench: %s\n", e.what());
        return 1;
    }
    benchmark::RegisterBenchmark("OpenClose/1000000", BM_OpenClose, &g_data.table)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("OpenClose/1000", BM_OpenClose, &g_data.smallTable)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("SeekFetch/xbase", BM_SeekFetch);
    benchmark::RegisterBenchmark("SeekFetch/sqlite", BM_SqliteLookup);
    benchmark::RegisterBenchmark("SeekNext/xbase", BM_SeekNext)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("SeekNext/sqlite", BM_SqliteStep)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Reindex4/xbase", BM_Reindex)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseRealTime();
    benchmark::RegisterBenchmark("CreateIndex4/sqlite", BM_SqliteCreateIndex)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();

    char figure[128];
    std::printf("\nSummary (%u records, data in %s)\n", kRecords, g_data.folder.c_str());
    double openBig = recorder.Seconds("OpenClose/1000000") * 1e6;
    double openSmall = recorder.Seconds("OpenClose/1000") * 1e6;
    if (openBig > 0) {
        std::snprintf(figure, sizeof figure, "%.1f us (1,000 records: %.1f us)", openBig,
                      openSmall);
        Check("open + close under 1 ms", openBig < 1000, figure);
        std::snprintf(figure, sizeof figure, "ratio %.2f", openSmall > 0 ? openBig / openSmall : 0);
        Check("open does not grow with the table (< 2x)", openSmall > 0 && openBig < 2 * openSmall,
              figure);
    }
    double ours = recorder.Rate("SeekFetch/xbase"), theirs = recorder.Rate("SeekFetch/sqlite");
    if (ours > 0 && theirs > 0) {
        std::snprintf(figure, sizeof figure, "%.0f/s vs %.0f/s: %.2fx", ours, theirs,
                      ours / theirs);
        Check("warm seek + fetch >= 1.5x SQLite", ours >= 1.5 * theirs, figure);
    }
    double next = recorder.Rate("SeekNext/xbase");
    if (next > 0) {
        double sqliteStep = recorder.Rate("SeekNext/sqlite");
        std::snprintf(figure, sizeof figure, "%.3f us a call (run %zu; SQLite step %.3f us)",
                      1e6 / next, g_data.runLength, sqliteStep > 0 ? 1e6 / sqliteStep : 0.0);
        Check("d4seekNext under 0.5 us", 1e6 / next < 0.5, figure);
    }
    double reindex = recorder.Seconds("Reindex4/xbase");
    double create = recorder.Seconds("CreateIndex4/sqlite");
    if (reindex > 0 && create > 0) {
        std::snprintf(figure, sizeof figure, "%.0f ms vs %.0f ms: %.2fx faster", reindex * 1e3,
                      create * 1e3, create / reindex);
        Check("reindex of four tags faster than SQLite", reindex < create, figure);
    }
    if (ours > 0) {
        std::snprintf(figure, sizeof figure, "%ld kB over the seeks", g_seekRssGrowthKb);
        Check("memory does not grow with seeking (< 1 MB)", g_seekRssGrowthKb < 1024, figure);
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  peak resident memory: %ld MB (the reindex holds one tag's keys at a time)\n",
                usage.ru_maxrss / 1024);
    return g_missed ? 1 : 0;
}
