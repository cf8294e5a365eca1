#pragma once
// Small numeric helpers shared by the analytics: output rounding, saturating
// conversions and the fixed-point number formats of the explanation texts.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace zj_core {

// round(x * 10^k) / 10^k, half away from zero; applied once, at output.
inline double round_to(double x, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(x * scale) / scale;
}

// Truncation toward zero into a signed integer type, saturating at the type's
// limits; NaN gives 0.
template <class Int>
Int saturating_cast(double x) {
    static_assert(std::numeric_limits<Int>::is_integer && std::numeric_limits<Int>::is_signed);
    if (std::isnan(x)) return 0;
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    // 2^63 (or 2^31) is the first double past the maximum.
    constexpr double hi = -lo;
    if (x <= lo) return std::numeric_limits<Int>::min();
    if (x >= hi) return std::numeric_limits<Int>::max();
    return static_cast<Int>(x);
}

// round() half away from zero, then saturate into Int (NaN gives 0).
template <class Int>
Int round_saturating(double x) {
    return saturating_cast<Int>(std::round(x));
}

// Fixed-point text with `decimals` digits after the point, exact ties on the
// binary value going to the even digit (the digits printf's %.Nf produces).
std::string fixed(double x, int decimals);
// The same with the sign always written ("+1.5", "-0.3", "+0").
std::string fixed_signed(double x, int decimals);

// Python's repr of a float: the shortest digits that read back to the same
// double, in exponent form below 1e-4 and from 1e16 on ("1e-05", "1.5e+16"),
// else positional with at least one decimal ("10.0", "-0.0"); "nan", "inf",
// "-inf".
std::string float_repr(double x);
// Python's repr of an int ("-100").
std::string int_repr(std::int64_t x);

}  // namespace zj_core
