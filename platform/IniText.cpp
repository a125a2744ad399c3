#include "platform/IniText.h"

#include <strings.h>

namespace platform {

bool SameTextNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string TrimBlanks(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return std::string(text.substr(b, e - b));
}

namespace {

IniText::Line ParseLine(std::string_view raw) {
    IniText::Line line;
    line.text = std::string(raw);
    const std::string trimmed = TrimBlanks(raw);
    if (trimmed.empty() || trimmed[0] == ';') return line;
    if (trimmed[0] == '[') {
        const auto close = trimmed.find(']');
        if (close == std::string::npos) return line;
        line.kind = IniText::LineKind::Section;
        line.name = TrimBlanks(std::string_view(trimmed).substr(1, close - 1));
        return line;
    }
    const auto eq = trimmed.find('=');
    if (eq == std::string::npos) return line;
    line.kind = IniText::LineKind::Value;
    line.name = TrimBlanks(std::string_view(trimmed).substr(0, eq));
    std::string value = TrimBlanks(std::string_view(trimmed).substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    line.value = std::move(value);
    return line;
}

}  // namespace

std::string IniText::SingleLine(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return s;
}

IniText IniText::Parse(std::string_view text) {
    IniText ini;
    size_t start = 0;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        ini.m_byteOrderMark = true;
        start = kByteOrderMark.size();
    }
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        ini.m_lines.push_back(ParseLine(text.substr(start, end - start)));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return ini;
}

size_t IniText::FindSection(std::string_view section) const {
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].kind == LineKind::Section && SameTextNoCase(m_lines[i].name, section))
            return i;
    return npos;
}

size_t IniText::SectionEnd(size_t sectionLine) const {
    size_t i = sectionLine + 1;
    while (i < m_lines.size() && m_lines[i].kind != LineKind::Section) ++i;
    return i;
}

size_t IniText::FindKey(size_t sectionLine, std::string_view key) const {
    const size_t end = SectionEnd(sectionLine);
    for (size_t i = sectionLine + 1; i < end; ++i)
        if (m_lines[i].kind == LineKind::Value && SameTextNoCase(m_lines[i].name, key)) return i;
    return npos;
}

std::optional<std::string> IniText::Get(std::string_view section, std::string_view key) const {
    const size_t s = FindSection(section);
    if (s == npos) return std::nullopt;
    const size_t k = FindKey(s, key);
    if (k == npos) return std::nullopt;
    return m_lines[k].value;
}

bool IniText::HasSection(std::string_view section) const { return FindSection(section) != npos; }

void IniText::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sec = TrimBlanks(SingleLine(section));
    const std::string k = TrimBlanks(SingleLine(key));
    const std::string v = SingleLine(value);
    Line line = ParseLine(k + "=" + v);
    size_t s = FindSection(sec);
    if (s == npos) {
        // Keep a blank line between the old last section and the new one.
        if (!m_lines.empty() && !TrimBlanks(m_lines.back().text).empty())
            m_lines.push_back(ParseLine(""));
        m_lines.push_back(ParseLine("[" + sec + "]"));
        m_lines.push_back(std::move(line));
        return;
    }
    if (const size_t existing = FindKey(s, k); existing != npos) {
        m_lines[existing] = std::move(line);
        return;
    }
    // After the section's last value line, so trailing blank lines stay
    // between this section and the next.
    size_t insertAt = s + 1;
    const size_t end = SectionEnd(s);
    for (size_t i = s + 1; i < end; ++i)
        if (m_lines[i].kind == LineKind::Value) insertAt = i + 1;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
}

bool IniText::EraseKey(std::string_view section, std::string_view key) {
    const size_t s = FindSection(section);
    if (s == npos) return false;
    const size_t k = FindKey(s, key);
    if (k == npos) return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(k));
    return true;
}

bool IniText::EraseSection(std::string_view section) {
    const size_t s = FindSection(section);
    if (s == npos) return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(s),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(s)));
    return true;
}

std::vector<std::string> IniText::Sections() const {
    std::vector<std::string> out;
    for (const auto& l : m_lines)
        if (l.kind == LineKind::Section) out.push_back(l.name);
    return out;
}

std::vector<std::string> IniText::Keys(std::string_view section) const {
    std::vector<std::string> out;
    const size_t s = FindSection(section);
    if (s == npos) return out;
    const size_t end = SectionEnd(s);
    for (size_t i = s + 1; i < end; ++i)
        if (m_lines[i].kind == LineKind::Value) out.push_back(m_lines[i].name);
    return out;
}

std::string IniText::Text() const {
    std::string out = m_byteOrderMark ? std::string(kByteOrderMark) : std::string();
    for (const auto& l : m_lines) {
        out += l.text;
        out += "\r\n";
    }
    return out;
}

}  // namespace platform
