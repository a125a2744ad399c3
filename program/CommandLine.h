// The host's command line: the switches "/VIN", "/YEAR", "/MAKE", "/MODEL"
// and "/EFFECTIVE", each written with "=" and its value in one argument.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "yarvel.h"

struct TCommandLineReading {
    // 0 without arguments; otherwise 1 plus one per stored "/VIN", "/YEAR",
    // "/MAKE" or "/MODEL" (stopping at 255 rather than wrapping to 0, which
    // would make a long command line look like none). Only whether it is
    // zero matters to the caller.
    uint8_t ParametersFound = 0;
    // A "/VIN" with a non-empty value was read.
    bool VinGiven = false;
};

// Reads every argument (the program's name not among them) into the
// record: name := the text before the first "=" (all of it without one),
// ASCII letters upper-cased, trimmed of blanks and control characters;
// value := the argument with every double quote removed, then the text after
// its first "=" (all of it without one), trimmed alike. Empty values are
// ignored, other names too; a later switch overwrites an earlier one.
// "/MAKE", "/MODEL" and "/VIN" keep their text; "/YEAR" is converted as an
// integer and raises EConvertError "'%s' is not a valid integer value" (the
// log entry is then not written); "/EFFECTIVE" is read in the short date
// format and silently becomes the current date and time when unreadable.
// With at least one argument, `log` receives one entry listing every name
// and value. Throws std::bad_alloc when memory runs out.
TCommandLineReading ReadCommandLine(const std::vector<std::string>& arguments, TVinRecord& record,
                                    const std::function<void(const std::string&)>& log);

// The whole command line as the host could run it again: the program's path
// and each argument separated by blanks, an argument that holds a blank or a
// double quote written in double quotes (its own quotes as \"); trimmed.
std::string WholeCommandLine(const std::vector<std::string>& argv);
