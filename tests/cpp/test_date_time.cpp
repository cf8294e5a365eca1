#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>

#include "zj_core/common/date_time.hpp"
#include "zj_core/common/failure.hpp"

using zj_core::DateTime;

namespace {

// Accepted texts with their UTC rendering, then rejected texts.
template <class Parse>
void check_table(Parse parse, std::initializer_list<std::pair<const char*, const char*>> ok,
                 std::initializer_list<const char*> rejected) {
    for (auto [text, utc] : ok) {
        const auto got = parse(text);
        ASSERT_TRUE(got) << text;
        EXPECT_EQ(zj_core::to_rfc3339(*got), utc);
    }
    for (auto text : rejected) EXPECT_FALSE(parse(text)) << text;
}

}  // namespace

TEST(DateTime, ParsesPlainUtcFormat) {
    check_table(zj_core::parse_ymd_hms, {
        // Short fields are read as in %H:%M:%S times; a leap second is kept.
        {"2024-01-02 09:30:00", "2024-01-02T09:30:00+00:00"}, {"2024-1-2 9:30:0", "2024-01-02T09:30:00+00:00"},
        {"2000-02-29 00:00:00", "2000-02-29T00:00:00+00:00"}, {"0000-01-01 00:00:00", "0000-01-01T00:00:00+00:00"},
        {"9999-12-31 23:59:59", "9999-12-31T23:59:59+00:00"}, {"2016-12-31 23:59:60", "2016-12-31T23:59:60+00:00"},
    }, {"2023-02-29 00:00:00", "1900-2-29 00:00:00", "2024-13-01 00:00:00", "2024-4-31 0:00:00",
        "2024-01-02 24:00:00", "2024-01-02 09:30:61", "24-01-02 09:30:00", "+2024-01-02 09:30:00",
        "2024-001-02 09:30:00", "", "2024-01-02T09:30:00", " 2024-01-02 09:30:00",
        "2024-01-02 09:30:00 ", "2024-01-02 09:30", "2024-01-02 09:30:00.5",
        "\xef\xbc\x92\xef\xbc\x90\xef\xbc\x92\xef\xbc\x94-01-02 09:30:00"});  // full-width digits
    EXPECT_EQ(zj_core::parse_ymd_hms("2016-12-31 23:59:60")->unix_seconds(), 1483228799);  // the leap second is :59
}

TEST(DateTime, ParsesDates) {
    check_table(zj_core::parse_date,
                {{"2024-01-02", "2024-01-02T00:00:00+00:00"},
                 {"2024-1-2", "2024-01-02T00:00:00+00:00"},
                 {"20240229", "2024-02-29T00:00:00+00:00"},
                 {"00000101", "0000-01-01T00:00:00+00:00"}},
                {"20230229", "2024-13-01", "2024010", "202401021", "2024-01-02 ", "+2024-01-02", "2024/01/02", ""});
    EXPECT_EQ(zj_core::date_from_yyyymmdd(20240102), zj_core::parse_date("2024-01-02"));
    EXPECT_FALSE(zj_core::date_from_yyyymmdd(-20240102));
    EXPECT_FALSE(zj_core::date_from_yyyymmdd(100000101));
    EXPECT_FALSE(zj_core::date_from_yyyymmdd(20240100));
}

TEST(DateTime, ParsesRfc3339WithOffset) {
    check_table(zj_core::parse_rfc3339, {
        {"2024-01-02T17:30:00+08:00", "2024-01-02T09:30:00+00:00"},
        {"2024-01-02t09:30:00z", "2024-01-02T09:30:00+00:00"},
        {"2024-01-02 17:30:00+08:00", "2024-01-02T09:30:00+00:00"},  // str() of an aware datetime
        {"2024-01-01T00:30:00+01:00", "2023-12-31T23:30:00+00:00"},
        {"2024-02-29T23:00:00-05:30", "2024-03-01T04:30:00+00:00"},
        {"2024-01-02T09:30:00.5Z", "2024-01-02T09:30:00.500+00:00"},
        {"2024-01-02T09:30:00.1234567898765Z", "2024-01-02T09:30:00.123456789+00:00"},  // cut at 9 digits
        {"2017-01-01T07:59:60.25+08:00", "2016-12-31T23:59:60.250+00:00"},
        {"0000-01-01T00:00:00Z", "0000-01-01T00:00:00+00:00"}, {"9999-12-31T23:59:59Z", "9999-12-31T23:59:59+00:00"},
    }, {"0000-01-01T05:00:00+08:00", "9999-12-31T23:00:00-08:00",  // outside years 0000-9999 in UTC
        "2024-01-02T09:30:00", "2024-01-02T09:30:00+0800", "2024-01-02T9:30:00Z", "2024-01-02T09:30:00+24:00",
        "2024-01-02T09:30:00+08:60", "2024-01-02T09:30Z", "2024-01-02T09:30:00.Z", "2024-01-02T09:30:61Z",
        "2024-02-30T09:30:00Z", "2024-01-02X09:30:00Z", "2024-01-02T09:30:00Z ", "2024-01-02T09:30:00 +08:00"});
}

TEST(DateTime, UnixSecondsBothWays) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "1970-01-01T00:00:00+00:00"}, {-1, "1969-12-31T23:59:59+00:00"}, {1704187800, "2024-01-02T09:30:00+00:00"},
        {-62167219200, "0000-01-01T00:00:00+00:00"},
        {253402300799, "9999-12-31T23:59:59+00:00"},
        {-62167219201, nullptr},
        {253402300800, nullptr}, {INT64_MIN, nullptr}, {INT64_MAX, nullptr}};
    for (auto [secs, utc] : cases) {
        const auto t = DateTime::from_unix(secs);
        ASSERT_EQ(t.has_value(), utc != nullptr) << secs;
        if (t) {
            EXPECT_EQ(std::pair(zj_core::to_rfc3339(*t), t->unix_seconds()), std::pair(std::string(utc), secs));
        }
    }
    EXPECT_THROW(zj_core::to_rfc3339(DateTime{DateTime::kMaxDays + 1, 0, 0}), zj_core::InternalFailure);
    EXPECT_THROW(zj_core::to_rfc3339(DateTime{0, 86400, 0}), zj_core::InternalFailure);
}

TEST(DateTime, CivilConversionsRoundTrip) {
    // Every day of the representable range, checked against a running calendar.
    std::int64_t d = DateTime::kMinDays;
    for (std::int64_t y = 0; y <= 9999; ++y)
        for (unsigned m = 1; m <= 12; ++m)
            for (unsigned day = 1; day <= zj_core::days_in_month(y, m); ++day, ++d) {
                ASSERT_EQ(zj_core::days_from_civil(y, m, day), d);
                ASSERT_EQ(zj_core::civil_from_days(d), (zj_core::CivilDate{y, m, day}));
            }
    EXPECT_EQ(d, DateTime::kMaxDays + 1);
}

TEST(DateTime, TextRoundTripsThroughBothParsers) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<std::int64_t> secs(-62167219200, 253402300799);
    std::uniform_int_distribution<std::uint32_t> nanos(0, 999'999'999);
    for (int i = 0; i < 20000; ++i) {
        auto t = *DateTime::from_unix(secs(rng));
        t.nanos = i % 4 == 0 ? 0 : i % 4 == 1 ? nanos(rng) / 1'000'000 * 1'000'000 : nanos(rng);
        const std::string text = zj_core::to_rfc3339(t);
        ASSERT_EQ(zj_core::parse_rfc3339(text), t) << text;
        if (t.nanos == 0) {
            ASSERT_EQ(zj_core::parse_ymd_hms(text.substr(0, 10) + ' ' + text.substr(11, 8)), t) << text;
        }
    }
}

TEST(DateTime, ReaderAgreesWithTheParsersOnAnySequence) {
    const std::vector<std::string> pool = {
        "2024-01-02 09:30:00", "2024-01-02 09:30:00", "2024-01-02 24:00:00", "2024-01-02 9:30:000",
        "2024-01-02 9:3:0", "2024-01-02 23:59:60", "2024-02-30 10:00:00", "2024-02-30 11:00:00",
        "2024-01-02T09:30:00Z", "2024-01-02 10:00:00", "2024-01-02 17:30:00+08:00",
        "2024-01-03 00:00:00", "2024-01-02 1x:00:00", "2024-01-02 10:00:0x", "",
        "2024-01-02 10-00-00", "2023-02-28 23:59:59", "2023-02-29 00:00:00",
        "2024-01-02t10:00:00.5z", "2024-01-02 10:00:61",
    };
    std::mt19937 rng(3);
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    zj_core::DateTimeReader reader;
    for (std::size_t i = 0; i < 5000; ++i) {
        const std::string& text = pool[i < pool.size() ? i : pick(rng)];
        DateTime got;
        const bool ok = reader.read(text, got);
        auto want = zj_core::parse_ymd_hms(text);
        if (!want) want = zj_core::parse_rfc3339(text);
        ASSERT_EQ(ok, want.has_value()) << i << " " << text;
        if (ok) {
            ASSERT_EQ(got, *want) << i << " " << text;
        }
    }
}
