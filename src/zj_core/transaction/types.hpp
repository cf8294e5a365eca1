#pragma once
// Records of one stock's trade-by-trade tape (逐笔成交) and the results of the
// three tape analyses.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zj_core/common/time_of_day.hpp"

namespace zj_core::transaction {

// One executed trade.
struct TransactionPoint {
    TimeOfDay time;
    double price = 0.0;
    std::int64_t vol = 0;
    std::int32_t trade_count = 0;  // orders aggregated into the trade
    std::int32_t bs_flag = 0;      // 0 active buy, 1 active sell, anything else neutral
};

// Direction rules shared by the tape analyses: a negative flag is directional
// (it takes part in runs and pairs) but is neither a buy nor a sell.
constexpr bool is_directional(const TransactionPoint& p) { return p.bs_flag <= 1; }
constexpr bool is_buy(const TransactionPoint& p) { return p.bs_flag == 0; }
constexpr bool is_sell(const TransactionPoint& p) { return p.bs_flag == 1; }

// One trade without direction, as read by the screener.
struct ScreeningTxPoint {
    TimeOfDay time;
    double price = 0.0;
    std::int64_t vol = 0;
    std::int32_t trade_count = 1;
};

// Breakout verdict of a day's tape. Ratios are rounded at assembly: 3 decimals,
// inst_net_flow_ratio 4, day_chg_pct and last_30min_buy_sell_ratio 2,
// confidence 3.
struct TransactionAnalysisResult {
    double buy_vol_ratio = 0.0;
    double sell_vol_ratio = 0.0;
    double neutral_vol_ratio = 0.0;
    std::int32_t large_trade_count = 0;
    double large_trade_vol_ratio = 0.0;
    std::int32_t large_buy_count = 0;
    std::int32_t large_sell_count = 0;
    double large_buy_vol_ratio = 0.0;
    double inst_buy_vol_ratio = 0.0;
    std::int32_t inst_buy_count = 0;
    std::int32_t inst_sell_count = 0;
    double inst_net_flow_ratio = 0.0;
    std::int32_t split_clusters = 0;
    std::int32_t matched_pairs = 0;
    double price_position = 0.0;
    double day_chg_pct = 0.0;
    double last_30min_vol_ratio = 0.0;
    double last_30min_buy_sell_ratio = 0.0;
    double last_30min_momentum = 0.0;
    bool is_breakout = false;
    double confidence = 0.0;  // 0..100
    std::string conclusion;   // 真突破 / 疑似突破 / 疑似假突破 / 假突破
    std::string details;      // positives, then "｜风险: " and the risks
};

// What the verdict saw in each trade, in the caller's order: the marks a chart
// draws. Filled by analyze_transactions on request, from the same passes that
// count them.
struct TradeMarks {
    std::vector<std::uint8_t> large;          // large directional trade
    std::vector<std::uint8_t> institutional;  // institution-sized buy or sell
    std::vector<std::int64_t> split_cluster;  // number of its split-order cluster, or -1
    std::vector<std::int64_t> matched_with;   // the other trade of its matched pair, or -1
};

// Confirmation of a breakout above a given price. Nothing is rounded.
struct BreakoutResult {
    std::string classification;  // 强势突破 / 普通突破 / 弱势突破
    std::string details;
    std::size_t total_n = 0;
    std::size_t breakout_n = 0;
    double breakout_vol_ratio = 0.0;
    double breakout_buy_ratio = 0.0;
    std::size_t breakout_large_buy = 0;
    std::size_t breakout_large_sell = 0;
    double price_sustain_ratio = 1.0;
    double confidence = 0.0;  // 0..100
    bool is_strong = false;
};

// Thirteen screener figures, each rounded to 2 decimals.
struct ScreeningMetrics {
    double first30_vol_pct = 0.0;
    double midday_vol_pct = 0.0;
    double afternoon_vol_pct = 0.0;
    double last30_vol_pct = 0.0;
    double last5_vol_pct = 0.0;
    double large_pct = 0.0;
    double xl_pct = 0.0;
    double large_amount_pct = 0.0;
    double xl_amount_pct = 0.0;
    double avg_trade_vol = 0.0;
    double vwap = 0.0;
    double avg_shares_per_trade = 0.0;
    double single_trade_vol_pct = 0.0;
};

// Volume sums are kept in 128 bits: a tape of huge (or negative) volumes then
// sums exactly instead of wrapping, and only the final ratios go through f64.
__extension__ typedef __int128 VolSum;

// |a - b| as a double, exact before the final rounding: the distance of two
// 64-bit integers always fits 64 unsigned bits.
inline double vol_distance(std::int64_t a, std::int64_t b) {
    const auto ua = static_cast<std::uint64_t>(a), ub = static_cast<std::uint64_t>(b);
    return static_cast<double>(a >= b ? ua - ub : ub - ua);
}

}  // namespace zj_core::transaction
