#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "zj_core/tick/core.hpp"

using zj_core::TimeOfDay;
using zj_core::tick::analyze_tick_chart;
using zj_core::tick::TickPoint;

namespace {

// A chart of n minutes at one price and one volume, with overrides.
struct Chart {
    std::vector<TickPoint> pts;
    Chart(std::size_t n, double price, std::int64_t vol) {
        for (std::size_t i = 0; i < n; ++i) {
            const auto minute = static_cast<std::uint32_t>(i < 120 ? 570 + i : 780 + (i - 120));
            pts.push_back(TickPoint{TimeOfDay{minute * 60, 0}, price, price, vol, 0.0});
        }
    }
    Chart& price(std::size_t from, std::size_t to, double p) {
        for (std::size_t i = from; i < to && i < pts.size(); ++i) pts[i].price = p;
        return *this;
    }
    Chart& last(double p) {
        pts.back().price = p;
        return *this;
    }
    Chart& vol(std::initializer_list<std::size_t> at, std::int64_t v) {
        for (auto i : at) pts[i].vol = v;
        return *this;
    }
    Chart& ramp(double from, double to) {
        for (std::size_t i = 0; i < pts.size(); ++i)
            pts[i].price = from + (to - from) * static_cast<double>(i) / static_cast<double>(pts.size() - 1);
        return *this;
    }
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Case {
    const char* name;
    std::function<Chart()> chart;
    double pre_close;
    bool has_low = false;
    double low = 0.0;
    double threshold = 0.3;
    double score;
    const char* reason;
    double close_pos = kNaN;  // checked when given
};

}  // namespace

TEST(TickAnalysis, ScoringTable) {
    const Case cases[] = {
        {"flat chart: middle close, no late activity", [] { return Chart(240, 10, 100); }, 10, false, 0, 0.3,
         55, "", 0.5},
        {"close at the low with a late dive",
         [] { return Chart(240, 10, 100).last(9.8); }, 10, false, 0, 0.3, 10,
         "收盘位置过低(0.00<0.3); 尾盘跳水(-2.0%)", 0.0},
        {"strong close with three late large minutes, capped at 100",
         [] { return Chart(240, 10, 100).ramp(10, 10.5).vol({215, 220, 225}, 1000); }, 10, false, 0, 0.3, 100,
         "", 1.0},
        {"morning-only large minutes cancel",
         [] { return Chart(240, 10, 100).vol({0, 1, 2, 3, 150}, 1000); }, 10, false, 0, 0.3, 35,
         "大单集中在早盘(4:1)尾盘无支撑", 0.5},
        {"exactly 40 keeps the chart and drops the notes",
         [] { return Chart(240, 10, 100).price(120, 240, 10.1).last(10.05).vol({0, 1, 2, 3, 150}, 1000); }, 10,
         false, 0, 0.3, 40, "", 0.5},
        {"over-extended with a low close",
         [] { return Chart(240, 11, 100).last(10.9); }, 10, false, 0, 0.3, 10,
         "收盘位置过低(0.00<0.3); 当日涨幅过大(+9.0%)", 0.0},
        {"everything wrong floors at 0",
         [] { return Chart(240, 11, 100).price(120, 240, 10.9).last(10.7).vol({0, 1, 2, 3, 150}, 1000); }, 9.8,
         false, 0, 0.3, 0,
         "收盘位置过低(0.00<0.3); 大单集中在早盘(4:1)尾盘无支撑; 尾盘跳水(-1.8%); 当日涨幅过大(+9.2%)", 0.0},
        // The last price 10.2 is 2% above position 210: +10 for the late rise.
        {"a supplied low below every price widens the denominator",
         [] { return Chart(240, 10, 100).price(5, 6, 10.5).last(10.2); }, 10, true, 9.5, 0.3, 65, "", 0.7},
        {"without a low the day's low is used",
         [] { return Chart(240, 10, 100).price(5, 6, 10.5).last(10.2); }, 10, false, 0, 0.3, 65, "", 0.4},
        {"a supplied low above the last price gives a negative position",
         [] { return Chart(240, 10, 100).price(5, 6, 10.5).last(10.2); }, 10, true, 10.3, 0.3, 30,
         "收盘位置过低(-0.20<0.3)", -0.2},
        {"threshold ties are written with the even digit",
         [] { return Chart(240, 10, 100).price(5, 6, 10.8).last(10.1); }, 10, false, 0, 0.25, 20,
         "收盘位置过低(0.12<0.2)", 0.125},
        {"threshold just below 0.35 in binary", [] { return Chart(240, 10, 100).price(5, 6, 10.8).last(10.1); },
         10, false, 0, 0.35, 20, "收盘位置过低(0.12<0.3)", 0.125},
        {"120 points: no afternoon, late step subtracts",
         [] { return Chart(120, 10, 100).vol({0, 1, 2, 3, 4}, 1000); }, 10, false, 0, 0.3, 55, "", 0.5},
        {"ten points are analysed", [] { return Chart(10, 10, 100); }, 10, false, 0, 0.3, 55, "", 0.5},
        {"NaN price is skipped for the range",
         [] { return Chart(240, 10, 100).price(7, 8, kNaN).price(9, 10, 10.5); }, 10, false, 0, 0.3, 20,
         "收盘位置过低(0.00<0.3)", 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Chart chart = c.chart();
        const auto r = analyze_tick_chart(chart.pts, c.has_low, c.pre_close, c.low, c.threshold);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->quality_score, c.score);
        EXPECT_EQ(r->should_cancel, c.score < 40);
        EXPECT_EQ(r->cancel_reason, c.reason);
        if (!std::isnan(c.close_pos)) {
            EXPECT_NEAR(r->close_pos, c.close_pos, 1e-12);
        }
        EXPECT_EQ(r->n, chart.pts.size());
    }
}

TEST(TickAnalysis, FiguresOfAStrongChart) {
    const Chart chart = Chart(240, 10, 100).ramp(10, 10.5).vol({100, 215, 220, 225}, 1000);
    const auto r = analyze_tick_chart(chart.pts, false, 10, 0, 0.3);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->total_vol, 236 * 100 + 4000);
    EXPECT_DOUBLE_EQ(r->mean_vol, 27600.0 / 240);
    EXPECT_EQ(r->large_trade_count, 4u);
    EXPECT_EQ(r->am_large, 1u);
    EXPECT_EQ(r->pm_large, 3u);
    EXPECT_EQ(r->late_large, 3u);
    EXPECT_EQ(r->late_large_vol, 3000);
    EXPECT_DOUBLE_EQ(r->large_trade_vol_ratio, 4000.0 / 27600);
    EXPECT_DOUBLE_EQ(r->day_chg_pct, 5.0);
    EXPECT_NEAR(r->amplitude_pct, 5.0, 1e-12);
    EXPECT_NEAR(r->am_avg, 10 + 59.5 * 0.5 / 239, 1e-12);
    EXPECT_NEAR(r->pm_avg, 10 + 179.5 * 0.5 / 239, 1e-12);
    EXPECT_NEAR(r->late_chg_pct, (10.5 - (10 + 210 * 0.5 / 239)) / (10 + 210 * 0.5 / 239) * 100, 1e-12);
    double sq = 0;
    for (const auto& p : chart.pts) sq += (p.vol - r->mean_vol) * (p.vol - r->mean_vol);
    EXPECT_DOUBLE_EQ(r->vol_std, std::sqrt(sq / 239));
}

TEST(TickAnalysis, GuardsAndDegenerateInputs) {
    EXPECT_FALSE(analyze_tick_chart(Chart(9, 10, 100).pts, false, 10, 0, 0.3));
    EXPECT_FALSE(analyze_tick_chart({}, false, 10, 0, 0.3));

    // pre_close <= 0 zeroes the percentages only.
    auto r = analyze_tick_chart(Chart(240, 11, 100).last(10.9).pts, false, 0, 0, 0.3);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->day_chg_pct, 0);
    EXPECT_EQ(r->amplitude_pct, 0);
    EXPECT_EQ(r->cancel_reason, "收盘位置过低(0.00<0.3)");

    // No volume: no large minutes and a zero ratio.
    r = analyze_tick_chart(Chart(240, 10, 0).pts, false, 10, 0, 0.3);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->total_vol, 0);
    EXPECT_EQ(r->mean_vol, 0);
    EXPECT_EQ(r->large_trade_count, 0u);
    EXPECT_EQ(r->large_trade_vol_ratio, 0);

    // Volumes whose sum passes the int64 range: the total saturates instead
    // of wrapping, and the mean and ratio come from the exact sum.
    constexpr auto kBig = std::numeric_limits<std::int64_t>::max();
    r = analyze_tick_chart(Chart(240, 10, 0).vol({230, 235}, kBig).pts, false, 10, 0, 0.3);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->total_vol, kBig);
    EXPECT_EQ(r->late_large_vol, kBig);
    EXPECT_DOUBLE_EQ(r->mean_vol, 2.0 * static_cast<double>(kBig) / 240);
    EXPECT_EQ(r->large_trade_count, 2u);
    EXPECT_DOUBLE_EQ(r->large_trade_vol_ratio, 1.0);
    r = analyze_tick_chart(Chart(240, 10, std::numeric_limits<std::int64_t>::min()).pts, false, 10, 0, 0.3);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->total_vol, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(r->large_trade_vol_ratio, 0);

    // All prices NaN: no crash, a neutral close position.
    r = analyze_tick_chart(Chart(240, kNaN, 100).pts, false, 10, 0, 0.3);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->close_pos, 0.5);
}
