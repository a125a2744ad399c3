// Text helpers. Comparisons are exact and case-sensitive.
#pragma once

#include <string>
#include <string_view>

// Before / after the first occurrence of the separator; the whole text when
// it does not occur (the ...OrEmpty forms give an empty text then).
std::string TextBefore(const std::string& text, const std::string& separator);
std::string TextBeforeOrEmpty(const std::string& text, const std::string& separator);
std::string TextAfter(const std::string& text, const std::string& separator);
std::string TextAfterOrEmpty(const std::string& text, const std::string& separator);

// The text without any character of the set.
std::string RemoveChars(const std::string& text, std::string_view set);

// Every occurrence of the pattern replaced, left to right; inserted text is
// never rescanned. An empty pattern leaves the source as it is.
std::string ReplaceAllText(const std::string& replacement, const std::string& pattern,
                           const std::string& source);

// The text with `c` appended unless it already ends with it.
std::string EnsureEndsWith(const std::string& text, char c);
