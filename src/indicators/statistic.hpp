#pragma once
// Least-squares line over a sliding window (x = 0 oldest .. n-1 newest).
#include <cstddef>
#include <span>

#include "indicators/error.hpp"

namespace indicators {

struct RegressionLines {
    Series slope, intercept;
};
Result<RegressionLines> linearreg_components(std::span<const double> in, std::size_t n);  // lookback n-1
// The regression line's value at the newest bar of each window.
Result<Series> linearreg(std::span<const double> in, std::size_t n);  // lookback n-1

}  // namespace indicators
