// Key expressions: what each function yields, the key width, and the
// messages for expressions that cannot be keys.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "KeyExpression.h"
#include "TextHelpers.h"
#include "WriteError.h"

namespace {

std::vector<TFieldDef> Fields() {
    std::vector<TFieldDef> fields = {
        {"VIN", 'C', 17, 0, 0},   {"RECTYPE", 'N', 3, 0, 0}, {"MAKE", 'C', 4, 0, 0},
        {"YR", 'N', 2, 0, 0},     {"MODEL", 'C', 20, 0, 0},  {"PRICE", 'N', 8, 2, 0},
        {"NEG", 'N', 6, 2, 0},    {"BLANKN", 'N', 4, 0, 0},  {"EFFDATE", 'D', 8, 0, 0},
        {"NODATE", 'D', 8, 0, 0}, {"ACTIVE", 'L', 1, 0, 0},  {"FIELDNAME", 'C', 10, 0, 0},
        {"CODE", 'C', 5, 0, 0},   {"AMOUNT", 'I', 4, 0, 0},
    };
    AssignOffsets(fields);
    return fields;
}

// One record as stored: character values left-aligned, numbers right-aligned.
std::string Record() {
    std::string record = " ";
    auto left = [&](std::string text, std::size_t width) {
        text.resize(width, ' ');
        record += text;
    };
    auto right = [&](const std::string& text, std::size_t width) {
        record += std::string(width - text.size(), ' ') + text;
    };
    left("1FTRX18W&XKA12345", 17);
    right("1", 3);
    left("GM", 4);
    right("99", 2);
    left("Camry", 20);
    right("1234.50", 8);
    right("-12.35", 6);
    right("", 4);
    left("20240229", 8);
    left("", 8);
    left("T", 1);
    left("ENGN_CYLN", 10);
    left("6", 5);
    record += std::string("\x01\x00\x00\x00", 4);
    return record;
}

std::string Key(const std::string& expression, const std::string& record = Record()) {
    TKeyExpression key(expression, Fields());
    std::string bytes(key.Width(), '\0');
    key.Evaluate(reinterpret_cast<const std::uint8_t*>(record.data()),
                 reinterpret_cast<std::uint8_t*>(bytes.data()));
    return bytes;
}

struct TKeyCase {
    const char* expression;
    std::string key;  // its length is the expected width
};

void PrintTo(const TKeyCase& c, std::ostream* os) {
    *os << c.expression;
}

class KeyExpressionValue : public ::testing::TestWithParam<TKeyCase> {};

TEST_P(KeyExpressionValue, GivesTheKeyAtItsWidth) {
    EXPECT_EQ(Key(GetParam().expression), GetParam().key) << GetParam().expression;
}

const std::string kBlank20(20, ' ');

INSTANTIATE_TEST_SUITE_P(
    Functions, KeyExpressionValue,
    ::testing::Values(
        // The orders the system's tables need.
        TKeyCase{"LEFT(VIN,10)", "1FTRX18W&X"}, TKeyCase{"left( vin , 10 )", "1FTRX18W&X"},
        TKeyCase{"STR(RECTYPE,10)+MAKE+STR(YR,2)+MODEL", "         1GM  99Camry               "},
        TKeyCase{"FIELDNAME+CODE", "ENGN_CYLN 6    "},
        // Cutting text; a length past the end keeps the field's width.
        TKeyCase{"RIGHT(VIN,5)", "12345"}, TKeyCase{"SUBSTR(VIN,4,3)", "RX1"},
        TKeyCase{"SUBSTR(VIN,16)", "45"}, TKeyCase{"MAKE+SUBSTR(VIN,20,3)", "GM  "},
        TKeyCase{"LEFT(VIN,30)", "1FTRX18W&XKA12345"},
        // Trimmed parts shorten the text; the key is padded to the full width.
        TKeyCase{"TRIM(MAKE)+MODEL", "GMCamry" + std::string(17, ' ')},
        TKeyCase{"RTRIM(MAKE)+'|'", "GM|  "}, TKeyCase{"LTRIM(STR(RECTYPE,5))+'|'", "1|    "},
        TKeyCase{"ALLTRIM(' a ')+'|'", "a|  "}, TKeyCase{"LEFT(TRIM(MODEL)+'#',7)", "Camry# "},
        TKeyCase{"RIGHT(TRIM(MODEL),3)", "mry"}, TKeyCase{"SUBSTR(TRIM(MAKE)+MODEL,2,4)", "MCam"},
        TKeyCase{"UPPER(TRIM(MODEL)+MAKE)", "CAMRYGM" + std::string(17, ' ')},
        // Numbers: rounding half away from zero, fewer decimals or asterisks
        // when too wide, blank reads as zero.
        TKeyCase{"STR(PRICE,8,2)", " 1234.50"}, TKeyCase{"STR(PRICE,6,1)", "1234.5"},
        TKeyCase{"STR(PRICE,5,2)", " 1235"}, TKeyCase{"STR(PRICE)", "      1235"},
        TKeyCase{"STR(PRICE,3)", "***"}, TKeyCase{"STR(NEG,6,1)", " -12.4"},
        TKeyCase{"STR(BLANKN,4)", "   0"}, TKeyCase{"STR(5,3)", "  5"},
        // Dates, literals, grouping.
        TKeyCase{"DTOS(EFFDATE)", "20240229"}, TKeyCase{"DTOS(NODATE)+'|'", "        |"},
        TKeyCase{"MAKE+'-'+[x]+\"y\"", "GM  -xy"}, TKeyCase{"(MAKE)+(CODE)", "GM  6    "}));

// Every byte of Windows-1252: the small letters (ASCII, the accented run
// 0xE0-0xFE without the division sign, and the scattered pairs) become their
// capitals, everything else stays. The engine seeks with the same rule.
TEST(KeyExpression, UpperCoversEveryWindows1252Byte) {
    std::map<int, int> capitals = {{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
    for (int c = 'a'; c <= 'z'; ++c) capitals[c] = c - 0x20;
    for (int c = 0xE0; c <= 0xFE; ++c)
        if (c != 0xF7) capitals[c] = c - 0x20;
    for (int byte = 0; byte < 256; ++byte) {
        std::string record = Record();
        record[Fields()[4].offset] = static_cast<char>(byte);
        const auto found = capitals.find(byte);
        const int expected = found == capitals.end() ? byte : found->second;
        EXPECT_EQ(static_cast<unsigned char>(Key("UPPER(MODEL)", record)[0]), expected)
            << "byte 0x" << std::hex << byte;
        EXPECT_EQ(UpperChar1252(static_cast<unsigned char>(byte)), expected)
            << "byte 0x" << std::hex << byte;
    }
}

struct TBadCase {
    const char* expression;
    const char* message;
};

void PrintTo(const TBadCase& c, std::ostream* os) {
    *os << c.expression;
}

class KeyExpressionError : public ::testing::TestWithParam<TBadCase> {};

TEST_P(KeyExpressionError, IsRejectedWithAReason) {
    try {
        TKeyExpression key(GetParam().expression, Fields());
        FAIL() << "accepted: " << GetParam().expression;
    } catch (const EXbaseWrite& e) {
        EXPECT_NE(e.Message().find(GetParam().message), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find(GetParam().expression), std::string::npos) << e.Message();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, KeyExpressionError,
    ::testing::Values(
        TBadCase{"", "expected a field"}, TBadCase{"NOSUCH", "no field named NOSUCH"},
        TBadCase{"FOO(VIN)", "unknown function FOO()"},
        TBadCase{"RECTYPE", "use STR() for numbers"}, TBadCase{"EFFDATE", "use DTOS() for dates"},
        TBadCase{"ACTIVE", "logical field ACTIVE"},
        TBadCase{"STR(AMOUNT,4)", "field AMOUNT of type 'I'"},
        TBadCase{"MAKE+RECTYPE", "'+' joins character text"},
        TBadCase{"LEFT(VIN)", "LEFT() takes 2 arguments"},
        TBadCase{"LEFT(VIN,RECTYPE)", "whole number"}, TBadCase{"LEFT(VIN,2.5)", "whole number"},
        TBadCase{"SUBSTR(VIN,0,2)", "from 1 to 255"},
        TBadCase{"STR(MAKE,3)", "needs a numeric value"},
        TBadCase{"DTOS(MAKE)", "needs a date value"}, TBadCase{"'abc", "unterminated text"},
        TBadCase{"MAKE MODEL", "unexpected 'MODEL'"}, TBadCase{"MAKE+", "found 'end of text'"},
        TBadCase{"MAKE#", "unexpected '#'"}, TBadCase{"1.2.3", "malformed number"},
        TBadCase{"LEFT(VIN,0)", "always empty"},
        TBadCase{"((((((((((((((((((((((((((((((((((MAKE))))))))))))))))))))))))))))))))))",
                 "nested more than 32 levels"},
        TBadCase{"MODEL+MODEL+MODEL+MODEL+MODEL+MODEL+MODEL+MODEL+MODEL+MODEL+MODEL+MODEL+MODEL",
                 "at most 240"}));

}  // namespace
