#include "YarvelTestSupport.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace yarvel_test {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string CsvField(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string CsvLine(const std::vector<std::string>& values) {
    std::string line;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) line += ',';
        line += CsvField(values[i]);
    }
    return line + "\n";
}

// The sample schema, without the fields to omit; the field names in order.
std::string Schema(const std::string& table, const std::vector<std::string>& omit,
                   std::vector<std::string>& fields) {
    std::istringstream in(ReadFile(std::string(YARVEL_SAMPLE_DIR) + "/" + table + ".schema"));
    std::string out, line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword, name;
        words >> keyword >> name;
        if (keyword == "field") {
            bool omitted = false;
            for (const auto& o : omit) omitted = omitted || o == name;
            if (omitted) continue;
            fields.push_back(name);
        }
        out += line + "\n";
    }
    return out;
}

bool Build(const std::string& folder, const std::string& table,
           const std::vector<std::string>& omit,
           const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::string> fields;
    WriteFile(folder + table + ".schema", Schema(table, omit, fields));
    std::string csv = CsvLine(fields);
    for (const auto& row : rows) csv += CsvLine(row);
    WriteFile(folder + table + ".csv", csv);

    const TRun run = RunProgram({DBFBUILD_PATH, folder + table + ".schema", folder + table + ".csv",
                                 folder + table + ".dbf"});
    if (run.status != 0) {
        ADD_FAILURE() << "dbfbuild failed for " << table << ": " << run.out << run.err;
        return false;
    }
    return true;
}

}  // namespace

// ---- TEngine ------------------------------------------------------------------

TEngine::TEngine() {
    m_handle = dlopen(YARVEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        ADD_FAILURE() << "cannot load " << YARVEL_LIBRARY_PATH << ": " << dlerror();
        return;
    }
    bool complete = true;
    auto bind = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(m_handle, name));
        if (!slot) {
            ADD_FAILURE() << "export missing: " << name;
            complete = false;
        }
    };
#define YARVEL_TEST_BIND_(Name) bind(Name, "Yarvel" #Name);
    YARVEL_EXPORTS(YARVEL_TEST_BIND_)
#undef YARVEL_TEST_BIND_
    if (!complete) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

TEngine::~TEngine() {
    if (m_handle) dlclose(m_handle);
}

// ---- Strings, records, lists -----------------------------------------------------

std::string Text(const TYarvelString* s) {
    return {YarvelStringText(s), static_cast<size_t>(YarvelStringLength(s))};
}

TYarvelString* Replaced(TYarvelString* old, const std::string& text) {
    YarvelStringRelease(old);
    return YarvelStringCreate(text.data(), static_cast<int32_t>(text.size()));
}

void TRecord::FillSentinels() {
    r.FourWheelDrive = 0x5A;
    r.Cylinders = -77;
    r.EffectiveDate = 12345.25;
    r.PassiveRestraints = 0xA5;
    r.SpecialEngineType = 0xA5;
    r.SpecialInfo = 0xA5A5;
    r.Performance = 0xA5;
    r.Symbol = -77;
    r.AntiTheftDevices = 0xA5A5;
    r.DaytimeRunningLamps = 0xA5;
    r.AntiLockBrakes = 0xA5;
    r.NonVSRSymbol = -77;
    r.ModelYear = -77;
    r.RecordType = -77;
    r.HighTheft = 0x5A;
    r.CompSymbol = -77;
    r.CollSymbol = -77;
    r.PriceSymbol = -77;
}

TCollectedList::TCollectedList(TKind kind) : m_kind(kind) {
    m_list.Owner = this;
    m_list.AddObject = &TCollectedList::AddObject;
}

TCollectedList::~TCollectedList() {
    for (auto& entry : m_entries) {
        if (m_kind == kMakes)
            YarvelAutoMakeFree(static_cast<TAutoMake*>(entry.object));
        else
            YarvelModelIDFree(static_cast<TModelID*>(entry.object));
    }
}

int32_t YARVEL_CALL TCollectedList::AddObject(void* owner, const TYarvelString* text,
                                              void* object) {
    auto* self = static_cast<TCollectedList*>(owner);
    self->m_entries.push_back({Text(text), object});
    return static_cast<int32_t>(self->m_entries.size() - 1);
}

std::vector<std::string> TCollectedList::Texts() const {
    std::vector<std::string> texts;
    for (const auto& entry : m_entries) texts.push_back(entry.text);
    return texts;
}

// ---- Fixture data ---------------------------------------------------------------

TRow DefaultMasterRow() {
    return {{"VIN", "TEST0001&5"},      {"IIN", "0501"},
            {"REC_TYPE", "1"},          {"MANUFACT", "HOND"},
            {"MODELNAME", "ACCORD"},    {"BODYSTYLE", "SEDAN 4D"},
            {"ENGNSIZE", "2.4"},        {"ENGN_CYLN", "4"},
            {"ENGN_TYPE", ""},          {"FOURWHDRV", ""},
            {"CONT_PERF", ""},          {"REST_IND", "G"},
            {"ANTILCKBRK", "S"},        {"DAYRLIND", "S"},
            {"ANTITHEFT", "P"},         {"SPLINFOSEL", ""},
            {"MODELINFO", "LX"},        {"BODYINFO", "SEDAN"},
            {"ENGNINFO", "2.4L 4 CYL"}, {"RESTINFO", "FRONT/SIDE AIRBAGS"},
            {"TRANSINFO", "A5"},        {"NOTCLASINF", ""},
            {"TWODIGVSR", "12"},        {"VSRSYM", ""},
            {"TWODIGNVSR", "10"},       {"NON_VSRSYM", ""},
            {"CLASSCODE", "PC"},        {"STAT_EXEP", ""},
            {"COMP_SYM", "20"},         {"COLL_SYM", "21"},
            {"PRICE_SYM", "22"},        {"EFF_DATE", ""}};
}

TRow Row(std::initializer_list<std::pair<const std::string, std::string>> changes) {
    TRow row = DefaultMasterRow();
    for (const auto& [field, value] : changes) row[field] = value;
    return row;
}

TFixtureData DefaultFixture() {
    TFixtureData fixture;
    fixture.makes = {{"HOND", "Honda"},
                     {"RR", "Rolls-Royce & Bentley"},
                     {"TOYT", "Toyota"},
                     {"XYZ", "Xyz Motors"}};
    fixture.translations = {{"CLASSCODE", "PC", "Passenger Car"},
                            {"CLASSCODE", "SU", "Sport Utility"},
                            {"ENGN_CYLN", "4", "4"},
                            {"ENGN_CYLN", "W", "12"},
                            {"ENGN_CYLN", "Z", "many"},
                            {"ENGN_TYPE", "T", "Turbo"},
                            {"ENGNSIZE", "2.4", "2.4 Liter"},
                            {"MODELINFO", "LX", "Luxury Edition"},
                            {"NOTCLASINF", "HYBRID", "Hybrid Electric"},
                            {"TRANSINFO", "A5", "5-Speed Automatic"}};
    return fixture;
}

bool BuildTables(const std::string& folder, const TFixtureData& fixture) {
    std::filesystem::create_directories(folder);
    std::vector<std::string> fields;
    Schema("Yarvel", fixture.omitFields, fields);
    std::vector<std::vector<std::string>> master;
    for (const auto& row : fixture.master) {
        std::vector<std::string> values;
        for (const auto& f : fields) {
            auto it = row.find(f);
            values.push_back(it == row.end() ? std::string() : it->second);
        }
        master.push_back(values);
    }
    std::vector<std::vector<std::string>> makes;
    for (const auto& [abbr, name] : fixture.makes) makes.push_back({abbr, name});
    return Build(folder, "Yarvel", fixture.omitFields, master) &&
           Build(folder, "AutoMake", {}, makes) &&
           Build(folder, "VinTrans", {}, fixture.translations);
}

void WriteHostIni(const std::string& windowsDir, const std::string& dataFolder) {
    std::filesystem::create_directories(windowsDir);
    WriteFile(windowsDir + "Pollark.Ini",
              "[DataPath]\r\nUseAltDataPath=1\r\nAlternateDataPath=" + dataFolder + "\r\n");
}

double DayCount(int year, int month, int day, double fractionOfDay) {
    using namespace std::chrono;
    const sys_days d{std::chrono::year{year} / month / day};
    const sys_days epoch{1899y / December / 30};
    return static_cast<double>((d - epoch).count()) + fractionOfDay;
}

// ---- EngineTest -------------------------------------------------------------------

void EngineTest::SetUp() {
    m_folder = std::make_unique<platform::testing::TempFolder>(true);
    m_boxes = std::make_unique<platform::testing::RecordingServices>();
    m_engine = std::make_unique<TEngine>();
    ASSERT_TRUE(m_engine->Loaded());
    e = m_engine.get();
}

void EngineTest::TearDown() {
    // Leave no session behind for the next test, whatever this one did.
    if (e) e->Stop();
    m_engine.reset();
    m_boxes.reset();
    m_folder.reset();
}

bool EngineTest::StartWith(const TFixtureData& fixture) {
    if (!BuildTables(DataFolder(), fixture)) return false;
    WriteHostIni(m_folder->WindowsDir(), DataFolder());
    e->Start();
    if (!Boxes().empty()) {
        ADD_FAILURE() << "start showed: " << Boxes().front().request.text;
        return false;
    }
    return true;
}

std::vector<std::string> EngineTest::BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : m_boxes->Boxes()) texts.push_back(box.request.text);
    return texts;
}

void EngineTest::LoadVIN(const std::string& vin, TRecord& record) {
    TStr v(vin);
    e->GetFirstVIN(v.get());
    ASSERT_FALSE(e->GetEndOfVIN()) << vin;
    e->LoadFromCurrentRecord(record.p());
}

}  // namespace yarvel_test
