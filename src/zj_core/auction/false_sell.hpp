#pragma once
// False-selling score of an opening call auction: heavy sell-side imbalance
// that does not push the price down, is absorbed, and gives way to late buying.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "zj_core/auction/types.hpp"

namespace zj_core::auction {

inline constexpr std::string_view kFalseSellVersion = "0.1.1";

struct FalseSellResult {
    double neg_ratio = 0.0;         // share of sell-side snapshots, 3 decimals
    double vr = 0.0;                // end-to-start matched-volume ratio, 2 decimals
    std::int64_t neg_total = 0;     // total sell-side unmatched volume, lots
    double recovery_score = 0.0;    // late-buying factor: 0, 0.2, 0.5 or 1.0
    std::uint32_t n = 0;            // snapshots in the window
    double price_change_pct = 0.0;  // first to last price, percent, 2 decimals
    std::int64_t net_um = 0;        // sum of all unmatched
    double total_amt = 0.0;         // sum of matched * price * 100, unrounded
    double big_order_ratio = 0.0;   // share of snapshots with >= 1000 lots matched, 3 decimals
    std::int32_t score = 0;         // 0..100
    std::int32_t last_um = 0;
    std::int32_t max_match = 0;
    bool match = false;
    bool price_up = false;          // last price >= first price
    bool late_peak = false;         // highest price late in the window
};

class FalseSellDetector {
public:
    explicit FalseSellDetector(std::int32_t threshold = 50) : threshold_(threshold) {}
    std::int32_t threshold() const { return threshold_; }

    // Ticks in chronological order. Absent for fewer than 15 snapshots in all or
    // in the 09:15:00-09:25:59 window. Throws NanPriceError for a NaN price in
    // the window (the price peak has no defined position then).
    std::optional<FalseSellResult> analyze_inner(std::span<const AuctionTick> ticks) const;

private:
    std::int32_t threshold_;
};

}  // namespace zj_core::auction
