#pragma once
// Time of day as used by every intraday record: whole seconds since midnight
// plus a sub-second part in nanoseconds, compared as a pair.
#include <compare>
#include <cstdint>
#include <string_view>

namespace zj_core {

struct TimeOfDay {
    std::uint32_t secs = 0;   // 0 .. 86399
    std::uint32_t nanos = 0;  // 0 .. 1'999'999'999 (a leap second :60 is 59 s + 1e9 ns)

    friend constexpr auto operator<=>(const TimeOfDay&, const TimeOfDay&) = default;

    constexpr std::uint32_t hour() const { return secs / 3600; }
    constexpr std::uint32_t minute() const { return (secs / 60) % 60; }
    constexpr std::uint32_t second() const { return secs % 60; }
    // Seconds of the day as a signed 64-bit number, the sub-second part dropped.
    constexpr std::int64_t sec() const { return static_cast<std::int64_t>(secs); }

    static constexpr TimeOfDay hms(std::uint32_t h, std::uint32_t m, std::uint32_t s,
                                   std::uint32_t nanos = 0) {
        return TimeOfDay{h * 3600 + m * 60 + s, nanos};
    }
};

// Why a "%H:%M:%S" text failed to parse.
enum class TimeParseError : std::uint8_t {
    None = 0,
    TooShort,    // "premature end of input"
    Invalid,     // "input contains invalid characters"
    TooLong,     // "trailing input"
    OutOfRange,  // "input is out of range"
};

std::string_view describe(TimeParseError e);

// Takes one or two leading ASCII digits off `text` as a number; false (and
// `text` untouched) when it does not start with a digit.
bool take_one_or_two_digits(std::string_view& text, unsigned& value);

// Parses "%H:%M:%S": each field one or two ASCII digits, separated by single
// colons, nothing before or after. Hour 0..23, minute 0..59, second 0..60 (60
// is a leap second, stored as second 59 with one extra second of nanoseconds).
// Errors are reported in the order they are met while scanning left to right.
TimeParseError parse_hms(std::string_view text, TimeOfDay& out);

}  // namespace zj_core
