// Schema text: what a good schema describes, and the message for each fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>

#include "Schema.h"
#include "WriteError.h"

namespace {

TEST(Schema, DescribesFieldsAndTags) {
    TSchema schema = ParseSchema(
        "# vehicle master\n"
        "  field vin C 17\r\n"
        "\n"
        "FIELD Year n 4\n"
        "field Price N 8 2\n"
        "field EffDate d\n"
        "field Active L 1\n"
        "tag vintag LEFT(VIN, 10)  \n"
        "Tag TypeMakeYr STR(RECTYPE,10) + MAKE\n"
        "unique ABBRTAG MAKE\n",
        "s.txt");
    ASSERT_EQ(schema.fields.size(), 5u);
    struct TExpected {
        const char* name;
        char type;
        int length, decimals, offset;
    };
    const TExpected expected[] = {{"VIN", 'C', 17, 0, 1},
                                  {"YEAR", 'N', 4, 0, 18},
                                  {"PRICE", 'N', 8, 2, 22},
                                  {"EFFDATE", 'D', 8, 0, 30},
                                  {"ACTIVE", 'L', 1, 0, 38}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(schema.fields[i].name, expected[i].name);
        EXPECT_EQ(schema.fields[i].type, expected[i].type);
        EXPECT_EQ(schema.fields[i].length, expected[i].length);
        EXPECT_EQ(schema.fields[i].decimals, expected[i].decimals);
        EXPECT_EQ(schema.fields[i].offset, static_cast<std::uint32_t>(expected[i].offset));
    }
    ASSERT_EQ(schema.tags.size(), 3u);
    EXPECT_EQ(schema.tags[0].name, "VINTAG");
    EXPECT_EQ(schema.tags[0].expression, "LEFT(VIN, 10)");
    EXPECT_EQ(schema.tags[0].line, 8);
    EXPECT_EQ(schema.tags[1].name, "TYPEMAKEYR");
    EXPECT_EQ(schema.tags[1].expression, "STR(RECTYPE,10) + MAKE");
    EXPECT_FALSE(schema.tags[1].unique);
    EXPECT_TRUE(schema.tags[2].unique);
}

struct TSchemaFault {
    std::string text;
    const char* message;
};

void PrintTo(const TSchemaFault& c, std::ostream* os) {
    *os << c.message;
}

class SchemaFaults : public ::testing::TestWithParam<TSchemaFault> {};

TEST_P(SchemaFaults, NameTheLine) {
    try {
        ParseSchema(GetParam().text, "s.txt");
        FAIL() << "accepted: " << GetParam().text;
    } catch (const EXbaseWrite& e) {
        EXPECT_NE(e.Message().find(GetParam().message), std::string::npos) << e.Message();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SchemaFaults,
    ::testing::Values(
        TSchemaFault{"field A C 1\nindex X A\n", "s.txt:2: unknown statement 'index'"},
        TSchemaFault{"field A\n", "s.txt:1: expected 'field NAME TYPE"},
        TSchemaFault{"field A M 10\n", "type 'M' is not supported"},
        TSchemaFault{"field A CC 10\n", "type 'CC' is not supported"},
        TSchemaFault{"field A C\n", "a length is required"},
        TSchemaFault{"field A C 0\n", "length must be 1 to 254"},
        TSchemaFault{"field A C 255\n", "length must be 1 to 254"},
        TSchemaFault{"field A C 10 2\n", "takes only a length"},
        TSchemaFault{"field A N 21\n", "length must be 1 to 20"},
        TSchemaFault{"field A N 4 3\n", "decimals must be 0 to 15 and at most length - 2"},
        TSchemaFault{"field A N x\n", "'x' is not a length"},
        TSchemaFault{"field A N -1\n", "'-1' is not a length"},
        TSchemaFault{"field A D 6\n", "a date is always 8 bytes"},
        TSchemaFault{"field A L 2\n", "a logical is always 1 byte"},
        TSchemaFault{"field 1A C 1\n", "invalid field name '1A'"},
        TSchemaFault{"field ELEVENCHARS C 1\n", "invalid field name"},
        TSchemaFault{"field A-B C 1\n", "invalid field name"},
        TSchemaFault{"field a C 1\nfield A N 2\n", "s.txt:2: field A is defined twice"},
        TSchemaFault{"field A C 1\ntag T\n", "expected 'tag NAME EXPRESSION'"},
        TSchemaFault{"field A C 1\nunique T\n", "expected 'unique NAME EXPRESSION'"},
        TSchemaFault{"tag T A\nunique t A\n", "s.txt:2: tag T is defined twice"},
        TSchemaFault{"field A C 1\ntag T A\ntag t A\n", "s.txt:3: tag T is defined twice"},
        TSchemaFault{"tag BAD.NAME A\n", "invalid tag name"},
        TSchemaFault{[] {
                         std::string text;
                         for (int i = 0; i < 300; ++i)
                             text += "field F" + std::to_string(i) + " C 254\n";
                         return text;
                     }(),
                     "more than 255 fields"}),
    // Named by the schema's last line: the messages repeat.
    [](const auto& info) {
        std::string text = info.param.text;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        text = text.substr(text.rfind('\n') + 1);
        std::string name;
        for (char c : text) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name + "_" + std::to_string(info.index);
    });

// The README's schema excerpt is what the sample data folder's schema says.
TEST(Schema, ReadmeExcerptIsTakenFromTheSampleSchema) {
    auto lines = [](const std::string& path) {
        std::ifstream in(path);
        EXPECT_TRUE(in) << path;
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string word, joined;
            while (words >> word) joined += (joined.empty() ? "" : " ") + word;
            out.push_back(joined);
        }
        return out;
    };
    const std::vector<std::string> schema = lines(SOURCE_DIR "/data/sample/Yarvel.schema");
    const std::set<std::string> known(schema.begin(), schema.end());
    const std::vector<std::string> readme = lines(SOURCE_DIR "/tools/README.md");
    auto at = std::find(readme.begin(), readme.end(), "# Yarvel.dbf (excerpt)");
    ASSERT_NE(at, readme.end());
    int statements = 0;
    for (++at; at != readme.end() && *at != "```"; ++at) {
        if (at->empty() || at->front() == '#') continue;
        EXPECT_TRUE(known.count(*at)) << *at;
        ++statements;
    }
    EXPECT_GT(statements, 0);
    EXPECT_NO_THROW(LoadSchema(SOURCE_DIR "/data/sample/Yarvel.schema"));
}

}  // namespace
