// Triangular moving average: a simple average of a simple average.
#include <vector>

#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"
#include "indicators/simd.hpp"

namespace indicators {
namespace kernel {

namespace {

// From index n on, each sum moves by one difference: a single add in each
// carried chain. The ring holds the last p2 first-stage sums, oldest at the
// slot about to be replaced.
// Kept out of line: the sums then arrive in registers rather than in the
// stack slots they were spilled to around the seed calls.
[[gnu::noinline]] void second_stage(const double* in, std::size_t len, std::size_t n, std::size_t p1, double* ring, std::size_t p2,
                                    double sum1, double sum2, double divisor, double* out) {
    std::size_t i = n;
    while (i < len) {
        const std::size_t m = std::min(p2, len - i);
        for (std::size_t slot = 0; slot < m; ++slot, ++i) {
            sum1 += in[i] - in[i - p1];
            const double old = ring[slot];
            ring[slot] = sum1;
            sum2 += sum1 - old;
            out[i] = sum2 / divisor;
        }
    }
}

}  // namespace

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
    // The first stage's window sums are averaged together with the second
    // stage's: out = (sum of p2 window sums of p1 values) / (p1 * p2).
    const double divisor = static_cast<double>(p1) * static_cast<double>(p2);
    detail::nan_prefix(out, n - 1);

    // The last p2 first-stage window sums, as a ring.
    std::vector<double> ring(p2);
    double sum1 = seed_sum(in.first(p1));
    ring[0] = sum1;
    for (std::size_t j = 1; j < p2; ++j) {
        const std::size_t i = p1 - 1 + j;
        sum1 = (sum1 - in[i - p1]) + in[i];
        ring[j] = sum1;
    }
    out[n - 1] = seed_sum(ring) / divisor;
    second_stage(in.data(), in.size(), n, p1, ring.data(), p2, sum1, seed_sum(ring), divisor, out);
}

}  // namespace kernel

Result<Series> trima(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_trima(in.size(), n); },
                       [&](double* out) { kernel::fill_trima(in, n, out); });
}

}  // namespace indicators
