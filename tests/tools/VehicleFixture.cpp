#include "VehicleFixture.h"

#include <algorithm>
#include <random>
#include <stdexcept>

#include "TextHelpers.h"

namespace {

std::string Pad(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

std::string RightTrim(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// STR(n, width) of a whole number held as text; blank reads as zero.
std::string Str(const std::string& value, std::size_t width) {
    std::string digits = value.empty() ? "0" : std::to_string(std::stol(value));
    return digits.size() > width ? std::string(width, '*')
                                 : std::string(width - digits.size(), ' ') + digits;
}

std::string CsvValue(const std::string& value) {
    if (value.find_first_of(",\"\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

const std::vector<std::string>& TVehicleFixture::FieldNames() {
    static const std::vector<std::string> names = {
        "VIN", "RECTYPE", "MAKE", "YR", "MODEL", "FIELDNAME", "CODE", "EFFDATE", "PRICE", "ACTIVE"};
    return names;
}

const std::string& TVehicleFixture::Schema() {
    static const std::string text =
        "# vehicle master for the tools' tests\n"
        "field VIN C 17\n"
        "field RECTYPE N 3 0\n"
        "field MAKE C 4\n"
        "field YR N 2\n"
        "field MODEL C 20\n"
        "field FIELDNAME C 10\n"
        "field CODE C 3\n"
        "field EFFDATE D\n"
        "field PRICE N 9 2\n"
        "field ACTIVE L\n"
        "tag VINTAG LEFT(VIN,10)\n"
        "tag TypeMakeYr STR(RECTYPE,10)+MAKE+STR(YR,2)+MODEL\n"
        "tag XLATETAG FIELDNAME+CODE\n"
        "tag MODELTAG UPPER(TRIM(MODEL))+DTOS(EFFDATE)\n";
    return text;
}

const std::vector<TFixtureTag>& TVehicleFixture::Tags() {
    static const std::vector<TFixtureTag> tags = {
        {"MODELTAG", "UPPER(TRIM(MODEL))+DTOS(EFFDATE)", 28},
        {"TYPEMAKEYR", "STR(RECTYPE,10)+MAKE+STR(YR,2)+MODEL", 36},
        {"VINTAG", "LEFT(VIN,10)", 10},
        {"XLATETAG", "FIELDNAME+CODE", 13},
    };
    return tags;
}

TVehicleFixture::TVehicleFixture(std::size_t rows) {
    std::mt19937 random(20240229);
    auto pick = [&](const std::vector<std::string>& choices) {
        return choices[random() % choices.size()];
    };
    const std::string alphabet = "0123456789ABCDEFGHJKLMNPRSTUVWXYZ&";
    std::vector<std::string> prefixes;
    for (int i = 0; i < 60; ++i) {
        std::string prefix;
        for (int k = 0; k < 10; ++k) prefix += alphabet[random() % alphabet.size()];
        prefix[8] = '&';
        prefixes.push_back(prefix);
    }
    for (std::size_t i = 0; i < rows; ++i) {
        std::string vin;
        switch (random() % 20) {
            case 0:
                break;  // empty key
            case 1:
                vin = pick(prefixes).substr(0, 7);
                break;  // trailing blanks
            default:
                vin = pick(prefixes);
                for (int k = 0; k < 7; ++k) vin += alphabet[random() % alphabet.size()];
        }
        std::string year = random() % 10 == 0 ? "" : std::to_string(random() % 100);
        std::string price;
        if (random() % 8 != 0) {
            long cents = static_cast<long>(random() % 5000000) - 100000;
            price = (cents < 0 ? "-" : "") + std::to_string(std::labs(cents) / 100) + "." +
                    std::to_string(std::labs(cents) % 100 / 10) +
                    std::to_string(std::labs(cents) % 10);
        }
        m_rows.push_back(
            {{vin, pick({"1", "2", "10", "", "999"}),
              pick({"FORD", "GM", "TOYT", "HOND", "VW", "", "CHEV"}), year,
              pick({"Camry", "F-150", "Civic", "", "Citro\xEBn", "A Very Long Model 20",
                    " Lead blank", "zeta",
                    "\xC9"
                    "clair",
                    "Model, \"X\""}),
              pick({"ENGN_CYLN", "NOTCLASINF", "CLASSCODE", "BODYSTYLE", ""}),
              pick({"1", "6", "V8", "", "ABC"}), pick({"20240229", "", "19991231", "20000101"}),
              price, pick({"T", "F", ""})}});
    }
}

std::string TVehicleFixture::Csv() const {
    // Columns in another order than the schema, names in lower case.
    const std::vector<std::size_t> order = {9, 0, 4, 2, 1, 3, 8, 7, 6, 5};
    std::string text;
    for (std::size_t c = 0; c < order.size(); ++c) {
        std::string name = FieldNames()[order[c]];
        for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        text += (c ? "," : "") + name;
    }
    text += "\r\n";
    for (const auto& row : m_rows) {
        for (std::size_t c = 0; c < order.size(); ++c)
            text += (c ? "," : "") + CsvValue(row.values[order[c]]);
        text += "\r\n";
    }
    return text;
}

std::string TVehicleFixture::Key(const std::string& tag, std::size_t index) const {
    const auto& v = m_rows[index].values;
    if (tag == "VINTAG") return Pad(v[0], 17).substr(0, 10);
    if (tag == "TYPEMAKEYR") return Str(v[1], 10) + Pad(v[2], 4) + Str(v[3], 2) + Pad(v[4], 20);
    if (tag == "XLATETAG") return Pad(v[5], 10) + Pad(v[6], 3);
    if (tag == "MODELTAG")
        return Pad(UpperText1252(RightTrim(v[4])) + (v[7].empty() ? std::string(8, ' ') : v[7]),
                   28);
    throw std::invalid_argument("no tag " + tag);
}

std::vector<std::pair<std::string, long>> TVehicleFixture::Ordered(const std::string& tag) const {
    std::vector<std::pair<std::string, long>> keys;
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        keys.emplace_back(Key(tag, i), static_cast<long>(i + 1));
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return keys;
}

std::string TVehicleFixture::DumpLines(const std::string& tag) const {
    std::string lines;
    for (const auto& [key, record] : Ordered(tag))
        lines += RightTrim(key) + " " + std::to_string(record) + "\n";
    return lines;
}
