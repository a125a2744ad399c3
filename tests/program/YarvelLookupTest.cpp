// Runs the built yarvel-lookup on the sample data, as support would.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "TestSupport.h"
#include "platform/TempFolder.h"

namespace {

using platform::testing::TempFolder;

// Sample data cases (data/sample/README.md).
const char kUnambiguousVin[] = "1C3LA36A16N123456";  // 2006 Chrysler 300, one description
const char kSeveralVin[] = "1HGCM56635A123456";      // 2005 Honda Accord LX, EX and EX-L
const char kSharedNameVin[] = "1HGCM72635A123456";   // two 2005 Accord coupes, one model name
const char kUnknownVin[] = "1FAKE00000A000000";

class YarvelLookupTest : public ::testing::Test {
protected:
    TRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), YARVEL_LOOKUP);
        return RunProgram(args);
    }

    static std::vector<std::string> SplitLines(const std::string& text) {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
            lines.push_back(text.substr(start, nl - start));
        return lines;
    }

    TempFolder m_folder;  // the Windows directory: no installation's Pollark.Ini interferes
};

TEST_F(YarvelLookupTest, UnambiguousVinPrintsTheOutputDataFileLines) {
    const TRun run = Run({kUnambiguousVin, "--date", "1/15/2024"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = SplitLines(run.out);
    ASSERT_GE(lines.size(), 8u) << run.out;
    const std::vector<std::string> head(lines.begin(), lines.begin() + 7);
    EXPECT_EQ(head, (std::vector<std::string>{"[VehicleProperties]", "ModelYear=2006",
                                              "Make=Chrysler", "Model=300", "VehicleClass=Luxury",
                                              std::string("VIN=") + kUnambiguousVin, "Symbol=9"}));
    EXPECT_NE(run.out.find("\nEffective=1/15/2024\nComp_Symbol=0\n"), std::string::npos);
    EXPECT_EQ(lines.back(), "Price_Symbol=0");
    EXPECT_EQ(run.err, "");

    // The original-symbol date carries no effective date.
    const TRun original = Run({kUnambiguousVin, "--date", "01/01/1950"});
    EXPECT_EQ(original.status, 0);
    EXPECT_EQ(original.out.find("Effective="), std::string::npos);
}

TEST_F(YarvelLookupTest, SeveralDescriptionsPrintTheProgramsChoice) {
    const TRun run = Run({kSeveralVin, "--date", "1/15/2024"});
    EXPECT_EQ(run.status, 2) << run.err;
    // The rows of the program's choice dialog, as it writes them when headless.
    EXPECT_EQ(run.out,
              "ISO: 1HGCM56635A123456 Choices\n"
              "Model Name\tModel/Series\tTransmission\tSymbol\n"
              "Accord LX\tLX\t5-Speed Automatic\t12\n"
              "Accord EX\tEX\t5-Speed Manual\t13\n"
              "Accord EX-L\tEX-L\t5-Speed Automatic\t14\n");

    const TRun json = Run({kSeveralVin, "--json", "--date", "2024-01-15"});
    EXPECT_EQ(json.status, 2);
    const std::string head =
        "{\"result\":\"several\",\"query\":{\"vin\":\"1HGCM56635A123456\",\"date\":"
        "\"2024-01-15\"},\"caption\":\"ISO: 1HGCM56635A123456 Choices\",\"columns\":[\"Model "
        "Name\",\"Model/Series\",\"Transmission\",\"Symbol\"],\"choiceRows\":3,\"candidates\":[{"
        "\"values\":[\"Accord LX\",\"LX\",\"5-Speed Automatic\",\"12\"],\"properties\":[["
        "\"ModelYear\",\"2005\"],";
    EXPECT_EQ(json.out.substr(0, head.size()), head);
    // Each row carries the vehicle choosing it gives: the EX-L is the high-theft one.
    const auto exl = json.out.find("\"values\":[\"Accord EX-L\"");
    ASSERT_NE(exl, std::string::npos);
    EXPECT_NE(json.out.find("[\"HighTheft\",\"Yes\"]", exl), std::string::npos);
    EXPECT_EQ(json.out.find("[\"HighTheft\",\"Yes\"]"),
              json.out.find("[\"HighTheft\",\"Yes\"]", exl));

    // Two descriptions in a row under one model name: the first is taken
    // without asking, as the program does.
    const TRun shared = Run({kSharedNameVin, "--date", "1/15/2024"});
    EXPECT_EQ(shared.status, 0) << shared.out << shared.err;
    EXPECT_NE(shared.out.find("\nModel=Accord\nVehicleClass=Passenger Car\nVIN=1HGCM72635A123456\n"),
              std::string::npos)
        << shared.out;
    EXPECT_NE(shared.out.find("\nModelInfo=LX\n"), std::string::npos) << shared.out;
}

TEST_F(YarvelLookupTest, UnknownAndTooShortVins) {
    const TRun unknown = Run({kUnknownVin, "--date", "2024-01-15"});
    EXPECT_EQ(unknown.status, 1) << unknown.err;
    EXPECT_EQ(unknown.out,
              std::string("No vehicle found for VIN ") + kUnknownVin + " on 1/15/2024\n");

    const TRun shortVin = Run({"1C3LA36A", "--json"});
    EXPECT_EQ(shortVin.status, 1);
    EXPECT_NE(shortVin.out.find("\"result\":\"invalid\""), std::string::npos);
    EXPECT_NE(shortVin.out.find("\"message\":\"VIN must be at least 9 characters in order for a "
                                "lookup to occur\""),
              std::string::npos)
        << shortVin.out;
}

// A damaged record among the candidates is an error with the error status,
// never "No vehicle found".
TEST_F(YarvelLookupTest, DamagedCandidateIsAnError) {
    const std::string data = m_folder.Path() + "data";
    std::filesystem::copy(SAMPLE_DATA_DIR, data);
    std::string table = m_folder.Read("data/Yarvel.dbf");
    const size_t headerLength = uint8_t(table[8]) | uint8_t(table[9]) << 8;
    const size_t recordLength = uint8_t(table[10]) | uint8_t(table[11]) << 8;
    size_t at = headerLength;
    while (at + recordLength <= table.size() && table.compare(at + 1, 10, "1HGCM566&5") != 0)
        at += recordLength;
    ASSERT_LT(at + recordLength, table.size()) << "the sample holds the VIN's candidates";
    table[at] = 'X';  // a deletion mark neither " " nor "*"
    m_folder.Write("data/Yarvel.dbf", table);

    const TRun run = Run({"--data", data, kSeveralVin});
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_EQ(run.out.find("No vehicle found"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Codebase Error Code = -80"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("yarvel-lookup: the engine reported an error"), std::string::npos);
}

TEST_F(YarvelLookupTest, YearMakeAndModel) {
    // One sub-model: its data, under its VIN pattern, as the program stores it.
    const TRun one = Run({"--year", "2006", "--make", "chrysler", "--model", "300"});
    EXPECT_EQ(one.status, 0) << one.out << one.err;
    EXPECT_NE(one.out.find("\nModelYear=2006\nMake=Chrysler\nModel=300\n"), std::string::npos);
    EXPECT_NE(one.out.find("\nVIN=1C3LA36A&6\n"), std::string::npos) << one.out;

    // The make may be given by its abbreviation; four descriptions under three patterns.
    const TRun several = Run({"--year=2005", "--make=HOND", "--model=Accord"});
    EXPECT_EQ(several.status, 2) << several.out << several.err;
    const auto lines = SplitLines(several.out);
    ASSERT_EQ(lines.size(), 5u) << several.out;
    EXPECT_EQ(lines[0], "ISO: 2005 HOND ACCORD Choices");
    EXPECT_EQ(lines[1].substr(lines[1].rfind('\t')), "\tVIN");
    EXPECT_EQ(lines[2].substr(lines[2].rfind('\t')), "\t1HGCM726&5");
    EXPECT_EQ(lines[4].substr(lines[4].rfind('\t')), "\tJHMCN364&5");

    const TRun noModel = Run({"--year", "2005", "--make", "Honda", "--model", "Zephyr"});
    EXPECT_EQ(noModel.status, 1);
    EXPECT_EQ(noModel.out.rfind("No model Zephyr of Honda in 2005; the models are: ", 0), 0u)
        << noModel.out;
}

TEST_F(YarvelLookupTest, JsonEscapesAndConvertsToUtf8) {
    const TRun run =
        Run({"--json", "--year", "2005", "--make", "Ho\"n\\da\t\xC3\xA9", "--model", "x"});
    EXPECT_EQ(run.status, 1);
    // é goes to Windows-1252 for the engine and back to UTF-8 for the output.
    EXPECT_NE(run.out.find("\"make\":\"Ho\\\"n\\\\da\\t\xC3\xA9\""), std::string::npos) << run.out;
}

TEST_F(YarvelLookupTest, BatchPrintsOneLinePerVin) {
    m_folder.Write("vins.txt", std::string(kUnambiguousVin) + "\r\n\r\n# comment\r\n" +
                                   kUnknownVin + ", 1/15/2024\n" + kUnambiguousVin +
                                   "\t13/45/2024\nABC\n");
    const TRun run = Run({"--batch", m_folder.Path() + "vins.txt"});
    EXPECT_EQ(run.status, 3) << run.err;  // the line with a bad date
    const auto lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[0].rfind(std::string(kUnambiguousVin) + "\t", 0), 0u);
    EXPECT_NE(lines[0].find("\tfound\tModelYear=2006\tMake=Chrysler\t"), std::string::npos);
    EXPECT_EQ(lines[1], std::string(kUnknownVin) +
                            "\t1/15/2024\tnot_found\tNo vehicle found for VIN " + kUnknownVin +
                            " on 1/15/2024");
    EXPECT_EQ(lines[2],
              std::string(kUnambiguousVin) + "\t13/45/2024\terror\tnot a date: 13/45/2024");
    EXPECT_NE(lines[3].find("\tinvalid\tVIN must be at least"), std::string::npos);

    // Not found is an answer, not an error.
    m_folder.Write("good.txt", std::string(kUnambiguousVin) + "\n" + kUnknownVin + "\n");
    const TRun good = Run({"--batch", m_folder.Path() + "good.txt"});
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(SplitLines(good.out).size(), 2u);

    const TRun json = Run({"--batch", m_folder.Path() + "vins.txt", "--json"});
    const auto jsonLines = SplitLines(json.out);
    ASSERT_EQ(jsonLines.size(), 4u);
    for (const auto& l : jsonLines) EXPECT_EQ(l.rfind("{\"result\":", 0), 0u) << l;
    // A date that cannot be read is shown as given, not as today's.
    EXPECT_NE(jsonLines[2].find("\"date\":\"13/45/2024\"},\"message\":\"not a date: 13/45/2024\""),
              std::string::npos)
        << jsonLines[2];
}

TEST_F(YarvelLookupTest, BatchFromAWindowsEditor) {
    // A byte-order mark, CRLF line ends, a lower-case VIN, several descriptions.
    // A NUL inside a line must not cut its output line.
    m_folder.Write("windows.txt", std::string("\xEF\xBB\xBF") + "1c3la36a16n123456\r\n" +
                                      kSeveralVin + ",2024-01-15\r\n" +
                                      std::string("1C3LA\0" "36A16N123456,2024-01-15\r\n", 29));
    const TRun run = Run({"--batch", m_folder.Path() + "windows.txt"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_EQ(lines[2].rfind("1C3LA 36A16N123456\t2024-01-15\t", 0), 0u) << lines[2];
    EXPECT_EQ(lines[0].rfind(std::string(kUnambiguousVin) + "\t", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("\tfound\tModelYear=2006\t"), std::string::npos) << lines[0];
    // The several line names the columns in which the descriptions differ.
    EXPECT_EQ(lines[1], std::string(kSeveralVin) +
                            "\t2024-01-15\tseveral\t3 descriptions differing in Model Name, "
                            "Model/Series, Transmission, Symbol: Accord LX, LX, 5-Speed Automatic, "
                            "12 | Accord EX, EX, 5-Speed Manual, 13 | Accord EX-L, EX-L, 5-Speed "
                            "Automatic, 14");
}

TEST_F(YarvelLookupTest, LowerCaseVinIsUpperCased) {
    const TRun run = Run({"1c3la36a16n123456", "--date", "1/15/2024"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(std::string("\nVIN=") + kUnambiguousVin + "\n"), std::string::npos)
        << run.out;
    const TRun json = Run({"--json", "1c3la36a16n123456"});
    EXPECT_NE(json.out.find(std::string("\"vin\":\"") + kUnambiguousVin + "\""), std::string::npos)
        << json.out;
}

TEST_F(YarvelLookupTest, DataFolderGivenOnTheCommandLine) {
    // The tool's private Windows directory goes to $TMPDIR; watch it there.
    const std::string tmp = m_folder.Path() + "tmp/";
    std::filesystem::create_directories(tmp);
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    setenv("TMPDIR", tmp.c_str(), 1);

    // Folders of earlier runs: one killed (its process is gone), one running.
    const int gone = RunProgram({"true"}).pid;
    const std::string killed = tmp + "yarvel-lookup." + std::to_string(gone) + ".AbC123";
    const std::string running = tmp + "yarvel-lookup." + std::to_string(getpid()) + ".XyZ789";
    std::filesystem::create_directories(killed);
    std::filesystem::create_directories(running);
    m_folder.Write("tmp/yarvel-lookup." + std::to_string(gone) + ".AbC123/Pollark.Ini", "");

    // A copy of the sample tables elsewhere is found through the generated host ini.
    std::filesystem::copy(SAMPLE_DATA_DIR, m_folder.Path() + "my data");
    const TRun run = Run({"--data", m_folder.Path() + "my data", kUnambiguousVin});
    // A folder without tables: the engine does not start, which is an error, not "not found".
    std::filesystem::create_directories(m_folder.Path() + "empty");
    const TRun empty = Run({"--data", m_folder.Path() + "empty", kUnambiguousVin});
    const TRun emptyJsonRun = Run({"--json", "--data", m_folder.Path() + "empty", kUnambiguousVin});

    if (oldTmp)
        setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\nMake=Chrysler\n"), std::string::npos);
    const TRun& emptyJson = emptyJsonRun;
    EXPECT_EQ(empty.status, 3);
    // Reported once, with the engine's own reason, on one line.
    EXPECT_EQ(empty.err.rfind("yarvel-lookup: the engine did not start: ", 0), 0u) << empty.err;
    EXPECT_NE(empty.err.find("Yarvel.dbf"), std::string::npos) << empty.err;
    EXPECT_EQ(SplitLines(empty.err).size(), 1u) << empty.err;
    EXPECT_EQ(emptyJson.status, 3);
    EXPECT_EQ(emptyJson.out.rfind("{\"result\":\"error\",\"message\":\"the engine did not start: ", 0),
              0u)
        << emptyJson.out;
    EXPECT_FALSE(std::filesystem::exists(killed)) << "the killed run's folder is removed";
    EXPECT_TRUE(std::filesystem::exists(running)) << "a running one's folder is kept";
    std::filesystem::remove(running);
    EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "temporary Windows directory left behind";
}

TEST_F(YarvelLookupTest, StrangeCommandLinesGetTheUsageAndTheErrorStatus) {
    struct {
        std::vector<std::string> args;
        bool json;  // asked for JSON: the error is also the one object on stdout
    } const cases[] = {
        {{}, false},
        {{"--bogus"}, false},
        {{"--year", "2005", "--make", "Honda"}, false},
        {{"--year", "two", "--make", "Honda", "--model", "Accord"}, false},
        {{kUnambiguousVin, "--batch", "x"}, false},
        {{kUnambiguousVin, kUnknownVin}, false},
        {{kUnambiguousVin, "--date"}, false},
        {{kUnambiguousVin, "--date", "tomorrow"}, false},
        {{"   "}, false},
        {{kUnambiguousVin, "--json=yes"}, true},
        {{"--json", "--bogus"}, true},
        {{"--json", kUnambiguousVin, "--date", "tomorrow"}, true},
    };
    for (const auto& c : cases) {
        const TRun run = Run(c.args);
        const std::string name = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(run.status, 3) << name;
        EXPECT_NE(run.err.find("Usage: yarvel-lookup"), std::string::npos) << run.err;
        if (c.json) {
            EXPECT_EQ(run.out.rfind("{\"result\":\"error\",\"usage\":true,\"message\":\"", 0), 0u)
                << run.out;
            EXPECT_EQ(SplitLines(run.out).size(), 1u) << run.out;
        } else {
            EXPECT_EQ(run.out, "") << name;
        }
    }
    const TRun missing = Run({"--batch", m_folder.Path() + "absent.txt"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(missing.err, "yarvel-lookup: cannot read " + m_folder.Path() + "absent.txt\n");
    const TRun missingJson = Run({"--json", "--batch", m_folder.Path() + "absent.txt"});
    EXPECT_EQ(missingJson.out, "{\"result\":\"error\",\"message\":\"cannot read " +
                                   m_folder.Path() + "absent.txt\"}\n");
    const TRun noData = Run({"--data", m_folder.Path() + "absent", kUnambiguousVin});
    EXPECT_EQ(noData.status, 3);

    const TRun help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
    EXPECT_EQ(Run({"--version"}).out, "yarvel-lookup 1.0.0.0\n");
}

}  // namespace
