// The boundary itself: the record layout both deliverables rely on, the
// shared string, and the library's exported names.
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "YarvelTestSupport.h"

namespace yarvel_test {
namespace {

std::set<std::string> DeclaredExports() {
    const char* const declared[] = {YARVEL_EXPORT_NAMES};
    static_assert(std::size(declared) == YARVEL_EXPORT_COUNT);
    return {std::begin(declared), std::end(declared)};
}

TEST(BoundaryTest, RecordIsBytePackedInTheDocumentedOrder) {
    const struct {
        const char* field;
        size_t offset;
        size_t expected;
    } fields[] = {
        {"FourWheelDrive", offsetof(TVinRecord, FourWheelDrive), 0},
        {"Cylinders", offsetof(TVinRecord, Cylinders), 1},
        {"VIN", offsetof(TVinRecord, VIN), 5},
        {"OtherInfo", offsetof(TVinRecord, OtherInfo), 13},
        {"TransmissionInfo", offsetof(TVinRecord, TransmissionInfo), 21},
        {"BodyInfo", offsetof(TVinRecord, BodyInfo), 29},
        {"RestraintInfo", offsetof(TVinRecord, RestraintInfo), 37},
        {"Make", offsetof(TVinRecord, Make), 45},
        {"Model", offsetof(TVinRecord, Model), 53},
        {"EngineInfo", offsetof(TVinRecord, EngineInfo), 61},
        {"ModelInfo", offsetof(TVinRecord, ModelInfo), 69},
        {"Body", offsetof(TVinRecord, Body), 77},
        {"EffectiveDate", offsetof(TVinRecord, EffectiveDate), 85},
        {"PassiveRestraints", offsetof(TVinRecord, PassiveRestraints), 93},
        {"SpecialEngineType", offsetof(TVinRecord, SpecialEngineType), 94},
        {"SpecialInfo", offsetof(TVinRecord, SpecialInfo), 95},
        {"Performance", offsetof(TVinRecord, Performance), 97},
        {"Symbol", offsetof(TVinRecord, Symbol), 98},
        {"VehicleClass", offsetof(TVinRecord, VehicleClass), 102},
        {"AntiTheftDevices", offsetof(TVinRecord, AntiTheftDevices), 110},
        {"DaytimeRunningLamps", offsetof(TVinRecord, DaytimeRunningLamps), 112},
        {"AntiLockBrakes", offsetof(TVinRecord, AntiLockBrakes), 113},
        {"NonVSRSymbol", offsetof(TVinRecord, NonVSRSymbol), 114},
        {"ModelYear", offsetof(TVinRecord, ModelYear), 118},
        {"RecordType", offsetof(TVinRecord, RecordType), 122},
        {"VSRText", offsetof(TVinRecord, VSRText), 126},
        {"HighTheft", offsetof(TVinRecord, HighTheft), 134},
        {"StateExceptions", offsetof(TVinRecord, StateExceptions), 135},
        {"CompSymbol", offsetof(TVinRecord, CompSymbol), 143},
        {"CollSymbol", offsetof(TVinRecord, CollSymbol), 147},
        {"PriceSymbol", offsetof(TVinRecord, PriceSymbol), 151},
    };
    for (const auto& f : fields) EXPECT_EQ(f.offset, f.expected) << f.field;
    EXPECT_EQ(sizeof(TVinRecord), 155u);
    EXPECT_EQ(sizeof(TYarvelFieldSelector), 1u);
    EXPECT_EQ(sizeof(TYarvelDifferenceSet), 2u);
    EXPECT_EQ(sizeof(TYarvelBool), 1u);
}

TEST(BoundaryTest, SharedStringCountsLengthAndReferences) {
    const char bytes[] = {'a', '\0', 'b'};
    TYarvelString* s = YarvelStringCreate(bytes, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(YarvelStringLength(s), 3);
    EXPECT_EQ(std::string(YarvelStringText(s), 3), std::string(bytes, 3));
    EXPECT_EQ(YarvelStringText(s)[3], '\0');

    // Two owners: the first release keeps it, the second frees it.
    TYarvelString* slot = nullptr;
    YarvelStringAssign(&slot, s);
    EXPECT_EQ(s->RefCount, 2);
    YarvelStringRelease(s);
    EXPECT_EQ(slot->RefCount, 1);
    YarvelStringAssign(&slot, nullptr);
    EXPECT_EQ(slot, nullptr);

    // A record field takes its own reference and gives it back when cleared.
    TVinRecord record{};
    TYarvelString* vin = YarvelStringFromC("1HGCM56635A123456");
    record.VIN = YarvelStringReplace(record.VIN, vin);
    EXPECT_EQ(vin->RefCount, 2);
    YarvelStringRelease(vin);
    EXPECT_STREQ(YarvelStringText(record.VIN), "1HGCM56635A123456");
    YarvelVinRecordClear(&record);
    EXPECT_EQ(Val(record.VIN), nullptr);

    // Empty is null, and null reads as "".
    EXPECT_EQ(YarvelStringCreate("x", 0), nullptr);
    EXPECT_EQ(YarvelStringCreate("x", -5), nullptr);
    EXPECT_EQ(YarvelStringFromC(""), nullptr);
    EXPECT_STREQ(YarvelStringText(nullptr), "");
    EXPECT_EQ(YarvelStringLength(nullptr), 0);
    YarvelStringRelease(nullptr);
}

TEST(BoundaryTest, LibraryExportsExactlyTheDeclaredFunctions) {
    const TRun nm = RunProgram({"nm", "-D", "--defined-only", YARVEL_LIBRARY_PATH});
    ASSERT_EQ(nm.status, 0) << nm.err;
    const std::string& output = nm.out;

    std::set<std::string> exported;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string address, type, name;
        if (words >> address >> type >> name) exported.insert(name);
    }
    EXPECT_EQ(exported, DeclaredExports());
}

// The version script decides what the linker exports; it must name the list
// exactly, in its "global:" section.
TEST(BoundaryTest, VersionScriptNamesTheDeclaredFunctions) {
    std::ifstream map(YARVEL_MAP_PATH);
    ASSERT_TRUE(map) << YARVEL_MAP_PATH;
    std::set<std::string> global;
    bool inGlobal = false;
    std::string word;
    while (map >> word) {
        if (word == "global:")
            inGlobal = true;
        else if (word == "local:")
            inGlobal = false;
        else if (inGlobal && word.size() > 1 && word.back() == ';')
            global.insert(word.substr(0, word.size() - 1));
    }
    EXPECT_EQ(global, DeclaredExports());
}

}  // namespace
}  // namespace yarvel_test
