// The integer text syntax of the system's configuration and input: leading
// spaces, an optional sign, decimal digits or a hexadecimal form introduced
// by "$", "x" or "0x" (any letter case). Nothing may follow the digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/Export.h"

namespace platform {

// The value, or nothing when the text does not follow the syntax or does not
// fit 32 bits. Hexadecimal forms take up to 32 bits and are read as the
// two's-complement value ("$FFFFFFFF" is -1).
PLATFORM_API std::optional<int32_t> ParseIntegerText(std::string_view text);

}  // namespace platform
