// Day-count dates and the short date format.
//
// A date crosses the engine boundary and lives in the vehicle record as a day
// count: days since 30 December 1899 in the integer part, the time of day as
// the fraction (before that day the integer part is negative and the fraction
// still counts forward from midnight).
//
// Date formats use the notation of the original platform's locale settings:
// "d" / "dd" day, "M" / "MM" month (lower-case "m" is read as month too, as
// old settings wrote it), "ddd" / "dddd" and "MMM" / "MMMM" English names,
// any run of "y" the four-digit year (a two-digit year is always widened),
// text in single quotes literal ("''" a quote), every other character literal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct TDateParts {
    int Year = 0;
    int Month = 0;  // 1..12
    int Day = 0;    // 1..31
};

// The day count of a calendar date; nothing for a date that does not exist
// or lies outside the years 1 to 9999.
std::optional<double> EncodeDate(int year, int month, int day);

// The calendar date of a day count; nothing for a value that is not finite
// or lies outside the years 1 to 9999.
std::optional<TDateParts> DecodeDate(double dayCount);

// The current local date and time as a day count.
double NowDayCount();

// The date part of the day count in the format; empty when the value has no
// calendar date (DecodeDate).
std::string FormatDateText(double dayCount, std::string_view format);

// Reads a date written in the format's field order: day and month with one or
// two digits, the year with four (two digits fall within 50 years of the
// current year), separated by characters other than digits and letters.
// Nothing when the text does not hold exactly such a date.
std::optional<double> ParseDateText(std::string_view text, std::string_view format);
