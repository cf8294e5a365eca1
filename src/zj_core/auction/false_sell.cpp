#include "zj_core/auction/false_sell.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "zj_core/common/numeric.hpp"

namespace zj_core::auction {

std::optional<FalseSellResult> FalseSellDetector::analyze_inner(std::span<const AuctionTick> ticks) const {
    constexpr std::size_t kMinTicks = 15;
    if (ticks.size() < kMinTicks) return std::nullopt;
    std::vector<AuctionTick> kept;
    std::span<const AuctionTick> w = ticks;
    if (!std::all_of(ticks.begin(), ticks.end(), [](const AuctionTick& t) { return in_auction_window(t.time); })) {
        kept = auction_window(ticks);
        w = kept;
    }
    if (w.size() < kMinTicks) return std::nullopt;
    const std::size_t n = w.size();
    const double dn = static_cast<double>(n);

    FalseSellResult r;
    r.n = static_cast<std::uint32_t>(n);

    std::size_t neg = 0, absorbed = 0, big = 0, peak = 0, run = 0, longest_run = 0;
    std::optional<std::size_t> last_pos;
    const AuctionTick* first_nan = nullptr;
    std::int32_t max_match = w[0].matched;
    for (std::size_t i = 0; i < n; ++i) {
        const AuctionTick& t = w[i];
        if (t.unmatched < 0) {
            ++neg;
            r.neg_total -= static_cast<std::int64_t>(t.unmatched);
            longest_run = std::max(longest_run, ++run);
        } else {
            run = 0;
        }
        if (t.unmatched > 0) last_pos = i;
        // A sell-side snapshot followed by one that is not, price held within half a cent.
        if (i > 0 && w[i - 1].unmatched < 0 && t.unmatched >= 0 && t.price >= w[i - 1].price - 0.005)
            ++absorbed;
        if (t.price >= w[peak].price) peak = i;  // the last of equal highs
        if (std::isnan(t.price) && !first_nan) first_nan = &t;
        max_match = std::max(max_match, t.matched);
        if (t.matched >= 1000) ++big;
        r.net_um += t.unmatched;
        r.total_amt += static_cast<double>(t.matched) * t.price * 100.0;
    }

    // The peak position orders every price of the window: a NaN has no place.
    if (first_nan) throw NanPriceError(first_nan->time);

    const double neg_ratio = static_cast<double>(neg) / dn;
    double s = neg_ratio > 0.6 ? 0.2 : neg_ratio > 0.4 ? 0.12 : neg_ratio > 0.25 ? 0.06 : 0.0;

    r.price_up = w[n - 1].price >= w[0].price;
    if (r.price_up)
        s += (std::fmin(static_cast<double>(absorbed) / static_cast<double>(std::max<std::size_t>(neg, 1)) * 2.0, 1.0) *
                  0.6 + 0.4) * 0.2;

    const double start_avg = (static_cast<double>(w[0].matched) + static_cast<double>(w[1].matched) +
                              static_cast<double>(w[2].matched)) / 3.0;
    const double end_avg = (static_cast<double>(w[n - 3].matched) + static_cast<double>(w[n - 2].matched) +
                            static_cast<double>(w[n - 1].matched)) / 3.0;
    const double vr = end_avg / std::fmax(start_avg, 1.0);
    s += vr > 3.0 ? 0.15 : vr > 1.5 ? 0.075 : 0.0;

    r.last_um = w[n - 1].unmatched;
    s += r.last_um < -500 ? 0.1 : r.last_um < -200 ? 0.06 : 0.0;

    s += r.neg_total > 50000 ? 0.1 : r.neg_total > 10000 ? 0.05 : 0.0;

    r.late_peak = static_cast<double>(peak) > 0.4 * dn;
    if (r.late_peak) s += 0.1;

    double recovery = 0.0;
    if (neg >= 2 && last_pos && static_cast<double>(*last_pos) > 0.5 * dn)
        recovery = longest_run <= 3 ? 1.0 : longest_run <= 6 ? 0.5 : 0.2;
    s += 0.15 * recovery;

    const double pct = (w[n - 1].price - w[0].price) / w[0].price * 100.0;
    if (pct < -1.0)
        s *= 0.3;
    else if (pct < -0.5)
        s *= 0.6;
    if (max_match < 300) s *= 0.5;
    if (n < 20) s *= 0.8;
    s = std::fmin(s, 1.0);

    r.score = round_saturating<std::int32_t>(s * 100.0);
    r.match = r.score >= threshold_;
    r.max_match = max_match;
    r.neg_ratio = round_to(neg_ratio, 3);
    r.big_order_ratio = round_to(static_cast<double>(big) / dn, 3);
    r.vr = round_to(vr, 2);
    r.recovery_score = round_to(recovery, 2);
    r.price_change_pct = round_to(pct, 2);
    return r;
}

}  // namespace zj_core::auction
