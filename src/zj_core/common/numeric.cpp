#include "zj_core/common/numeric.hpp"

#include <charconv>
#include <cstdio>

#include "zj_core/common/failure.hpp"

namespace zj_core {

namespace {
std::string format(const char* fmt, double x, int decimals) {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, fmt, decimals, x);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof buf) return std::string(buf, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');  // huge magnitudes: up to ~330 digits
    std::snprintf(big.data(), big.size(), fmt, decimals, x);
    big.resize(static_cast<std::size_t>(n));
    return big;
}
}  // namespace

std::string fixed(double x, int decimals) { return format("%.*f", x, decimals); }
std::string fixed_signed(double x, int decimals) { return format("%+.*f", x, decimals); }

std::string float_repr(double x) {
    if (std::isnan(x)) return "nan";
    if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
    // The switch is decided on the value: a double below 1e16 never has 1e16
    // as its shortest digits (1e16 is itself a double), and the double nearest
    // 1e-4 is the literal compared with.
    const double a = std::fabs(x);
    const bool positional = a == 0.0 || (a >= 1e-4 && a < 1e16);
    char buf[64];  // at most 24 characters ("-2.2250738585072014e-308")
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x,
                                         positional ? std::chars_format::fixed : std::chars_format::scientific);
    if (ec != std::errc{}) throw InternalFailure("float_repr: no room for the digits");
    std::string s(buf, end);
    if (positional && s.find('.') == std::string::npos) s += ".0";
    return s;
}

std::string int_repr(std::int64_t x) { return std::to_string(x); }

}  // namespace zj_core
