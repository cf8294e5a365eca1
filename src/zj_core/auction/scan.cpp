#include "zj_core/auction/scan.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "zj_core/common/numeric.hpp"

namespace zj_core::auction {

namespace {

constexpr std::size_t kMinTicks = 15;

struct Steps {
    std::uint32_t steps = 0;
    std::uint32_t eff = 0;
};

Steps steps_of(std::size_t count) {
    Steps s;
    s.steps = count == 0 ? 0 : static_cast<std::uint32_t>(count - 1);
    s.eff = s.steps >= 2 ? s.steps : 0;
    return s;
}

bool in_alternation_window(TimeOfDay t) {
    return t.hour() == 9 && t.minute() >= 20 && t.minute() <= 22;
}

}  // namespace

std::optional<ScanResult> AuctionScanner::analyze(std::span<const AuctionTick> ticks,
                                                  std::optional<double> open_price,
                                                  std::optional<double> pre_close,
                                                  std::optional<double> limit_up,
                                                  std::optional<double> limit_down) const {
    return analyze_filter(ticks, open_price, pre_close, limit_up, limit_down, true);
}

std::optional<ScanResult> AuctionScanner::analyze_filter(std::span<const AuctionTick> ticks,
                                                         std::optional<double> open_price,
                                                         std::optional<double> pre_close,
                                                         std::optional<double> limit_up,
                                                         std::optional<double> limit_down,
                                                         bool filter) const {
    if (ticks.size() < kMinTicks) return std::nullopt;
    std::vector<AuctionTick> kept;
    std::span<const AuctionTick> w = ticks;
    if (filter && !std::all_of(ticks.begin(), ticks.end(),
                               [](const AuctionTick& t) { return in_auction_window(t.time); })) {
        kept = auction_window(ticks);
        w = kept;
    }
    if (w.size() < kMinTicks) return std::nullopt;
    const std::size_t n = w.size();

    // One pass: price levels of the window and of its part from 09:20:00 on
    // (the late walk, the volume base and P920), the sell/buy alternation in
    // 09:20:00-09:22:59, the largest matched volume and the price sum.
    std::vector<std::int64_t> levels(n), late_levels;
    std::vector<std::int32_t> late_matched;
    late_levels.reserve(n);
    late_matched.reserve(n);
    std::optional<double> p920;
    std::size_t alt_count = 0;
    std::optional<std::size_t> last_neg, last_pos;
    std::int32_t max_matched = w[0].matched;
    double price_sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const AuctionTick& t = w[i];
        levels[i] = price_level(t.price);
        if (t.time >= kTime0920) {
            late_levels.push_back(levels[i]);
            late_matched.push_back(t.matched);
            if (!p920) p920 = t.price;
        }
        if (in_alternation_window(t.time)) {
            if (t.unmatched < 0) last_neg = alt_count;
            if (t.unmatched > 0) last_pos = alt_count;
            ++alt_count;
        }
        max_matched = std::max(max_matched, t.matched);
        price_sum += t.price;
    }

    ScanResult r;
    const std::size_t level_count = count_distinct(levels);
    const Steps all_steps = steps_of(level_count);
    r.steps = all_steps.steps;
    r.eff_steps = all_steps.eff;
    const std::uint32_t late_eff = steps_of(count_distinct(late_levels)).eff;

    if (alt_count >= 3 && last_neg && last_pos) {
        r.neg_pos_alt = true;
        r.buy_rev = *last_neg < *last_pos;
    }

    // End-volume ratio: the last three against the late stretch before them.
    const double end_avg = (static_cast<double>(w[n - 3].matched) + static_cast<double>(w[n - 2].matched) +
                            static_cast<double>(w[n - 1].matched)) / 3.0;
    double base;
    if (late_matched.size() > 3) {
        double sum = 0.0;
        for (std::size_t i = 0; i + 3 < late_matched.size(); ++i) sum += static_cast<double>(late_matched[i]);
        base = sum / static_cast<double>(late_matched.size() - 3);
    } else {
        const std::size_t h = n / 2;
        base = (static_cast<double>(w[h - 1].matched) + static_cast<double>(w[h].matched) +
                static_cast<double>(w[h + 1].matched)) / 3.0;
    }
    const double vr = base > 0.0 ? end_avg / base : 1.0;

    r.end_p = w[n - 1].unmatched < -500 && w[n - 1].price >= w[n - 3].price;

    if (open_price && pre_close && *pre_close > 0.0) r.oh = *open_price > *pre_close;

    double s = std::fmin(late_eff * 0.25, 1.0) * 0.25;
    if (r.neg_pos_alt) s += 0.1;
    if (r.buy_rev) s += 0.35;
    // A negative ratio (only from negative matched volumes) adds nothing rather
    // than dragging the score below zero.
    s += std::clamp(0.5 * vr, 0.0, 1.0) * 0.15;
    if (r.end_p) s += 0.15;

    if (w[n - 1].price < p920.value_or(w[0].price) - 0.01) s *= 0.5;
    if (n < 20) s *= 0.8;

    const double amount = static_cast<double>(max_matched) * (price_sum / static_cast<double>(n)) * 100.0;
    if (amount < 500000.0)
        s *= 0.6;
    else if (amount < 1000000.0)
        s *= 0.8;

    double lim_up = 0.0, lim_down = 0.0;
    if (pre_close) {
        lim_up = 1.1 * *pre_close;
        lim_down = 0.9 * *pre_close;
    }
    if (limit_up && limit_down) {
        lim_up = *limit_up;
        lim_down = *limit_down;
    }
    MorphologyResult morph = classify_morphology(w, lim_up, lim_down, level_count);

    if (alt_count < 3) s *= 0.5;

    r.morphology = std::move(morph.name);
    r.morphology_index = morph.index;
    r.morphology_group = morphology_group(morph.index);
    r.morphology_tag = morphology_tag(morph.index);
    r.morphology_conf = morph.confidence;
    r.morphology_scores = morph.scores;
    r.n = static_cast<std::uint32_t>(n);
    r.first_price = w[0].price;
    r.last_price = w[n - 1].price;
    r.max_matched = max_matched;
    r.last_unmatched = w[n - 1].unmatched;
    r.score = round_saturating<std::int32_t>(std::fmin(s, 1.0) * 100.0);
    r.match = round_saturating<std::int32_t>(s * 100.0) >= threshold_;
    r.vr = round_to(vr, 2);
    return r;
}

}  // namespace zj_core::auction
