#pragma once
// Screener figures of a day's tape: volume by time window, large-trade shares,
// average trade size, VWAP and order sizes. No judgement, no text.
#include <optional>
#include <span>

#include "zj_core/transaction/types.hpp"

namespace zj_core::transaction {

// Absent for fewer than 5 points or a total volume of exactly 0. The order of
// the points does not matter.
std::optional<ScreeningMetrics> compute_screening_metrics(std::span<const ScreeningTxPoint> points);

}  // namespace zj_core::transaction
