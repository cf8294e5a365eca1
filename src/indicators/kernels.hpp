#pragma once
// The two halves of every indicator: a check over lengths and parameters
// (first failing rule wins) and a fill that writes the full-length outputs
// into caller-owned memory once the check has passed. The vector-returning
// functions are built on these; so is the Python module, which writes
// straight into the arrays it returns.
#include <cstddef>
#include <optional>
#include <span>

#include "indicators/error.hpp"
#include "indicators/ma_type.hpp"

namespace indicators::kernel {

using In = std::span<const double>;
using Out = double*;  // room for as many values as the input has
using Check = std::optional<TaError>;

Check check_sma(std::size_t len, std::size_t n);
void fill_sma(In in, std::size_t n, Out out);
Check check_ema(std::size_t len, std::size_t n);
void fill_ema(In in, std::size_t n, double k, Out out);
Check check_wma(std::size_t len, std::size_t n);
void fill_wma(In in, std::size_t n, Out out);
Check check_dema(std::size_t len, std::size_t n);
void fill_dema(In in, std::size_t n, Out out);
Check check_tema(std::size_t len, std::size_t n);
void fill_tema(In in, std::size_t n, Out out);
Check check_trima(std::size_t len, std::size_t n);
void fill_trima(In in, std::size_t n, Out out);
Check check_kama(std::size_t len, std::size_t n);
void fill_kama(In in, std::size_t n, Out out);
Check check_t3(std::size_t len, std::size_t n);
void fill_t3(In in, std::size_t n, double vfactor, Out out);
Check check_mama(std::size_t len, double fastlimit, double slowlimit);
void fill_mama(In in, double fastlimit, double slowlimit, Out mama, Out fama);  // fama may be null
Check check_ma(std::size_t len, std::size_t n, MaType type);
void fill_ma(In in, std::size_t n, MaType type, Out out);
Check check_bbands(std::size_t len, std::size_t n, MaType type);
void fill_bbands(In in, std::size_t n, MaType type, double nbdevup, double nbdevdn, Out upper, Out middle,
                 Out lower);
std::size_t bbands_lookback(std::size_t n, MaType type);

Check check_max(std::size_t len, std::size_t n);
void fill_max(In in, std::size_t n, Out out);
void fill_min(In in, std::size_t n, Out out);

Check check_linearreg(std::size_t len, std::size_t n);
void fill_linearreg_components(In in, std::size_t n, Out slope, Out intercept);
void fill_linearreg(In in, std::size_t n, Out out);

// high, low, close lengths first: a mismatch is reported before the period.
Check check_atr(std::size_t lh, std::size_t ll, std::size_t lc, std::size_t n);
void fill_atr(In high, In low, In close, std::size_t n, Out out);
void fill_plus_di(In high, In low, In close, std::size_t n, Out out);
void fill_minus_di(In high, In low, In close, std::size_t n, Out out);
Check check_adx(std::size_t lh, std::size_t ll, std::size_t lc, std::size_t n);
void fill_adx(In high, In low, In close, std::size_t n, Out out);
void fill_adxr(In high, In low, In close, std::size_t n, Out out);

}  // namespace indicators::kernel
