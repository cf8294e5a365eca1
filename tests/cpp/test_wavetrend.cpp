#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "zj_signals/signals.hpp"
#include "zj_signals/wavetrend.hpp"

using namespace zj_signals;
using namespace zj_signals::wavetrend;

namespace {
std::vector<BarPoint> zigzag_bars(std::size_t n, const std::string& freq = "日线") {
    std::vector<BarPoint> bars;
    for (std::size_t i = 0; i < n; ++i) {
        const double c = 10.0 + 2.0 * std::sin(static_cast<double>(i) / 5.0) + 0.01 * static_cast<double>(i % 7);
        bars.push_back(BarPoint{std::to_string(i), freq, c, c + 0.3, c - 0.3, c, 1000, 10000});
    }
    return bars;
}
}  // namespace

TEST(WaveTrend, CalcEmaRoundsEveryStepAndFeedsItBack) {
    const std::vector<double> in = {1.0, 2.0, 3.0};
    const auto out = calc_ema(in, 2);  // e = (prev + 2x) / 3
    EXPECT_EQ(calc_ema(std::vector<double>{0.0, 0.000075}, 1)[1], 0.0001);  // ties round away from zero
    EXPECT_EQ(calc_ema(std::vector<double>{0.0, -0.000075}, 1)[1], -0.0001);
    EXPECT_EQ(out[0], 1.0);
    EXPECT_EQ(out[1], 1.6667);
    EXPECT_EQ(out[2], std::round((1.6667 + 6.0) / 3.0 * 10000) / 10000);
    EXPECT_TRUE(calc_ema({}, 3).empty());
    const auto none = calc_ema(in, 0);
    EXPECT_TRUE(std::isnan(none[0]) && std::isnan(none[2]));
    EXPECT_EQ(calc_ema(std::vector<double>{0.123456}, 5)[0], 0.123456);  // the seed is not rounded
}

// The oscillator written step by step from calc_ema, as a reference.
std::vector<WtPoint> reference_wavetrend(const std::vector<BarPoint>& bars, std::uint64_t n1, std::uint64_t n2,
                                         std::uint64_t n3) {
    std::vector<double> ap;
    for (const auto& b : bars) ap.push_back((b.high + b.low + b.close) / 3.0);
    const auto esa = calc_ema(ap, n1);
    std::vector<double> dev, ci;
    for (std::size_t i = 0; i < ap.size(); ++i) dev.push_back(std::fabs(ap[i] - esa[i]));
    const auto d = calc_ema(dev, n1);
    for (std::size_t i = 0; i < ap.size(); ++i)
        ci.push_back(std::fabs(0.015 * d[i]) < 1e-10 ? 0.0 : (ap[i] - esa[i]) / (0.015 * d[i]));
    const auto wt1 = calc_ema(ci, n2);
    std::vector<WtPoint> out;
    for (std::size_t i = 0; i < wt1.size(); ++i) {
        double sum = 0.0;
        const std::size_t from = n3 == 0 ? i : (i + 1 >= n3 ? i + 1 - n3 : 0);
        for (std::size_t j = from; j <= i; ++j) sum += wt1[j];
        const double wt2 = n3 == 0 ? NAN : std::round(sum / static_cast<double>(i + 1 - from) * 10000) / 10000;
        out.push_back({wt1[i], wt2});
    }
    return out;
}

TEST(WaveTrend, OnePassOscillatorMatchesTheAveragesComposed) {
    auto bars = zigzag_bars(400);
    bars[100].close = NAN;
    for (std::size_t i = 200; i < 230; ++i) bars[i].high = bars[i].low = bars[i].close = 7.0;  // flat: d -> 0
    struct Case {
        std::uint64_t n1, n2, n3;
    };
    for (const Case c : {Case{10, 21, 4}, Case{1, 1, 1}, Case{3, 50, 500}, Case{0, 21, 4}, Case{10, 0, 4},
                         Case{10, 21, 0}, Case{2, 3, 7}}) {
        std::vector<double> h, l, cl;
        for (const auto& b : bars) h.push_back(b.high), l.push_back(b.low), cl.push_back(b.close);
        const auto fast = compute_wavetrend(h, l, cl, c.n1, c.n2, c.n3);
        const auto slow = reference_wavetrend(bars, c.n1, c.n2, c.n3);
        ASSERT_EQ(fast.size(), slow.size());
        for (std::size_t i = 0; i < fast.size(); ++i) {
            const bool same1 = (std::isnan(fast[i].wt1) && std::isnan(slow[i].wt1)) || fast[i].wt1 == slow[i].wt1;
            const bool same2 = (std::isnan(fast[i].wt2) && std::isnan(slow[i].wt2)) || fast[i].wt2 == slow[i].wt2;
            ASSERT_TRUE(same1 && same2) << c.n1 << "/" << c.n2 << "/" << c.n3 << " at " << i;
        }
    }
}

TEST(WaveTrend, ZoneBoundaries) {
    const std::pair<double, const char*> cases[] = {
        {60.0001, "极度超买"}, {60, "超买"},   {53.0001, "超买"}, {53, "偏多"},   {30.0001, "偏多"},
        {30, "弱多"},         {0, "弱多"},    {-0.0001, "弱空"}, {-30, "弱空"},  {-30.0001, "偏空"},
        {-53, "偏空"},        {-53.0001, "超卖"}, {-60, "超卖"}, {-60.0001, "极度超卖"},
    };
    for (auto [w, label] : cases) EXPECT_EQ(zone_label(w), label) << w;
}

TEST(WaveTrend, CrossAndGapLabels) {
    struct Case {
        WtPoint prev, cur;
        const char* cross;
        const char* gap;
    };
    const Case cases[] = {
        {{1, 1}, {2, 1}, "金叉", "增大"},
        {{1, 1}, {1, 2}, "死叉", "缩小"},
        {{2, 1}, {1, 1}, "空头", "缩小"},
        {{3, 1}, {4, 2}, "多头", "平稳"},
        {{1, 3}, {1, 2}, "空头", "增大"},
        {{-1, 1}, {2, 1}, "金叉", "增大"},
    };
    for (const Case& c : cases) {
        const std::vector<WtPoint> pts = {{0, 0}, c.prev, c.cur};
        const auto labels = get_wt_signal(pts, 1);
        ASSERT_TRUE(labels);
        EXPECT_EQ(labels->cross, c.cross);
        EXPECT_EQ(labels->gap, c.gap);
    }
    EXPECT_FALSE(get_wt_signal(std::vector<WtPoint>{{1, 1}, {2, 1}}, 1));  // needs k + 2 points
    EXPECT_FALSE(get_wt_signal(std::vector<WtPoint>{{0, 0}, {1, NAN}, {2, 1}}, 1));
}

TEST(WaveTrend, RegimeStateMachineAndScores) {
    struct Case {
        int state;
        double w, wt2, q;
        int next;
        const char* regime;
        std::uint32_t score;
    };
    const Case cases[] = {
        {0, -53, -60, -54, 1, "长期看多", 5},        // up-exit; 偏空 is outside the score table
        {0, 53, 60, 54, -1, "长期看空", 5},          // down-exit
        {-1, 54, 50, -70, 0, "其他", 20},            // w > 53 resets first, though q < -53
        {-1, -50, -60, -54, 1, "长期看多", 5},       // up-exit from -1
        {1, -54, -50, 10, 0, "其他", 30},            // 超卖, 空头 side
        {1, 52, 40, 56, -1, "长期看空", 5},          // down-exit from +1
        {1, 55, 50, 50, 1, "长期看多", 65},          // 超买 多头 under 长期看多
        {-1, -61, -55, -62, -1, "长期看空", 5},      // 极度超卖 空头
        {-1, 61, 70, 40, 0, "其他", 45},             // 极度超买 空头
        {1, -65, -70, -70, 0, "其他", 50},           // w < -53 from +1: 极度超卖 多头
    };
    for (const Case& c : cases) {
        const ZoneReading r = compute_wt_zone_signal(c.state, c.w, c.wt2, c.q);
        EXPECT_EQ(r.state, c.next) << c.state << " " << c.w;
        EXPECT_EQ(r.regime, c.regime) << c.w;
        EXPECT_EQ(r.score, c.score) << c.w;
        EXPECT_EQ(r.side, c.w > c.wt2 ? "多头" : "空头");
    }
}

TEST(WaveTrend, WarmUpAndShortInput) {
    for (const char* name : {"zj_wavetrend_V260625", "zj_wavetrend_zone_V260724"}) {
        const auto short_out = dispatch_one(name, zigzag_bars(39), {});
        ASSERT_EQ(short_out.size(), 39u);
        for (const auto& r : short_out) {
            EXPECT_EQ(r.name, "");
            EXPECT_EQ(r.freq, "");
            EXPECT_EQ(r.score, 1u);
        }
        EXPECT_TRUE(dispatch_one(name, std::vector<BarPoint>{}, {}).empty());
    }
    const auto bars = zigzag_bars(40);  // records view the bars' texts: keep them alive
    const auto out = dispatch_one("zj_wavetrend_V260625", bars, {});
    ASSERT_EQ(out.size(), 40u);
    for (std::size_t i = 0; i < 39; ++i) {
        EXPECT_EQ(out[i].name, "zj_wavetrend_V260625");
        EXPECT_EQ(out[i].v1, "其他");
        EXPECT_EQ(out[i].score, 1u);
    }
    EXPECT_NE(out[39].v1, "其他");
    EXPECT_EQ(out[39].score, 0u);
    EXPECT_EQ(out[39].freq, "日线");
}

TEST(WaveTrend, ZoneWarmUpFromInitN) {
    const auto bars = zigzag_bars(300);
    struct Case {
        const char* init_n;
        std::size_t defaults_at_least;
    };
    for (const Case c : {Case{"0", 1}, Case{"1", 1}, Case{"", 1}, Case{"100", 100}, Case{"500", 300}}) {
        ParamMap params;
        if (*c.init_n) params["_init_n"] = c.init_n;
        const auto out = dispatch_one("zj_wavetrend_zone_V260724", bars, params);
        std::size_t leading = 0;
        while (leading < out.size() && out[leading].v1 == "其他") ++leading;
        EXPECT_EQ(leading, c.defaults_at_least) << c.init_n;
    }
}

TEST(WaveTrend, ParametersFallBackAndDegenerateLengths) {
    const auto bars = zigzag_bars(80);
    const auto base = dispatch_one("zj_wavetrend_V260625", bars, {});
    for (const char* bad : {"-5", "", "12a", "123456789012345678901"}) {
        const auto out = dispatch_one("zj_wavetrend_V260625", bars, {{"n1", bad}});
        ASSERT_EQ(out.size(), base.size());
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].v1, base[i].v1) << bad;
            EXPECT_EQ(out[i].v2, base[i].v2) << bad;
        }
    }
    EXPECT_EQ(dispatch_one("zj_wavetrend_V260625", bars, {{"n1", "+10"}})[79].v3, base[79].v3);
    // n3 = 0 leaves the signal line undefined: named defaults throughout.
    for (const auto& r : dispatch_one("zj_wavetrend_zone_V260724", bars, {{"n3", "0"}})) {
        EXPECT_EQ(r.name, "zj_wavetrend_zone_V260724");
        EXPECT_EQ(r.v1, "其他");
    }
    // Lengths whose sum would wrap around mean "never enough bars".
    for (const auto& r : dispatch_one("zj_wavetrend_V260625", bars, {{"n1", "18446744073709551615"}}))
        EXPECT_EQ(r.name, "");
}
