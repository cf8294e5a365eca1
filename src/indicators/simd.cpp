#include "indicators/simd.hpp"

namespace indicators {

double seed_sum(std::span<const double> w) {
    const std::size_t n = w.size();
    double a0 = 0.0, a1 = 0.0, b0 = 0.0, b1 = 0.0;
    std::size_t j = 0;
    for (; j + 4 <= n; j += 4) {
        a0 += w[j];
        a1 += w[j + 1];
        b0 += w[j + 2];
        b1 += w[j + 3];
    }
    double s = (a0 + a1) + (b0 + b1);
    for (; j < n; ++j) s += w[j];
    return s;
}

}  // namespace indicators
