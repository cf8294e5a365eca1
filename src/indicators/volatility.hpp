#pragma once
// Average true range (Wilder).
#include <cstddef>
#include <span>

#include "indicators/error.hpp"

namespace indicators {

Result<Series> atr(std::span<const double> high, std::span<const double> low, std::span<const double> close,
                   std::size_t n);  // lookback n

}  // namespace indicators
