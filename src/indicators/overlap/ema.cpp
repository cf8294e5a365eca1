// Exponential moving average seeded with the mean of the first window.
#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"
#include "indicators/simd.hpp"

namespace indicators {
namespace kernel {

Check check_ema(std::size_t len, std::size_t n) { return check_sma(len, n); }

ZJ_FMA_CLONES void fill_ema(In in, std::size_t n, double k, Out out) {
    detail::nan_prefix(out, n - 1);
    double e = seed_sum(in.first(n)) / static_cast<double>(n);
    out[n - 1] = e;
    if (k == 1.0) {
        // e + 1·(x - e) is x; written out so that no rounding of x - e shows.
        for (std::size_t i = n; i < in.size(); ++i) out[i] = in[i];
        return;
    }
    for (std::size_t i = n; i < in.size(); ++i) {
        e = detail::ema_step(e, in[i], k);
        out[i] = e;
    }
}

}  // namespace kernel

Result<Series> ema_core(std::span<const double> in, std::size_t n, double k) {
    return detail::run(in.size(), [&] { return kernel::check_ema(in.size(), n); },
                       [&](double* out) { kernel::fill_ema(in, n, k, out); });
}

}  // namespace indicators
