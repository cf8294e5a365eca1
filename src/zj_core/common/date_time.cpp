#include "zj_core/common/date_time.hpp"

#include "zj_core/common/failure.hpp"
#include "zj_core/common/time_of_day.hpp"

namespace zj_core {

namespace {

constexpr std::int64_t kSecsPerDay = 86400;

constexpr std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Exactly `width` digits.
bool take_fixed(std::string_view& s, std::size_t width, unsigned& value) {
    if (s.size() < width) return false;
    unsigned v = 0;
    for (std::size_t i = 0; i < width; ++i) {
        if (!is_digit(s[i])) return false;
        v = v * 10 + static_cast<unsigned>(s[i] - '0');
    }
    value = v;
    s.remove_prefix(width);
    return true;
}

// One or two digits.
bool take_short(std::string_view& s, unsigned& value) {
    if (s.empty() || !is_digit(s[0])) return false;
    value = static_cast<unsigned>(s[0] - '0');
    std::size_t used = 1;
    if (s.size() > 1 && is_digit(s[1])) {
        value = value * 10 + static_cast<unsigned>(s[1] - '0');
        used = 2;
    }
    s.remove_prefix(used);
    return true;
}

bool take_char(std::string_view& s, char c) {
    if (s.empty() || s[0] != c) return false;
    s.remove_prefix(1);
    return true;
}

bool valid_date(unsigned year, unsigned month, unsigned day) {
    return month >= 1 && month <= 12 && day >= 1 && day <= days_in_month(year, month);
}

// Builds a UTC date-time from local fields and an offset east of UTC in
// seconds; absent when the UTC date leaves years 0000 to 9999.
std::optional<DateTime> assemble(unsigned year, unsigned month, unsigned day, std::uint32_t secs_of_day,
                                 std::uint32_t nanos, std::int64_t offset_secs) {
    const std::int64_t total = static_cast<std::int64_t>(secs_of_day) - offset_secs;
    const std::int64_t days = days_from_civil(year, month, day) + floor_div(total, kSecsPerDay);
    if (days < DateTime::kMinDays || days > DateTime::kMaxDays) return std::nullopt;
    const auto secs = static_cast<std::uint32_t>(total - floor_div(total, kSecsPerDay) * kSecsPerDay);
    return DateTime{days, secs, nanos};
}

}  // namespace

bool is_leap_year(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(std::int64_t year, unsigned month) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

// Civil-calendar conversions over 400-year eras (H. Hinnant's algorithms).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = floor_div(y, 400);
    const auto yoe = static_cast<unsigned>(y - era * 400);                    // [0, 399]
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;    // [0, 365]
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;              // [0, 146096]
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

CivilDate civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = floor_div(z, 146097);
    const auto doe = static_cast<unsigned>(z - era * 146097);                      // [0, 146096]
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;    // [0, 399]
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                  // [0, 365]
    const unsigned mp = (5 * doy + 2) / 153;                                       // [0, 11]
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;                               // [1, 31]
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;                                  // [1, 12]
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    return CivilDate{y, m, d};
}

std::optional<DateTime> DateTime::from_unix(std::int64_t secs) {
    const std::int64_t days = floor_div(secs, kSecsPerDay);
    if (days < kMinDays || days > kMaxDays) return std::nullopt;
    return DateTime{days, static_cast<std::uint32_t>(secs - days * kSecsPerDay), 0};
}

std::optional<DateTime> parse_ymd_hms(std::string_view s) {
    unsigned year = 0, month = 0, day = 0;
    if (!take_fixed(s, 4, year) || !take_char(s, '-') || !take_short(s, month) || !take_char(s, '-') ||
        !take_short(s, day) || !take_char(s, ' '))
        return std::nullopt;
    if (!valid_date(year, month, day)) return std::nullopt;
    TimeOfDay tod;
    if (parse_hms(s, tod) != TimeParseError::None) return std::nullopt;
    return assemble(year, month, day, tod.secs, tod.nanos, 0);
}

std::optional<DateTime> parse_rfc3339(std::string_view s) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!take_fixed(s, 4, year) || !take_char(s, '-') || !take_fixed(s, 2, month) || !take_char(s, '-') ||
        !take_fixed(s, 2, day))
        return std::nullopt;
    if (s.empty() || (s[0] != 'T' && s[0] != 't' && s[0] != ' ')) return std::nullopt;
    s.remove_prefix(1);
    if (!take_fixed(s, 2, hour) || !take_char(s, ':') || !take_fixed(s, 2, minute) || !take_char(s, ':') ||
        !take_fixed(s, 2, second))
        return std::nullopt;
    if (!valid_date(year, month, day) || hour > 23 || minute > 59 || second > 60) return std::nullopt;

    std::uint32_t nanos = 0;
    if (take_char(s, '.')) {
        std::size_t digits = 0;
        std::uint32_t scale = 100'000'000;
        while (!s.empty() && is_digit(s[0])) {
            if (digits < 9) {
                nanos += static_cast<std::uint32_t>(s[0] - '0') * scale;
                scale /= 10;
            }
            ++digits;
            s.remove_prefix(1);
        }
        if (digits == 0) return std::nullopt;
    }

    std::int64_t offset = 0;
    if (s.empty()) return std::nullopt;
    if (s[0] == 'Z' || s[0] == 'z') {
        s.remove_prefix(1);
    } else if (s[0] == '+' || s[0] == '-') {
        const bool east = s[0] == '+';
        s.remove_prefix(1);
        unsigned oh = 0, om = 0;
        if (!take_fixed(s, 2, oh) || !take_char(s, ':') || !take_fixed(s, 2, om)) return std::nullopt;
        if (oh > 23 || om > 59) return std::nullopt;
        offset = static_cast<std::int64_t>(oh) * 3600 + om * 60;
        if (!east) offset = -offset;
    } else {
        return std::nullopt;
    }
    if (!s.empty()) return std::nullopt;

    if (second == 60) {
        second = 59;
        nanos += 1'000'000'000u;
    }
    return assemble(year, month, day, hour * 3600 + minute * 60 + second, nanos, offset);
}

std::string to_rfc3339(const DateTime& t) {
    const CivilDate d = civil_from_days(t.days);
    const bool leap = t.nanos >= 1'000'000'000u;
    const std::uint32_t frac = leap ? t.nanos - 1'000'000'000u : t.nanos;
    const unsigned hour = t.secs / 3600, minute = (t.secs / 60) % 60, second = t.secs % 60 + (leap ? 1 : 0);

    // "YYYY-MM-DDThh:mm:ss" + ".fffffffff" + "+00:00"
    char buf[40];
    std::size_t n = 0;
    auto put = [&](std::uint64_t v, int width) {
        for (int i = width - 1; i >= 0; --i) {
            buf[n + static_cast<std::size_t>(i)] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
        n += static_cast<std::size_t>(width);
    };
    auto put_char = [&](char c) { buf[n++] = c; };
    if (d.year < 0 || d.year > 9999 || t.secs >= 86400 || t.nanos >= 2'000'000'000u)
        throw InternalFailure("date-time outside the RFC 3339 range");
    put(static_cast<std::uint64_t>(d.year), 4);
    put_char('-');
    put(d.month, 2);
    put_char('-');
    put(d.day, 2);
    put_char('T');
    put(hour, 2);
    put_char(':');
    put(minute, 2);
    put_char(':');
    put(second, 2);
    if (frac != 0) {
        put_char('.');
        if (frac % 1'000'000 == 0) put(frac / 1'000'000, 3);
        else if (frac % 1'000 == 0) put(frac / 1'000, 6);
        else put(frac, 9);
    }
    for (char c : std::string_view("+00:00")) put_char(c);
    return std::string(buf, n);
}

}  // namespace zj_core
