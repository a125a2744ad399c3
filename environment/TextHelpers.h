// Text helpers. Comparisons are exact and case-sensitive; UpperChar1252 is the
// one letter-case rule of the tables' text.
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

// Windows-1252 upper case of one byte: a-z, the accented small letters
// 0xE0-0xFE (not the division sign 0xF7) and the four scattered pairs
// 0x9A, 0x9C, 0x9E, 0xFF -> 0x8A, 0x8C, 0x8E, 0x9F; every other byte is its
// own upper case. The index keys UPPER() writes and the keys the engine seeks
// with are both made with it, so the two always agree.
constexpr unsigned char UpperChar1252(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
        case 0x9A:
            return 0x8A;
        case 0x9C:
            return 0x8C;
        case 0x9E:
            return 0x8E;
        case 0xFF:
            return 0x9F;
        default:
            return c;
    }
}

// The text with every byte from `from` on upper-cased by UpperChar1252.
std::string UpperText1252(std::string text, std::string::size_type from = 0);
