// A vehicle-master-like table for the tools' tests: several hundred rows, so
// every tag has several leaves and an interior level (TYPEMAKEYR two), with
// duplicate keys, keys with trailing blanks, empty keys and bytes above 0x7F.
// The expected key order is worked out here, independently of the writer.
#pragma once

#include <string>
#include <vector>

struct TFixtureRow {
    // In schema order: VIN RECTYPE MAKE YR MODEL FIELDNAME CODE EFFDATE PRICE ACTIVE
    std::vector<std::string> values;
};

struct TFixtureTag {
    std::string name;
    std::string expression;
    std::size_t width;
};

class TVehicleFixture {
public:
    explicit TVehicleFixture(std::size_t rows = 750);

    static const std::vector<std::string>& FieldNames();
    static const std::string& Schema();
    static const std::vector<TFixtureTag>& Tags();

    // The CSV text: header in a shuffled order and lower case, RFC 4180 quoting.
    std::string Csv() const;
    const std::vector<TFixtureRow>& Rows() const { return m_rows; }

    // The tag's key for row `index` (0-based), full width.
    std::string Key(const std::string& tag, std::size_t index) const;
    // (key, record number) in index order.
    std::vector<std::pair<std::string, long>> Ordered(const std::string& tag) const;
    // What index_dump prints: each key without trailing blanks, a blank, the record.
    std::string DumpLines(const std::string& tag) const;

private:
    std::vector<TFixtureRow> m_rows;
};
