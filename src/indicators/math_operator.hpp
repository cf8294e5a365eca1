#pragma once
// Sliding-window highest and lowest values.
#include <cstddef>
#include <span>

#include "indicators/error.hpp"

namespace indicators {

// Lookback n-1. Ties go to the newest bar; a NaN never replaces a number, and
// a NaN that opens a window scan stays the result until the next rescan.
Result<Series> max(std::span<const double> in, std::size_t n);
Result<Series> min(std::span<const double> in, std::size_t n);

}  // namespace indicators
