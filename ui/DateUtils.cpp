#include "DateUtils.h"

#include <sys/time.h>
#include <cmath>
#include <ctime>
#include <vector>

namespace {

// Days from 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

TDateParts CivilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

// 30 December 1899, day 0 of the day count.
const long long kDayCountEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

const char* const kMonthNames[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

bool IsMonthLetter(char c) {
    return c == 'M' || c == 'm';
}

std::string TwoDigits(int n) {
    std::string s = std::to_string(n);
    return s.size() < 2 ? "0" + s : s;
}

std::string FourDigits(int n) {
    std::string s = std::to_string(n);
    while (s.size() < 4) s.insert(s.begin(), '0');
    return s;
}

int CurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

}  // namespace

std::optional<double> EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12) return std::nullopt;
    if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    return static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        kDayCountEpoch);
}

std::optional<TDateParts> DecodeDate(double dayCount) {
    // Beyond these the year leaves 1..9999; the check also keeps the cast defined.
    if (!std::isfinite(dayCount) || dayCount < -693594.0 || dayCount >= 2958466.0)
        return std::nullopt;
    return CivilFromDays(static_cast<long long>(std::trunc(dayCount)) + kDayCountEpoch);
}

double NowDayCount() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm local{};
    const std::time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &local);
    const double date = *EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    const double time =
        (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + tv.tv_usec / 1e6) / 86400.0;
    return date + time;
}

std::string FormatDateText(double dayCount, std::string_view format) {
    const auto parts = DecodeDate(dayCount);
    if (!parts) return {};
    std::string out;
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c == '\'' && i + 1 < format.size() && format[i + 1] == '\'') {
            out += '\'';
            i += 2;
            continue;
        }
        if (c == '\'') {
            ++i;
            while (i < format.size()) {
                if (format[i] == '\'') {
                    if (i + 1 < format.size() && format[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += format[i++];
            }
            continue;
        }
        size_t run = 1;
        while (i + run < format.size() &&
               (format[i + run] == c || (IsMonthLetter(c) && IsMonthLetter(format[i + run]))))
            ++run;
        if (c == 'd') {
            if (run == 1) {
                out += std::to_string(parts->Day);
            } else if (run == 2) {
                out += TwoDigits(parts->Day);
            } else {
                const long long days =
                    static_cast<long long>(std::trunc(dayCount)) + kDayCountEpoch;
                // 1 January 1970 was a Thursday.
                const std::string name = kDayNames[((days % 7) + 7 + 4) % 7];
                out += run == 3 ? name.substr(0, 3) : name;
            }
        } else if (IsMonthLetter(c)) {
            if (run == 1) {
                out += std::to_string(parts->Month);
            } else if (run == 2) {
                out += TwoDigits(parts->Month);
            } else {
                const std::string name = kMonthNames[parts->Month - 1];
                out += run == 3 ? name.substr(0, 3) : name;
            }
        } else if (c == 'y') {
            out += FourDigits(parts->Year);
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

std::optional<double> ParseDateText(std::string_view text, std::string_view format) {
    // Field order as the format gives it; a format naming no field reads month/day/year.
    std::string order;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '\'') {
            const size_t close = format.find('\'', i + 1);
            if (close == std::string_view::npos) break;
            i = close;
            continue;
        }
        const char field = format[i] == 'd'           ? 'd'
                           : IsMonthLetter(format[i]) ? 'M'
                           : format[i] == 'y'         ? 'y'
                                                      : 0;
        if (field && order.find(field) == std::string::npos) order += field;
    }
    if (order.size() != 3) order = "Mdy";

    std::vector<std::string_view> groups;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] >= '0' && text[i] <= '9') {
            size_t j = i;
            while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
            groups.push_back(text.substr(i, j - i));
            i = j;
        } else if ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z')) {
            return std::nullopt;
        } else {
            ++i;
        }
    }
    if (groups.size() != 3) return std::nullopt;

    int day = 0, month = 0, year = 0;
    for (size_t f = 0; f < 3; ++f) {
        const std::string_view g = groups[f];
        const int value = std::stoi(std::string(g.substr(0, 5)));
        switch (order[f]) {
            case 'd':
                if (g.size() > 2) return std::nullopt;
                day = value;
                break;
            case 'M':
                if (g.size() > 2) return std::nullopt;
                month = value;
                break;
            default:
                if (g.size() == 4) {
                    year = value;
                } else if (g.size() == 2) {
                    const int threshold = CurrentYear() - 50;
                    year = threshold / 100 * 100 + value;
                    if (year < threshold) year += 100;
                } else {
                    return std::nullopt;
                }
        }
    }
    return EncodeDate(year, month, day);
}
