// A damaged master table: every walk the engine exports ends within the
// table's records, and the damage is reported as an error, never as "not
// found" (a host loops First/End/Next until End, so an endless walk hangs it).
#include <cstdint>
#include <fstream>

#include "YarvelTestSupport.h"

namespace yarvel_test {
namespace {

constexpr int kRecords = 5;

// One model (HOND 2005 ACCORD) of five records; the first three are the
// candidates of one VIN pattern.
TFixtureData DamageFixture() {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {
        Row({{"VIN", "1HGCM566&5"}, {"MODELINFO", "LX"}}),
        Row({{"VIN", "1HGCM566&5"}, {"MODELINFO", "EX"}}),
        Row({{"VIN", "1HGCM566&5"}, {"MODELINFO", "EX-L"}}),
        Row({{"VIN", "1HGCM726&5"}, {"MODELINFO", "DX"}}),
        Row({{"VIN", "1HGCM826&5"}, {"MODELINFO", "SE"}}),
    };
    return fixture;
}

struct TDamageCase {
    const char* name;
    int record;       // whose deletion mark is overwritten; 0: none
    bool vinBroken;   // the damage lies among the VIN's candidates
};

std::ostream& operator<<(std::ostream& os, const TDamageCase& c) {
    return os << c.name;
}

class DamageTest : public EngineTest, public ::testing::WithParamInterface<TDamageCase> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const TDamageCase& c = GetParam();
        ASSERT_TRUE(BuildTables(DataFolder(), DamageFixture()));
        if (c.record > 0) Damage(DataFolder() + "Yarvel.dbf", c.record);
        WriteHostIni(m_folder->WindowsDir(), DataFolder());
        e->Start();
        ASSERT_TRUE(Boxes().empty()) << BoxTexts().front();
    }

    static void Damage(const std::string& table, int record) {
        std::fstream file(table, std::ios::in | std::ios::out | std::ios::binary);
        unsigned char head[12];
        file.read(reinterpret_cast<char*>(head), sizeof head);
        const int headerLength = head[8] | (head[9] << 8);
        const int recordLength = head[10] | (head[11] << 8);
        file.seekp(headerLength + (record - 1) * recordLength);
        file.put('X');  // neither " " (live) nor "*" (deleted)
        ASSERT_TRUE(file.good());
    }

    // Error boxes and "not found" boxes shown so far.
    int Errors() const { return Count("YARVEL.DLL Error"); }
    int NotFound() const { return Count("No vehicles were found"); }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& text : BoxTexts()) n += text.rfind(prefix, 0) == 0;
        return n;
    }
};

TEST_P(DamageTest, WalksEndAndTheDamageIsAnError) {
    const TDamageCase& c = GetParam();
    const bool damaged = c.record > 0;
    TStr vin("1HGCM56635A123456"), make("HOND"), year("2005"), model("ACCORD");

    // Each step reads its record, as a host does.
    auto read = [&] {
        TStr value;
        e->GetFieldValue(value.out(), YV_FIELD_MODELINFO);
    };
    int steps = 0;
    for (e->GetFirstVIN(vin.get()); !e->GetEndOfVIN() && steps <= kRecords; e->GetNextVIN()) {
        read();
        ++steps;
    }
    EXPECT_LE(steps, 3) << "the VIN walk ends within the VIN's candidates";
    if (!damaged) {
        EXPECT_EQ(steps, 3);
    }
    EXPECT_EQ(Errors() > 0, c.vinBroken) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(NotFound(), 0) << ::testing::PrintToString(BoxTexts());
    ClearBoxes();

    steps = 0;
    for (e->GetFirstSubModel(make.get(), year.get(), model.get());
         !e->GetEndOfModel() && steps <= kRecords; e->GetNextSubModel()) {
        read();
        ++steps;
    }
    EXPECT_LE(steps, kRecords) << "the sub-model walk ends within the table";
    if (!damaged) {
        EXPECT_EQ(steps, kRecords);
    }
    EXPECT_EQ(Errors() > 0, damaged) << ::testing::PrintToString(BoxTexts());
    ClearBoxes();

    // The lookups that walk inside the engine return too, and say why they
    // found nothing.
    TRecord record;
    record->VIN = Replaced(record->VIN, "1HGCM56635A123456");
    record->EffectiveDate = DayCount(2006, 1, 1);
    // The first candidate in effect wins: the ones after it are not read.
    EXPECT_EQ(e->GetRecordByVIN(record.p()) != 0, c.record != 1);
    e->GetDifferenceFieldsVIN(vin.get());
    e->GetDifferenceFields(make.get(), year.get(), model.get());
    EXPECT_EQ(Errors() > 0, damaged) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(NotFound(), 0) << ::testing::PrintToString(BoxTexts());
}

INSTANTIATE_TEST_SUITE_P(Marks, DamageTest,
                         ::testing::Values(TDamageCase{"Intact", 0, false},
                                           TDamageCase{"FirstCandidate", 1, true},
                                           TDamageCase{"SecondCandidate", 2, true},
                                           TDamageCase{"LastCandidate", 3, true},
                                           TDamageCase{"OtherSubModel", 5, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace yarvel_test
