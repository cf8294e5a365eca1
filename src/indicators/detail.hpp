#pragma once
// Helpers shared by the indicator implementations (not part of the API).
#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "indicators/error.hpp"
#include "indicators/kernels.hpp"

namespace indicators::detail {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

inline void nan_prefix(double* out, std::size_t count) { std::fill(out, out + count, kNaN); }

inline TaError bad_period(std::size_t n, std::string_view reason) {
    return TaError::invalid("timeperiod", period_text(n), reason);
}

// e + k(x - e) as one fused multiply-add.
inline double ema_step(double e, double x, double k) { return std::fma(k, x - e, e); }

// The larger of a and b, preferring a number over a NaN.
inline double max_num(double a, double b) { return (b > a || a != a) ? b : a; }

// True range of bar i against the previous close; a NaN operand is ignored in
// favour of the others.
inline double true_range(double high, double low, double prev_close) {
    return max_num(max_num(high - low, std::fabs(high - prev_close)), std::fabs(low - prev_close));
}

// Three series of one call must have the length of high; got is the smaller
// of the other two lengths, or the larger when the smaller is the right one.
inline kernel::Check check_hlc_lengths(std::size_t lh, std::size_t ll, std::size_t lc) {
    if (ll == lh && lc == lh) return std::nullopt;
    const std::size_t lo = std::min(ll, lc), hi = std::max(ll, lc);
    return TaError::mismatch(lh, lo != lh ? lo : hi);
}

// Runs check then fill into a fresh full-length series.
template <class CheckFn, class FillFn>
Result<Series> run(std::size_t len, CheckFn&& check, FillFn&& fill) {
    if (auto e = check()) return std::move(*e);
    Series out(len);
    fill(out.data());
    return out;
}

}  // namespace indicators::detail
