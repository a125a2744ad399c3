#include "Schema.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "WriteError.h"

namespace {

constexpr std::uint32_t kMaxRecordLength = 65535;
constexpr std::size_t kMaxFields = 255;

std::vector<std::string_view> SplitWords(std::string_view line, std::size_t maxWords) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i >= line.size()) break;
        if (words.size() + 1 == maxWords) {
            std::size_t end = line.size();
            while (end > i && std::isspace(static_cast<unsigned char>(line[end - 1]))) --end;
            words.push_back(line.substr(i, end - i));
            break;
        }
        std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool ParseSmallNumber(std::string_view text, int& value) {
    if (text.empty() || text.size() > 5) return false;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size() && value >= 0;
}

class TSchemaParser {
public:
    TSchemaParser(const std::string& source) : m_source(source) {}

    TSchema Parse(std::string_view text) {
        std::size_t pos = 0;
        while (pos <= text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) end = text.size();
            std::string_view line = text.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            ++m_line;
            ParseLine(line);
            pos = end + 1;
        }
        AssignOffsets(m_schema.fields);
        std::uint32_t length = 1;
        for (const auto& field : m_schema.fields) length += field.length;
        if (length > kMaxRecordLength)
            Fail(0, "the record is " + std::to_string(length) + " bytes long; at most " +
                        std::to_string(kMaxRecordLength) + " fit");
        return std::move(m_schema);
    }

private:
    [[noreturn]] void Fail(int line, const std::string& message) const {
        std::string where = m_source;
        if (line > 0) where += ":" + std::to_string(line);
        throw EXbaseWrite(where + ": " + message);
    }

    void ParseLine(std::string_view line) {
        auto words = SplitWords(line, 3);
        if (words.empty() || words[0][0] == '#') return;
        std::string keyword = ToUpperAscii(words[0]);
        if (keyword == "FIELD") {
            ParseField(SplitWords(line, 0));
        } else if (keyword == "TAG" || keyword == "UNIQUE") {
            if (words.size() < 3)
                Fail(m_line, "expected '" + std::string(words[0]) + " NAME EXPRESSION'");
            ParseTag(words[1], words[2], keyword == "UNIQUE");
        } else {
            Fail(m_line, "unknown statement '" + std::string(words[0]) +
                             "' (expected 'field', 'tag' or 'unique')");
        }
    }

    std::string CheckName(std::string_view name, const char* what) const {
        if (!IsValidName(name))
            Fail(m_line, std::string("invalid ") + what + " name '" + std::string(name) +
                             "' (1 to 10 letters, digits or '_', starting with a letter)");
        return ToUpperAscii(name);
    }

    void ParseField(const std::vector<std::string_view>& words) {
        if (words.size() < 3) Fail(m_line, "expected 'field NAME TYPE [LENGTH [DECIMALS]]'");
        TFieldDef field;
        field.name = CheckName(words[1], "field");
        for (const auto& other : m_schema.fields) {
            if (other.name == field.name) Fail(m_line, "field " + field.name + " is defined twice");
        }
        if (m_schema.fields.size() == kMaxFields)
            Fail(m_line, "more than " + std::to_string(kMaxFields) + " fields");
        std::string type = ToUpperAscii(words[2]);
        if (type.size() != 1 || std::strchr("CNDL", type[0]) == nullptr)
            Fail(m_line, "field " + field.name + ": type '" + std::string(words[2]) +
                             "' is not supported (C, N, D or L)");
        field.type = type[0];
        std::vector<int> numbers;
        for (std::size_t i = 3; i < words.size(); ++i) {
            int value = 0;
            if (!ParseSmallNumber(words[i], value))
                Fail(m_line, "field " + field.name + ": '" + std::string(words[i]) +
                                 "' is not a length or decimal count");
            numbers.push_back(value);
        }
        std::string what = "field " + field.name + " (" + type + "): ";
        switch (field.type) {
            case 'C':
                if (numbers.empty()) Fail(m_line, what + "a length is required");
                if (numbers.size() > 2 || (numbers.size() == 2 && numbers[1] != 0))
                    Fail(m_line, what + "takes only a length");
                if (numbers[0] < 1 || numbers[0] > 254)
                    Fail(m_line, what + "length must be 1 to 254");
                field.length = static_cast<std::uint8_t>(numbers[0]);
                break;
            case 'N':
                if (numbers.empty()) Fail(m_line, what + "a length is required");
                if (numbers.size() > 2) Fail(m_line, what + "takes a length and decimals");
                if (numbers[0] < 1 || numbers[0] > 20)
                    Fail(m_line, what + "length must be 1 to 20");
                field.length = static_cast<std::uint8_t>(numbers[0]);
                if (numbers.size() == 2) {
                    if (numbers[1] > 15 || (numbers[1] > 0 && numbers[1] > numbers[0] - 2))
                        Fail(m_line, what + "decimals must be 0 to 15 and at most length - 2");
                    field.decimals = static_cast<std::uint8_t>(numbers[1]);
                }
                break;
            case 'D':
                if (!numbers.empty() && (numbers.size() > 1 || numbers[0] != 8))
                    Fail(m_line, what + "a date is always 8 bytes");
                field.length = 8;
                break;
            case 'L':
                if (!numbers.empty() && (numbers.size() > 1 || numbers[0] != 1))
                    Fail(m_line, what + "a logical is always 1 byte");
                field.length = 1;
                break;
        }
        m_schema.fields.push_back(field);
    }

    void ParseTag(std::string_view name, std::string_view expression, bool unique) {
        TTagDef tag;
        tag.unique = unique;
        tag.name = CheckName(name, "tag");
        for (const auto& other : m_schema.tags) {
            if (other.name == tag.name) Fail(m_line, "tag " + tag.name + " is defined twice");
        }
        tag.expression = std::string(expression);
        tag.line = m_line;
        m_schema.tags.push_back(tag);
    }

    const std::string& m_source;
    int m_line = 0;
    TSchema m_schema;
};

}  // namespace

void AssignOffsets(std::vector<TFieldDef>& fields) {
    std::uint32_t offset = 1;
    for (auto& field : fields) {
        field.offset = offset;
        offset += field.length;
    }
}

bool IsValidName(std::string_view name) {
    if (name.empty() || name.size() > 10) return false;
    if (!std::isalpha(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

std::string ToUpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

std::string ReadWholeFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EXbaseWrite("Cannot open '" + path + "': " + std::strerror(errno));
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        throw EXbaseWrite("Cannot read '" + path + "': not a regular file");
    }
    std::string text;
    char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int error = errno;
            close(fd);
            throw EXbaseWrite("Cannot read '" + path + "': " + std::strerror(error));
        }
        if (n == 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

TSchema ParseSchema(std::string_view text, const std::string& source) {
    return TSchemaParser(source).Parse(text);
}

TSchema LoadSchema(const std::string& path) {
    return ParseSchema(ReadWholeFile(path), path);
}
