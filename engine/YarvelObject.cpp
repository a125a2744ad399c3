#include "YarvelObject.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <initializer_list>
#include <limits>
#include <new>

#include "Helpers.h"
#include "platform/Services.h"

namespace {

const char kVinTag[] = "VINTAG";
const char kTypeMakeYrTag[] = "TypeMakeYr";
const char kVinScanTag[] = "VINSCANTAG";
const char kVinSeekTag[] = "VINSEEKTAG";
const char kXlateTag[] = "XLATETAG";
const char kAbbrTag[] = "ABBRTAG";

// The master fields the engine reads, by slot: their handles are resolved
// once per open table (TCBTable::FieldView), not looked up by name per read.
enum MasterField : int {
    fVIN,
    fIIN,
    fREST_IND,
    fANTILCKBRK,
    fENGN_CYLN,
    fENGN_TYPE,
    fMANUFACT,
    fCONT_PERF,
    fBODYSTYLE,
    fFOURWHDRV,
    fMODELNAME,
    fSPLINFOSEL,
    fMODELINFO,
    fBODYINFO,
    fENGNINFO,
    fRESTINFO,
    fTRANSINFO,
    fNOTCLASINF,
    fDAYRLIND,
    fTWODIGVSR,
    fVSRSYM,
    fTWODIGNVSR,
    fNON_VSRSYM,
    fCLASSCODE,
    fANTITHEFT,
    fSTAT_EXEP,
    fCOMP_SYM,
    fCOLL_SYM,
    fPRICE_SYM,
    fEFF_DATE,
    fENGNSIZE,
    kMasterFieldCount
};
const char* const kMasterFields[kMasterFieldCount] = {
    "VIN",
    "IIN",
    "REST_IND",
    "ANTILCKBRK",
    "ENGN_CYLN",
    "ENGN_TYPE",
    "MANUFACT",
    "CONT_PERF",
    "BODYSTYLE",
    "FOURWHDRV",
    "MODELNAME",
    "SPLINFOSEL",
    "MODELINFO",
    "BODYINFO",
    "ENGNINFO",
    "RESTINFO",
    "TRANSINFO",
    "NOTCLASINF",
    "DAYRLIND",
    "TWODIGVSR",
    "VSRSYM",
    "TWODIGNVSR",
    "NON_VSRSYM",
    "CLASSCODE",
    "ANTITHEFT",
    "STAT_EXEP",
    "COMP_SYM",
    "COLL_SYM",
    "PRICE_SYM",
    "EFF_DATE",
    "ENGNSIZE",
};

// Master fields by selector; 1 and 12 both name TWODIGVSR.
const MasterField kSelectorSlots[16] = {fMODELNAME, fTWODIGVSR, fBODYSTYLE, fENGNSIZE,
                                       fENGN_CYLN, fENGN_TYPE, fMODELINFO, fBODYINFO,
                                       fENGNINFO,  fRESTINFO,  fTRANSINFO, fNOTCLASINF,
                                       fTWODIGVSR, fCOMP_SYM,  fCOLL_SYM,  fVIN};
constexpr int kFirstDifferenceSelector = 2;
// Bound of the remembered translations and make names.
constexpr size_t kMaxRemembered = 4096;
constexpr int kLastDifferenceSelector = 11;

char FirstChar(std::string_view field) {
    return field.empty() ? ' ' : field[0];
}

// The engine takes keys as C texts: one holding a NUL byte would be cut
// short there and match keys it does not spell, so it matches nothing.
bool SeekKey(TCBTable& table, const std::string& key, const std::string& tag) {
    if (key.find('\0') == std::string::npos) return table.Seek(key, tag);
    if (!tag.empty()) table.SelectTag(tag);  // a seek leaves its tag selected
    return false;
}

bool SeekNextKey(TCBTable& table, const std::string& key) {
    return key.find('\0') == std::string::npos && table.SeekNext(key);
}

uint16_t Bits(std::initializer_list<int> members) {
    uint16_t set = 0;
    for (int m : members) set = static_cast<uint16_t>(set | (1u << m));
    return set;
}

// A shared string for the boundary; an allocation failure is an error, not
// an empty text.
TYarvelString* NewString(std::string_view text) {
    if (text.empty()) return nullptr;
    if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw std::bad_alloc();
    TYarvelString* s = YarvelStringCreate(text.data(), static_cast<int32_t>(text.size()));
    if (!s) throw std::bad_alloc();
    return s;
}

// A new string for `text` in place of `old`, which is released. Record
// fields are unaligned (the record is packed), so callers assign the result
// rather than hand out the field's address.
TYarvelString* Replaced(TYarvelString* old, std::string_view text) {
    TYarvelString* s = NewString(text);
    YarvelStringRelease(old);
    return s;
}

// Owns a new string until it is handed over.
struct TStringRef {
    TYarvelString* s;
    explicit TStringRef(const std::string& text) : s(NewString(text)) {}
    ~TStringRef() { YarvelStringRelease(s); }
    TStringRef(const TStringRef&) = delete;
    TStringRef& operator=(const TStringRef&) = delete;
};

int32_t CurrentYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

bool IsDecimalText(const std::string& t) {
    size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    if (i == t.size()) return false;
    for (; i < t.size(); ++i)
        if (t[i] < '0' || t[i] > '9') return false;
    return true;
}

// Parses a decimal text already known to be one; false on overflow.
bool ParseDecimal(const std::string& t, int32_t& value) {
    size_t i = (t[0] == '+' || t[0] == '-') ? 1 : 0;
    const bool negative = t[0] == '-';
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        v = v * 10 + (t[i] - '0');
        if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min())
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

}  // namespace

// ---- Pieces without tables ---------------------------------------------------

namespace yarvel {

int32_t FieldTextToInt(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty()) return 0;
    int32_t value = 0;
    if (!IsDecimalText(t) || !ParseDecimal(t, value))
        throw EConvertError(FormatText("'%s' is not a valid integer value", t.c_str()));
    return value;
}

std::string ProperCase(const std::string& text) {
    // In place on the trimmed copy: every run keeps its length.
    std::string t = Trim(text);
    auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    size_t i = 0;
    while (i < t.size()) {
        size_t end = i;
        while (end < t.size() && isLetter(t[end])) ++end;
        const size_t length = end - i;
        if (length >= 4) {
            for (size_t k = i + 1; k < end; ++k)
                if (t[k] >= 'A' && t[k] <= 'Z') t[k] = static_cast<char>(t[k] + 32);
        } else if (length == 3 && (t.compare(i, 3, "VAN") == 0 || t.compare(i, 3, "GEO") == 0 ||
                                   t.compare(i, 3, "CAR") == 0)) {
            t[i + 1] = static_cast<char>(t[i + 1] + 32);
            t[i + 2] = static_cast<char>(t[i + 2] + 32);
        }
        i = end + 1;  // the character that ends the run stays as it is
    }
    return t;
}

int32_t SymbolFromText(const std::string& text) {
    int32_t value = 0;
    if (IsDecimalText(text) && ParseDecimal(text, value) && value != 0) return value;
    if (text.empty()) return 0;
    // clang-format off
    switch (text[0]) {
        case 'A': return 21;
        case 'J': return 10;
        case 'K': return 11;
        case 'M': return 12;
        case 'N': return 13;
        case 'P': return 14;
        case 'R': return 15;
        case 'S': return 16;
        case 'T': return 17;
        case 'U': return 18;
        case 'V': return 19;
        case 'W': return 20;
        default: return 0;
    }
    // clang-format on
}

int32_t ModelYearFromTwoDigits(int32_t n, int32_t currentYear) {
    const int32_t pivot = (currentYear + 3) % 100;
    return n < pivot ? 2000 + n : 1900 + n;
}

std::string VinMask(const std::string& vin, int mask) {
    std::string key = vin.substr(0, 10);
    if (key.size() >= 9) key[8] = '&';
    static const int kPosition[6] = {0, 0, 6, 4, 8, 7};
    const int pos = (mask >= 1 && mask <= 5) ? kPosition[mask] : 0;
    if (pos > 0 && static_cast<size_t>(pos) <= key.size()) key[pos - 1] = '&';
    return key;
}

bool EffectiveOn(const std::string& effDate, double date) {
    // All blanks: in effect whatever the date.
    if (effDate.find_first_not_of(' ') == std::string::npos) return true;
    const int32_t v = FieldTextToInt(effDate);
    const int32_t month = v / 100;
    int32_t year = 1900 + v % 100;
    if (year < 1950) year += 100;

    // Day counts of 1 January 0001 and 31 December 9999.
    if (!(date >= -693593.0 && date < 2958466.0))
        throw EYarvelError(FormatText("'%g' is not a valid date", date));
    using namespace std::chrono;
    const auto day = sys_days{1899y / December / 30} + days{static_cast<int>(std::trunc(date))};
    const year_month_day ymd{day};
    const int32_t dateYear = static_cast<int>(ymd.year());
    const int32_t dateMonth = static_cast<int>(static_cast<unsigned>(ymd.month()));
    return year < dateYear || (year == dateYear && month <= dateMonth);
}

std::string BuildModelKey(int32_t recordType, const std::string& make, const std::string& year,
                          const std::string& model) {
    std::string key = FormatText("%10d", recordType);
    key += make;
    if (make.size() < 4) key.append(4 - make.size(), ' ');
    key += year.size() == 4 ? year.substr(2) : year;
    key += model;
    return UpperText(std::move(key));
}

int32_t RecordTypeForYear(const std::string& year) {
    int32_t value = 0;
    if (IsDecimalText(year) && ParseDecimal(year, value) && value >= 2011) return 3;
    return 1;
}

std::string TranslationKey(const std::string& fieldName, const std::string& code) {
    std::string key = fieldName;
    if (key.size() < 10) key.append(10 - key.size(), ' ');
    return key + code;
}

}  // namespace yarvel

using namespace yarvel;

// ---- TVinTranslations -------------------------------------------------------

TVinTranslations::TVinTranslations(TCBDatabase& database, const std::string& path)
    : TCBDataLayer(database, path, "VinTrans.dbf") {
    Open();
}

std::string TVinTranslations::Translate(const std::string& fieldName, const std::string& code) {
    std::string key = TranslationKey(fieldName, code);
    if (auto it = m_answers.find(key); it != m_answers.end()) return it->second;
    std::string result = code;
    if (SeekKey(*Table(), key, kXlateTag)) result = Table()->GetField("DESC");
    result = Trim(result);
    if (m_answers.size() >= kMaxRemembered) m_answers.clear();
    m_answers.emplace(std::move(key), result);
    return result;
}

// ---- TAutoMakes --------------------------------------------------------------

TAutoMakes::TAutoMakes(TCBDatabase& database, const std::string& path)
    : TCBDataLayer(database, path, "AutoMake.dbf") {}

std::string TAutoMakes::MakeName(const std::string& abbr) {
    if (auto it = m_names.find(abbr); it != m_names.end()) return it->second;
    std::string result = abbr;
    if (SeekKey(*Table(), abbr, kAbbrTag)) result = Table()->GetField("Make");
    if (m_names.size() >= kMaxRemembered) m_names.clear();
    m_names.emplace(abbr, result);
    return result;
}

void TAutoMakes::GetListOfMakes(const TYarvelList& list) {
    TCBTable& table = *Table();
    table.Top();
    while (!table.Eof()) {
        TStringRef abbr(table.GetField("Abbr"));
        TStringRef make(Trim(table.GetField("Make")));
        TAutoMake* item = YarvelAutoMakeCreate(make.s, abbr.s);
        if (!item) throw std::bad_alloc();
        list.AddObject(list.Owner, item->Make, item);
        table.SkipNext();
    }
}

// ---- TYarvel -----------------------------------------------------------------

TYarvel::TYarvel(TCBDatabase& database, const std::string& path)
    : TCBDataLayer(database, path, "Yarvel.dbf") {
    // The base registered the master; should a companion fail, the base's
    // destructor still detaches it, and what was made here goes first.
    try {
        m_makes = new TAutoMakes(database, path);
        m_makes->Open();
        m_translations = new TVinTranslations(database, path);
    } catch (...) {
        delete m_makes;
        delete m_translations;
        throw;
    }
}

TYarvel::~TYarvel() {
    delete m_makes;
    delete m_translations;
}

std::string_view TYarvel::Field(int slot) {
    return Table()->FieldView(kMasterFields, kMasterFieldCount, static_cast<size_t>(slot));
}

int32_t TYarvel::FieldInt(int slot) {
    return FieldTextToInt(std::string(Field(slot)));
}

// The letter tables below read best one row per result.
// clang-format off
void TYarvel::LoadFromCurrentRecord(TVinRecord& r) {
    r.VIN = Replaced(r.VIN, Field(fVIN));

    const std::string_view iin = Field(fIIN);
    r.ModelYear = ModelYearFromTwoDigits(FieldTextToInt(std::string(iin.substr(0, 2))), CurrentYear());

    switch (FirstChar(Field(fREST_IND))) {
        case ' ': r.PassiveRestraints = YV_BIT(YV_RESTRAINT_UNKNOWN); break;
        case 'A': r.PassiveRestraints = YV_BIT(YV_RESTRAINT_NONE); break;
        case 'B': case 'D': case 'H': case 'M': case 'N': case 'P':
            r.PassiveRestraints = YV_BIT(YV_RESTRAINT_DRIVER);
            break;
        case '2': case '3': case 'E': case 'F': case 'I': case 'O': case 'T': case 'X': case 'Z':
            r.PassiveRestraints = YV_BIT(YV_RESTRAINT_DRIVER) | YV_BIT(YV_RESTRAINT_PASSENGER);
            break;
        case 'C': case 'L': case 'U':
            r.PassiveRestraints = YV_BIT(YV_RESTRAINT_DRIVER) | YV_BIT(YV_RESTRAINT_DRIVERS_SIDE);
            break;
        case '1': case '4': case '5': case '6': case '8': case '9': case 'G': case 'J': case 'K':
        case 'Q': case 'R': case 'S': case 'V': case 'W': case 'Y':
            r.PassiveRestraints = YV_BIT(YV_RESTRAINT_DRIVER) | YV_BIT(YV_RESTRAINT_PASSENGER) |
                                  YV_BIT(YV_RESTRAINT_DRIVERS_SIDE) |
                                  YV_BIT(YV_RESTRAINT_PASSENGERS_SIDE);
            break;
        default: break;
    }

    switch (FirstChar(Field(fANTILCKBRK))) {
        case ' ': r.AntiLockBrakes = YV_EQUIP_UNKNOWN; break;
        case 'S': r.AntiLockBrakes = YV_EQUIP_STANDARD; break;
        case 'J': case 'O': r.AntiLockBrakes = YV_EQUIP_OPTIONAL; break;
        case 'N': case 'R': case 'W': r.AntiLockBrakes = YV_EQUIP_NOT_AVAILABLE; break;
        default: break;
    }

    r.Cylinders = FieldTextToInt(m_translations->Translate("ENGN_CYLN", std::string(Field(fENGN_CYLN))));

    switch (FirstChar(Field(fENGN_TYPE))) {
        case 'T': r.SpecialEngineType = YV_ENGINE_TURBO; break;
        case 'D': r.SpecialEngineType = YV_ENGINE_DIESEL; break;
        case 'X': r.SpecialEngineType = YV_ENGINE_TURBO_DIESEL; break;
        case 'N': r.SpecialEngineType = YV_ENGINE_NATURAL_GAS; break;
        default: r.SpecialEngineType = YV_ENGINE_NONE; break;
    }

    r.Make = Replaced(r.Make, Trim(m_makes->MakeName(std::string(Field(fMANUFACT)))));

    switch (FirstChar(Field(fCONT_PERF))) {
        case ' ': r.Performance = YV_PERF_STANDARD; break;
        case 'I': r.Performance = YV_PERF_INTERMEDIATE; break;
        case 'H': r.Performance = YV_PERF_HIGH; break;
        case 'S': r.Performance = YV_PERF_SPORTS; break;
        case 'P': r.Performance = YV_PERF_SPORTS_PREMIUM; break;
        default: break;
    }

    r.Body = Replaced(r.Body, Field(fBODYSTYLE));
    r.FourWheelDrive = FirstChar(Field(fFOURWHDRV)) == '4';
    r.Model = Replaced(r.Model, ProperCase(std::string(Field(fMODELNAME))));

    switch (FirstChar(Field(fSPLINFOSEL))) {
        case 'M': r.SpecialInfo = Bits({6}); break;
        case 'B': r.SpecialInfo = Bits({7}); break;
        case 'E': r.SpecialInfo = Bits({8}); break;
        case 'R': r.SpecialInfo = Bits({9}); break;
        case 'T': r.SpecialInfo = Bits({10}); break;
        case 'O': r.SpecialInfo = Bits({11}); break;
        case 'A': r.SpecialInfo = Bits({7, 10}); break;
        case 'C': r.SpecialInfo = Bits({6, 10}); break;
        case 'G': r.SpecialInfo = Bits({9, 10}); break;
        case 'H': r.SpecialInfo = Bits({9, 11}); break;
        case 'V': r.SpecialInfo = Bits({8, 10}); break;
        case 'W': r.SpecialInfo = Bits({10, 11}); break;
        case 'X': r.SpecialInfo = Bits({6, 7}); break;
        case 'Y': r.SpecialInfo = Bits({7, 8}); break;
        case 'Z': r.SpecialInfo = Bits({7, 11}); break;
        default: break;
    }

    r.ModelInfo = Replaced(r.ModelInfo, Trim(Field(fMODELINFO)));
    r.BodyInfo = Replaced(r.BodyInfo, Trim(Field(fBODYINFO)));
    r.EngineInfo = Replaced(r.EngineInfo, Trim(Field(fENGNINFO)));
    r.RestraintInfo = Replaced(r.RestraintInfo, Trim(Field(fRESTINFO)));
    r.TransmissionInfo = Replaced(r.TransmissionInfo, Trim(Field(fTRANSINFO)));
    r.OtherInfo = Replaced(r.OtherInfo, Trim(Field(fNOTCLASINF)));

    switch (FirstChar(Field(fDAYRLIND))) {
        case ' ': r.DaytimeRunningLamps = YV_EQUIP_UNKNOWN; break;
        case 'S': r.DaytimeRunningLamps = YV_EQUIP_STANDARD; break;
        case 'O': r.DaytimeRunningLamps = YV_EQUIP_OPTIONAL; break;
        case 'N': r.DaytimeRunningLamps = YV_EQUIP_NOT_AVAILABLE; break;
        default: break;
    }

    const std::string vsr = Trim(Field(fTWODIGVSR));
    r.Symbol = FieldTextToInt(vsr);
    if (r.Symbol == 0) r.Symbol = SymbolFromText(Trim(Field(fVSRSYM)));
    r.NonVSRSymbol = FieldInt(fTWODIGNVSR);
    if (r.NonVSRSymbol == 0) r.NonVSRSymbol = SymbolFromText(Trim(Field(fNON_VSRSYM)));

    r.VehicleClass = Replaced(r.VehicleClass, m_translations->Translate("CLASSCODE", std::string(Field(fCLASSCODE))));

    switch (FirstChar(Field(fANTITHEFT))) {
        case 'A': r.AntiTheftDevices = Bits({YV_THEFT_ALARM}); break;
        case 'D': r.AntiTheftDevices = Bits({YV_THEFT_ACTIVE_DISABLING}); break;
        case 'P': r.AntiTheftDevices = Bits({YV_THEFT_PASSIVE_DISABLING}); break;
        default: r.AntiTheftDevices = 0; break;
    }

    r.VSRText = Replaced(r.VSRText, vsr);

    const std::string_view stateExceptions = Field(fSTAT_EXEP);
    r.HighTheft = UpperText(std::string(stateExceptions.substr(0, 2))) == "MA";
    r.StateExceptions = Replaced(r.StateExceptions, Trim(stateExceptions));

    TCBTable& table = *Table();
    if (table.HasField(kMasterFields, kMasterFieldCount, fCOMP_SYM)) r.CompSymbol = FieldInt(fCOMP_SYM);
    if (table.HasField(kMasterFields, kMasterFieldCount, fCOLL_SYM)) r.CollSymbol = FieldInt(fCOLL_SYM);
    if (table.HasField(kMasterFields, kMasterFieldCount, fPRICE_SYM)) r.PriceSymbol = FieldInt(fPRICE_SYM);
}
// clang-format on

std::string TYarvel::GetFieldValue(int selector) {
    if (selector < 0 || selector > YV_FIELD_LAST)
        throw EYarvelError(
            FormatText("Field selector %d is not valid (0 to %d)", selector, YV_FIELD_LAST));
    const MasterField slot = kSelectorSlots[selector];
    std::string result = m_translations->Translate(kMasterFields[slot], std::string(Field(slot)));
    if (selector == YV_FIELD_MODELNAME) result = ProperCase(result);
    return result;
}

TYarvelDifferenceSet TYarvel::DifferenceSet(const std::string& key, const std::string& tagName) {
    // An empty key would match every record of the table.
    if (key.empty() || !SeekKey(*Table(), key, tagName)) return 0;
    std::string reference[16];
    for (int s = kFirstDifferenceSelector; s <= kLastDifferenceSelector; ++s)
        reference[s] = std::string(Field(kSelectorSlots[s]));
    TYarvelDifferenceSet set = 0;
    while (SeekNextKey(*Table(), key)) {
        for (int s = kFirstDifferenceSelector; s <= kLastDifferenceSelector; ++s) {
            const auto bit = static_cast<TYarvelDifferenceSet>(1u << s);
            if (!(set & bit) && Field(kSelectorSlots[s]) != reference[s])
                set = static_cast<TYarvelDifferenceSet>(set | bit);
        }
    }
    return set;
}

// ---- VIN lookup ---------------------------------------------------------------

void TYarvel::ShowNotFound(const std::string& vin) const {
    if (SuppressMessages) return;
    ShowMessage("No vehicles were found matching VIN: " + Trim(vin), "VIN Not Found",
                platform::MsgIcon::Information);
}

std::string TYarvel::FindVINKey(const std::string& vin, int lastMask) {
    for (int mask = 1; mask <= lastMask; ++mask) {
        std::string key = VinMask(vin, mask);
        if (SeekKey(*Table(), key, kVinTag)) return key;
    }
    return {};
}

bool TYarvel::GetRecordByVIN(TVinRecord& record) {
    const std::string vin(YarvelStringText(record.VIN), YarvelStringLength(record.VIN));
    if (vin.size() < static_cast<size_t>(kMinVinSize)) return false;
    const std::string key = FindVINKey(vin, 5);
    if (key.empty()) {
        ShowNotFound(vin);
        return false;
    }
    // Among the records of the key, the first in VINTAG order in effect wins.
    while (!GetRecordEffective(record.EffectiveDate)) {
        if (!SeekNextKey(*Table(), key)) {
            if (!SuppressMessages)
                ShowMessage("Yarvel table corrupted.", "Yarvel Table", platform::MsgIcon::Warning);
            return false;
        }
    }
    LoadFromCurrentRecord(record);
    return true;
}

bool TYarvel::GetRecordEffective(double date) {
    return EffectiveOn(std::string(Field(fEFF_DATE)), date);
}

std::string TYarvel::BuildVINKey(const std::string& vin) {
    if (vin.size() < static_cast<size_t>(kMinVinSize)) return {};
    std::string key = FindVINKey(vin, 4);
    if (!key.empty()) return key;
    ShowNotFound(vin);
    return vin;
}

void TYarvel::GetFirstVIN(const std::string& vin) {
    // A step that fails ends the walk: the flag is set before the seek,
    // which may throw, so a caller looping on GetEndOfVIN stops.
    m_endOfVIN = true;
    m_vinKey = BuildVINKey(vin);
    // A VIN too short for a key iterates nothing rather than the whole table.
    m_endOfVIN = m_vinKey.empty() || !SeekKey(*Table(), m_vinKey, kVinTag);
}

void TYarvel::GetNextVIN() {
    m_endOfVIN = true;
    m_endOfVIN = m_vinKey.empty() || !SeekNextKey(*Table(), m_vinKey);
}

bool TYarvel::GetEndOfVIN() {
    return Table()->Eof() || m_endOfVIN;
}

TYarvelDifferenceSet TYarvel::GetDifferenceFieldsVIN(const std::string& vin) {
    TYarvelDifferenceSet set = DifferenceSet(BuildVINKey(vin), kVinTag);
    if (set == 0) set = DifferenceSet(BuildVINKey(vin), kVinTag);
    return set;
}

// ---- Year, make and model -----------------------------------------------------

void TYarvel::GetListOfModels(const TYarvelList& list, const TAutoMake& autoMake,
                              const std::string& year) {
    const std::string abbr(YarvelStringText(autoMake.Abbr), YarvelStringLength(autoMake.Abbr));
    const std::string key = BuildModelKey(RecordTypeForYear(year), abbr, year, "");
    if (!SeekKey(*Table(), key, kTypeMakeYrTag)) return;
    do {
        const std::string name(Field(fMODELNAME));
        TStringRef nameRef(name);
        TStringRef shown(ProperCase(name));
        TModelID* item = YarvelModelIDCreate(nameRef.s);
        if (!item) throw std::bad_alloc();
        list.AddObject(list.Owner, shown.s, item);
    } while (SeekNextKey(*Table(), key));
}

bool TYarvel::GetRecordByYMM(TVinRecord& record) {
    const std::string key = BuildModelKey(
        record.RecordType,
        std::string(YarvelStringText(record.Make), YarvelStringLength(record.Make)),
        std::to_string(record.ModelYear),
        std::string(YarvelStringText(record.Model), YarvelStringLength(record.Model)));
    if (!SeekKey(*Table(), key, kTypeMakeYrTag)) return false;
    LoadFromCurrentRecord(record);
    return true;
}

void TYarvel::GetFirstSubModel(const std::string& make, const std::string& year,
                               const std::string& model) {
    m_endOfModel = true;  // as for the VIN walk: a failed step ends it
    m_subModelKey = BuildModelKey(RecordTypeForYear(year), make, year, model);
    m_endOfModel = !SeekKey(*Table(), m_subModelKey, kVinScanTag);
}

void TYarvel::GetNextSubModel() {
    // Before any first step there is no model to walk.
    m_endOfModel = true;
    m_endOfModel = m_subModelKey.empty() || !SeekNextKey(*Table(), m_subModelKey);
}

bool TYarvel::GetEndOfModel() {
    return Table()->Eof() || m_endOfModel;
}

TYarvelDifferenceSet TYarvel::GetDifferenceFields(const std::string& make, const std::string& year,
                                                  const std::string& model) {
    return DifferenceSet(BuildModelKey(RecordTypeForYear(year), make, year, model), kVinScanTag);
}

std::string TYarvel::GetModelVIN(const std::string& make, const std::string& year,
                                 const std::string& model) {
    if (!SeekKey(*Table(), BuildModelKey(RecordTypeForYear(year), make, year, model), kVinSeekTag))
        return {};
    return std::string(Field(fVIN));
}

bool TYarvel::GetModelAlwaysRatesSame(const std::string& make, const std::string& year,
                                      const std::string& model,
                                      const std::vector<std::string>& fieldNames) {
    const std::string key = BuildModelKey(RecordTypeForYear(year), make, year, model);
    if (!SeekKey(*Table(), key, kVinSeekTag)) return false;
    std::vector<std::string> reference;
    reference.reserve(fieldNames.size());
    for (const auto& name : fieldNames) reference.push_back(Table()->GetField(name));
    while (SeekNextKey(*Table(), key)) {
        for (size_t i = 0; i < fieldNames.size(); ++i)
            if (Table()->GetField(fieldNames[i]) != reference[i]) return false;
    }
    return true;
}
