#include "zj_core/tick/core.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "zj_core/common/numeric.hpp"

namespace zj_core::tick {

namespace {

// Volume sums are exact: a day's int64 volumes cannot overflow 128 bits.
__extension__ typedef __int128 Wide;

std::int64_t saturate(Wide v) {
    constexpr Wide lo = std::numeric_limits<std::int64_t>::min();
    constexpr Wide hi = std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(v < lo ? lo : (v > hi ? hi : v));
}

double mean_price(std::span<const TickPoint> pts) {
    double sum = 0.0;
    for (const TickPoint& p : pts) sum += p.price;
    return sum / static_cast<double>(pts.size());
}

double pct_change(double to, double from) { return from > 0.0 ? (to - from) / from * 100.0 : 0.0; }

std::string join(const std::vector<std::string>& notes, std::string_view sep) {
    std::string out;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (i) out += sep;
        out += notes[i];
    }
    return out;
}

}  // namespace

std::optional<TickAnalysisResult> analyze_tick_chart(std::span<const TickPoint> points, bool has_low,
                                                     double pre_close, double low_price,
                                                     double close_pos_threshold, MinuteMarks* marks) {
    const std::size_t n = points.size();
    if (n < kMinPoints) return std::nullopt;

    TickAnalysisResult r;
    r.n = n;

    // Price range; NaN prices never become the high or the low.
    const double last = points[n - 1].price;
    double hi = -std::numeric_limits<double>::infinity();
    double lo = std::numeric_limits<double>::infinity();
    for (const TickPoint& p : points) {
        if (p.price > hi) hi = p.price;
        if (p.price < lo) lo = p.price;
    }
    if (pre_close > 0.0) {
        r.day_chg_pct = (last - pre_close) / pre_close * 100.0;
        r.amplitude_pct = (hi - lo) / pre_close * 100.0;
    }

    // Close position; a supplied low above the last price gives a negative value.
    const double range = hi - lo;
    if (range > 0.0) {
        const double base = has_low ? low_price : lo;
        r.close_pos = (last - base) / std::max(hi - base, range);
    } else {
        r.close_pos = 0.5;
    }

    // Session means.
    if (n <= kAfternoonStart) {
        r.am_avg = r.pm_avg = mean_price(points);
    } else {
        r.am_avg = mean_price(points.first(kAfternoonStart));
        r.pm_avg = mean_price(points.subspan(kAfternoonStart));
    }

    // Volumes.
    Wide total = 0;
    for (const TickPoint& p : points) total += p.vol;
    r.total_vol = saturate(total);
    r.mean_vol = static_cast<double>(total) / static_cast<double>(n);
    double sq = 0.0;
    for (const TickPoint& p : points) {
        const double d = static_cast<double>(p.vol) - r.mean_vol;
        sq += d * d;
    }
    r.vol_std = std::sqrt(sq / static_cast<double>(n - 1));

    // Large minutes: volume above twice the mean.
    const double large_cut = 2.0 * r.mean_vol;
    Wide large_vol = 0, late_vol = 0;
    if (marks) marks->large.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t v = points[i].vol;
        if (!(static_cast<double>(v) > large_cut)) continue;
        if (marks) marks->large[i] = 1;
        ++r.large_trade_count;
        large_vol += v;
        if (i < kAfternoonStart) ++r.am_large;
        else ++r.pm_large;
        if (i >= kLateStart) {
            ++r.late_large;
            late_vol += v;
        }
    }
    r.large_trade_vol_ratio = total >= 1 ? static_cast<double>(large_vol) / static_cast<double>(total) : 0.0;
    r.late_large_vol = saturate(late_vol);

    // Late and afternoon changes.
    const double p210 = points[std::min(n - 1, kLateStart)].price;
    r.pm_vs_am_pct = pct_change(r.pm_avg, r.am_avg);
    r.late_chg_pct = pct_change(last, p210);

    // Score.
    std::vector<std::string> notes;
    double score;
    if (r.close_pos >= 0.8) {
        score = 75;
    } else if (r.close_pos >= close_pos_threshold) {
        score = 60;
    } else {
        score = 25;
        notes.push_back("收盘位置过低(" + fixed(r.close_pos, 2) + "<" + fixed(close_pos_threshold, 1) + ")");
    }

    if (r.late_large >= 3) {
        score += 20;
        notes.push_back("尾盘大单活跃(" + std::to_string(r.late_large) + ")");
    } else if (r.late_large >= 1) {
        score += 5;
    } else {
        score -= 5;
    }

    if (r.am_large > 0 && r.pm_large > 0 &&
        static_cast<double>(r.am_large) / static_cast<double>(r.pm_large) > 3.0 && r.late_large == 0) {
        score -= 20;
        notes.push_back("大单集中在早盘(" + std::to_string(r.am_large) + ":" + std::to_string(r.pm_large) +
                        ")尾盘无支撑");
    }

    if (r.late_chg_pct > 1.0) {
        score += 10;
    } else if (r.late_chg_pct < -1.0) {
        score -= 10;
        notes.push_back("尾盘跳水(" + fixed_signed(r.late_chg_pct, 1) + "%)");
    }

    if (r.pm_vs_am_pct > 0.5) score += 5;
    else if (r.pm_vs_am_pct < -0.5) score -= 5;

    if (r.day_chg_pct > 8.0) {
        score -= 10;
        notes.push_back("当日涨幅过大(" + fixed_signed(r.day_chg_pct, 1) + "%)");
    }

    r.quality_score = std::min(100.0, std::max(0.0, score));

    // Decision: the notes are reported only when cancelling.
    r.should_cancel = r.quality_score < kCancelBelow;
    if (r.should_cancel) r.cancel_reason = join(notes, "; ");
    return r;
}

}  // namespace zj_core::tick
