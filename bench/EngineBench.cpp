// Engine benchmarks through the C boundary, on a generated master table of
// 500,000 descriptions (and one of 1,000, to show that starting the session
// does not grow with the table). The tables are built once per run with the
// tools' own builder; the library is loaded with dlopen as the program does.
//
// Targets: YarvelStart + YarvelStop under 2 ms at either size;
// YarvelGetRecordByVIN under 10 us; a model list under 200 us.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "TableBuild.h"
#include "platform/RecordingServices.h"
#include "platform/TempFolder.h"
#include "yarvel.h"

namespace {

struct TMakeInfo {
    const char* abbr;
    const char* name;
    const char* wmi;
};

const TMakeInfo kMakes[] = {{"ACUR", "Acura", "JH4"},
                            {"AUDI", "Audi", "WAU"},
                            {"BMW", "BMW", "WBA"},
                            {"BUIC", "Buick", "1G4"},
                            {"CADI", "Cadillac", "1G6"},
                            {"CHEV", "Chevrolet", "1G1"},
                            {"CHRY", "Chrysler", "1C3"},
                            {"DODG", "Dodge", "1B3"},
                            {"FORD", "Ford", "1FA"},
                            {"GMC", "GMC", "1GT"},
                            {"HOND", "Honda", "1HG"},
                            {"HYUN", "Hyundai", "KMH"},
                            {"INFI", "Infiniti", "JNK"},
                            {"ISU", "Isuzu", "JAA"},
                            {"JAGU", "Jaguar", "SAJ"},
                            {"JEEP", "Jeep", "1J4"},
                            {"KIA", "Kia", "KNA"},
                            {"LEXU", "Lexus", "JTH"},
                            {"LINC", "Lincoln", "1LN"},
                            {"LNDR", "Land Rover", "SAL"},
                            {"MAZD", "Mazda", "JM1"},
                            {"MERC", "Mercury", "1ME"},
                            {"MERZ", "Mercedes-Benz", "WDB"},
                            {"MITS", "Mitsubishi", "JA3"},
                            {"NISS", "Nissan", "1N4"},
                            {"OLDS", "Oldsmobile", "1G3"},
                            {"PLYM", "Plymouth", "1P3"},
                            {"PONT", "Pontiac", "1G2"},
                            {"PORS", "Porsche", "WP0"},
                            {"RR", "Rolls-Royce & Bentley", "SCA"},
                            {"SAAB", "Saab", "YS3"},
                            {"SATR", "Saturn", "1G8"},
                            {"SUBA", "Subaru", "JF1"},
                            {"TOYT", "Toyota", "JT2"},
                            {"VOLK", "Volkswagen", "WVW"},
                            {"VOLV", "Volvo", "YV1"}};
constexpr int kMakeCount = sizeof kMakes / sizeof kMakes[0];
constexpr int kYears = 43;   // 1985 to 2027
constexpr int kModels = 60;  // per make and year
const char kYearCodes[] = "ABCDEFGHJKLMNPRSTVWXY123456789";
const char kBase36[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Description i: make, year, model and sub-model follow from the index, so
// that every make and year holds about n / (36 * 43) descriptions, every model
// about five, and every VIN pattern two.
struct TDescription {
    int make, year, model, sub;
};

TDescription Describe(int i) {
    return {i % kMakeCount, 1985 + (i / kMakeCount) % kYears, (i / (kMakeCount * kYears)) % kModels,
            i / (kMakeCount * kYears * kModels)};
}

std::string Pattern(const TDescription& d) {
    std::string vin = kMakes[d.make].wmi;
    vin += kBase36[d.model / 36];
    vin += kBase36[d.model % 36];
    vin += kBase36[(d.sub / 2) % 36];
    vin += 'A';
    vin += d.year >= 2015 ? '1' : '0';  // the year letter repeats after 30 years
    vin += '&';
    vin += kYearCodes[(d.year - 1980) % 30];
    return vin;
}

std::string ModelName(int model) {
    return "SERIES " + std::to_string(100 + model);
}

void WriteMaster(const std::string& csvPath, int count) {
    std::ofstream out(csvPath, std::ios::binary);
    out << "VIN,IIN,REC_TYPE,MANUFACT,MODELNAME,BODYSTYLE,ENGNSIZE,ENGN_CYLN,ENGN_TYPE,FOURWHDRV,"
           "CONT_PERF,REST_IND,ANTILCKBRK,DAYRLIND,ANTITHEFT,SPLINFOSEL,MODELINFO,BODYINFO,"
           "ENGNINFO,RESTINFO,TRANSINFO,NOTCLASINF,TWODIGVSR,VSRSYM,TWODIGNVSR,NON_VSRSYM,"
           "CLASSCODE,STAT_EXEP,COMP_SYM,COLL_SYM,PRICE_SYM,EFF_DATE\n";
    static const char* bodies[] = {"SEDAN 4D", "COUPE 2D", "WAGON 4D", "UTIL 4D 4X4", "PICKUP"};
    static const char* infos[] = {"BASE", "LX", "EX", "SPORT", "LIMITED", "PREMIUM"};
    char line[512];
    for (int i = 0; i < count; ++i) {
        const TDescription d = Describe(i);
        const int symbol = 5 + (i * 7) % 22;
        std::snprintf(line, sizeof line,
                      "%s,%02d%02d,%d,%s,%s,%s,%s,%c,,%s,,G,S,S,P,,%s,%s,%s,FRONT/SIDE AIRBAGS,"
                      "A5,,%02d,,%02d,,PC,%s,%d,%d,%d,%s\n",
                      Pattern(d).c_str(), d.year % 100, i % 100, d.year >= 2011 ? 3 : 1,
                      kMakes[d.make].abbr, ModelName(d.model).c_str(), bodies[d.sub % 5],
                      d.sub % 2 ? "3.0" : "2.4", d.sub % 2 ? '6' : '4', d.sub == 3 ? "4" : "",
                      infos[d.sub % 6], bodies[d.sub % 5], d.sub % 2 ? "3.0L 6 CYL" : "2.4L 4 CYL",
                      symbol, symbol - 2, i % 11 ? "" : "MA", 10 + symbol, 12 + symbol, 8 + symbol,
                      d.sub % 2 ? "0105" : "");
        out << line;
    }
}

// A data folder with the three tables, built once and kept for the run.
class TDataSet {
public:
    explicit TDataSet(int count) : m_folder(false) {
        const std::string sample = YARVEL_SAMPLE_DIR;
        const std::string data = m_folder.Path();
        WriteMaster(data + "Yarvel.csv", count);
        BuildTable(sample + "/Yarvel.schema", data + "Yarvel.csv", data + "Yarvel.dbf");
        std::filesystem::remove(data + "Yarvel.csv");
        {
            std::ofstream makes(data + "AutoMake.csv", std::ios::binary);
            makes << "ABBR,MAKE\n";
            for (const auto& m : kMakes) makes << m.abbr << ",\"" << m.name << "\"\n";
        }
        BuildTable(sample + "/AutoMake.schema", data + "AutoMake.csv", data + "AutoMake.dbf");
        BuildTable(sample + "/VinTrans.schema", sample + "/VinTrans.csv", data + "VinTrans.dbf");
    }
    const std::string& Path() const { return m_folder.Path(); }

private:
    platform::testing::TempFolder m_folder;
};

struct TEngine {
    void* handle = nullptr;
#define ENGINE_BENCH_SLOT_(Name) TYarvel##Name##Func Name = nullptr;
    YARVEL_EXPORTS(ENGINE_BENCH_SLOT_)
#undef ENGINE_BENCH_SLOT_

    TEngine() {
        handle = dlopen(YARVEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!handle) throw std::runtime_error(dlerror());
#define ENGINE_BENCH_BIND_(Name) Bind(Name, "Yarvel" #Name);
        YARVEL_EXPORTS(ENGINE_BENCH_BIND_)
#undef ENGINE_BENCH_BIND_
    }
    template <typename F>
    void Bind(F& slot, const char* name) {
        slot = reinterpret_cast<F>(dlsym(handle, name));
        if (!slot) throw std::runtime_error(std::string("missing export ") + name);
    }
};

// Process-wide: the library, a Windows directory for the host ini, the two
// data sets (built on first use), and recorded boxes (a benchmark that shows
// one is broken and says so).
struct TWorld {
    platform::testing::TempFolder windows{true};
    platform::testing::RecordingServices boxes;
    TEngine engine;
    std::map<int, std::unique_ptr<TDataSet>> sets;

    void Use(int count) {
        auto& set = sets[count];
        if (!set) set = std::make_unique<TDataSet>(count);
        std::ofstream ini(windows.WindowsDir() + "Pollark.Ini", std::ios::binary);
        ini << "[DataPath]\r\nUseAltDataPath=1\r\nAlternateDataPath=" << set->Path() << "\r\n";
    }
    bool Check(benchmark::State& state) {
        if (boxes.Boxes().empty()) return true;
        state.SkipWithError(boxes.Boxes().front().request.text.c_str());
        boxes.ClearRecords();
        return false;
    }
};

TWorld& World() {
    static TWorld world;
    return world;
}

constexpr int kLarge = 500000;

TYarvelString* Str(const std::string& s) {
    return YarvelStringCreate(s.data(), static_cast<int32_t>(s.size()));
}

// Starts the session on the large table for the lookups.
struct TSession {
    TWorld& w = World();
    TSession() {
        w.Use(kLarge);
        w.engine.Start();
    }
    ~TSession() { w.engine.Stop(); }
};

void BM_StartStop(benchmark::State& state) {
    TWorld& w = World();
    w.Use(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        w.engine.Start();
        w.engine.Stop();
    }
    w.Check(state);
}
BENCHMARK(BM_StartStop)->Arg(1000)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

void BM_GetRecordByVIN(benchmark::State& state) {
    TSession session;
    // 1024 existing VINs, spread over the table; the index stays warm.
    std::vector<std::string> vins;
    for (int i = 0; i < 1024; ++i) {
        std::string vin = Pattern(Describe((i * 487) % kLarge));
        vin[8] = '7';
        vins.push_back(vin + "A123456");
    }
    TVinRecord record{};
    record.EffectiveDate = 45000.0;  // March 2023
    size_t i = 0, found = 0;
    for (auto _ : state) {
        YarvelStringRelease(record.VIN);
        record.VIN = Str(vins[i++ & 1023]);
        found += session.w.engine.GetRecordByVIN(&record);
    }
    YarvelVinRecordClear(&record);
    if (session.w.Check(state) && found != static_cast<size_t>(state.iterations()))
        state.SkipWithError("a VIN was not found");
}
BENCHMARK(BM_GetRecordByVIN)->Unit(benchmark::kMicrosecond);

void BM_VinIteration(benchmark::State& state) {
    TSession session;
    TEngine& e = session.w.engine;
    std::string vin = Pattern(Describe(12345));
    vin[8] = '7';
    TYarvelString* v = Str(vin + "A123456");
    TVinRecord record{};
    int64_t candidates = 0;
    for (auto _ : state) {
        for (e.GetFirstVIN(v); !e.GetEndOfVIN(); e.GetNextVIN()) {
            e.LoadFromCurrentRecord(&record);
            ++candidates;
        }
    }
    YarvelVinRecordClear(&record);
    YarvelStringRelease(v);
    state.counters["candidates"] = benchmark::Counter(static_cast<double>(candidates) /
                                                      static_cast<double>(state.iterations()));
    session.w.Check(state);
}
BENCHMARK(BM_VinIteration)->Unit(benchmark::kMicrosecond);

struct TModelList {
    std::vector<TModelID*> models;
    static int32_t YARVEL_CALL Add(void* owner, const TYarvelString*, void* object) {
        auto* self = static_cast<TModelList*>(owner);
        self->models.push_back(static_cast<TModelID*>(object));
        return static_cast<int32_t>(self->models.size() - 1);
    }
    void Clear() {
        for (TModelID* m : models) YarvelModelIDFree(m);
        models.clear();
    }
};

void BM_GetListOfModels(benchmark::State& state) {
    TSession session;
    TYarvelString* abbr = Str("HOND");
    TYarvelString* year = Str("2005");
    TAutoMake make{nullptr, abbr};
    TModelList collected;
    TYarvelList list{&collected, &TModelList::Add};
    size_t entries = 0;
    for (auto _ : state) {
        session.w.engine.GetListOfModels(&list, &make, year);
        entries = collected.models.size();
        collected.Clear();
    }
    YarvelStringRelease(abbr);
    YarvelStringRelease(year);
    state.counters["entries"] = static_cast<double>(entries);
    if (session.w.Check(state) && entries == 0) state.SkipWithError("no models listed");
}
BENCHMARK(BM_GetListOfModels)->Unit(benchmark::kMicrosecond);

void BM_GetDifferenceFields(benchmark::State& state) {
    TSession session;
    TYarvelString* abbr = Str("HOND");
    TYarvelString* year = Str("2005");
    TYarvelString* model = Str(ModelName(7));
    TYarvelDifferenceSet set = 0;
    for (auto _ : state) {
        set = session.w.engine.GetDifferenceFields(abbr, year, model);
        benchmark::DoNotOptimize(set);
    }
    YarvelStringRelease(abbr);
    YarvelStringRelease(year);
    YarvelStringRelease(model);
    if (session.w.Check(state) && set == 0) state.SkipWithError("no differences found");
}
BENCHMARK(BM_GetDifferenceFields)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
