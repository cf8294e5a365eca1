#include "zj_core/common/time_of_day.hpp"

namespace zj_core {

std::string_view describe(TimeParseError e) {
    switch (e) {
        case TimeParseError::None: return "";
        case TimeParseError::TooShort: return "premature end of input";
        case TimeParseError::Invalid: return "input contains invalid characters";
        case TimeParseError::TooLong: return "trailing input";
        case TimeParseError::OutOfRange: return "input is out of range";
    }
    return "";
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// One numeric field of one or two digits.
TimeParseError take_number(std::string_view& s, unsigned& value) {
    if (s.empty()) return TimeParseError::TooShort;
    return take_one_or_two_digits(s, value) ? TimeParseError::None : TimeParseError::Invalid;
}

TimeParseError take_colon(std::string_view& s) {
    if (s.empty()) return TimeParseError::TooShort;
    if (s[0] != ':') return TimeParseError::Invalid;
    s.remove_prefix(1);
    return TimeParseError::None;
}

}  // namespace

bool take_one_or_two_digits(std::string_view& s, unsigned& value) {
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

TimeParseError parse_hms(std::string_view s, TimeOfDay& out) {
    // The common "HH:MM:SS" in one step; anything else takes the field-by-field scan.
    if (s.size() == 8 && s[2] == ':' && s[5] == ':' && is_digit(s[0]) && is_digit(s[1]) && is_digit(s[3]) &&
        is_digit(s[4]) && is_digit(s[6]) && is_digit(s[7])) {
        const auto two = [&s](std::size_t i) { return static_cast<unsigned>((s[i] - '0') * 10 + (s[i + 1] - '0')); };
        const unsigned hh = two(0), mm = two(3), ss = two(6);
        if (hh <= 23 && mm <= 59 && ss <= 59) {
            out = TimeOfDay::hms(hh, mm, ss);
            return TimeParseError::None;
        }
    }
    unsigned h = 0, m = 0, sec = 0;
    if (auto e = take_number(s, h); e != TimeParseError::None) return e;
    if (h > 23) return TimeParseError::OutOfRange;
    if (auto e = take_colon(s); e != TimeParseError::None) return e;
    if (auto e = take_number(s, m); e != TimeParseError::None) return e;
    if (m > 59) return TimeParseError::OutOfRange;
    if (auto e = take_colon(s); e != TimeParseError::None) return e;
    if (auto e = take_number(s, sec); e != TimeParseError::None) return e;
    if (sec > 60) return TimeParseError::OutOfRange;
    if (!s.empty()) return TimeParseError::TooLong;
    out = sec == 60 ? TimeOfDay::hms(h, m, 59, 1'000'000'000u) : TimeOfDay::hms(h, m, sec);
    return TimeParseError::None;
}

}  // namespace zj_core
