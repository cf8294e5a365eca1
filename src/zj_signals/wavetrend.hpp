#pragma once
// WaveTrend oscillator and the two signals read from it.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "zj_signals/types.hpp"

namespace zj_signals::wavetrend {

struct WtPoint {
    double wt1;  // the WaveTrend line
    double wt2;  // its signal line
};

// Exponential average whose every step is rounded to four decimals (half away
// from zero) and fed back: out[0] = values[0], then
// e = (out[i-1]*(n-1) + 2*values[i]) / (n+1). n = 0 gives all NaN.
std::vector<double> calc_ema(std::span<const double> values, std::uint64_t n);

std::vector<WtPoint> compute_wavetrend(std::span<const double> high, std::span<const double> low,
                                       std::span<const double> close, std::uint64_t n1, std::uint64_t n2,
                                       std::uint64_t n3);

struct WtLabels {
    std::string_view zone, cross, gap;
};
// Reads the point at len - k against the one before it; nothing with fewer than
// k + 2 points or a NaN among the four values.
std::optional<WtLabels> get_wt_signal(std::span<const WtPoint> points, std::size_t k);

std::string_view zone_label(double wt1);

struct ZoneReading {
    std::string_view zone, regime, side;
    int state;
    std::uint32_t score;
};
// One step of the regime state machine (-1, 0, +1) with the score table.
ZoneReading compute_wt_zone_signal(int state, double wt1, double wt2, double prev_wt1);

std::vector<SignalOutput> compute_wt_signal(const BarColumns& bars, const ParamMap& params);
std::vector<SignalOutput> compute_wt_zone_signal_full(const BarColumns& bars, const ParamMap& params);

}  // namespace zj_signals::wavetrend
