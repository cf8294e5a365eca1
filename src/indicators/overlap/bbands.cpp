// Bollinger bands around any moving average.
#include <algorithm>
#include <cmath>

#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"

namespace indicators {
namespace kernel {

namespace {

// Σ (x - m)² over n values, in four interleaved partial sums (lanes j mod 4)
// combined as (0 + 1) + (2 + 3), the remaining values added in order.
inline double squared_deviations(const double* x, std::size_t n, double m) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    std::size_t j = 0;
    for (; j + 4 <= n; j += 4) {
        const double d0 = x[j] - m, d1 = x[j + 1] - m, d2 = x[j + 2] - m, d3 = x[j + 3] - m;
        s0 += d0 * d0;
        s1 += d1 * d1;
        s2 += d2 * d2;
        s3 += d3 * d3;
    }
    double s = (s0 + s1) + (s2 + s3);
    for (; j < n; ++j) s += (x[j] - m) * (x[j] - m);
    return s;
}

}  // namespace

std::size_t bbands_lookback(std::size_t n, MaType type) {
    // MAMA's lookback does not depend on n; the deviation window still needs
    // n values behind it.
    return std::max(ma_lookback(n, type), n - 1);
}

Check check_bbands(std::size_t len, std::size_t n, MaType type) {
    if (n == 0) return detail::bad_period(n, "must be >= 1");
    if (type == MaType::Sma) {
        if (len < n) return TaError::insufficient(n, len);
        return std::nullopt;
    }
    if (auto e = check_ma(len, n, type)) return e;
    // Only MAMA can pass its own checks with fewer than n values.
    if (len < n) return TaError::insufficient(n, len);
    return std::nullopt;
}

ZJ_FMA_CLONES void fill_bbands(In in, std::size_t n, MaType type, double up, double dn, Out upper, Out middle,
                                Out lower) {
    const std::size_t len = in.size();
    const double inv_n = 1.0 / static_cast<double>(n);
    if (type == MaType::Sma) {
        detail::nan_prefix(upper, n - 1);
        detail::nan_prefix(middle, n - 1);
        detail::nan_prefix(lower, n - 1);
        double sum = 0.0, sumsq = 0.0;
        // Length of the run of equal values ending at the current bar. A window
        // of equal values has no spread; the sum-of-squares formula would leave
        // rounding residue there (a band width of ~1e-5 on a flat price of
        // 1000), so such windows get sd = 0 outright, and their mean is the
        // value itself (unless an earlier NaN or infinity made the sums NaN).
        std::size_t run = 0;
        for (std::size_t j = 0; j + 1 < n; ++j) {
            sum += in[j];
            sumsq += in[j] * in[j];
            run = (j > 0 && in[j] == in[j - 1]) ? run + 1 : 1;
        }
        for (std::size_t i = n - 1; i < len; ++i) {
            if (i >= n) {
                const double old = in[i - n];
                sum -= old;
                sumsq -= old * old;
            }
            sum += in[i];
            sumsq += in[i] * in[i];
            run = (i > 0 && in[i] == in[i - 1]) ? run + 1 : 1;
            const double mean = sum * inv_n;
            const double sd =
                run >= n ? 0.0 : std::sqrt(std::max(sumsq * inv_n - mean * mean, 0.0));
            const double mid = run >= n && mean == mean ? in[i] : mean;
            middle[i] = mid;
            upper[i] = mid + up * sd;
            lower[i] = mid - dn * sd;
        }
        return;
    }
    fill_ma(in, n, type, middle);
    const std::size_t lookback = bbands_lookback(n, type);
    detail::nan_prefix(middle, lookback);
    detail::nan_prefix(upper, lookback);
    detail::nan_prefix(lower, lookback);
    for (std::size_t i = lookback; i < len; ++i) {
        const double m = middle[i];
        const double sd = std::sqrt(squared_deviations(in.data() + (i + 1 - n), n, m) * inv_n);
        upper[i] = m + up * sd;
        lower[i] = m - dn * sd;
    }
}

}  // namespace kernel

Result<Bands> bbands(std::span<const double> in, std::size_t n, MaType type, double nbdevup, double nbdevdn) {
    if (auto e = kernel::check_bbands(in.size(), n, type)) return std::move(*e);
    Bands b{Series(in.size()), Series(in.size()), Series(in.size())};
    kernel::fill_bbands(in, n, type, nbdevup, nbdevdn, b.upper.data(), b.middle.data(), b.lower.data());
    return b;
}

}  // namespace indicators
