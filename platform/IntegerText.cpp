#include "platform/IntegerText.h"

namespace platform {

std::optional<int32_t> ParseIntegerText(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) return std::nullopt;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    int64_t result;
    if (hex) {
        result = static_cast<int32_t>(static_cast<uint32_t>(value));
    } else {
        if (value > (negative ? 2147483648ull : 2147483647ull)) return std::nullopt;
        result = static_cast<int64_t>(value);
    }
    if (negative) result = -result;
    if (result < INT32_MIN || result > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(result);
}

}  // namespace platform
