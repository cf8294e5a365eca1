#pragma once
// Moving averages and Bollinger bands. Every output has the input's length;
// the first lookback entries are quiet NaN.
#include <cstddef>
#include <span>

#include "indicators/error.hpp"
#include "indicators/ma_type.hpp"

namespace indicators {

Result<Series> sma(std::span<const double> in, std::size_t n);              // lookback n-1
Result<Series> ema_core(std::span<const double> in, std::size_t n, double k);  // lookback n-1
Result<Series> wma(std::span<const double> in, std::size_t n);              // lookback n-1
Result<Series> dema(std::span<const double> in, std::size_t n);             // lookback 2(n-1)
Result<Series> tema(std::span<const double> in, std::size_t n);             // lookback 3(n-1)
Result<Series> trima(std::span<const double> in, std::size_t n);            // lookback n-1
Result<Series> kama(std::span<const double> in, std::size_t n);             // lookback n
Result<Series> t3(std::span<const double> in, std::size_t n, double vfactor);  // lookback 6(n-1)

struct MamaLines {
    Series mama, fama;
};
Result<MamaLines> mama(std::span<const double> in, double fastlimit, double slowlimit);  // lookback 32

struct Bands {
    Series upper, middle, lower;
};
Result<Bands> bbands(std::span<const double> in, std::size_t n, MaType type, double nbdevup, double nbdevdn);

}  // namespace indicators
