#pragma once
// Directional movement: +DI, -DI, ADX and ADXR (Wilder).
#include <cstddef>
#include <span>

#include "indicators/error.hpp"

namespace indicators {

using Hlc = std::span<const double>;

Result<Series> plus_di(Hlc high, Hlc low, Hlc close, std::size_t n);   // lookback n
Result<Series> minus_di(Hlc high, Hlc low, Hlc close, std::size_t n);  // lookback n
Result<Series> adx(Hlc high, Hlc low, Hlc close, std::size_t n);       // lookback 2n-1
Result<Series> adxr(Hlc high, Hlc low, Hlc close, std::size_t n);      // lookback 3n-2

}  // namespace indicators
