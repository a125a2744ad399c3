#include "TextHelpers.h"

namespace {

// An empty separator "occurs" at position 0, as a plain substring search finds it.
std::string::size_type Find(const std::string& text, const std::string& separator) {
    return text.find(separator);
}

}  // namespace

std::string TextBefore(const std::string& text, const std::string& separator) {
    const auto pos = Find(text, separator);
    return pos == std::string::npos ? text : text.substr(0, pos);
}

std::string TextBeforeOrEmpty(const std::string& text, const std::string& separator) {
    const auto pos = Find(text, separator);
    return pos == std::string::npos ? std::string() : text.substr(0, pos);
}

std::string TextAfter(const std::string& text, const std::string& separator) {
    const auto pos = Find(text, separator);
    return pos == std::string::npos ? text : text.substr(pos + separator.size());
}

std::string TextAfterOrEmpty(const std::string& text, const std::string& separator) {
    const auto pos = Find(text, separator);
    return pos == std::string::npos ? std::string() : text.substr(pos + separator.size());
}

std::string RemoveChars(const std::string& text, std::string_view set) {
    if (set.empty()) return text;
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (set.find(c) == std::string_view::npos) out += c;
    return out;
}

std::string ReplaceAllText(const std::string& replacement, const std::string& pattern,
                           const std::string& source) {
    if (pattern.empty()) return source;
    std::string out;
    std::string::size_type start = 0;
    for (auto pos = source.find(pattern); pos != std::string::npos;
         pos = source.find(pattern, start)) {
        out.append(source, start, pos - start);
        out += replacement;
        start = pos + pattern.size();
    }
    out.append(source, start, std::string::npos);
    return out;
}

std::string EnsureEndsWith(const std::string& text, char c) {
    if (!text.empty() && text.back() == c) return text;
    return text + c;
}

std::string UpperText1252(std::string text, std::string::size_type from) {
    for (auto i = from; i < text.size(); ++i)
        text[i] = static_cast<char>(UpperChar1252(static_cast<unsigned char>(text[i])));
    return text;
}
