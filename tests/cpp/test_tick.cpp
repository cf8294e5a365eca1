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
    Chart(std::size_t n, double price, std::int64_t vol) : pts(n, TickPoint{{}, price, price, vol, 0.0}) {}
    Chart& price(std::size_t from, std::size_t to, double p) {
        for (; from < to; ++from) pts[from].price = p;
        return *this;
    }
    Chart& last(double p) { return price(pts.size() - 1, pts.size(), p); }
    Chart& vol(std::initializer_list<std::size_t> at, std::int64_t v) {
        for (auto i : at) pts[i].vol = v;
        return *this;
    }
    Chart& ramp(double from, double to) {
        for (std::size_t i = 0; i < pts.size(); ++i) pts[i].price = from + (to - from) * double(i) / 239;
        return *this;
    }
};

Chart flat(std::size_t n = 240) { return Chart(n, 10, 100); }

}  // namespace

TEST(TickAnalysis, ScoringTable) {
    const struct {
        const char* name;
        Chart chart;
        double score, close_pos;
        const char* reason;
        double pre_close = 10, low = kNaN, threshold = 0.3;  // low NaN: none supplied
    } cases[] = {
        {"flat chart", flat(), 55, 0.5, ""},
        {"late large minutes, capped at 100", flat().ramp(10, 10.5).vol({215, 220, 225}, 1000), 100, 1.0, ""},
        {"morning-only large minutes", flat().vol({0, 1, 2, 3, 150}, 1000), 35, 0.5, "大单集中在早盘(4:1)尾盘无支撑"},
        {"exactly 40 keeps the chart and drops the notes",
         flat().price(120, 240, 10.1).last(10.05).vol({0, 1, 2, 3, 150}, 1000), 40, 0.5, ""},
        {"every note, floor 0", Chart(240, 11, 100).price(120, 240, 10.9).last(10.7).vol({0, 1, 2, 3, 150}, 1000),
         0, 0.0, "收盘位置过低(0.00<0.3); 大单集中在早盘(4:1)尾盘无支撑; 尾盘跳水(-1.8%); 当日涨幅过大(+9.2%)", 9.8},
        // 10.2 is 2% above position 210: +10 for the late rise.
        {"low below every price widens the denominator", flat().price(5, 6, 10.5).last(10.2), 65, 0.7, "", 10, 9.5},
        {"low above the last price", flat().price(5, 6, 10.5).last(10.2), 30, -0.2, "收盘位置过低(-0.20<0.3)", 10, 10.3},
        {"ties to even", flat().price(5, 6, 10.8).last(10.1), 20, 0.125, "收盘位置过低(0.12<0.2)", 10, kNaN, 0.25},
        {"threshold 0.35 prints 0.3", flat().price(5, 6, 10.8).last(10.1), 20, 0.125, "收盘位置过低(0.12<0.3)", 10, kNaN, 0.35},
        {"120 points, morning-only large minutes", flat(120).vol({0, 1, 2, 3, 4}, 1000), 55, 0.5, ""},
        {"NaN price skipped", flat().price(7, 8, kNaN).price(9, 10, 10.5), 20, 0.0, "收盘位置过低(0.00<0.3)"},
        {"all prices NaN", Chart(240, kNaN, 100), 55, 0.5, ""},
        {"pre_close 0 zeroes the percentages only", Chart(240, 11, 100).last(10.9), 20, 0, "收盘位置过低(0.00<0.3)", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = analyze_tick_chart(c.chart.pts, !std::isnan(c.low), c.pre_close, c.low, c.threshold);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->quality_score, c.score);
        EXPECT_EQ(r->should_cancel, c.score < 40);
        EXPECT_EQ(r->cancel_reason, c.reason);
        EXPECT_NEAR(r->close_pos, c.close_pos, 1e-12);
        EXPECT_TRUE(c.pre_close != 0 || (r->day_chg_pct == 0 && r->amplitude_pct == 0));
    }
    EXPECT_FALSE(analyze_tick_chart(flat(9).pts, false, 10, 0, 0.3));
}

TEST(TickAnalysis, VolumeFigures) {
    const struct {
        const char* name;
        Chart chart;
        std::int64_t total, late_vol;
        double mean, ratio;
        std::size_t large;
    } cases[] = {
        {"strong chart", flat().ramp(10, 10.5).vol({100, 215, 220, 225}, 1000), 27600, 3000, 115, 4000.0 / 27600, 4},
        {"no volume: no large minutes", Chart(240, 10, 0), 0, 0, 0, 0, 0},
        // Sums past the int64 range saturate instead of wrapping; mean and ratio use the exact sum.
        {"int64 max twice", Chart(240, 10, 0).vol({230, 235}, kMaxVol), kMaxVol, kMaxVol, 2.0 * kMaxVol / 240, 1, 2},
        // With negative volumes every minute is above twice the (negative) mean.
        {"int64 min throughout", Chart(240, 10, -kMaxVol - 1), -kMaxVol - 1, -kMaxVol - 1, -0x1p63, 0, 240},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = analyze_tick_chart(c.chart.pts, false, 10, 0, 0.3);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(std::tuple(r->total_vol, r->late_large_vol, r->large_trade_count),
                  std::tuple(c.total, c.late_vol, c.large));
        EXPECT_DOUBLE_EQ(r->mean_vol, c.mean);
        EXPECT_DOUBLE_EQ(r->large_trade_vol_ratio, c.ratio);
    }
}

TEST(TickAnalysis, PriceFiguresOfAStrongChart) {
    const Chart chart = flat().ramp(10, 10.5).vol({100, 215, 220, 225}, 1000);
    const auto r = analyze_tick_chart(chart.pts, false, 10, 0, 0.3);
    ASSERT_TRUE(r);
    EXPECT_DOUBLE_EQ(r->vol_std, std::sqrt((236 * 15.0 * 15 + 4 * 885.0 * 885) / 239));
    EXPECT_EQ(std::tuple(r->am_large, r->pm_large, r->late_large), std::tuple(1u, 3u, 3u));
    EXPECT_NEAR(r->amplitude_pct, 5.0, 1e-12);
    EXPECT_NEAR(r->am_avg, 10 + 59.5 * 0.5 / 239, 1e-12);
    EXPECT_NEAR(r->pm_avg, 10 + 179.5 * 0.5 / 239, 1e-12);
    EXPECT_NEAR(r->late_chg_pct, (10.5 / (10 + 210 * 0.5 / 239) - 1) * 100, 1e-12);
}
