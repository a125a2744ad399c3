#include "Csv.h"

#include "WriteError.h"

TCsvReader::TCsvReader(std::string_view text, std::string source)
    : m_text(text), m_source(std::move(source)) {
    if (m_text.substr(0, 3) == "\xEF\xBB\xBF")
        Fail(1, "the file starts with a UTF-8 byte-order mark; tables hold Windows-1252 text");
}

void TCsvReader::Fail(int line, const std::string& message) const {
    throw EXbaseWrite(m_source + ":" + std::to_string(line) + ": " + message);
}

bool TCsvReader::Next(std::vector<std::string>& fields) {
    fields.clear();
    // Skip empty lines.
    for (;;) {
        if (m_pos >= m_text.size()) return false;
        if (m_text[m_pos] == '\n') {
            ++m_pos;
            ++m_line;
        } else if (m_text.compare(m_pos, 2, "\r\n") == 0) {
            m_pos += 2;
            ++m_line;
        } else {
            break;
        }
    }
    m_recordLine = m_line;
    std::string field;
    for (;;) {
        field.clear();
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            int startLine = m_line;
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size())
                    Fail(startLine, "a quoted field is not closed before the end of the file");
                char c = m_text[m_pos++];
                if (c == '"') {
                    if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                        field += '"';
                        ++m_pos;
                        continue;
                    }
                    break;
                }
                if (c == '\n') ++m_line;
                field += c;
            }
            bool atEnd = m_pos >= m_text.size() || m_text[m_pos] == ',' || m_text[m_pos] == '\n' ||
                         m_text.compare(m_pos, 2, "\r\n") == 0;
            if (!atEnd) Fail(m_line, "unexpected text after a closing quote");
        } else {
            std::size_t start = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] != ',' && m_text[m_pos] != '\n') {
                if (m_text[m_pos] == '"')
                    Fail(m_line, "a quote inside an unquoted field (quote the whole field)");
                ++m_pos;
            }
            std::size_t end = m_pos;
            if (end > start && m_text[end - 1] == '\r' &&
                (end == m_text.size() || m_text[end] == '\n'))
                --end;
            field.assign(m_text.substr(start, end - start));
        }
        fields.push_back(field);
        if (m_pos >= m_text.size()) return true;
        char separator = m_text[m_pos];
        if (separator == ',') {
            ++m_pos;
            continue;
        }
        if (separator == '\r') ++m_pos;
        ++m_pos;  // the line feed
        ++m_line;
        return true;
    }
}
