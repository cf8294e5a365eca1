#pragma once
// The breakout analyses of a day's tape: the full verdict (analyze_transactions)
// and the confirmation above a given price (analyze_breakout).
#include <cstddef>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "zj_core/transaction/types.hpp"

namespace zj_core::transaction {

// Verdict on whether the day's move is a genuine breakout. Points may come in
// any order; they are stably sorted by second of the day on a private copy.
// Absent for fewer than 20 points or a total volume of exactly 0. With
// `marks`, also says which trades were large, institutional, in a split-order
// cluster or in a matched pair (left empty when the result is absent).
std::optional<TransactionAnalysisResult> analyze_transactions(std::span<const TransactionPoint> points,
                                                              double pre_close, double high, double low,
                                                              TradeMarks* marks = nullptr);

// How trading at or above breakout_price × 0.995 supports the breakout. Points
// are used in the given order. Absent for fewer than 10 points, a total volume
// of exactly 0 or fewer than 5 points in the zone.
std::optional<BreakoutResult> analyze_breakout(std::span<const TransactionPoint> points, double breakout_price);

// How find_matched_pairs looks for the later side of a pair. All give the same
// pairs; Automatic picks by the number of trades in the 5-second window (a
// direct scan for a handful, volume bins for a busy window, a price/volume
// tree for a crowded one). The others exist for tests.
enum class PairSearch { Automatic, Direct, VolumeBins, Tree };

// Matched (对倒) pairs of a tape sorted by second, as the greedy scan finds
// them: each unused directional trade, in order, takes the first later unused
// trade of another flag within 5 seconds whose price and volume are close to
// its own. When `pairs` is given, the (earlier, later) index pairs are appended
// in the order they are formed.
std::size_t find_matched_pairs(std::span<const TransactionPoint> sorted,
                               std::vector<std::pair<std::size_t, std::size_t>>* pairs = nullptr,
                               PairSearch search = PairSearch::Automatic);

// Whether two trades are close enough in price (tolerance taken from `first`)
// and volume to form a matched pair; time and direction are checked elsewhere.
bool is_price_vol_match(const TransactionPoint& first, const TransactionPoint& second);

}  // namespace zj_core::transaction
