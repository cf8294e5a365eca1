// Triple exponential moving average: 3·EMA1 - 3·EMA2 + EMA3.
#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"
#include "indicators/simd.hpp"

namespace indicators {
namespace kernel {

Check check_tema(std::size_t len, std::size_t n) {
    if (n < 2) return detail::bad_period(n, "must be >= 2 for TEMA");
    return detail::cascade_length(len, 3, n);
}

ZJ_FMA_CLONES void fill_tema(In in, std::size_t n, Out out) {
    const std::size_t lookback = 3 * (n - 1);
    detail::nan_prefix(out, lookback);
    const double dn = static_cast<double>(n);
    const double k = 2.0 / (dn + 1.0);
    double e1 = seed_sum(in.first(n)) / dn;
    double sum = e1;
    std::size_t i = n;
    for (; i <= 2 * (n - 1); ++i) {
        e1 = detail::ema_step(e1, in[i], k);
        sum += e1;
    }
    double e2 = sum / dn;
    sum = e2;
    for (; i <= lookback; ++i) {
        e1 = detail::ema_step(e1, in[i], k);
        e2 = detail::ema_step(e2, e1, k);
        sum += e2;
    }
    double e3 = sum / dn;
    out[lookback] = 3.0 * e1 - 3.0 * e2 + e3;
    for (; i < in.size(); ++i) {
        e1 = detail::ema_step(e1, in[i], k);
        e2 = detail::ema_step(e2, e1, k);
        e3 = detail::ema_step(e3, e2, k);
        out[i] = 3.0 * e1 - 3.0 * e2 + e3;
    }
}

}  // namespace kernel

Result<Series> tema(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_tema(in.size(), n); },
                       [&](double* out) { kernel::fill_tema(in, n, out); });
}

}  // namespace indicators
