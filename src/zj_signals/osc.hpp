#pragma once
// Price-oscillator state signals: OSC = 100 x (close - n-bar mean of close),
// MAOSC its exponential average; labels for sign, heat and direction.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "zj_signals/types.hpp"

namespace zj_signals::osc {

// Exponential average with e_i = (e_(i-1)(span - 1) + 2 x_i) / (span + 1),
// seeded with x_0, carried unrounded and rounded to 4 decimals (half away from
// zero) on output. span 0 gives all NaN.
std::vector<double> calc_ema(std::span<const double> values, std::uint64_t span);

std::string_view sign_label(double osc);                    // "上" / "下" / "零"
std::string_view trend_label(double osc, double maosc);      // "上升" / "下降" / "平稳"
std::string_view heat_label_720(double osc);                 // from the oscillator itself
std::string_view heat_label_721(double close, double ma, double scale);  // from % deviation

// The two signals: one record per bar (placeholders when bars < max(n, m) + 5).
std::vector<SignalOutput> compute_osc_720(const BarColumns& bars, const ParamMap& params);
std::vector<SignalOutput> compute_osc_721(const BarColumns& bars, const ParamMap& params);

}  // namespace zj_signals::osc
