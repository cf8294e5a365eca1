#include "zj_core/auction/types.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

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

std::size_t count_distinct(std::span<std::int64_t> levels) {
    if (levels.empty()) return 0;
    const auto [lo_it, hi_it] = std::minmax_element(levels.begin(), levels.end());
    const std::int64_t lo = *lo_it, hi = *hi_it;
    // An auction's levels sit within a few hundred cents of each other: mark
    // them in a bitmap. Wide spreads (bad prints, saturated levels) sort.
    const std::uint64_t span = static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo);
    if (span < 64 * 1024) {
        std::uint64_t seen_small[16] = {};
        std::vector<std::uint64_t> seen_large;
        std::uint64_t* seen = seen_small;
        const std::size_t words = static_cast<std::size_t>(span / 64 + 1);
        if (words > std::size(seen_small)) {
            seen_large.resize(words);
            seen = seen_large.data();
        }
        for (const std::int64_t l : levels) {
            const std::uint64_t off = static_cast<std::uint64_t>(l) - static_cast<std::uint64_t>(lo);
            seen[off / 64] |= std::uint64_t{1} << (off % 64);
        }
        std::size_t count = 0;
        for (std::size_t w = 0; w < words; ++w) count += static_cast<std::size_t>(std::popcount(seen[w]));
        return count;
    }
    std::sort(levels.begin(), levels.end());
    return static_cast<std::size_t>(std::unique(levels.begin(), levels.end()) - levels.begin());
}

std::size_t distinct_levels(std::span<const AuctionTick> ticks) {
    std::vector<std::int64_t> levels(ticks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i) levels[i] = price_level(ticks[i].price);
    return count_distinct(levels);
}

void require_no_nan(std::span<const AuctionTick> ticks) {
    for (const AuctionTick& t : ticks)
        if (std::isnan(t.price)) throw NanPriceError(t.time);
}

}  // namespace zj_core::auction
