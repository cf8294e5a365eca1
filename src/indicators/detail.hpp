#pragma once
// Helpers shared by the indicator implementations (not part of the API).
#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "indicators/error.hpp"
#include "indicators/kernels.hpp"

// Kernels with fused multiply-adds get a second build for CPUs with FMA, chosen
// once at load time; std::fma is exact either way, so both builds give the
// same bits.
#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__))
#define ZJ_FMA_CLONES __attribute__((target_clones("fma", "default")))
#else
#define ZJ_FMA_CLONES
#endif

namespace indicators::detail {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

inline void nan_prefix(double* out, std::size_t count) { std::fill(out, out + count, kNaN); }

inline TaError bad_period(std::size_t n, std::string_view reason) {
    return TaError::invalid("timeperiod", period_text(n), reason);
}

// k·m and m + 1, saturating: an absurd period must give an error, never a
// wrapped-around length.
inline std::size_t sat_mul(std::size_t k, std::size_t m) {
    return m > std::numeric_limits<std::size_t>::max() / k ? std::numeric_limits<std::size_t>::max() : k * m;
}
inline std::size_t sat_inc(std::size_t m) { return m == std::numeric_limits<std::size_t>::max() ? m : m + 1; }

// The length rule of an average with lookback k·(n - 1): InsufficientData
// with need k·(n - 1) + 1 when len is not longer than the lookback.
inline kernel::Check cascade_length(std::size_t len, std::size_t k, std::size_t n) {
    const std::size_t lookback = sat_mul(k, n - 1);
    if (len <= lookback) return TaError::insufficient(sat_inc(lookback), len);
    return std::nullopt;
}

// Wilder's step (prev·(n - 1) + value) / n, as prev·((n - 1)/n) + value/n in
// one fused multiply-add: a division in the carried chain would dominate the
// run time, and the two forms differ by a few units in the last place.
struct WilderStep {
    double keep, share;  // (n - 1)/n and 1/n
    explicit WilderStep(std::size_t n)
        : keep((static_cast<double>(n) - 1.0) / static_cast<double>(n)), share(1.0 / static_cast<double>(n)) {}
    double operator()(double prev, double value) const { return std::fma(prev, keep, value * share); }
};

// e + k(x - e) as one fused multiply-add.
inline double ema_step(double e, double x, double k) { return std::fma(k, x - e, e); }

// The larger of a and b, preferring a number over a NaN (written so that it
// compiles to a compare-and-select without branches).
inline double max_num(double a, double b) { return b != b ? a : (a > b ? a : b); }

// True range of bar i against the previous close; a NaN operand is ignored in
// favour of the others.
inline double true_range(double high, double low, double prev_close) {
    // For an ordinary bar (high >= low, no NaN) this is max(high, prev_close)
    // - min(low, prev_close): the same single subtraction the largest of the
    // three ranges comes from, so the same bits, in fewer steps.
    const double top = high > prev_close ? high : prev_close;
    const double bottom = low < prev_close ? low : prev_close;
    const double fast = top - bottom;
    if (high >= low && fast == fast) return fast;
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
