#include <gtest/gtest.h>

#include <filesystem>

#include "DateUtils.h"
#include "OndrikData.h"
#include "VehDets.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Services.h"
#include "platform/TempFolder.h"

namespace {

using platform::testing::TempFolder;

class OndrikDataTest : public ::testing::Test {
protected:
    OndrikDataTest() {
        m_previousFormat = platform::SetShortDateFormatHandler([] { return "M/d/yyyy"; });
        ClearVinRecord(*m_record);
    }
    ~OndrikDataTest() override {
        platform::SetShortDateFormatHandler(m_previousFormat);
        platform::SetFileFaultHandler({});
    }

    // A 2005 vehicle with two anti-theft devices and several empty texts.
    void Fill2005() {
        TVinRecord& r = *m_record;
        r.ModelYear = 2005;
        r.Make = ReplaceRecordText(r.Make, "Honda ");
        r.Model = ReplaceRecordText(r.Model, "Accord");
        r.VehicleClass = ReplaceRecordText(r.VehicleClass, "Standard");
        r.VIN = ReplaceRecordText(r.VIN, "1HGCM82633A004352 ");
        r.Symbol = 12;
        r.Performance = YV_PERF_INTERMEDIATE;
        r.AntiTheftDevices = YV_BIT(YV_THEFT_ALARM) | YV_BIT(YV_THEFT_PASSIVE_DISABLING);
        r.PassiveRestraints = YV_BIT(YV_RESTRAINT_DRIVER);
        r.AntiLockBrakes = YV_EQUIP_STANDARD;
        r.Cylinders = 4;
        r.SpecialEngineType = YV_ENGINE_NONE;
        r.Body = ReplaceRecordText(r.Body, "4D SED");
        r.EngineInfo = ReplaceRecordText(r.EngineInfo, "2.4L");
        r.DaytimeRunningLamps = YV_EQUIP_NOT_AVAILABLE;
        r.NonVSRSymbol = 11;
        r.EffectiveDate = *EncodeDate(2024, 1, 15) + 0.6;
        r.CompSymbol = 14;
        r.CollSymbol = 15;
        r.PriceSymbol = 16;
    }

    TempFolder m_folder;
    TVinRecordPtr m_record = NewVinRecord();
    platform::DateFormatHandler m_previousFormat;
};

TEST_F(OndrikDataTest, FileForA2005VehicleByteForByte) {
    Fill2005();
    const std::string file = m_folder.Path() + "Data/" + kOutputDataFileName;
    std::filesystem::create_directories(m_folder.Path() + "Data");
    SaveVehicleProperties(*m_record, file);
    EXPECT_EQ(m_folder.Read("Data/Ondrik.dat"),
              "[VehicleProperties]\r\n"
              "ModelYear=2005\r\n"
              "Make=Honda\r\n"
              "Model=Accord\r\n"
              "VehicleClass=Standard\r\n"
              "VIN=1HGCM82633A004352 \r\n"
              "Symbol=12\r\n"
              "Performance=Intermediate\r\n"
              "AntiTheftDevice=Alarm\r\n"
              "AntiTheftDevice=Passive Disabling\r\n"
              "PassiveRestraint=Driver\r\n"
              "HighTheft=No or not indicated\r\n"
              "ABS=Standard\r\n"
              "Cylinders=4\r\n"
              "SpecialEngineType=None\r\n"
              "Body=4D SED\r\n"
              "FWD=No or not indicated\r\n"
              "ModelInfo=\r\n"
              "BodyInfo=\r\n"
              "EngineInfo=2.4L\r\n"
              "RestraintInfo=\r\n"
              "TransmissionInfo=\r\n"
              "OtherInfo=\r\n"
              "DaytimeRunningLamps=Not Available\r\n"
              "NonVSRSymbol=11\r\n"
              "StateExceptions=\r\n"
              "Effective=1/15/2024\r\n"
              "Comp_Symbol=14\r\n"
              "Coll_Symbol=15\r\n"
              "Price_Symbol=16\r\n");
}

TEST_F(OndrikDataTest, OriginalSymbol2012VehicleWithoutDevices) {
    Fill2005();
    m_record->ModelYear = 2012;
    m_record->AntiTheftDevices = 0;
    m_record->PassiveRestraints = 0;
    m_record->EffectiveDate = *ParseDateText("01/01/1950", "M/d/yyyy");
    const std::string text = VehiclePropertiesText(*m_record);
    EXPECT_NE(text.find("VIN=1HGCM82633A004352 \r\nCompSymbol=14\r\nCollisionSymbol=15\r\n"
                        "Performance=Intermediate\r\nHighTheft="),
              std::string::npos)
        << text;
    for (const char* absent : {"\nSymbol=", "AntiTheftDevice", "PassiveRestraint", "Effective"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    EXPECT_NE(text.find("StateExceptions=\r\nComp_Symbol=14\r\n"), std::string::npos);
}

TEST_F(OndrikDataTest, ReplacesTheOldFileWhole) {
    Fill2005();
    const std::string file = m_folder.Write("Ondrik.dat", std::string(10000, 'x'));
    SaveVehicleProperties(*m_record, file);
    EXPECT_EQ(m_folder.Read("Ondrik.dat"), VehiclePropertiesText(*m_record));
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
        ++files;
    EXPECT_EQ(files, 2u);  // Ondrik.dat and the Windows folder: no temporary file left behind
}

TEST_F(OndrikDataTest, FailedWriteRaisesAndKeepsTheOldFile) {
    Fill2005();
    const std::string file = m_folder.Write("Ondrik.dat", "[VehicleProperties]\r\nold\r\n");
    for (const auto step : {platform::FileStep::CreateTemp, platform::FileStep::Write,
                            platform::FileStep::Sync, platform::FileStep::Rename}) {
        platform::SetFileFaultHandler(
            [step](platform::FileStep s, const std::string&) { return s == step ? 28 : 0; });
        try {
            SaveVehicleProperties(*m_record, file);
            ADD_FAILURE() << "no error at step " << static_cast<int>(step);
        } catch (const EOndrikData& e) {
            EXPECT_EQ(e.Message().rfind("Cannot create file " + file, 0), 0u) << e.Message();
        }
        EXPECT_EQ(m_folder.Read("Ondrik.dat"), "[VehicleProperties]\r\nold\r\n");
    }
}

TEST_F(OndrikDataTest, MissingFolderIsAnErrorAndStaysMissing) {
    const std::string folder = m_folder.Path() + "NoData/";
    EXPECT_THROW(SaveVehicleProperties(*m_record, folder + "Ondrik.dat"), EOndrikData);
    EXPECT_FALSE(platform::DirectoryExists(folder));
}

TEST_F(OndrikDataTest, ProgramIniKeys) {
    m_folder.Write("windows/Ondrik.ini", "; kept\r\n[Settings]\r\nOther=5\r\n");
    WriteRunIdentification("/opt/ondrik/", "1.0.0.0", "  /opt/ondrik/Ondrik /VIN=1HGCM82633A \t");
    WriteUseOrigSymbol(true);
    const std::string ini = "Ondrik.ini";
    EXPECT_EQ(platform::ReadProfileString(ini, "Version Info", "Location", ""), "/opt/ondrik/");
    EXPECT_EQ(platform::ReadProfileString(ini, "Version Info", "Number", ""), "1.0.0.0");
    EXPECT_EQ(platform::ReadProfileString(ini, "Last", "CommandLine", ""),
              "/opt/ondrik/Ondrik /VIN=1HGCM82633A");
    EXPECT_EQ(platform::ReadProfileString(ini, "Settings", "UseOrigSymbol", ""), "1");
    WriteUseOrigSymbol(false);
    EXPECT_EQ(platform::ReadProfileString(ini, "Settings", "UseOrigSymbol", ""), "0");
    EXPECT_EQ(platform::ReadProfileString(ini, "Settings", "Other", ""), "5");
    EXPECT_EQ(m_folder.Read("windows/Ondrik.ini").rfind("; kept\r\n", 0), 0u);
}

TEST_F(OndrikDataTest, ProgramIniThatCannotBeWrittenRaises) {
    platform::SetFileFaultHandler([](platform::FileStep s, const std::string&) {
        return s == platform::FileStep::Rename ? 13 : 0;
    });
    try {
        WriteUseOrigSymbol(true);
        ADD_FAILURE();
    } catch (const EOndrikData& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + m_folder.WindowsDir() + "Ondrik.ini");
    }
}

}  // namespace
