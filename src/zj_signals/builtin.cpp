#include "zj_signals/builtin.hpp"

namespace zj_signals::builtin {

double window_mean(std::span<const double> values, std::size_t i, std::size_t n) {
    double sum = 0.0;
    for (std::size_t j = i + 1 - n; j <= i; ++j) sum += values[j];
    return sum / static_cast<double>(n);
}

}  // namespace zj_signals::builtin
