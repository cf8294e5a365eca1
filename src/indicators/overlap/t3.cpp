// Tillson's T3: six cascaded EMAs combined with the volume factor's weights.
#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"
#include "indicators/simd.hpp"

namespace indicators {
namespace kernel {

Check check_t3(std::size_t len, std::size_t n) {
    if (n < 2) return detail::bad_period(n, "must be >= 2 for T3");
    return detail::cascade_length(len, 6, n);
}

ZJ_FMA_CLONES void fill_t3(In in, std::size_t n, double a, Out out) {
    const std::size_t lookback = 6 * (n - 1);
    detail::nan_prefix(out, lookback);
    const double dn = static_cast<double>(n);
    const double k = 2.0 / (dn + 1.0);
    double e[6];
    // Stage s is seeded with the mean of the first n values of stage s-1,
    // which are the values at indices s(n-1) .. (s+1)(n-1).
    e[0] = seed_sum(in.first(n)) / dn;
    std::size_t i = n;
    for (int stage = 1; stage < 6; ++stage) {
        double sum = e[stage - 1];
        for (std::size_t end = static_cast<std::size_t>(stage + 1) * (n - 1); i <= end; ++i) {
            e[0] = detail::ema_step(e[0], in[i], k);
            for (int s = 1; s < stage; ++s) e[s] = detail::ema_step(e[s], e[s - 1], k);
            sum += e[stage - 1];
        }
        e[stage] = sum / dn;
    }
    const double a2 = a * a;
    const double c1 = -a2 * a;
    const double c2 = 3.0 * (a2 - c1);
    const double c3 = -6.0 * a2 - 3.0 * (a - c1);
    const double c4 = 1.0 + 3.0 * a - c1 + 3.0 * a2;
    out[lookback] = c1 * e[5] + c2 * e[4] + c3 * e[3] + c4 * e[2];
    for (; i < in.size(); ++i) {
        e[0] = detail::ema_step(e[0], in[i], k);
        e[1] = detail::ema_step(e[1], e[0], k);
        e[2] = detail::ema_step(e[2], e[1], k);
        e[3] = detail::ema_step(e[3], e[2], k);
        e[4] = detail::ema_step(e[4], e[3], k);
        e[5] = detail::ema_step(e[5], e[4], k);
        out[i] = c1 * e[5] + c2 * e[4] + c3 * e[3] + c4 * e[2];
    }
}

}  // namespace kernel

Result<Series> t3(std::span<const double> in, std::size_t n, double vfactor) {
    return detail::run(in.size(), [&] { return kernel::check_t3(in.size(), n); },
                       [&](double* out) { kernel::fill_t3(in, n, vfactor, out); });
}

}  // namespace indicators
