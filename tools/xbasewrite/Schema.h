// Table definitions: the fields of a .dbf table and the tags of its .cdx.
//
// Schema text, one statement per line (blank lines and lines starting with
// '#' are ignored; keywords and type letters in any case):
//     field NAME C LEN          character, LEN 1..254
//     field NAME N LEN [DEC]    number, LEN 1..20, DEC 0..15 and at most LEN-2
//     field NAME D              date (8 bytes, yyyymmdd)
//     field NAME L              logical (1 byte)
//     tag NAME EXPRESSION       EXPRESSION is the rest of the line
//     unique NAME EXPRESSION    a tag holding only the first record of each key
// Names are 1..10 letters, digits and '_', starting with a letter; they are
// stored in upper case and must be unique (fields among fields, tags among
// tags). Fields are laid out in the order given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TFieldDef {
    std::string name;         // upper case
    char type = 'C';          // 'C', 'N', 'D' or 'L' (a read table may hold others)
    std::uint8_t length = 0;  // bytes in the record
    std::uint8_t decimals = 0;
    std::uint32_t offset = 0;  // from the start of the record; the deletion flag is byte 0
};

struct TTagDef {
    std::string name;        // upper case
    std::string expression;  // as written
    bool unique = false;     // only the first record (lowest number) of each key
    int line = 0;            // schema line, 0 when not from a schema
};

struct TSchema {
    std::vector<TFieldDef> fields;  // offsets filled in
    std::vector<TTagDef> tags;
};

// Sets each field's offset from the lengths of the fields before it.
void AssignOffsets(std::vector<TFieldDef>& fields);

// Parses schema text; `source` names it in messages ("FILE:LINE: ..."). Field
// definitions are checked; tag expressions are only stored (they are checked
// against the table they index, see TKeyExpression). Throws EXbaseWrite.
TSchema ParseSchema(std::string_view text, const std::string& source);

// Reads and parses a schema file. Throws EXbaseWrite.
TSchema LoadSchema(const std::string& path);

// True for a valid field or tag name: 1..10 of [A-Za-z0-9_], a letter first.
bool IsValidName(std::string_view name);

std::string ToUpperAscii(std::string_view text);

// Reads a whole file. Throws EXbaseWrite naming the file.
std::string ReadWholeFile(const std::string& path);
