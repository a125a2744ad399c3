#include "DbfWriter.h"

#include <cctype>
#include <cstring>
#include <ctime>

#include "WriteError.h"

namespace {

void PutLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::string Describe(const TFieldDef& field) {
    std::string text = field.name + " (" + field.type;
    if (field.type == 'C' || field.type == 'N') text += " " + std::to_string(field.length);
    if (field.type == 'N') text += " " + std::to_string(field.decimals);
    return text + ")";
}

[[noreturn]] void Reject(const TFieldDef& field, std::string_view value, const std::string& why) {
    throw EXbaseWrite("field " + Describe(field) + ": value '" + std::string(value) + "' " + why);
}

void StoreNumber(const TFieldDef& field, std::string_view raw, std::uint8_t* target) {
    std::string_view text = TrimBlanks(raw);
    std::memset(target, ' ', field.length);
    if (text.empty()) return;
    std::size_t i = 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    std::size_t wholeStart = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    std::string_view whole = text.substr(wholeStart, i - wholeStart);
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        std::size_t start = ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        fraction = text.substr(start, i - start);
    }
    if (i != text.size() || (whole.empty() && fraction.empty()))
        Reject(field, raw, "is not a number");
    while (fraction.size() > field.decimals && fraction.back() == '0') fraction.remove_suffix(1);
    if (fraction.size() > field.decimals)
        Reject(field, raw, "has more decimal places than the field holds");
    while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
    bool zero = whole.find_first_not_of('0') == std::string_view::npos &&
                fraction.find_first_not_of('0') == std::string_view::npos;
    std::string result = negative && !zero ? "-" : "";
    result += whole.empty() ? std::string_view("0") : whole;
    if (field.decimals > 0) {
        result += '.';
        result += fraction;
        result.append(field.decimals - fraction.size(), '0');
    }
    if (result.size() > field.length) Reject(field, raw, "does not fit the field");
    std::memcpy(target + field.length - result.size(), result.data(), result.size());
}

bool IsCalendarDate(int year, int month, int day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

void StoreDate(const TFieldDef& field, std::string_view raw, std::uint8_t* target) {
    std::string_view text = TrimBlanks(raw);
    std::memset(target, ' ', field.length);
    if (text.empty()) return;
    bool digits = text.size() == 8;
    for (char c : text) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (!digits) Reject(field, raw, "is not a date written yyyymmdd");
    auto number = [&](std::size_t from, std::size_t count) {
        int value = 0;
        for (std::size_t k = from; k < from + count; ++k) value = value * 10 + (text[k] - '0');
        return value;
    };
    if (!IsCalendarDate(number(0, 4), number(4, 2), number(6, 2)))
        Reject(field, raw, "is not a calendar date");
    std::memcpy(target, text.data(), 8);
}

void StoreLogical(const TFieldDef& field, std::string_view raw, std::uint8_t* target) {
    std::string text = ToUpperAscii(TrimBlanks(raw));
    if (text.size() == 3 && text.front() == '.' && text.back() == '.') text = text.substr(1, 1);
    if (text.empty() || text == "?") {
        *target = ' ';
    } else if (text == "T" || text == "Y") {
        *target = 'T';
    } else if (text == "F" || text == "N") {
        *target = 'F';
    } else {
        Reject(field, raw, "is not a logical value (T, F, Y, N or blank)");
    }
}

}  // namespace

void StoreFieldValue(const TFieldDef& field, std::string_view value, std::uint8_t* target) {
    switch (field.type) {
        case 'C': {
            std::size_t used = value.size();
            while (used > field.length && value[used - 1] == ' ') --used;
            if (used > field.length)
                Reject(field, value, "is " + std::to_string(used) + " bytes, wider than the field");
            std::memcpy(target, value.data(), used);
            std::memset(target + used, ' ', field.length - used);
            break;
        }
        case 'N':
            StoreNumber(field, value, target);
            break;
        case 'D':
            StoreDate(field, value, target);
            break;
        case 'L':
            StoreLogical(field, value, target);
            break;
        default:
            throw EXbaseWrite("field " + field.name + ": type '" + std::string(1, field.type) +
                              "' cannot be written");
    }
}

TDbfWriter::TDbfWriter(TFileOut& out, const std::vector<TFieldDef>& fields, bool hasIndex)
    : m_out(out), m_fields(fields) {
    AssignOffsets(m_fields);
    std::uint32_t recordLength = 1;
    for (const auto& field : m_fields) recordLength += field.length;
    std::uint32_t headerLength =
        static_cast<std::uint32_t>(32 + 32 * m_fields.size() + 1 + kBacklinkSize);

    std::vector<std::uint8_t> header(headerLength, 0);
    std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    header[0] = kVersion;
    header[1] = static_cast<std::uint8_t>(today.tm_year % 256);
    header[2] = static_cast<std::uint8_t>(today.tm_mon + 1);
    header[3] = static_cast<std::uint8_t>(today.tm_mday);
    PutLe32(&header[4], 0);
    PutLe16(&header[8], headerLength);
    PutLe16(&header[10], recordLength);
    header[28] = hasIndex ? kFlagHasIndex : 0;
    header[29] = kCodePage1252;
    std::uint8_t* d = &header[32];
    for (const auto& field : m_fields) {
        std::memcpy(d, field.name.data(), std::min<std::size_t>(field.name.size(), 10));
        d[11] = static_cast<std::uint8_t>(field.type);
        PutLe32(d + 12, field.offset);
        d[16] = field.length;
        d[17] = field.decimals;
        d += 32;
    }
    *d = 0x0D;
    m_out.Write(header.data(), header.size());
    m_record.resize(recordLength);
}

void TDbfWriter::AddRecord(const std::vector<std::string_view>& values) {
    if (values.size() != m_fields.size())
        throw EXbaseWrite(std::to_string(values.size()) + " values for " +
                          std::to_string(m_fields.size()) + " fields");
    if (m_count == UINT32_MAX) throw EXbaseWrite("too many records for one table");
    m_record[0] = ' ';
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        StoreFieldValue(m_fields[i], values[i], &m_record[m_fields[i].offset]);
    m_out.Write(m_record.data(), m_record.size());
    for (std::uint8_t byte : m_record) m_stamp = (m_stamp ^ byte) * 0x100000001B3ull;  // FNV-1a
    ++m_count;
}

void TDbfWriter::Finish() {
    std::uint8_t count[4];
    PutLe32(count, m_count);
    m_out.WriteAt(4, count, 4);
    // The stamp ties an index built from these records to them (see
    // XB_PAIR_MARK); the bytes are reserved, other readers skip them.
    std::uint8_t stamp[8];
    for (int i = 0; i < 8; ++i) stamp[i] = static_cast<std::uint8_t>(m_stamp >> (8 * i));
    m_out.WriteAt(kStampAt, stamp, sizeof stamp);
    const std::uint8_t eof = 0x1A;
    m_out.Write(&eof, 1);
}
