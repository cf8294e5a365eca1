#include "zj_signals/builtin.hpp"

namespace zj_signals::builtin {

double window_mean(std::span<const double> values, std::size_t i, std::size_t n) {
    const double newest = values[i];
    double sum = 0.0;
    bool flat = true;
    for (std::size_t j = i + 1 - n; j <= i; ++j) {
        sum += values[j];
        flat &= values[j] == newest;
    }
    // n equal values average to that value exactly; their sum need not be
    // exact (twenty closes of 10.23 sum to a hair off 204.6).
    return flat ? newest : sum / static_cast<double>(n);
}

}  // namespace zj_signals::builtin
