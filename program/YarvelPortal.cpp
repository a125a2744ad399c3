#include "YarvelPortal.h"

#include <dlfcn.h>

#include <array>
#include <cstdio>
#include <new>

#include "Helpers.h"
#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/Paths.h"
#include "platform/Services.h"

namespace {

const char* const kExportNames[] = {YARVEL_EXPORT_NAMES};
static_assert(std::size(kExportNames) == YARVEL_EXPORT_COUNT);
static_assert(sizeof(TYarvelEntryPoints) == YARVEL_EXPORT_COUNT * sizeof(void*),
              "one table slot per export");

void* g_library = nullptr;
TYarvelEntryPoints g_entries;
bool g_bound = false;
std::string g_loadErrorDetail;

class EBinding : public Exception {
public:
    using Exception::Exception;
};

template <typename F>
void BindEntry(F& slot, size_t index) {
    void* address = dlsym(g_library, kExportNames[index]);
    if (!address) throw EBinding("Routine not valid.");
    slot = reinterpret_cast<F>(address);
}

void BindEntries() {
    size_t i = 0;
#define YARVEL_PORTAL_BIND_(Name) BindEntry(g_entries.Yarvel##Name, i++);
    YARVEL_EXPORTS(YARVEL_PORTAL_BIND_)
#undef YARVEL_PORTAL_BIND_
}

void ShowPortalError(const std::string& message) {
    ShowMessage("YarvelPortal: " + message,
                platform::ExtractFileName(platform::ProgramFileName()), platform::MsgIcon::None);
}

// The box itself may fail (a handler that throws); unloading goes on regardless.
void ShowPortalErrorQuietly(const std::string& message) noexcept {
    try {
        ShowPortalError(message);
    } catch (...) {
    }
}

}  // namespace

void LoadYarvel() {
    BindYarvel(platform::ProgramFolder());
}

void BindYarvel(const std::string& folder) {
    UnloadYarvel();
    g_loadErrorDetail.clear();
    try {
        std::string dir = folder;
        if (!dir.empty() && dir.back() != platform::PathDelim) dir += platform::PathDelim;
        std::string path = platform::FindFileNoCase(dir, kYarvelLibraryName);
        if (path.empty())
            throw EBinding(FormatText("Dll not found - %s", (dir + kYarvelLibraryName).c_str()));
        // RTLD_NOW: a library with unresolved symbols fails here, not at its first call.
        g_library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!g_library) {
            const char* detail = dlerror();
            g_loadErrorDetail = detail ? detail : "";
            throw EBinding(FormatText("Unable to load %s", path.c_str()));
        }
        BindEntries();
        g_entries.YarvelStart();
        g_bound = true;
    } catch (const Exception& e) {
        throw EYarvelPortal(FormatText("YarvelPortal: %s", e.Message().c_str()));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw EYarvelPortal(FormatText("YarvelPortal: %s", e.what()));
    }
}

void UnloadYarvel() noexcept {
    if (!g_library) return;
    try {
        if (g_entries.YarvelStop) g_entries.YarvelStop();
    } catch (const std::exception& e) {
        ShowPortalErrorQuietly(e.what());
    } catch (...) {
        ShowPortalErrorQuietly("Unknown error while stopping the engine");
    }
    // Released even when stopping failed: a second unload must not stop it again.
    if (dlclose(g_library) != 0) {
        const char* detail = dlerror();
        ShowPortalErrorQuietly(detail ? detail : "Unable to release the engine library");
    }
    g_library = nullptr;
    g_entries = TYarvelEntryPoints{};
    g_bound = false;
}

bool YarvelLoaded() {
    return g_library != nullptr;
}

const std::string& YarvelLoadErrorDetail() {
    return g_loadErrorDetail;
}

const TYarvelEntryPoints& YarvelEntryPoints() {
    return g_entries;
}

const TYarvelEntryPoints& Yarvel() {
    if (!g_bound) throw EYarvelPortal("YarvelPortal: Yarvel is not loaded");
    return g_entries;
}

TYarvelText::TYarvelText(std::string_view text) {
    if (text.empty()) return;
    if (text.size() > static_cast<size_t>(INT32_MAX)) throw std::bad_alloc();
    m_string = YarvelStringCreate(text.data(), static_cast<int32_t>(text.size()));
    if (!m_string) throw std::bad_alloc();
}

TYarvelText& TYarvelText::operator=(TYarvelText&& other) noexcept {
    if (this != &other) {
        YarvelStringRelease(m_string);
        m_string = std::exchange(other.m_string, nullptr);
    }
    return *this;
}

std::string TYarvelText::Str() const {
    return std::string(YarvelStringText(m_string),
                       static_cast<size_t>(YarvelStringLength(m_string)));
}

// ---- Engine error reports ------------------------------------------------------------

namespace {

bool IsEngineErrorReport(const std::string& text) {
    return text.rfind("YARVEL.DLL Error", 0) == 0;
}

}  // namespace

TEngineErrorWatch::TEngineErrorWatch() {
    m_previous = platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& box) {
        if (IsEngineErrorReport(box.text)) ++m_count;
        if (m_previous) return m_previous(box);
        // What the platform does without a handler.
        std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
        return platform::DefaultAnswer(box);
    });
}

TEngineErrorWatch::~TEngineErrorWatch() {
    platform::SetMessageBoxHandler(std::move(m_previous));
}

// ---- Choice tables ---------------------------------------------------------------------

const char* const kChoiceColumnTitles[YV_FIELD_LAST + 1] = {
    "Model Name", "Symbol", "Body Style", "Engine Size", "Cylinders",    "Engine Type",
    "Model/Series", "Body", "Engine",     "Restraints",  "Transmission", "Other",
    "Symbol",     "Comp",   "Coll",       "VIN"};

TYarvelDifferenceSet SymbolColumns(int modelYear) {
    return modelYear <= 2010 ? YV_BIT(YV_FIELD_TWODIGVSR)
                             : YV_BIT(YV_FIELD_COMP_SYM) | YV_BIT(YV_FIELD_COLL_SYM);
}

std::string ChoiceText(const TChoiceTable& table) {
    auto line = [](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t i = 0; i < cells.size(); ++i) text += (i ? "\t" : "") + cells[i];
        return text;
    };
    std::string text = table.Caption + "\n" + line(table.Titles);
    for (const auto& row : table.Rows) text += "\n" + line(row);
    return text;
}

namespace {

using TFieldValues = std::array<std::string, YV_FIELD_LAST + 1>;

// Every selector's value of the engine's current record. Which of them become
// columns is settled only after the walk (the VIN choice's symbol columns may
// depend on the first candidate).
TFieldValues ReadFieldValues(const TYarvelEntryPoints& y) {
    TFieldValues values;
    for (int s = 0; s <= YV_FIELD_LAST; ++s) {
        TYarvelText value;
        y.YarvelGetFieldValue(value.Out(), static_cast<TYarvelFieldSelector>(s));
        values[s] = value.Str();
    }
    return values;
}

void LayOut(TChoiceTable& table, TYarvelDifferenceSet columns,
            const std::vector<TFieldValues>& rows) {
    for (int bit = 0; bit <= YV_FIELD_LAST; ++bit) {
        if (!(columns & YV_BIT(bit))) continue;
        table.Selectors.push_back(static_cast<TYarvelFieldSelector>(bit));
        table.Titles.push_back(kChoiceColumnTitles[bit]);
    }
    for (const TFieldValues& values : rows) {
        std::vector<std::string>& row = table.Rows.emplace_back();
        for (const TYarvelFieldSelector s : table.Selectors) row.push_back(values[s]);
    }
}

}  // namespace

TVinChoices FillVINChoices(const TVinRecord& record, const std::string& vin) {
    const TYarvelEntryPoints& y = Yarvel();
    TVinChoices choices;
    choices.Table.Caption = "ISO: " + vin + " Choices";
    const TYarvelText vinArg(vin);
    const double date = record.EffectiveDate;
    TYarvelDifferenceSet columns =
        y.YarvelGetDifferenceFieldsVIN(vinArg.In()) | YV_BIT(YV_FIELD_MODELNAME);
    // The looked-up record's year is 0 when the engine's own load found
    // nothing; the first candidate in effect then decides.
    int symbolYear = record.ModelYear;
    std::vector<TFieldValues> rows;
    std::string lastModel;

    TEngineErrorWatch errors;
    y.YarvelGetFirstVIN(vinArg.In());
    // A walk whose stepping fails ends there: a damaged table must not keep
    // it going round.
    for (bool stepped = errors.Count() == 0; stepped && !y.YarvelGetEndOfVIN();) {
        const int errorsBefore = errors.Count();
        try {
            TVinRecordPtr candidate = NewVinRecord();
            ClearVinRecord(*candidate);
            // The vehicle taken from this choice keeps the lookup's date: a
            // record of day 0 would drop the "Effective" line from the output
            // file, which the host reads as "original symbol".
            candidate->EffectiveDate = date;
            y.YarvelLoadFromCurrentRecord(candidate.get());
            const bool inEffect = y.YarvelGetRecordEffective(date);
            if (inEffect && errors.Count() == errorsBefore) {
                if (symbolYear == 0) symbolYear = candidate->ModelYear;
                const std::string model = RecordText(candidate->Model);
                if (model != lastModel) {
                    TFieldValues values = ReadFieldValues(y);
                    if (errors.Count() == errorsBefore) {
                        lastModel = model;
                        rows.push_back(std::move(values));
                        choices.Records.push_back(std::move(candidate));
                    }
                }
            }
        } catch (const Exception&) {
            // The candidate is left out; the walk goes on.
        }
        const int errorsBeforeStep = errors.Count();
        y.YarvelGetNextVIN();
        stepped = errors.Count() == errorsBeforeStep;
    }
    LayOut(choices.Table, columns | SymbolColumns(symbolYear), rows);
    return choices;
}

TYmmChoices FillYMMChoices(const TVinRecord& record, const std::string& year,
                           const std::string& makeAbbreviation, const std::string& modelName) {
    const TYarvelEntryPoints& y = Yarvel();
    TYmmChoices choices;
    choices.Table.Caption =
        platform::TrimBlanks("ISO: " + year + " " + makeAbbreviation + " " + modelName) +
        " Choices";
    const int modelYear = StrToIntTrimmed(year);
    const TYarvelText yearArg(year), makeArg(makeAbbreviation), modelArg(modelName);
    const double date = record.EffectiveDate;
    const TYarvelDifferenceSet columns =
        y.YarvelGetDifferenceFields(makeArg.In(), yearArg.In(), modelArg.In()) |
        YV_BIT(YV_FIELD_VIN) | SymbolColumns(modelYear);
    std::vector<TFieldValues> rows;
    std::string lastKey;

    TEngineErrorWatch errors;
    y.YarvelGetFirstSubModel(makeArg.In(), yearArg.In(), modelArg.In());
    for (bool stepped = errors.Count() == 0; stepped && !y.YarvelGetEndOfModel();) {
        const int errorsBefore = errors.Count();
        TFieldValues values = ReadFieldValues(y);
        const std::string& key = values[YV_FIELD_VIN];
        if (y.YarvelGetRecordEffective(date) && key != lastKey && errors.Count() == errorsBefore) {
            lastKey = key;
            choices.Patterns.push_back(key);
            rows.push_back(std::move(values));
        }
        const int errorsBeforeStep = errors.Count();
        y.YarvelGetNextSubModel();
        stepped = errors.Count() == errorsBeforeStep;
    }
    LayOut(choices.Table, columns, rows);
    return choices;
}

// ---- Lookup procedures -------------------------------------------------------------------

namespace {

// The chosen row: the only one without asking, else the chooser's answer;
// -1 for no row or a cancelled (or impossible) answer.
int ChosenRow(const TChoiceTable& table, TVehicleChooser& chooser) {
    const size_t rows = table.Rows.size();
    if (rows == 0) return -1;
    if (rows == 1) return 0;
    const int chosen = chooser.Choose(table);
    return chosen >= 0 && static_cast<size_t>(chosen) < rows ? chosen : -1;
}

// The engine's load of the record's VIN. Found means loaded without error: a
// load that failed part-way (a conversion error) already set some fields.
bool LoadByVIN(const TYarvelEntryPoints& y, TVinRecord& record) {
    TEngineErrorWatch errors;
    const bool loaded = y.YarvelGetRecordByVIN(&record) != 0;
    return loaded && errors.Count() == 0;
}

}  // namespace

bool ChooseByVIN(TVinRecord& record, const std::string& vin, TVehicleChooser& chooser) {
    TVinChoices choices = FillVINChoices(record, vin);
    const int row = ChosenRow(choices.Table, chooser);
    if (row < 0) return false;
    CopyVinRecord(record, *choices.Records[static_cast<size_t>(row)]);
    return true;
}

bool ChooseByYMM(TVinRecord& record, TModelID* /*model*/, const std::string& year,
                 const std::string& makeAbbreviation, const std::string& modelName,
                 TVehicleChooser& chooser) {
    TYmmChoices choices = FillYMMChoices(record, year, makeAbbreviation, modelName);
    const int row = ChosenRow(choices.Table, chooser);
    if (row < 0) return false;
    record.VIN = ReplaceRecordText(record.VIN, choices.Patterns[static_cast<size_t>(row)]);
    return true;
}

bool LookupByVIN(TVinRecord& record, const std::string& vin, TVehicleChooser& chooser) {
    const TYarvelEntryPoints& y = Yarvel();
    record.RecordType = 1;
    const TYarvelText vinArg(vin);
    y.YarvelGetFirstVIN(vinArg.In());
    if (y.YarvelGetEndOfVIN()) return false;
    y.YarvelGetNextVIN();
    if (y.YarvelGetEndOfVIN()) {
        // A load before this one may have left the engine's pattern in the
        // record; the one candidate is loaded for the VIN asked.
        record.VIN = ReplaceRecordText(record.VIN, vin);
        return LoadByVIN(y, record);
    }
    return ChooseByVIN(record, vin, chooser);
}

bool LookupByYMM(TVinRecord& record, TModelID* model, const std::string& year,
                 const std::string& makeAbbreviation, const std::string& modelName,
                 TVehicleChooser& chooser) {
    const TYarvelEntryPoints& y = Yarvel();
    record.VIN = ReplaceRecordText(record.VIN, "");
    record.RecordType = 1;
    const TYarvelText yearArg(year), makeArg(makeAbbreviation), modelArg(modelName);
    y.YarvelGetFirstSubModel(makeArg.In(), yearArg.In(), modelArg.In());
    y.YarvelGetNextSubModel();
    if (y.YarvelGetEndOfModel()) {
        TYarvelText pattern;
        y.YarvelGetModelVIN(pattern.Out(), makeArg.In(), yearArg.In(), modelArg.In());
        record.VIN = ReplaceRecordText(record.VIN, pattern.Str());
        // The engine's answer decides: a model whose load failed is not found.
        return LoadByVIN(y, record);
    }
    if (!ChooseByYMM(record, model, year, makeAbbreviation, modelName, chooser)) return false;
    record.Symbol = 0;
    return LoadByVIN(y, record);
}
