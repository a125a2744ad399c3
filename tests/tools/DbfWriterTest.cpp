// Field values as the table stores them, and the values a field refuses.
#include <gtest/gtest.h>

#include <cstdio>

#include "DbfWriter.h"
#include "WriteError.h"

namespace {

TFieldDef Field(char type, int length, int decimals = 0) {
    return {"F", type, static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(decimals), 1};
}

std::string Store(const TFieldDef& field, const std::string& value) {
    std::string bytes(field.length, '\0');
    StoreFieldValue(field, value, reinterpret_cast<std::uint8_t*>(bytes.data()));
    return bytes;
}

struct TStoreCase {
    TFieldDef field;
    std::string value;
    std::string stored;
};

// Case names stay ASCII: other bytes are shown as hex.
std::string Shown(const std::string& value) {
    std::string shown;
    for (unsigned char c : value) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        shown += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : hex;
    }
    return shown;
}

void PrintTo(const TStoreCase& c, std::ostream* os) {
    *os << c.field.type << int(c.field.length) << " '" << Shown(c.value) << "'";
}

class FieldStore : public ::testing::TestWithParam<TStoreCase> {};

TEST_P(FieldStore, StoresTheValue) {
    EXPECT_EQ(Store(GetParam().field, GetParam().value), GetParam().stored)
        << "value '" << GetParam().value << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Types, FieldStore,
    ::testing::Values(
        TStoreCase{Field('C', 5), "ab", "ab   "}, TStoreCase{Field('C', 5), " ab", " ab  "},
        TStoreCase{Field('C', 3), "abc   ", "abc"}, TStoreCase{Field('C', 3), "", "   "},
        TStoreCase{Field('C', 4), "\xE9t\xE9", "\xE9t\xE9 "},
        TStoreCase{Field('N', 4), "7", "   7"}, TStoreCase{Field('N', 4), " -12 ", " -12"},
        TStoreCase{Field('N', 4), "+0012", "  12"}, TStoreCase{Field('N', 4), "", "    "},
        TStoreCase{Field('N', 4), "-0", "   0"}, TStoreCase{Field('N', 6, 2), "3.5", "  3.50"},
        TStoreCase{Field('N', 6, 2), ".5", "  0.50"}, TStoreCase{Field('N', 6, 2), "-1.", " -1.00"},
        TStoreCase{Field('N', 6, 1), "2.500", "   2.5"},
        TStoreCase{Field('N', 6, 2), "-0.00", "  0.00"},
        TStoreCase{Field('D', 8), "20240229", "20240229"},
        TStoreCase{Field('D', 8), "20000229", "20000229"},
        TStoreCase{Field('D', 8), "", "        "}, TStoreCase{Field('L', 1), "t", "T"},
        TStoreCase{Field('L', 1), "Y", "T"}, TStoreCase{Field('L', 1), ".F.", "F"},
        TStoreCase{Field('L', 1), "n", "F"}, TStoreCase{Field('L', 1), "", " "},
        TStoreCase{Field('L', 1), "?", " "}));

struct TRejectCase {
    TFieldDef field;
    std::string value;
    const char* message;
};

void PrintTo(const TRejectCase& c, std::ostream* os) {
    *os << c.field.type << int(c.field.length) << " '" << Shown(c.value) << "'";
}

class FieldReject : public ::testing::TestWithParam<TRejectCase> {};

TEST_P(FieldReject, NamesTheFieldAndValue) {
    try {
        Store(GetParam().field, GetParam().value);
        FAIL() << "stored '" << GetParam().value << "'";
    } catch (const EXbaseWrite& e) {
        EXPECT_NE(e.Message().find("field F ("), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find(GetParam().message), std::string::npos) << e.Message();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, FieldReject,
    ::testing::Values(TRejectCase{Field('C', 3), "abcd", "wider than the field"},
                      TRejectCase{Field('C', 3), "abc d", "wider than the field"},
                      TRejectCase{Field('N', 3), "1234", "does not fit"},
                      TRejectCase{Field('N', 3), "-100", "does not fit"},
                      TRejectCase{Field('N', 5, 2), "100.00", "does not fit"},
                      TRejectCase{Field('N', 6, 1), "1.25", "more decimal places"},
                      TRejectCase{Field('N', 6), "1e3", "is not a number"},
                      TRejectCase{Field('N', 6), "12 3", "is not a number"},
                      TRejectCase{Field('N', 6), "-", "is not a number"},
                      TRejectCase{Field('N', 6), ".", "is not a number"},
                      TRejectCase{Field('N', 6), "0x10", "is not a number"},
                      TRejectCase{Field('D', 8), "2024-02-29", "yyyymmdd"},
                      TRejectCase{Field('D', 8), "20230229", "not a calendar date"},
                      TRejectCase{Field('D', 8), "20241301", "not a calendar date"},
                      TRejectCase{Field('D', 8), "00000101", "not a calendar date"},
                      TRejectCase{Field('D', 8), "19000229", "not a calendar date"},
                      TRejectCase{Field('L', 1), "yes", "not a logical value"}));

}  // namespace
