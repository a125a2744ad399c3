// The CSV reader: RFC 4180 records, and where malformed text is reported.
#include <gtest/gtest.h>

#include "Csv.h"
#include "WriteError.h"

namespace {

using TRecords = std::vector<std::vector<std::string>>;

TRecords ReadAll(const std::string& text) {
    TCsvReader reader(text, "in.csv");
    TRecords records;
    std::vector<std::string> fields;
    while (reader.Next(fields)) records.push_back(fields);
    return records;
}

struct TCsvCase {
    const char* name;
    std::string text;
    TRecords records;
};

void PrintTo(const TCsvCase& c, std::ostream* os) {
    *os << c.name;
}

class CsvRecords : public ::testing::TestWithParam<TCsvCase> {};

TEST_P(CsvRecords, ReadAsWritten) {
    EXPECT_EQ(ReadAll(GetParam().text), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CsvRecords,
    ::testing::Values(TCsvCase{"Plain", "a,b\n1,2\n", {{"a", "b"}, {"1", "2"}}},
                      TCsvCase{"CrLfAndNoFinalBreak", "a,b\r\n1,2", {{"a", "b"}, {"1", "2"}}},
                      TCsvCase{"EmptyFields", ",\n,x,\n", {{"", ""}, {"", "x", ""}}},
                      TCsvCase{"QuotedCommaBreakAndQuote",
                               "\"a,b\",\"line\nbreak\",\"say \"\"hi\"\"\"\n",
                               {{"a,b", "line\nbreak", "say \"hi\""}}},
                      TCsvCase{"QuotedEmptyIsARecord", "\"\"\n\n\"\"\r\n", {{""}, {""}}},
                      TCsvCase{"BlanksAreKept", " a , b \n", {{" a ", " b "}}},
                      TCsvCase{"EmptyLinesSkipped", "\n\na\r\n\r\nb\n", {{"a"}, {"b"}}},
                      TCsvCase{"CarriageReturnInsideAField", "a\rb,c\n", {{"a\rb", "c"}}},
                      TCsvCase{"HighBytes", "Citro\xEBn\n", {{"Citro\xEBn"}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct TCsvFault {
    std::string text;
    const char* message;  // includes the line
};

void PrintTo(const TCsvFault& c, std::ostream* os) {
    *os << c.message;
}

class CsvFaults : public ::testing::TestWithParam<TCsvFault> {};

TEST_P(CsvFaults, NameTheLine) {
    try {
        ReadAll(GetParam().text);
        FAIL() << "accepted";
    } catch (const EXbaseWrite& e) {
        EXPECT_NE(e.Message().find(GetParam().message), std::string::npos) << e.Message();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, CsvFaults,
    ::testing::Values(TCsvFault{"a\nb,\"open\n\nstill open",
                                "in.csv:2: a quoted field is not closed"},
                      TCsvFault{"a\n\"x\"y\n", "in.csv:2: unexpected text after a closing quote"},
                      TCsvFault{"a\n\"multi\nline\"x\n", "in.csv:3: unexpected text"},
                      TCsvFault{"a\nb\nab\"c\n", "in.csv:3: a quote inside an unquoted field"},
                      TCsvFault{"\xEF\xBB\xBF"
                                "a\n",
                                "in.csv:1: the file starts with a UTF-8"}));

TEST(Csv, RecordLineIsWhereTheRecordStarts) {
    std::string text = "h\n\"two\nlines\"\nnext\n";
    TCsvReader reader(text, "in.csv");
    std::vector<std::string> fields;
    std::vector<int> lines;
    while (reader.Next(fields)) lines.push_back(reader.Line());
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 4}));
}

}  // namespace
