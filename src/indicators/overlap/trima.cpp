// Triangular moving average: a simple average of a simple average.
#include <vector>

#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"
#include "indicators/simd.hpp"

namespace indicators {
namespace kernel {

Check check_trima(std::size_t len, std::size_t n) {
    if (n == 0) return detail::bad_period(n, "must be >= 1");
    if (n == 1) return std::nullopt;  // a copy of the input, whatever its length
    if (len < n) return TaError::insufficient(n, len);
    return std::nullopt;
}

void fill_trima(In in, std::size_t n, Out out) {
    if (n == 1) {
        std::copy(in.begin(), in.end(), out);
        return;
    }
    // Odd n: both periods (n+1)/2; even n: n/2 + 1, then n/2.
    const std::size_t p1 = n % 2 ? (n + 1) / 2 : n / 2 + 1;
    const std::size_t p2 = n % 2 ? (n + 1) / 2 : n / 2;
    const double d1 = static_cast<double>(p1), d2 = static_cast<double>(p2);
    detail::nan_prefix(out, n - 1);

    // The last p2 first-stage averages, as a ring.
    std::vector<double> ring(p2);
    double sum1 = seed_sum(in.first(p1));
    ring[0] = sum1 / d1;
    for (std::size_t j = 1; j < p2; ++j) {
        const std::size_t i = p1 - 1 + j;
        sum1 = (sum1 - in[i - p1]) + in[i];
        ring[j] = sum1 / d1;
    }
    double sum2 = seed_sum(ring);
    out[n - 1] = sum2 / d2;
    std::size_t slot = 0;  // oldest entry of the ring
    for (std::size_t i = n; i < in.size(); ++i) {
        sum1 = (sum1 - in[i - p1]) + in[i];
        const double a = sum1 / d1;
        sum2 = (sum2 - ring[slot]) + a;
        ring[slot] = a;
        if (++slot == p2) slot = 0;
        out[i] = sum2 / d2;
    }
}

}  // namespace kernel

Result<Series> trima(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_trima(in.size(), n); },
                       [&](double* out) { kernel::fill_trima(in, n, out); });
}

}  // namespace indicators
