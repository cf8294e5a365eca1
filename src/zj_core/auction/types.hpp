#pragma once
// The opening call-auction snapshot shared by the scan, the morphology and the
// false-sell detector, and the one error those analyses report to callers.
#include <cmath>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "zj_core/common/numeric.hpp"
#include "zj_core/common/time_of_day.hpp"

namespace zj_core::auction {

// One auction snapshot.
struct AuctionTick {
    TimeOfDay time;               // moment of the snapshot
    double price = 0.0;           // indicative matching price
    std::int32_t matched = 0;     // matched volume, lots of 100 shares
    std::int32_t unmatched = 0;   // signed leftover: < 0 sell side, > 0 buy side
};

// A NaN price where an analysis compares prices and so has no defined result.
// Carries the snapshot's time; what() reads "NaN price at 09:20:03" (a
// sub-second part is written as ".ffffff" microseconds). The Python boundary
// raises it as ValueError.
class NanPriceError : public std::runtime_error {
public:
    explicit NanPriceError(TimeOfDay at);
    TimeOfDay time() const noexcept { return time_; }

private:
    TimeOfDay time_;
};

// "HH:MM:SS", with ".ffffff" when the time has a sub-second part.
std::string format_time(TimeOfDay t);

// The opening call-auction window: 09:15:00 to 09:25:59, each snapshot tested
// by itself.
constexpr bool in_auction_window(TimeOfDay t) {
    return t.hour() == 9 && t.minute() >= 15 && t.minute() <= 25;
}

// The snapshots of the window, in the caller's order.
std::vector<AuctionTick> auction_window(std::span<const AuctionTick> ticks);

// floor(price * 100 + 0.5) as a saturating 64-bit level (NaN gives 0).
inline std::int64_t price_level(double price) { return saturating_cast<std::int64_t>(std::floor(price * 100.0 + 0.5)); }

// Number of distinct values among the levels (which it may reorder).
std::size_t count_distinct(std::span<std::int64_t> levels);

// Number of distinct price levels among the prices.
std::size_t distinct_levels(std::span<const AuctionTick> ticks);

// Throws NanPriceError for the first snapshot of the range with a NaN price.
void require_no_nan(std::span<const AuctionTick> ticks);

inline constexpr TimeOfDay kTime0920 = TimeOfDay::hms(9, 20, 0);

}  // namespace zj_core::auction
