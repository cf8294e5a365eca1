#pragma once
// Grades one day's minute chart: where the price closed in the day's range,
// whether large-volume minutes kept coming in the afternoon and the last half
// hour, late fading and over-extension. Works on positions: 0..119 are the
// morning session, 120.. the afternoon, 210.. the last half hour.
#include <optional>
#include <span>

#include "zj_core/tick/types.hpp"

namespace zj_core::tick {

inline constexpr std::size_t kMinPoints = 10;
inline constexpr std::size_t kAfternoonStart = 120;
inline constexpr std::size_t kLateStart = 210;
inline constexpr double kCancelBelow = 40.0;

// Absent with fewer than 10 points. `low_price` is used only when `has_low`.
// With `marks`, also says which minutes were large (left empty when absent).
std::optional<TickAnalysisResult> analyze_tick_chart(std::span<const TickPoint> points, bool has_low,
                                                     double pre_close, double low_price,
                                                     double close_pos_threshold,
                                                     MinuteMarks* marks = nullptr);

}  // namespace zj_core::tick
