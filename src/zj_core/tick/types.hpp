#pragma once
// Records of the minute-chart (分时) analysis.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zj_core/common/time_of_day.hpp"

namespace zj_core::tick {

// One minute of the chart. Only price and vol drive the analysis; time, avg
// and momentum are carried as supplied.
struct TickPoint {
    TimeOfDay time;
    double price = 0.0;
    double avg = 0.0;
    std::int64_t vol = 0;
    double momentum = 0.0;
};

struct TickAnalysisResult {
    std::string cancel_reason;       // notes joined by "; " when cancelling, else empty
    double close_pos = 0.0;          // last price within the day's range
    double day_chg_pct = 0.0;        // last price against the previous close, %
    double amplitude_pct = 0.0;      // day range against the previous close, %
    std::int64_t total_vol = 0;      // saturates at the int64 limits
    std::size_t n = 0;
    double am_avg = 0.0;             // mean price of positions 0..119
    double pm_avg = 0.0;             // mean price of positions 120..
    double pm_vs_am_pct = 0.0;
    double late_chg_pct = 0.0;       // last price against position 210, %
    std::size_t large_trade_count = 0;
    double large_trade_vol_ratio = 0.0;
    std::size_t am_large = 0;
    std::size_t pm_large = 0;
    std::size_t late_large = 0;
    std::int64_t late_large_vol = 0;  // saturates at the int64 limits
    double mean_vol = 0.0;
    double vol_std = 0.0;
    double quality_score = 0.0;       // 0..100
    bool should_cancel = false;       // quality_score < 40
};

// What the grade saw in each minute, by position: the marks a chart draws.
struct MinuteMarks {
    std::vector<std::uint8_t> large;  // volume above twice the day's mean
};

}  // namespace zj_core::tick
