// The text of an ini file, parsed line by line with the profile-file rules:
// "[section]" lines open a section, "key=value" lines inside a section hold a
// value, everything else (comments, blank lines, lines before the first
// section) is kept as it stands. Sections and keys compare without regard to
// letter case; the first occurrence wins. Keys and values are read trimmed of
// blanks, and a value enclosed in a matching pair of quotes loses them. A
// UTF-8 byte-order mark before the first line is no part of it, and Text()
// gives it back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Export.h"
#include "platform/Text.h"

namespace platform {

class PLATFORM_API IniText {
public:
    enum class LineKind { Other, Section, Value };
    struct Line {
        LineKind kind = LineKind::Other;
        std::string text;     // the line as it stands in the file (no line break)
        std::string name;     // section name, or key of a value line
        std::string value;    // value of a value line, trimmed and unquoted
    };

    // Lines end at CR LF, LF or CR.
    static IniText Parse(std::string_view text);

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    bool HasSection(std::string_view section) const;

    // Changes the key's line in place, or adds it at the end of the section,
    // or adds the section at the end of the file. Carriage returns and line
    // feeds in section, key or value become blanks: a value can never start a
    // line of its own.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    bool EraseKey(std::string_view section, std::string_view key);
    // Removes the section line and every line up to the next section.
    bool EraseSection(std::string_view section);

    std::vector<std::string> Sections() const;                         // file order
    std::vector<std::string> Keys(std::string_view section) const;     // file order
    const std::vector<Line>& Lines() const { return m_lines; }

    // The text with CR LF after every line.
    std::string Text() const;

    // Blanks for CR and LF.
    static std::string SingleLine(std::string_view text);

private:
    // [first line, end line) of the section's body; npos when absent.
    static constexpr size_t npos = static_cast<size_t>(-1);
    size_t FindSection(std::string_view section) const;
    size_t SectionEnd(size_t sectionLine) const;
    size_t FindKey(size_t sectionLine, std::string_view key) const;

    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::vector<Line> m_lines;
    bool m_byteOrderMark = false;
};

}  // namespace platform
