#include "zj_core/auction/morphology.hpp"

#include <cmath>
#include <limits>
#include <vector>

#include "zj_core/common/numeric.hpp"

namespace zj_core::auction {

std::string_view morphology_group(std::size_t index) {
    return index < kMorphologyCount ? kMorphologies[index].group : std::string_view("?");
}

std::string_view morphology_tag(std::size_t index) {
    return index < kMorphologyCount ? kMorphologies[index].tag : std::string_view("?");
}

namespace {

using Ticks = std::span<const AuctionTick>;
constexpr double kInf = std::numeric_limits<double>::infinity();

// Volume sums are 64-bit: 32-bit sums of large auctions wrap into nonsense.
std::int64_t sum_matched(Ticks ts) {
    std::int64_t s = 0;
    for (const AuctionTick& t : ts) s += t.matched;
    return s;
}

// Highest / lowest price by strict comparison: a NaN has no place in the order.
double strict_max(Ticks ts) {
    require_no_nan(ts);
    double m = -kInf;
    for (const AuctionTick& t : ts) m = t.price > m ? t.price : m;
    return m;
}

double strict_min(Ticks ts) {
    require_no_nan(ts);
    double m = kInf;
    for (const AuctionTick& t : ts) m = t.price < m ? t.price : m;
    return m;
}

struct Shape {
    Ticks all, first_half, second_half;
    double p_first, p_last;
    double hi, lo;  // over all prices, NaN skipped
    std::size_t level_count;
};

// 涨停试盘型: near the limit-up price in the first half, then lets go.
double limit_up_probe(const Shape& s, double limit_up) {
    if (s.all.size() < 8 || limit_up <= 0.0) return 0.0;
    const double h = strict_max(s.first_half);
    if (h < 0.96 * limit_up) return 0.0;
    const double drop = (h - s.p_last) / limit_up;
    if (drop <= 0.0) return 0.3;
    std::int64_t near = 0;
    for (const AuctionTick& t : s.second_half)
        if (t.price >= 0.96 * limit_up) near += t.matched;
    std::int64_t total = sum_matched(s.all);
    if (total < 2) total = 1;
    return std::fmin(drop / 0.05, 1.0) * 0.4 +
           std::fmin(static_cast<double>(near) / static_cast<double>(total), 1.0) * 0.3 +
           (drop >= 0.02 ? 0.3 : 0.0);
}

// 阶梯攀升型: a climb through many levels on growing volume, without a sharp dip.
double staircase(const Shape& s) {
    if (s.p_first >= s.p_last) return 0.0;
    const std::size_t c = s.level_count;
    const double levels =
        c == 0 ? 0.0 : std::fmin(std::fmax((static_cast<double>(c) - 2.0) * 0.25, 0.0), 1.0) * 0.4;
    const std::int64_t a = sum_matched(s.first_half);
    const std::int64_t b = sum_matched(s.second_half);
    const double growth =
        a >= 1 ? std::fmin(static_cast<double>(b) / static_cast<double>(a) * 0.5, 1.0) * 0.3 : 0.15;
    double dip = 0.0;
    for (std::size_t i = 0; i + 1 < s.all.size(); ++i) {
        const double r = (s.all[i + 1].price - s.all[i].price) / s.all[i].price;
        if (r < 0.0 && -r > dip) dip = -r;
    }
    return levels + growth + (dip < 0.01 ? 0.3 : 0.15);
}

// 钓鱼线型: pulled up before 09:20 and dropped right after.
double fishing_line(const Shape& s) {
    if (s.all.size() < 8) return 0.0;
    // hi over the snapshots before 09:20; a NaN there only matters once both sides exist.
    double hi = -kInf;
    const AuctionTick* first_nan = nullptr;
    std::size_t early_count = 0;
    double late_sum = 0.0;
    std::size_t late_count = 0;
    for (const AuctionTick& t : s.all) {
        if (t.time < kTime0920) {
            ++early_count;
            if (std::isnan(t.price)) {
                if (!first_nan) first_nan = &t;
            } else if (t.price > hi) {
                hi = t.price;
            }
        } else {
            if (late_count < 3) late_sum += t.price;
            ++late_count;
        }
    }
    if (early_count == 0 || late_count == 0) return 0.0;
    if (first_nan) throw NanPriceError(first_nan->time);
    const double avg = late_sum / 3.0;  // divisor 3 even with fewer snapshots after 09:20
    const double drop = (hi - avg) / hi;
    return drop >= 0.015 ? std::fmin(drop / 0.05, 1.0) * 0.7 + 0.3 : 0.0;
}

// 跌停撬板型: near the limit-down price in the first half, then pried up.
double limit_down_pry(const Shape& s, double limit_down) {
    if (s.all.size() < 8 || limit_down <= 0.0) return 0.0;
    const double low = strict_min(s.first_half);
    if (low > 1.04 * limit_down) return 0.0;
    const double rise = (s.p_last - low) / limit_down;
    if (rise <= 0.0) return 0.2;
    std::int64_t buy = 0, sell = 0;
    for (const AuctionTick& t : s.all) {
        if (t.unmatched > 0) buy += t.unmatched;
        if (t.unmatched < 0) sell -= static_cast<std::int64_t>(t.unmatched);
    }
    return std::fmin(rise / 0.05, 1.0) * 0.5 + (buy > sell ? 0.3 : 0.09) + (rise >= 0.02 ? 0.2 : 0.0);
}

// 震荡分歧型: moderate swings, the unmatched side flipping.
double divergence(const Shape& s) {
    const std::size_t n = s.all.size();
    if (n < 8) return 0.0;
    const double amp = (s.hi - s.lo) / s.lo * 100.0;
    if (amp < 1.5 || amp > 8.0) return 0.0;
    const double net = amp > 0.0 ? std::fabs(s.p_last - s.p_first) / s.p_first * 100.0 / amp : 1.0;
    std::size_t flips = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const std::int32_t u = s.all[i].unmatched, v = s.all[i + 1].unmatched;
        if ((u < 0 && v > 0) || (u > 0 && v < 0)) ++flips;
    }
    return std::fmin(amp * 0.25, 1.0) * 0.3 +
           (net < 0.3 ? 0.4 : std::fmax(0.5 - 0.5 * net, 0.0) * 0.4) +
           std::fmin(static_cast<double>(flips) / static_cast<double>(n) * 5.0, 1.0) * 0.3;
}

}  // namespace

MorphologyResult classify_morphology(Ticks ticks, double limit_up, double limit_down) {
    return classify_morphology(ticks, limit_up, limit_down, distinct_levels(ticks));
}

MorphologyResult classify_morphology(Ticks ticks, double limit_up, double limit_down, std::size_t level_count) {
    MorphologyResult out;
    const std::size_t n = ticks.size();
    if (n == 0) {
        out.name = kMorphologies[kFallbackMorphology].name;
        return out;
    }

    Shape s{ticks, ticks.first(n / 2), ticks.subspan(n / 2), ticks.front().price, ticks.back().price,
            -kInf, kInf, level_count};
    double price_sum = 0.0;
    for (const AuctionTick& t : ticks) {
        if (t.price > s.hi) s.hi = t.price;  // NaN never compares true: skipped
        if (t.price < s.lo) s.lo = t.price;
        price_sum += t.price;
    }

    // One-price classes share the flatness part; the volume parts cover every average.
    const double range = (s.hi - s.lo) / s.lo * 100.0;
    const double flat = range < 0.3 ? 0.6 : (range >= 0.3 && range < 1.0 ? 0.3 : 0.0);
    const double avg_matched = static_cast<double>(sum_matched(ticks)) / static_cast<double>(n);
    const double mid_volume = avg_matched >= 50.0 && avg_matched < 200.0 ? 0.2 : 0.0;

    const std::array<double, kMorphologyCount> raw{
        limit_up_probe(s, limit_up),
        staircase(s),
        fishing_line(s),
        limit_down_pry(s, limit_down),
        flat + (avg_matched >= 200.0 ? 0.4 : mid_volume),
        flat + (avg_matched < 50.0 ? 0.4 : mid_volume),
        divergence(s),
    };

    std::size_t winner = 0;
    for (std::size_t i = 0; i < kMorphologyCount; ++i) {
        out.scores[i] = round_saturating<std::int32_t>(raw[i] * 100.0);
        if (out.scores[i] >= out.scores[winner]) winner = i;  // ties go to the higher index
    }
    if (out.scores[winner] < 20) {
        out.index = kFallbackMorphology;
        out.confidence = out.scores[kFallbackMorphology];
    } else {
        out.index = winner;
        out.confidence = out.scores[winner];
    }
    out.name = kMorphologies[out.index].name;

    if ((out.index == 4 || out.index == 5) && limit_up > 0.0 && limit_down > 0.0) {
        const double avg_price = price_sum / static_cast<double>(n);
        const double d_up = std::fabs(avg_price - limit_up);
        const double d_down = std::fabs(avg_price - limit_down);
        if (avg_price >= 0.98 * limit_up && d_down > d_up)
            out.name += kBullSuffix;
        else if (avg_price <= 1.02 * limit_down && d_up > d_down)
            out.name += kBearSuffix;
        else
            out.name += kNeutralSuffix;
    }
    return out;
}

}  // namespace zj_core::auction
