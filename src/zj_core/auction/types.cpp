#include "zj_core/auction/types.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "zj_core/common/numeric.hpp"

namespace zj_core::auction {

std::string format_time(TimeOfDay t) {
    std::uint32_t secs = t.secs;
    std::uint32_t nanos = t.nanos;
    std::uint32_t shown_second = secs % 60;
    if (nanos >= 1'000'000'000u) {  // a leap second is stored as :59 plus one second of nanos
        nanos -= 1'000'000'000u;
        ++shown_second;
    }
    char buf[32];
    int n;
    if (nanos != 0) {
        n = std::snprintf(buf, sizeof buf, "%02u:%02u:%02u.%06u", secs / 3600, (secs / 60) % 60,
                          shown_second, nanos / 1000u);
    } else {
        n = std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", secs / 3600, (secs / 60) % 60, shown_second);
    }
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

NanPriceError::NanPriceError(TimeOfDay at)
    : std::runtime_error("NaN price at " + format_time(at)), time_(at) {}

std::vector<AuctionTick> auction_window(std::span<const AuctionTick> ticks) {
    std::vector<AuctionTick> out;
    out.reserve(ticks.size());
    for (const AuctionTick& t : ticks)
        if (in_auction_window(t.time)) out.push_back(t);
    return out;
}

std::int64_t price_level(double price) {
    return saturating_cast<std::int64_t>(std::floor(price * 100.0 + 0.5));
}

std::size_t distinct_levels(std::span<const AuctionTick> ticks) {
    if (ticks.empty()) return 0;
    std::vector<std::int64_t> levels;
    levels.reserve(ticks.size());
    for (const AuctionTick& t : ticks) levels.push_back(price_level(t.price));
    std::sort(levels.begin(), levels.end());
    return static_cast<std::size_t>(std::unique(levels.begin(), levels.end()) - levels.begin());
}

void require_no_nan(std::span<const AuctionTick> ticks) {
    for (const AuctionTick& t : ticks)
        if (std::isnan(t.price)) throw NanPriceError(t.time);
}

}  // namespace zj_core::auction
