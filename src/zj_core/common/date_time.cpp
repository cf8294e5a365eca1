#include "zj_core/common/date_time.hpp"

#include <cstring>
#include <utility>

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

bool take_char(std::string_view& s, char c) {
    if (s.empty() || s[0] != c) return false;
    s.remove_prefix(1);
    return true;
}

bool valid_date(unsigned year, unsigned month, unsigned day) {
    return month >= 1 && month <= 12 && day >= 1 && day <= days_in_month(year, month);
}

// Builds a UTC date-time from local fields and an offset east of UTC in
// seconds; false when the UTC date leaves years 0000 to 9999.
bool assemble(unsigned year, unsigned month, unsigned day, std::uint32_t secs_of_day, std::uint32_t nanos,
              std::int64_t offset_secs, DateTime& out) {
    const std::int64_t total = static_cast<std::int64_t>(secs_of_day) - offset_secs;
    const std::int64_t days = days_from_civil(year, month, day) + floor_div(total, kSecsPerDay);
    if (days < DateTime::kMinDays || days > DateTime::kMaxDays) return false;
    out.days = days;
    out.secs = static_cast<std::uint32_t>(total - floor_div(total, kSecsPerDay) * kSecsPerDay);
    out.nanos = nanos;
    return true;
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
    if (y >= 1 && y <= 400'000) {
        // Years of the common range in unsigned arithmetic (eras counted from 0000).
        const auto yy = static_cast<std::uint32_t>(y) - (m <= 2);
        const std::uint32_t era = yy / 400, yoe = yy - era * 400;
        const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return static_cast<std::int64_t>(era) * 146097 + static_cast<std::int64_t>(doe) - 719468;
    }
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

namespace {

// The parsers write into `out` and say whether the text matched; the public
// forms wrap them in std::optional. (Returning the optional from the hot loop
// costs store-forwarding stalls that a plain flag does not.)

// "hh:mm:ss" at full width.
bool full_width_hms(const char* p, std::uint32_t& secs, std::uint32_t& nanos) {
    const auto dg = [p](int i) { return static_cast<unsigned>(static_cast<unsigned char>(p[i])) - '0'; };
    if (p[2] != ':' || p[5] != ':') return false;
    const unsigned h0 = dg(0), h1 = dg(1), m0 = dg(3), m1 = dg(4), s0 = dg(6), s1 = dg(7);
    if ((h0 > 9) | (h1 > 9) | (m0 > 9) | (m1 > 9) | (s0 > 9) | (s1 > 9)) return false;
    const unsigned hour = h0 * 10 + h1, minute = m0 * 10 + m1, second = s0 * 10 + s1;
    if (hour > 23 || minute > 59 || second > 60) return false;
    // A leap second is second 59 with one extra second of nanoseconds.
    secs = hour * 3600 + minute * 60 + (second == 60 ? 59 : second);
    nanos = second == 60 ? 1'000'000'000u : 0u;
    return true;
}

// "YYYY-MM-DD hh:mm:ss" with every field at full width, the common case, read
// without the general scanner. The caller guarantees 19 characters.
bool full_width_ymd_hms(std::string_view s, DateTime& out) {
    if (s[4] != '-' || s[7] != '-' || s[10] != ' ') return false;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto dg = [p](int i) { return static_cast<unsigned>(p[i]) - '0'; };
    const unsigned y0 = dg(0), y1 = dg(1), y2 = dg(2), y3 = dg(3), mo0 = dg(5), mo1 = dg(6), d0 = dg(8), d1 = dg(9);
    if ((y0 > 9) | (y1 > 9) | (y2 > 9) | (y3 > 9) | (mo0 > 9) | (mo1 > 9) | (d0 > 9) | (d1 > 9)) return false;
    const unsigned year = y0 * 1000 + y1 * 100 + y2 * 10 + y3, month = mo0 * 10 + mo1, day = d0 * 10 + d1;
    if (!valid_date(year, month, day)) return false;
    if (!full_width_hms(s.data() + 11, out.secs, out.nanos)) return false;
    out.days = days_from_civil(year, month, day);
    return true;
}

bool ymd_hms(std::string_view s, DateTime& out) {
    if (s.size() == 19 && full_width_ymd_hms(s, out)) return true;
    unsigned year = 0, month = 0, day = 0;
    if (!take_fixed(s, 4, year) || !take_char(s, '-') || !take_one_or_two_digits(s, month) || !take_char(s, '-') ||
        !take_one_or_two_digits(s, day) || !take_char(s, ' '))
        return false;
    if (!valid_date(year, month, day)) return false;
    TimeOfDay tod;
    if (parse_hms(s, tod) != TimeParseError::None) return false;
    return assemble(year, month, day, tod.secs, tod.nanos, 0, out);
}

bool rfc3339(std::string_view s, DateTime& out) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!take_fixed(s, 4, year) || !take_char(s, '-') || !take_fixed(s, 2, month) || !take_char(s, '-') ||
        !take_fixed(s, 2, day))
        return false;
    if (s.empty() || (s[0] != 'T' && s[0] != 't' && s[0] != ' ')) return false;
    s.remove_prefix(1);
    if (!take_fixed(s, 2, hour) || !take_char(s, ':') || !take_fixed(s, 2, minute) || !take_char(s, ':') ||
        !take_fixed(s, 2, second))
        return false;
    if (!valid_date(year, month, day) || hour > 23 || minute > 59 || second > 60) return false;

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
        if (digits == 0) return false;
    }

    std::int64_t offset = 0;
    if (s.empty()) return false;
    if (s[0] == 'Z' || s[0] == 'z') {
        s.remove_prefix(1);
    } else if (s[0] == '+' || s[0] == '-') {
        const bool east = s[0] == '+';
        s.remove_prefix(1);
        unsigned oh = 0, om = 0;
        if (!take_fixed(s, 2, oh) || !take_char(s, ':') || !take_fixed(s, 2, om)) return false;
        if (oh > 23 || om > 59) return false;
        offset = static_cast<std::int64_t>(oh) * 3600 + om * 60;
        if (!east) offset = -offset;
    } else {
        return false;
    }
    if (!s.empty()) return false;

    if (second == 60) {
        second = 59;
        nanos += 1'000'000'000u;
    }
    return assemble(year, month, day, hour * 3600 + minute * 60 + second, nanos, offset, out);
}

}  // namespace

std::optional<DateTime> parse_ymd_hms(std::string_view s) {
    DateTime t;
    if (!ymd_hms(s, t)) return std::nullopt;
    return t;
}

std::optional<DateTime> date_from_yyyymmdd(std::int64_t value) {
    if (value < 0 || value > 99991231) return std::nullopt;
    const auto year = static_cast<unsigned>(value / 10000);
    const auto month = static_cast<unsigned>(value / 100 % 100);
    const auto day = static_cast<unsigned>(value % 100);
    if (!valid_date(year, month, day)) return std::nullopt;
    DateTime out;
    out.days = days_from_civil(year, month, day);
    return out;
}

std::optional<DateTime> parse_date(std::string_view s) {
    unsigned year = 0, month = 0, day = 0;
    if (unsigned ymd = 0; s.size() == 8 && take_fixed(s, 8, ymd)) return date_from_yyyymmdd(ymd);
    if (!take_fixed(s, 4, year) || !take_char(s, '-') || !take_one_or_two_digits(s, month) || !take_char(s, '-') ||
        !take_one_or_two_digits(s, day) || !s.empty())
        return std::nullopt;
    if (!valid_date(year, month, day)) return std::nullopt;
    DateTime out;
    out.days = days_from_civil(year, month, day);
    return out;
}

std::optional<DateTime> parse_rfc3339(std::string_view s) {
    DateTime t;
    if (!rfc3339(s, t)) return std::nullopt;
    return t;
}

namespace {

// Equality of two short texts of equal length, eight bytes at a time (inlined;
// a library memcmp call costs more than the comparison).
bool same_bytes(const char* a, const char* b, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) return false;
    }
    for (; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

}  // namespace

bool DateTimeReader::read(std::string_view text, DateTime& out) {
    if (last_size_ != 0 && text.size() == last_size_ && same_bytes(text.data(), last_, last_size_)) {
        out = last_value_;
        return true;
    }
    const bool full_width = text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ';
    bool ok;
    if (full_width && last_full_width_ && same_bytes(text.data(), last_, 11)) {
        // Same date as the last full-width text: only the time is new.
        out.days = last_value_.days;
        ok = full_width_hms(text.data() + 11, out.secs, out.nanos) || ymd_hms(text, out);
    } else {
        ok = ymd_hms(text, out) || rfc3339(text, out);
    }
    if (ok && text.size() <= sizeof last_) {
        std::memcpy(last_, text.data(), text.size());
        last_size_ = text.size();
        last_value_ = out;
        // A 19-character text can only have been read as "%Y-%m-%d %H:%M:%S"
        // (RFC 3339 needs an offset), so with the separators in place its first
        // 11 characters are a valid date, that of last_value_.
        last_full_width_ = full_width;
    } else {
        last_size_ = 0;
        last_full_width_ = false;
    }
    return ok;
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
