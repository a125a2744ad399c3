// Writes a .dbf table in the Visual FoxPro layout (version byte 0x30, an empty
// 263-byte database backlink after the field list, code page Windows-1252),
// record by record, through a TFileOut.
//
// Values are given as text and stored by field type:
//   C  the bytes, left-aligned and blank-padded; blanks past the width are
//      dropped, anything else past it is an error
//   N  [+-]digits[.digits], right-aligned with exactly the field's decimals;
//      surrounding blanks are ignored and a blank value stays blank
//   D  yyyymmdd (a real calendar date) or blank
//   L  T, Y, .T. for true; F, N, .F. for false (any case); blank or ? unknown
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FileOut.h"
#include "Schema.h"

class TDbfWriter {
public:
    // Writes the header at once. `hasIndex` sets the table flag that tells
    // readers a production index (.cdx) belongs to the table.
    TDbfWriter(TFileOut& out, const std::vector<TFieldDef>& fields, bool hasIndex);

    // Appends a record; values in field order. Throws EXbaseWrite naming the
    // field when a value does not fit its type (the caller adds the line).
    void AddRecord(const std::vector<std::string_view>& values);

    // Fills in the record count and the contents stamp (header bytes 20-27,
    // a hash of every record's bytes) and writes the end-of-file mark.
    void Finish();

    std::uint32_t RecordCount() const { return m_count; }

    static constexpr std::uint8_t kVersion = 0x30;
    static constexpr std::uint8_t kFlagHasIndex = 0x01;
    static constexpr std::uint8_t kCodePage1252 = 0x03;
    static constexpr std::size_t kBacklinkSize = 263;
    static constexpr std::size_t kStampAt = 20;

private:
    TFileOut& m_out;
    std::vector<TFieldDef> m_fields;
    std::vector<std::uint8_t> m_record;
    std::uint32_t m_count = 0;
    std::uint64_t m_stamp = 0xCBF29CE484222325ull;
};

// Converts one value into exactly field.length bytes at `target`; throws
// EXbaseWrite with a message that begins with the field name.
void StoreFieldValue(const TFieldDef& field, std::string_view value, std::uint8_t* target);
