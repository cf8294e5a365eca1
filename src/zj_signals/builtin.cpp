#include "zj_signals/builtin.hpp"

namespace zj_signals::builtin {

double window_mean(std::span<const double> values, std::size_t i, std::size_t n) {
    // n equal values average to that value exactly; their sum need not be
    // exact (twenty closes of 10.23 sum to a hair off 204.6). On moving data
    // the first comparison already fails.
    const std::size_t first = i + 1 - n;
    std::size_t same = first;
    while (same < i && values[same] == values[i]) ++same;
    if (same == i && n > 1) return values[i];
    double sum = 0.0;
    for (std::size_t j = first; j <= i; ++j) sum += values[j];
    return sum / static_cast<double>(n);
}

}  // namespace zj_signals::builtin
