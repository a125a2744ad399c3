// The text rules shared above the platform: what a blank is when trimming, and
// comparing names without regard to letter case. Every layer that links the
// platform trims and compares with these.
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"

namespace platform {

// Equal texts, ASCII letters compared without regard to case (a name rule:
// section and key names, file names).
PLATFORM_API bool SameTextNoCase(std::string_view a, std::string_view b);
// The text without leading and trailing blanks and control characters (every
// byte up to ' ').
PLATFORM_API std::string TrimBlanks(std::string_view text);

}  // namespace platform
