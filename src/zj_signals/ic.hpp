#pragma once
// Ichimoku cloud state of one bar: position against the cloud, the cloud's
// colour, and the bar against the conversion and base lines, with a score.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "zj_signals/types.hpp"

namespace zj_signals::ic {

struct IcLines {
    std::vector<double> tenkan, kijun, span_a, span_b;
};

// Nothing when the bar count is below n2 + n3 + 5 or a period is rejected.
std::optional<IcLines> compute_ic_lines(std::span<const double> high, std::span<const double> low,
                                        std::uint64_t n1, std::uint64_t n2, std::uint64_t n3);

struct IcState {
    std::string_view position, cloud, line;
    std::uint32_t score;
};

// Reads bar (count - di); nothing when it does not exist or a line is undefined there.
std::optional<IcState> compute_ic_state(std::span<const double> high, std::span<const double> low,
                                        std::span<const double> close, std::uint64_t n1, std::uint64_t n2,
                                        std::uint64_t n3, std::uint64_t di);

std::string_view position_label(double h, double l, double cl, double top, double bottom);
// t, k: conversion and base line at the bar read; tp, kp: at the bar before.
std::string_view line_label(double h, double l, double cl, double t, double k, double tp, double kp);
std::uint32_t ic_score(std::string_view position, std::string_view cloud, std::string_view line);

// Exactly one record: the bar chosen by "di" (default 1, the last bar).
std::vector<SignalOutput> zj_ic_state_v260718(const BarColumns& bars, const ParamMap& params);

}  // namespace zj_signals::ic
