// A .dbf table opened read-only for bulk work (building indexes): the header
// checked against the file, the fields, and records read in blocks, so that
// memory stays small however large the table is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Schema.h"

class TDbfImage {
public:
    // Opens the table. Throws EXbaseWrite when it cannot be read or its header
    // does not describe the file (bad lengths, no terminator, too short).
    explicit TDbfImage(const std::string& path);
    ~TDbfImage();
    TDbfImage(const TDbfImage&) = delete;
    TDbfImage& operator=(const TDbfImage&) = delete;

    const std::string& Path() const { return m_path; }
    const std::vector<TFieldDef>& Fields() const { return m_fields; }
    std::uint32_t RecordCount() const { return m_recordCount; }
    std::uint32_t RecordLength() const { return m_recordLength; }
    std::uint8_t TableFlags() const { return m_flags; }
    // The first 32 header bytes as they were at open.
    const std::uint8_t* HeaderStart() const { return m_head; }

    // Reads `count` records from record `first` (counted from 1) into
    // `buffer`, RecordLength() bytes each; byte 0 of a record is its deletion
    // flag. Throws EXbaseWrite when the file has shrunk since it was opened.
    void ReadRecords(std::uint32_t first, std::uint32_t count, std::uint8_t* buffer) const;

private:
    std::string m_path;
    int m_fd = -1;
    std::uint8_t m_flags = 0;
    std::uint8_t m_head[32] = {};
    std::uint32_t m_recordCount = 0;
    std::uint32_t m_headerLength = 0;
    std::uint32_t m_recordLength = 0;
    std::vector<TFieldDef> m_fields;
};
