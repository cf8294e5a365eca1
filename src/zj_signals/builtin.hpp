#pragma once
// What the indicator-based signals share beyond signal_util.hpp: window
// means and overflow-safe warm-up arithmetic.
// Periods come from caller text and may be anything up to 2^64 - 1, so
// warm-up sums saturate.
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

#include "zj_signals/params.hpp"
#include "zj_signals/signal_util.hpp"
#include "zj_signals/types.hpp"

namespace zj_signals::builtin {

inline constexpr std::string_view kOther = "其他";
inline constexpr std::string_view kAny = "任意";


constexpr std::uint64_t sat_mul(std::uint64_t a, std::uint64_t b) {
    return b != 0 && a > std::numeric_limits<std::uint64_t>::max() / b ? std::numeric_limits<std::uint64_t>::max()
                                                                          : a * b;
}
// True when `count` bars are fewer than `need` (a saturated need is never met).
constexpr bool fewer_than(std::size_t count, std::uint64_t need) {
    return static_cast<std::uint64_t>(count) < need;
}

// A float parameter that must be a number: "nan" parses, but a NaN width or
// scale fails every comparison and would give every bar the same confident
// label, so it reads as the default like any other unusable text.
inline double param_number(const ParamMap& params, std::string_view key, double fallback) {
    const double v = param_float(params, key, fallback);
    return v != v ? fallback : v;
}

// Mean of values[i - n + 1 .. i], summed in index order (n >= 1, i >= n - 1).
// Summing each window afresh keeps every mean exact to its own window: a NaN
// or infinity affects only the windows that hold it, and no rounding drift
// accumulates along the series. A window of equal values gives that value.
double window_mean(std::span<const double> values, std::size_t i, std::size_t n);

}  // namespace zj_signals::builtin
