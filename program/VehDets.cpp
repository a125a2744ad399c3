#include "VehDets.h"

#include <cstring>
#include <iterator>
#include <new>

#include "DateUtils.h"
#include "platform/IniText.h"
#include "platform/Services.h"

static_assert(sizeof(TVinRecord) == 155, "the engine fills TVinRecord byte-packed");

namespace {

const char* const kEquipmentNames[] = {"Unknown", "Standard", "Optional", "Not Available"};
const char* const kSpecialEngineNames[] = {"Turbo", "Diesel", "Turbo Diesel", "Natural Gas",
                                           "None"};
const char* const kPerformanceNames[] = {"Standard", "Intermediate", "High", "Sports",
                                         "Sports Premium"};
const char* const kAntiTheftNames[] = {"Alarm",
                                       "Active Disabling",
                                       "Passive Disabling",
                                       "Vehicle Recovery",
                                       "Other MA Category I",
                                       "Other MA Category II",
                                       "Other MA Category III",
                                       "Other MA Category IV",
                                       "Other MA Category V"};
const char* const kPassiveRestraintNames[] = {
    "Driver",           "Passenger",           "Drivers Side", "Passengers Side",
    "Driver Auto Belt", "Passenger Auto Belt", "None",         "Unknown"};

// A corrupt record may hold any byte; it is shown as a number, never read past the table.
template <size_t N>
std::string NameOf(const char* const (&names)[N], unsigned value) {
    return value < N ? names[value] : std::to_string(value);
}

std::string YesNo(TYarvelBool value) {
    return value ? "Yes" : "No or not indicated";
}

std::string Trimmed(const TYarvelString* text) {
    return platform::TrimBlanks(RecordText(text));
}

// Calls f with each text field's value; packed members are read directly, never
// through a reference or member pointer, which would assume natural alignment.
constexpr size_t kTextFieldCount = 13;
template <typename F>
void ForEachText(const TVinRecord& r, F&& f) {
    for (TYarvelString* text :
         {r.VIN, r.OtherInfo, r.TransmissionInfo, r.BodyInfo, r.RestraintInfo, r.Make, r.Model,
          r.EngineInfo, r.ModelInfo, r.Body, r.VehicleClass, r.VSRText, r.StateExceptions})
        f(text);
}

class TPropertyLines {
public:
    TPropertyLines(bool showAll, const std::string& separator, bool compact)
        : m_showAll(showAll), m_separator(separator), m_compact(compact) {}

    void Add(std::string caption, const std::string& value) {
        if (!m_showAll && value.empty()) return;
        if (m_compact) std::erase(caption, ' ');
        m_lines.push_back(caption + m_separator + value);
    }

    std::vector<std::string> Take() { return std::move(m_lines); }

private:
    bool m_showAll;
    const std::string& m_separator;
    bool m_compact;
    std::vector<std::string> m_lines;
};

}  // namespace

std::string RecordText(const TYarvelString* text) {
    return std::string(YarvelStringText(text), static_cast<size_t>(YarvelStringLength(text)));
}

TYarvelString* ReplaceRecordText(TYarvelString* old, std::string_view text) {
    TYarvelString* value = nullptr;
    if (!text.empty()) {
        if (text.size() > static_cast<size_t>(INT32_MAX)) throw std::bad_alloc();
        value = YarvelStringCreate(text.data(), static_cast<int32_t>(text.size()));
        if (!value) throw std::bad_alloc();
    }
    YarvelStringRelease(old);
    return value;
}

void TVinRecordDelete::operator()(TVinRecord* record) const noexcept {
    if (!record) return;
    YarvelVinRecordClear(record);
    delete record;
}

TVinRecordPtr NewVinRecord() {
    return TVinRecordPtr(new TVinRecord{});
}

void ClearVinRecord(TVinRecord& record) {
    YarvelVinRecordClear(&record);
    record.EffectiveDate = NowDayCount();
    record.SpecialEngineType = YV_ENGINE_NONE;
    record.RecordType = 1;
}

void CopyVinRecord(TVinRecord& target, const TVinRecord& source) {
    if (&target == &source) return;
    TYarvelString* old[kTextFieldCount];
    size_t n = 0;
    ForEachText(target, [&](TYarvelString* text) { old[n++] = text; });
    std::memcpy(&target, &source, sizeof(TVinRecord));
    ForEachText(target, [](TYarvelString* text) { YarvelStringAddRef(text); });
    for (TYarvelString* text : old) YarvelStringRelease(text);
}

std::vector<std::string> GetVehicleProperties(const TVinRecord& record, bool showAll,
                                              const std::string& separator, bool compactCaptions) {
    // Packed members cannot bind to references; read them into locals first.
    const int32_t modelYear = record.ModelYear;
    const int32_t compSymbol = record.CompSymbol;
    const int32_t collSymbol = record.CollSymbol;
    const unsigned antiTheft = record.AntiTheftDevices;
    const unsigned restraints = record.PassiveRestraints;
    const double effective = record.EffectiveDate;

    TPropertyLines lines(showAll, separator, compactCaptions);
    lines.Add("Model Year", std::to_string(modelYear));
    lines.Add("Make", Trimmed(record.Make));
    lines.Add("Model", Trimmed(record.Model));
    lines.Add("Vehicle Class", Trimmed(record.VehicleClass));
    lines.Add("VIN", RecordText(record.VIN));
    // From model year 2011 on the data carries separate comprehensive and collision symbols.
    if (modelYear <= 2010) {
        lines.Add("Symbol", std::to_string(record.Symbol));
    } else {
        lines.Add("Comp Symbol", std::to_string(compSymbol));
        lines.Add("Collision Symbol", std::to_string(collSymbol));
    }
    lines.Add("Performance", NameOf(kPerformanceNames, record.Performance));
    for (unsigned bit = 0; bit < std::size(kAntiTheftNames); ++bit)
        if (antiTheft & YV_BIT(bit)) lines.Add("Anti Theft Device", kAntiTheftNames[bit]);
    for (unsigned bit = 0; bit < std::size(kPassiveRestraintNames); ++bit)
        if (restraints & YV_BIT(bit)) lines.Add("Passive Restraint", kPassiveRestraintNames[bit]);
    lines.Add("High Theft", YesNo(record.HighTheft));
    lines.Add("ABS", NameOf(kEquipmentNames, record.AntiLockBrakes));
    lines.Add("Cylinders", std::to_string(record.Cylinders));
    lines.Add("Special Engine Type", NameOf(kSpecialEngineNames, record.SpecialEngineType));
    lines.Add("Body", Trimmed(record.Body));
    lines.Add("FWD", YesNo(record.FourWheelDrive));
    lines.Add("Model Info", Trimmed(record.ModelInfo));
    lines.Add("Body Info", Trimmed(record.BodyInfo));
    lines.Add("Engine Info", Trimmed(record.EngineInfo));
    lines.Add("Restraint Info", Trimmed(record.RestraintInfo));
    lines.Add("Transmission Info", Trimmed(record.TransmissionInfo));
    lines.Add("Other Info", Trimmed(record.OtherInfo));
    lines.Add("Daytime Running Lamps", NameOf(kEquipmentNames, record.DaytimeRunningLamps));
    lines.Add("Non VSR Symbol", std::to_string(record.NonVSRSymbol));
    lines.Add("State Exceptions", Trimmed(record.StateExceptions));
    // 1 January 1950 stands for the original symbol, which carries no effective date.
    const auto date = DecodeDate(effective);
    if (date && date->Year > 1950)
        lines.Add("Effective", FormatDateText(effective, platform::ShortDateFormat()));
    lines.Add("Comp_Symbol", std::to_string(compSymbol));
    lines.Add("Coll_Symbol", std::to_string(collSymbol));
    lines.Add("Price_Symbol", std::to_string(record.PriceSymbol));
    return lines.Take();
}
