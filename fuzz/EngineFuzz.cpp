// Fuzz target for the lookup engine through its exported functions: one of
// the three tables of a data folder (and its index) is replaced by the input,
// then a whole session runs: start, VIN lookup, candidate walk, make and
// model lists, sub-model walk, stop. Errors are reported through the engine's
// message box and must be the only outcome of bad data: no crash, no
// sanitizer report, and no walk that goes on for longer than the table has
// records.
//
// Input layout: byte 0 chooses the table (0 master, 1 translations, 2 makes,
// modulo 3); byte 1 gives n (modulo 18), the VIN probe is the next n bytes;
// then 4 bytes little-endian length m of the table, m bytes of table, and the
// rest is its index (none when empty). The other tables are those of the
// seed folder (YARVEL_FUZZ_SEED_DATA, else the compiled-in sample data).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "yarvel.h"

namespace {

const char* const kTables[] = {"Yarvel", "VinTrans", "AutoMake"};

struct TFolder {
    std::string windows;
    std::string data;
    std::vector<char> originals[3][2];  // .dbf, .cdx of each table
};

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& path, const void* bytes, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(bytes, 1, size, f) != size) std::abort();
    std::fclose(f);
}

std::string FilePath(const TFolder& folder, int table, int kind) {
    return folder.data + kTables[table] + (kind == 0 ? ".dbf" : ".cdx");
}

void Restore(const TFolder& folder, int table) {
    for (int kind = 0; kind < 2; ++kind) {
        const auto& bytes = folder.originals[table][kind];
        WriteAll(FilePath(folder, table, kind), bytes.data(), bytes.size());
    }
}

const TFolder& Folder() {
    static const TFolder folder = [] {
        TFolder f;
        char pattern[] = "/tmp/yarvel-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        const std::string root = std::string(pattern) + "/";
        f.windows = root + "windows/";
        f.data = root + "data/";
        ::mkdir(f.windows.c_str(), 0700);
        ::mkdir(f.data.c_str(), 0700);
        const char* seed = std::getenv("YARVEL_FUZZ_SEED_DATA");
        const std::string seedDir = std::string(seed && *seed ? seed : YARVEL_FUZZ_SEED_DATA) + "/";
        for (int t = 0; t < 3; ++t) {
            f.originals[t][0] = ReadAll(seedDir + kTables[t] + ".dbf");
            f.originals[t][1] = ReadAll(seedDir + kTables[t] + ".cdx");
            if (f.originals[t][0].empty()) {
                std::fprintf(stderr, "no seed table %s%s.dbf\n", seedDir.c_str(), kTables[t]);
                std::abort();
            }
            Restore(f, t);
        }
        const std::string ini =
            "[DataPath]\r\nUseAltDataPath=1\r\nAlternateDataPath=" + f.data + "\r\n";
        WriteAll(f.windows + "Pollark.Ini", ini.data(), ini.size());
        ::setenv("WINDIR", f.windows.c_str(), 1);
        // Boxes answer their default, silently: the report is the outcome.
        platform::SetMessageBoxHandler(
            [](const platform::MessageBoxRequest& r) { return platform::DefaultAnswer(r); });
        return f;
    }();
    return folder;
}

struct TCollected {
    std::vector<void*> objects;
    bool makes = true;
};

int32_t YARVEL_CALL Collect(void* owner, const TYarvelString*, void* object) {
    static_cast<TCollected*>(owner)->objects.push_back(object);
    return 0;
}

void FreeAll(TCollected& list) {
    for (void* o : list.objects) {
        if (list.makes)
            YarvelAutoMakeFree(static_cast<TAutoMake*>(o));
        else
            YarvelModelIDFree(static_cast<TModelID*>(o));
    }
    list.objects.clear();
}

// A walk may visit each record once at most; more means it does not end.
void CheckBound(long steps, long bound, const char* walk) {
    if (steps <= bound) return;
    std::fprintf(stderr, "%s walk did not end within %ld steps\n", walk, bound);
    std::abort();
}

void ReadCurrent(TVinRecord& record) {
    YarvelLoadFromCurrentRecord(&record);
    for (int selector = 0; selector <= 16; ++selector) {
        TYarvelString* value = nullptr;
        YarvelGetFieldValue(&value, static_cast<TYarvelFieldSelector>(selector));
        YarvelStringRelease(value);
    }
    YarvelGetRecordEffective(40000.0);
}

void Session(const std::string& vin, long bound) {
    YarvelSetSuppressMessages(1);
    YarvelStart();
    YarvelGetMinVinSizePermitted();
    YarvelGetEarliestSymbolYearAvailable();

    TYarvelString* vinText = YarvelStringCreate(vin.data(), static_cast<int32_t>(vin.size()));
    TVinRecord record{};
    record.VIN = YarvelStringReplace(record.VIN, vinText);
    record.EffectiveDate = 40000.0;
    YarvelGetRecordByVIN(&record);
    YarvelGetDifferenceFieldsVIN(vinText);
    long steps = 0;
    for (YarvelGetFirstVIN(vinText); !YarvelGetEndOfVIN(); YarvelGetNextVIN()) {
        CheckBound(++steps, bound, "VIN");
        ReadCurrent(record);
    }
    YarvelStringRelease(vinText);

    TCollected makes;
    TYarvelList makeList{&makes, &Collect};
    YarvelGetListOfMakes(&makeList);
    CheckBound(static_cast<long>(makes.objects.size()), bound, "make list");
    static const char* const kYears[] = {"2005", "2012"};
    for (size_t m = 0; m < makes.objects.size() && m < 3; ++m) {
        const TAutoMake* make = static_cast<const TAutoMake*>(makes.objects[m]);
        for (const char* yearText : kYears) {
            TYarvelString* year = YarvelStringFromC(yearText);
            TCollected models;
            models.makes = false;
            TYarvelList modelList{&models, &Collect};
            YarvelGetListOfModels(&modelList, make, year);
            CheckBound(static_cast<long>(models.objects.size()), bound, "model list");
            for (size_t k = 0; k < models.objects.size() && k < 2; ++k) {
                const TYarvelString* name = static_cast<const TModelID*>(models.objects[k])->Name;
                YarvelGetDifferenceFields(make->Abbr, year, name);
                TYarvelString* pattern = nullptr;
                YarvelGetModelVIN(&pattern, make->Abbr, year, name);
                YarvelStringRelease(pattern);
                TYarvelString* fields[] = {YarvelStringFromC("BODYSTYLE"),
                                           YarvelStringFromC("TWODIGVSR")};
                YarvelGetModelAlwaysRatesSame(make->Abbr, year, name, fields, 1);
                for (TYarvelString* f : fields) YarvelStringRelease(f);
                steps = 0;
                for (YarvelGetFirstSubModel(make->Abbr, year, name); !YarvelGetEndOfModel();
                     YarvelGetNextSubModel()) {
                    CheckBound(++steps, bound, "sub-model");
                    ReadCurrent(record);
                }
                TVinRecord ymm{};
                ymm.Make = YarvelStringReplace(ymm.Make, make->Abbr);
                ymm.Model = YarvelStringReplace(ymm.Model, const_cast<TYarvelString*>(name));
                ymm.ModelYear = std::atoi(yearText);
                ymm.RecordType = ymm.ModelYear >= 2011 ? 3 : 1;
                YarvelGetRecordByYMM(&ymm);
                YarvelVinRecordClear(&ymm);
            }
            FreeAll(models);
            YarvelStringRelease(year);
        }
    }
    FreeAll(makes);
    YarvelVinRecordClear(&record);
    YarvelStop();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const TFolder& folder = Folder();
    if (size < 2) return 0;
    const int table = bytes[0] % 3;
    size_t vinLength = bytes[1] % 18;
    bytes += 2;
    size -= 2;
    if (vinLength > size) vinLength = size;
    const std::string vin(reinterpret_cast<const char*>(bytes), vinLength);
    bytes += vinLength;
    size -= vinLength;
    uint32_t tableSize = 0;
    if (size >= 4) {
        std::memcpy(&tableSize, bytes, 4);
        bytes += 4;
        size -= 4;
    }
    if (tableSize > size) tableSize = static_cast<uint32_t>(size);
    WriteAll(FilePath(folder, table, 0), bytes, tableSize);
    const std::string index = FilePath(folder, table, 1);
    ::unlink(index.c_str());
    if (size > tableSize) WriteAll(index, bytes + tableSize, size - tableSize);

    // Every record takes one byte at least: the master of the seed folder
    // bounds the walks when the input is another table.
    const long bound =
        static_cast<long>(table == 0 ? tableSize : folder.originals[0][0].size()) + 16;
    Session(vin, bound);
    Restore(folder, table);
    return 0;
}
