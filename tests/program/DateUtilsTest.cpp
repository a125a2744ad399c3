#include <gtest/gtest.h>

#include <cmath>

#include "DateUtils.h"

namespace {

TEST(DateUtilsTest, DayCountsOfKnownDates) {
    struct Case {
        int y, m, d;
        double dayCount;
    } cases[] = {{1899, 12, 30, 0},   {1899, 12, 31, 1},    {1900, 1, 1, 2},     {1899, 12, 29, -1},
                 {1950, 1, 1, 18264}, {2000, 2, 29, 36585}, {2024, 1, 15, 45306}};
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.dayCount) << c.y << "-" << c.m << "-" << c.d;
        // The time of day does not count; before day 0 it lies towards the more negative.
        const auto parts = DecodeDate(c.dayCount < 0 ? c.dayCount - 0.75 : c.dayCount + 0.75);
        ASSERT_TRUE(parts);
        EXPECT_EQ(parts->Year, c.y);
        EXPECT_EQ(parts->Month, c.m);
        EXPECT_EQ(parts->Day, c.d);
    }
    // Before day 0 the fraction still runs forward from midnight of the integer part's day.
    EXPECT_EQ(DecodeDate(-1.25)->Day, 29);
}

TEST(DateUtilsTest, ImpossibleDatesAndValues) {
    EXPECT_FALSE(EncodeDate(2023, 2, 29));
    EXPECT_FALSE(EncodeDate(2024, 13, 1));
    EXPECT_FALSE(EncodeDate(0, 1, 1));
    EXPECT_FALSE(DecodeDate(std::nan("")));
    EXPECT_FALSE(DecodeDate(1e300));
    EXPECT_EQ(FormatDateText(-1e300, "M/d/yyyy"), "");
}

TEST(DateUtilsTest, FormatsInThePlatformNotation) {
    const double date = *EncodeDate(2024, 3, 5);
    struct Case {
        const char* format;
        const char* text;
    } cases[] = {
        {"M/d/yyyy", "3/5/2024"},
        {"MM/dd/yyyy", "03/05/2024"},
        {"dd.MM.yy", "05.03.2024"},
        {"d/M/y", "5/3/2024"},
        {"yyyy-MM-dd", "2024-03-05"},
        {"m/d/yyyy", "3/5/2024"},
        {"dd'.'MM", "05.03"},
        {"d 'de' MMMM", "5 de March"},
        {"ddd, MMM d", "Tue, Mar 5"},
        {"dddd", "Tuesday"},
        {"''yy", "'2024"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateText(date, c.format), c.text) << c.format;
    EXPECT_EQ(FormatDateText(*EncodeDate(950, 1, 1), "yy"), "0950");
}

TEST(DateUtilsTest, ParsesInTheFormatsFieldOrder) {
    struct Case {
        const char* text;
        const char* format;
        int y, m, d;  // y 0: not a date
    } cases[] = {
        {"01/01/1950", "M/d/yyyy", 1950, 1, 1},
        {"1/1/1950", "MM/dd/yyyy", 1950, 1, 1},
        {"3/5/2024", "M/d/yyyy", 2024, 3, 5},
        {"5.3.2024", "dd.MM.yyyy", 2024, 3, 5},
        {"2024-3-5", "yyyy-M-d", 2024, 3, 5},
        {" 3/5/2024 ", "M/d/yyyy", 2024, 3, 5},
        {"2/30/2024", "M/d/yyyy", 0, 0, 0},
        {"3/5", "M/d/yyyy", 0, 0, 0},
        {"3/5/2024 10:00", "M/d/yyyy", 0, 0, 0},
        {"03/005/2024", "M/d/yyyy", 0, 0, 0},
        {"March 5 2024", "M/d/yyyy", 0, 0, 0},
        {"3/5/224", "M/d/yyyy", 0, 0, 0},
        {"", "M/d/yyyy", 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto date = ParseDateText(c.text, c.format);
        if (c.y == 0) {
            EXPECT_FALSE(date) << c.text;
        } else {
            EXPECT_EQ(date, EncodeDate(c.y, c.m, c.d)) << c.text;
        }
    }
    // Two-digit years land within 50 years of now.
    const auto parts = DecodeDate(*ParseDateText("1/1/00", "M/d/yy"));
    EXPECT_EQ(parts->Year % 100, 0);
    EXPECT_GE(parts->Year, 1950);
}

}  // namespace
