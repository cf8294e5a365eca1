#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "zj_core/tick/core.hpp"

using zj_core::tick::analyze_tick_chart;
using zj_core::tick::TickPoint;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr auto kMaxVol = std::numeric_limits<std::int64_t>::max();

// A chart of n minutes at one price and one volume, with overrides (times are not read).
struct Chart {
    std::vector<TickPoint> pts;
    Chart(std::size_t n = 240, double p = 10, std::int64_t vol = 100) : pts(n, TickPoint{{}, p, p, vol, 0.0}) {}
    Chart& price(std::size_t from, std::size_t to, double p) {
        while (from < to)
            pts[from++].price = p;
        return *this;
    }
    Chart& last(double p) { return price(pts.size() - 1, pts.size(), p); }
    Chart& vol(std::initializer_list<std::size_t> at, std::int64_t v) {
        for (auto i : at)
            pts[i].vol = v;
        return *this;
    }
    Chart& ramp(double to) {
        for (std::size_t i = 0; i < 240; ++i)
            pts[i].price = 10 + (to - 10) * i / 239.0;
        return *this;
    }
};

}  // namespace

TEST(TickAnalysis, ScoringTable) {
    const struct {
        const char *name;
        Chart chart;
        double score, close_pos;
        const char *reason;
        double pre_close = 10, low = kNaN, threshold = 0.3;  // low NaN: none supplied
    } cases[] = {
        {"flat chart", Chart(), 55, 0.5, ""},
        {"late large minutes, capped at 100", Chart().ramp(10.5).vol({215, 220, 225}, 1000), 100, 1.0, ""},
        {"morning-only large minutes", Chart().vol({0, 1, 2, 3, 150}, 1000), 35, 0.5,
         "大单集中在早盘(4:1)尾盘无支撑"},
        {"exactly 40 keeps the chart and drops the notes",
         Chart().price(120, 240, 10.1).last(10.05).vol({0, 1, 2, 3, 150}, 1000), 40, 0.5, ""},
        {"every note, floor 0", Chart(240, 11).price(120, 240, 10.9).last(10.7).vol({0, 1, 2, 3, 150}, 1000),
         0, 0.0,
         "收盘位置过低(0.00<0.3); 大单集中在早盘(4:1)尾盘无支撑; "
         "尾盘跳水(-1.8%); 当日涨幅过大(+9.2%)",
         9.8},
        // 10.2 is 2% above position 210: +10 for the late rise.
        {"low below every price widens the denominator", Chart().price(5, 6, 10.5).last(10.2), 65, 0.7, "", 10, 9.5},
        {"low above the last price", Chart().price(5, 6, 10.5).last(10.2), 30, -0.2,
         "收盘位置过低(-0.20<0.3)", 10, 10.3},
        {"0.125 prints 0.12 (ties to even), threshold 0.35 prints 0.3",
         Chart().price(5, 6, 10.8).last(10.1), 20, 0.125, "收盘位置过低(0.12<0.3)", 10, kNaN, 0.35},
        {"120 points, morning-only large minutes", Chart(120).vol({0, 1, 2, 3, 4}, 1000), 55, 0.5, ""},
        {"NaN price skipped", Chart().price(7, 8, kNaN).price(9, 10, 10.5), 20, 0.0, "收盘位置过低(0.00<0.3)"},
        {"pre_close 0 zeroes the percentages only", Chart(240, 11).last(10.9), 20, 0,
         "收盘位置过低(0.00<0.3)", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = analyze_tick_chart(c.chart.pts, !std::isnan(c.low), c.pre_close, c.low, c.threshold);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(std::tuple(r->quality_score, r->should_cancel, r->cancel_reason),
                  std::tuple(c.score, c.score < 40, c.reason));
        EXPECT_NEAR(r->close_pos, c.close_pos, 1e-12);
        EXPECT_TRUE(c.pre_close != 0 || (r->day_chg_pct == 0 && r->amplitude_pct == 0));
    }
    EXPECT_FALSE(analyze_tick_chart(Chart(9).pts, false, 10, 0, 0.3));
}

TEST(TickAnalysis, VolumeFigures) {
    const struct {
        const char* name;
        Chart chart;
        std::int64_t total, late_vol, large;
        double mean, ratio;
    } cases[] = {
        {"strong chart", Chart().ramp(10.5).vol({100, 215, 220, 225}, 1000), 27600, 3000, 4, 115, 4000.0 / 27600},
        {"no volume: no large minutes", Chart(240, 10, 0), 0, 0, 0, 0, 0},
        // Sums past the int64 range saturate instead of wrapping; mean and ratio use the exact sum.
        {"int64 max twice", Chart(240, 10, 0).vol({230, 235}, kMaxVol), kMaxVol, kMaxVol, 2, 2.0 * kMaxVol / 240, 1},
        // With negative volumes every minute is above twice the (negative) mean.
        {"int64 min throughout", Chart(240, 10, -kMaxVol - 1), -kMaxVol - 1, -kMaxVol - 1, 240, -0x1p63, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = analyze_tick_chart(c.chart.pts, false, 10, 0, 0.3);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(std::tuple(r->total_vol, r->late_large_vol, r->large_trade_count),
                  std::tuple(c.total, c.late_vol, std::size_t(c.large)));
        EXPECT_DOUBLE_EQ(r->mean_vol, c.mean);
        EXPECT_DOUBLE_EQ(r->large_trade_vol_ratio, c.ratio);
    }
    const auto r = analyze_tick_chart(cases[0].chart.pts, false, 10, 0, 0.3);  // price figures of the strong chart
    EXPECT_DOUBLE_EQ(r->vol_std, std::sqrt((236 * 15.0 * 15 + 4 * 885.0 * 885) / 239));
    EXPECT_EQ(std::tuple(r->am_large, r->pm_large, r->late_large), std::tuple(1u, 3u, 3u));
    EXPECT_NEAR(r->amplitude_pct, 5.0, 1e-12);
    EXPECT_NEAR(r->am_avg, 10 + 59.5 * 0.5 / 239, 1e-12);
    EXPECT_NEAR(r->pm_avg, 10 + 179.5 * 0.5 / 239, 1e-12);
    EXPECT_NEAR(r->late_chg_pct, (10.5 / (10 + 210 * 0.5 / 239) - 1) * 100, 1e-12);
}
