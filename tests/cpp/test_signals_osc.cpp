// Oscillator state signals: warm-up, label thresholds, the rounded EMA.
#include <gtest/gtest.h>

#include <cmath>

#include "signal_test_util.hpp"
#include "zj_signals/osc.hpp"

using namespace zj_test;
namespace osc = zj_signals::osc;

static constexpr const char *k720 = "zj_osc_state_V260720", *k721 = "zj_osc_state_V260721";
static std::vector<BarPoint> ramp(std::size_t n, double step = 0.1) {
    std::vector<double> v;
    for (std::size_t i = 0; i < n; ++i) v.push_back(10.0 + step * static_cast<double>(i));
    return closes(v);
}

TEST(OscSignal, WarmUpCounts) {
    struct Case { const char* name; std::size_t bars; ParamMap params; std::size_t placeholders, named; };
    // max(n, m) + 5 = 17; then no average at all, a saturating warm-up, span 0 leaving MAOSC undefined
    const Case cases[] = {{k720, 0, {}, 0, 0}, {k720, 24, {}, 24, 0}, {k720, 25, {}, 0, 19}, {k721, 25, {}, 0, 19},
                          {k720, 40, {{"n", "+10"}}, 0, 9}, {k720, 16, {{"n", "5"}, {"m", "12"}}, 16, 0},
                          {k720, 17, {{"n", "5"}, {"m", "12"}}, 0, 4}, {k720, 30, {{"n", "0"}}, 0, 30},
                          {k720, 30, {{"n", "18446744073709551615"}}, 30, 0}, {k721, 25, {{"m", "0"}}, 0, 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " bars=" + std::to_string(c.bars));
        const auto out = run(c.name, ramp(c.bars), c.params);
        ASSERT_EQ(out.size(), c.bars);
        expect_layout(out, c.name, c.placeholders, c.named);
    }
}

TEST(OscSignal, HeatThresholds) {
    const std::pair<double, const char*> cases720[] = {{-1e-300, "极冷"}, {0.0, "偏低"}, {49.999, "偏低"},
        {50, "温和"}, {199.999, "温和"}, {200, "偏高"}, {349.999, "偏高"}, {350, "过热"}};
    for (auto [x, label] : cases720) EXPECT_EQ(osc::heat_label_720(x), label) << x;
    // dev = (close - ma) / ma * 100 with ma = 100, so dev = close - 100.
    struct Case { double close, scale; const char* label; };
    const Case cases721[] = {{89.99, 1, "极度冷"}, {90, 1, "偏冷"}, {96.99, 1, "偏冷"}, {97, 1, "适中"},
        {103, 1, "适中"}, {103.01, 1, "偏热"}, {110, 1, "偏热"}, {110.01, 1, "极度热"}, {80, 2, "偏冷"},
        {106, 2, "适中"}, {200, INFINITY, "适中"}};
    for (const Case& c : cases721) EXPECT_EQ(osc::heat_label_721(c.close, 100, c.scale), c.label) << c.close;
    // An average at machine epsilon or below counts as no deviation.
    EXPECT_TRUE(osc::heat_label_721(5, 1e-17, 1) == "适中" && osc::heat_label_721(5, -2e-16, 1) == "适中");
}

TEST(OscSignal, EmaRoundsOnlyOnOutput) {
    EXPECT_TRUE(osc::calc_ema({}, 3).empty());
    for (double v : osc::calc_ema(std::vector<double>{1, 2}, 0)) EXPECT_TRUE(std::isnan(v));
    // Seed is the first value, rounded on output like the rest.
    EXPECT_EQ(osc::calc_ema(std::vector<double>{1.23456}, 5), std::vector<double>{1.2346});
    // 0.00004 would round to 0 and stall the average if rounding fed back.
    EXPECT_EQ(osc::calc_ema(std::vector<double>{0, 0.00008, 0.00008}, 3), (std::vector<double>{0, 0, 0.0001}));
    // Half away from zero.
    EXPECT_EQ(osc::calc_ema(std::vector<double>{-0.00125, 0}, 1)[0], -0.0013);
}

TEST(OscSignal, ReadingsAndScales) {
    for (const char* name : {k720, k721}) {
        const auto out = run(name, closes(std::vector<double>(30, 8.0)));
        for (std::size_t i = 19; i < out.size(); ++i)
            EXPECT_EQ(labels(out[i]), std::string("零/") + (name == k720 ? "偏低" : "适中") + "/平稳") << i;
    }
    // close - mean of the last 5 on a unit ramp is 2, so OSC = 200.
    EXPECT_EQ(labels(run(k720, ramp(30, 1), {{"n", "5"}, {"m", "3"}}).back()), "上/偏高/平稳");
    // Last close 9.3 over a 20-bar mean of 9.965: OSC -66.5, dev -6.67%.
    std::vector<double> c(30, 10.0); c.back() = 9.3;
    EXPECT_EQ(labels(run(k720, closes(c)).back()), "下/极冷/下降");
    const std::pair<const char*, const char*> scales[] = {
        {"abc", "偏冷"}, {"nan", "偏冷"}, {"0.5", "极度冷"},
        {"+2.5e0", "适中"}, {"inf", "适中"}, {"-INF", "极度冷"}};
    for (auto [scale, label] : scales)
        EXPECT_EQ(run(k721, closes(c), {{"scale", scale}}).back().v2, label) << scale;
}

// A NaN close mid-series leaves the oscillator undefined and the exponential
// average cannot recover from it; a leading one only moves the average's start.
TEST(OscSignal, NaNCloses) {
    for (std::size_t at : {30u, 0u}) {
        auto bars = ramp(60);
        bars[at].close = NAN;
        const auto out = run(k720, bars);
        for (std::size_t i = 0; i < 60; ++i)
            EXPECT_EQ(is_default(out[i], k720), at ? i < 19 || i >= at : i < 20) << at << " " << i;
    }
}
