// Builders for small tables and compound indexes written byte by byte, so
// that tests control every field of the format (and can damage any of it),
// plus a temporary folder. Independent of the engine under test.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace xbtest {

struct FieldDef {
    std::string name;
    char type = 'C';
    int length = 10;
    int decimals = 0;
};

struct TableDef {
    uint8_t version = 0x03;
    uint8_t flags = 0;  // byte 28; 0x01 announces a structural index
    std::vector<FieldDef> fields;
    // Each record's field bytes, blank-padded (or cut) to the field width.
    std::vector<std::vector<std::string>> records;
    std::vector<uint32_t> deleted;  // record numbers marked "*"
};

std::string DbfBytes(const TableDef& def);

struct TagDef {
    std::string name;
    std::string expr;
    std::string filter;
    int keyLength = 10;
    bool binaryKeys = false;  // trailing bytes are NULs instead of blanks
    bool unique = false;
    bool descending = false;
    std::string collation;  // empty: machine order
    // Keys (padded to keyLength with the fill byte) and record numbers, in
    // any order: the builder sorts them by key, then record number.
    std::vector<std::pair<std::string, uint32_t>> entries;
    // Small limits force deep trees from few keys.
    int maxPerLeaf = 1000;
    int maxPerInterior = 1000;
};

inline TagDef Tag(std::string name, std::string expr, int keyLength) {
    TagDef tag;
    tag.name = std::move(name);
    tag.expr = std::move(expr);
    tag.keyLength = keyLength;
    return tag;
}

// Where each tag's pages went: levels[0] are the leaves, left to right, the
// last level holds the root alone.
struct TagLayout {
    uint32_t header = 0;
    uint32_t root = 0;
    std::vector<std::vector<uint32_t>> levels;
};

struct CdxImage {
    std::string bytes;
    uint32_t directoryRoot = 0;
    std::vector<TagLayout> tags;  // in the order given
};

CdxImage CdxBytes(const std::vector<TagDef>& tags);

// Little helpers for damaging images in place.
void PutLe16(std::string& bytes, size_t at, uint16_t value);
void PutLe32(std::string& bytes, size_t at, uint32_t value);
void PutBe32(std::string& bytes, size_t at, uint32_t value);
uint32_t GetLe32(const std::string& bytes, size_t at);

// A fresh folder below the temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Folder with a trailing separator.
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + name; }
    void Write(const std::string& name, const std::string& bytes) const;

private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& path);

}  // namespace xbtest
