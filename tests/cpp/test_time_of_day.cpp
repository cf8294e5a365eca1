#include <gtest/gtest.h>

#include "zj_core/common/numeric.hpp"
#include "zj_core/common/time_of_day.hpp"

using zj_core::TimeOfDay;
using zj_core::TimeParseError;

TEST(TimeOfDay, ParsesAndRejectsAsTheReasonsSay) {
    struct Case {
        const char* text;
        TimeParseError error;
        std::uint32_t secs;
        std::uint32_t nanos;
    };
    const Case cases[] = {
        {"09:30:00", TimeParseError::None, 34200, 0},
        {"9:5:7", TimeParseError::None, 9 * 3600 + 5 * 60 + 7, 0},
        {"0:00:00", TimeParseError::None, 0, 0},
        {"23:59:59", TimeParseError::None, 86399, 0},
        {"10:00:60", TimeParseError::None, 36059, 1'000'000'000},  // leap second
        {"9:25", TimeParseError::TooShort, 0, 0},
        {"9:25:", TimeParseError::TooShort, 0, 0},
        {"", TimeParseError::TooShort, 0, 0},
        {"9", TimeParseError::TooShort, 0, 0},
        {"ab:00:00", TimeParseError::Invalid, 0, 0},
        {"09-30-00", TimeParseError::Invalid, 0, 0},
        {" 9:30:00", TimeParseError::Invalid, 0, 0},
        {"123:00:00", TimeParseError::Invalid, 0, 0},
        {"09:30:00 ", TimeParseError::TooLong, 0, 0},
        {"09:30:001", TimeParseError::TooLong, 0, 0},
        {"24:00:00", TimeParseError::OutOfRange, 0, 0},
        {"12:60:00", TimeParseError::OutOfRange, 0, 0},
        {"12:00:61", TimeParseError::OutOfRange, 0, 0},
        {"24:xx", TimeParseError::OutOfRange, 0, 0},  // the first failure met wins
    };
    for (const Case& c : cases) {
        TimeOfDay t{7, 7};
        EXPECT_EQ(zj_core::parse_hms(c.text, t), c.error) << c.text;
        if (c.error == TimeParseError::None) {
            EXPECT_EQ(t.secs, c.secs) << c.text;
            EXPECT_EQ(t.nanos, c.nanos) << c.text;
        }
    }
    EXPECT_EQ(zj_core::describe(TimeParseError::TooShort), "premature end of input");
    EXPECT_EQ(zj_core::describe(TimeParseError::Invalid), "input contains invalid characters");
    EXPECT_EQ(zj_core::describe(TimeParseError::TooLong), "trailing input");
    EXPECT_EQ(zj_core::describe(TimeParseError::OutOfRange), "input is out of range");
}

TEST(TimeOfDay, OrdersBySecondsThenNanos) {
    EXPECT_LT(TimeOfDay::hms(9, 30, 0, 999), TimeOfDay::hms(9, 30, 1));
    EXPECT_LT(TimeOfDay::hms(9, 30, 59, 999'999'999), TimeOfDay::hms(9, 30, 59, 1'000'000'000));
    EXPECT_EQ(TimeOfDay::hms(14, 57, 3).minute(), 57u);
}

TEST(Numeric, RoundingAndFormats) {
    EXPECT_EQ(zj_core::round_to(0.125, 2), 0.13);  // half away from zero on the scaled value
    EXPECT_EQ(zj_core::round_to(-2.5, 0), -3.0);
    EXPECT_EQ(zj_core::fixed(0.125, 2), "0.12");  // printf: exact binary tie to even
    EXPECT_EQ(zj_core::fixed(2.5, 0), "2");
    EXPECT_EQ(zj_core::fixed_signed(1.25, 1), "+1.2");
    EXPECT_EQ(zj_core::fixed_signed(-0.04, 1), "-0.0");
    EXPECT_EQ(zj_core::fixed(1e300, 0).size(), 301u);
    EXPECT_EQ(zj_core::saturating_cast<std::int32_t>(1e20), INT32_MAX);
    EXPECT_EQ(zj_core::saturating_cast<std::int64_t>(-1e30), INT64_MIN);
    EXPECT_EQ(zj_core::saturating_cast<std::int64_t>(std::nan("")), 0);
    EXPECT_EQ(zj_core::round_saturating<std::int32_t>(-0.5), -1);
}
