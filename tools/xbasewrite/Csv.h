// Comma-separated values as RFC 4180 writes them: fields separated by commas,
// records by CRLF or LF; a field in double quotes may hold commas, line breaks
// and quotes written twice. Empty lines are skipped (a record with one empty
// field is written ""). Bytes are taken as they are (Windows-1252 text).
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TCsvReader {
public:
    // `source` names the text in messages. The text must outlive the reader.
    TCsvReader(std::string_view text, std::string source);

    // Reads the next record into `fields`; false at the end of the text.
    // Throws EXbaseWrite "SOURCE:LINE: ..." for a malformed record.
    bool Next(std::vector<std::string>& fields);

    // The line the record read last begins on, counted from 1.
    int Line() const { return m_recordLine; }

private:
    [[noreturn]] void Fail(int line, const std::string& message) const;

    std::string_view m_text;
    std::string m_source;
    std::size_t m_pos = 0;
    int m_line = 1;
    int m_recordLine = 0;
};
