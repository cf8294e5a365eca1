// Double exponential moving average: 2·EMA1 - EMA2, stages kept in scalars.
#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"
#include "indicators/simd.hpp"

namespace indicators {
namespace kernel {

Check check_dema(std::size_t len, std::size_t n) {
    if (n < 2) return detail::bad_period(n, "must be >= 2 for DEMA");
    return detail::cascade_length(len, 2, n);
}

ZJ_FMA_CLONES void fill_dema(In in, std::size_t n, Out out) {
    const std::size_t lookback = 2 * (n - 1);
    detail::nan_prefix(out, lookback);
    const double dn = static_cast<double>(n);
    const double k = 2.0 / (dn + 1.0);
    double e1 = seed_sum(in.first(n)) / dn;
    double sum2 = e1;
    for (std::size_t i = n; i <= lookback; ++i) {
        e1 = detail::ema_step(e1, in[i], k);
        sum2 += e1;
    }
    double e2 = sum2 / dn;
    out[lookback] = 2.0 * e1 - e2;
    for (std::size_t i = lookback + 1; i < in.size(); ++i) {
        e1 = detail::ema_step(e1, in[i], k);
        e2 = detail::ema_step(e2, e1, k);
        out[i] = 2.0 * e1 - e2;
    }
}

}  // namespace kernel

Result<Series> dema(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_dema(in.size(), n); },
                       [&](double* out) { kernel::fill_dema(in, n, out); });
}

}  // namespace indicators
