#pragma once
// Calendar date-time in UTC: a proleptic Gregorian date, whole seconds of the
// day and a sub-second part in nanoseconds. Only dates that RFC 3339 can write
// (years 0000 to 9999) are representable, so every value round-trips through
// its text form.
//
// Accepted texts
//   "%Y-%m-%d %H:%M:%S" (read as UTC): a four-digit year; month, day, hour,
//     minute and second of one or two digits each; '-' between the date
//     fields, one space, ':' between the time fields; no fraction, no offset
//     and nothing before or after. Second 60 is a leap second.
//   RFC 3339 date-time with an offset: "YYYY-MM-DD" 'T' "hh:mm:ss" with
//     exactly two digits per field (four for the year), an optional fraction
//     '.' followed by one or more digits (digits past the ninth are dropped),
//     then 'Z' or "+hh:mm" / "-hh:mm". The separator may be 'T', 't' or one
//     space (the readability variant RFC 3339 allows, and what Python's
//     str() of an aware datetime writes); 'z' stands for 'Z'. The offset is
//     subtracted to give UTC; a result outside years 0000 to 9999 is rejected.
//
// A leap second is held as second 59 with one extra second of nanoseconds
// (nanos 1'000'000'000 and up), like TimeOfDay, and is written back as ":60".
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zj_core {

struct DateTime {
    std::int64_t days = 0;    // days since 1970-01-01
    std::uint32_t secs = 0;   // 0 .. 86399
    std::uint32_t nanos = 0;  // 0 .. 1'999'999'999

    friend constexpr auto operator<=>(const DateTime&, const DateTime&) = default;

    // Unix seconds; the sub-second part (and a leap second's extra second)
    // is dropped.
    constexpr std::int64_t unix_seconds() const { return days * 86400 + static_cast<std::int64_t>(secs); }

    // The first and last representable days: 0000-01-01 and 9999-12-31.
    static constexpr std::int64_t kMinDays = -719528;
    static constexpr std::int64_t kMaxDays = 2932896;

    // Unix seconds (any sign) to a date-time; absent when the date falls
    // outside years 0000 to 9999.
    static std::optional<DateTime> from_unix(std::int64_t secs);
};

struct CivilDate {
    std::int64_t year = 1970;
    unsigned month = 1;  // 1 .. 12
    unsigned day = 1;    // 1 .. 31
    friend constexpr bool operator==(const CivilDate&, const CivilDate&) = default;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day);
CivilDate civil_from_days(std::int64_t days);
bool is_leap_year(std::int64_t year);
unsigned days_in_month(std::int64_t year, unsigned month);

// The two text forms described above; absent when the text does not match.
std::optional<DateTime> parse_ymd_hms(std::string_view text);
std::optional<DateTime> parse_rfc3339(std::string_view text);
// A calendar date at midnight: "YYYY-MM-DD" (month and day of one or two
// digits, as in the first form above) or "YYYYMMDD" (exactly eight digits, as
// tushare writes trade dates).
std::optional<DateTime> parse_date(std::string_view text);
// A date written as the number YYYYMMDD (tushare's integer trade_date).
std::optional<DateTime> date_from_yyyymmdd(std::int64_t value);

// Reads texts in either form ("%Y-%m-%d %H:%M:%S" first, then RFC 3339),
// remembering the last text read: a repeated text is not parsed again, and a
// full-width "YYYY-MM-DD hh:mm:ss" text sharing the previous one's date only
// has its time read. Results are those of the two parsers.
class DateTimeReader {
public:
    // False when the text is in neither form (`out` is then unspecified).
    bool read(std::string_view text, DateTime& out);

private:
    char last_[48] = {};
    std::size_t last_size_ = 0;  // 0: nothing remembered
    bool last_full_width_ = false;
    DateTime last_value_;
};

// RFC 3339 in UTC with the offset written "+00:00", e.g.
// "2024-01-02T09:30:00+00:00". A non-zero sub-second part is written after
// the seconds with 3 digits when it is whole milliseconds, 6 when whole
// microseconds, else 9. A value outside the representable range (only
// constructible by hand) throws InternalFailure.
std::string to_rfc3339(const DateTime& t);

}  // namespace zj_core
