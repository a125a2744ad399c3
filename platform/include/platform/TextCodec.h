// The system keeps text as 8-bit Windows-1252 below the user interface.
// These two convert at the edges (the XML layer, the Qt layer).
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"

namespace platform {

PLATFORM_API std::string AnsiToUtf8(std::string_view ansi);
// Characters Windows-1252 cannot hold become "?".
PLATFORM_API std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace platform
