#pragma once
// Moving-average type codes (numbered as in TA-Lib) and the dispatcher.
#include <cstddef>
#include <optional>
#include <span>

#include "indicators/error.hpp"

namespace indicators {

enum class MaType : int { Sma = 0, Ema = 1, Wma = 2, Dema = 3, Tema = 4, Trima = 5, Kama = 6, Mama = 7, T3 = 8 };

// The type for an integer code 0..8, nothing otherwise.
std::optional<MaType> ma_type_from_code(long long code);

// Sma: sma(n); Ema: ema_core(n, 2/(n+1)); Wma, Dema, Tema, Trima, Kama: that
// average of period n; Mama: the MAMA line of mama(0.5, 0.05), n ignored;
// T3: t3(n, 0.7). The callee's result (or error) passes through unchanged.
Result<Series> compute_ma(std::span<const double> in, std::size_t period, MaType type);

// The lookback (NaN prefix) compute_ma gives for a valid period.
std::size_t ma_lookback(std::size_t period, MaType type);

}  // namespace indicators
