// Oscillator state signals: warm-up, label thresholds, the rounded EMA.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "signal_test_util.hpp"
#include "zj_signals/osc.hpp"

using namespace zj_test;
namespace osc = zj_signals::osc;

namespace {
constexpr const char* k720 = "zj_osc_state_V260720";
constexpr const char* k721 = "zj_osc_state_V260721";
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

std::vector<double> ramp(std::size_t n, double start = 10.0, double step = 0.1) {
    std::vector<double> v;
    for (std::size_t i = 0; i < n; ++i) v.push_back(start + step * static_cast<double>(i));
    return v;
}
}  // namespace

TEST(OscSignal, WarmUpCounts) {
    struct Case { const char* name; std::size_t bars; ParamMap params; std::size_t placeholders, named; };
    const Case cases[] = {
        {k720, 0, {}, 0, 0},
        {k720, 24, {}, 24, 0},
        {k720, 25, {}, 0, 19},
        {k721, 25, {}, 0, 19},
        {k720, 40, {{"n", "+10"}}, 0, 9},
        {k720, 16, {{"n", "5"}, {"m", "12"}}, 16, 0},   // max(n, m) + 5 = 17
        {k720, 17, {{"n", "5"}, {"m", "12"}}, 0, 4},
        {k720, 30, {{"n", "0"}}, 0, 30},                // no average at all
        {k720, 30, {{"n", "18446744073709551615"}}, 30, 0},  // saturating warm-up
        {k720, 25, {{"n", "-5"}, {"m", "x"}}, 0, 19},   // unparsable: defaults
        {k721, 25, {{"m", "0"}}, 0, 25},                // span 0: MAOSC undefined
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " bars=" + std::to_string(c.bars));
        const auto out = run(c.name, closes(ramp(c.bars)), c.params);
        ASSERT_EQ(out.size(), c.bars);
        expect_layout(out, c.name, c.placeholders, c.named);
    }
}

TEST(OscSignal, HeatThresholds720) {
    const std::pair<double, const char*> cases[] = {
        {-1e-300, "极冷"}, {-400, "极冷"}, {0.0, "偏低"},   {49.999, "偏低"}, {50, "温和"},
        {199.999, "温和"}, {200, "偏高"},  {349.999, "偏高"}, {350, "过热"},   {kInf, "过热"},
    };
    for (auto [x, label] : cases) EXPECT_EQ(osc::heat_label_720(x), label) << x;
}

TEST(OscSignal, HeatThresholds721) {
    // dev = (close - ma) / ma * 100 with ma = 100, so dev = close - 100.
    struct Case { double close, scale; const char* label; };
    const Case cases[] = {
        {89.99, 1, "极度冷"}, {90, 1, "偏冷"},    {96.99, 1, "偏冷"}, {97, 1, "适中"},
        {100, 1, "适中"},     {103, 1, "适中"},   {103.01, 1, "偏热"}, {110, 1, "偏热"},
        {110.01, 1, "极度热"}, {93, 2, "偏冷"},   {79.99, 2, "极度冷"}, {80, 2, "偏冷"},
        {106, 2, "适中"},     {200, kInf, "适中"}, {0, kInf, "适中"},
    };
    for (const Case& c : cases) EXPECT_EQ(osc::heat_label_721(c.close, 100, c.scale), c.label) << c.close;
    // An average at machine epsilon or below counts as no deviation.
    EXPECT_EQ(osc::heat_label_721(5, 1e-17, 1), "适中");
    EXPECT_EQ(osc::heat_label_721(5, -2e-16, 1), "适中");
}

TEST(OscSignal, EmaRoundsOnlyOnOutput) {
    EXPECT_TRUE(osc::calc_ema({}, 3).empty());
    for (double v : osc::calc_ema(std::vector<double>{1, 2}, 0)) EXPECT_TRUE(std::isnan(v));
    // Seed is the first value, rounded on output like the rest.
    EXPECT_EQ(osc::calc_ema(std::vector<double>{1.23456}, 5), std::vector<double>{1.2346});
    EXPECT_EQ(osc::calc_ema(std::vector<double>{1, 2, 3}, 3), (std::vector<double>{1, 1.5, 2.25}));
    // 0.00004 would round to 0 and stall the average if rounding fed back.
    EXPECT_EQ(osc::calc_ema(std::vector<double>{0, 0.00008, 0.00008}, 3), (std::vector<double>{0, 0, 0.0001}));
    // Half away from zero.
    EXPECT_EQ(osc::calc_ema(std::vector<double>{-0.00125, 0}, 1)[0], -0.0013);
}

TEST(OscSignal, FlatSeriesSitsOnItsAverage) {
    for (const char* name : {k720, k721}) {
        const auto out = run(name, closes(std::vector<double>(30, 8.0)));
        for (std::size_t i = 19; i < out.size(); ++i)
            EXPECT_EQ(labels(out[i]), std::string("零/") + (name == k720 ? "偏低" : "适中") + "/平稳") << i;
    }
}

TEST(OscSignal, RisingAndFallingCloses) {
    auto up = run(k720, closes(ramp(30, 10, 1)), {{"n", "5"}, {"m", "3"}});
    // close - mean of the last 5 on a unit ramp is 2, so OSC = 200.
    EXPECT_EQ(labels(up.back()), "上/偏高/平稳");
    auto down = run(k721, closes(ramp(30, 100, -1)), {{"n", "5"}, {"m", "3"}});
    EXPECT_EQ(down.back().v1, "下");
    // Last close 71, mean 73: dev -2.74% is moderate at scale 1, cold at scale 0.5.
    EXPECT_EQ(down.back().v2, "适中");
    EXPECT_EQ(run(k721, closes(ramp(30, 100, -1)), {{"n", "5"}, {"m", "3"}, {"scale", "0.5"}}).back().v2, "偏冷");
    // A step up makes OSC jump above its smoothed average.
    std::vector<double> step(30, 10.0);
    step.back() = 11.0;
    EXPECT_EQ(run(k720, closes(step)).back().v3, "上升");
    step.back() = 9.0;
    EXPECT_EQ(labels(run(k720, closes(step)).back()), "下/极冷/下降");
}

TEST(OscSignal, ScaleParameterForms) {
    // Last close 9.3 over a 20-bar mean of 9.965: dev -6.67%.
    std::vector<double> c(30, 10.0);
    c.back() = 9.3;
    const struct { const char* scale; const char* label; } cases[] = {
        {"2", "偏冷"}, {"1", "偏冷"}, {"abc", "偏冷"}, {"0.5", "极度冷"}, {"+2.5e0", "适中"},
        {"inf", "适中"}, {"-INF", "极度冷"}, {"nan", "偏冷"}, {"", "偏冷"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(run(k721, closes(c), {{"scale", k.scale}}).back().v2, k.label) << k.scale;
}

TEST(OscSignal, NonFiniteClosesStayLocal) {
    std::vector<double> c = ramp(60);
    c[30] = kNaN;
    const auto out = run(k720, closes(c));
    ASSERT_EQ(out.size(), 60u);
    EXPECT_NE(out[29].v1, "其他");
    // The oscillator is undefined while the NaN is in its window, and the
    // exponential average cannot recover from it.
    for (std::size_t i = 30; i < 60; ++i) EXPECT_TRUE(is_named_default(out[i], k720)) << i;
    // A leading NaN only moves the start of the average.
    std::vector<double> lead = ramp(60);
    lead[0] = kNaN;
    const auto out2 = run(k720, closes(lead));
    for (std::size_t i = 0; i < 20; ++i) EXPECT_TRUE(is_named_default(out2[i], k720)) << i;
    EXPECT_NE(out2[20].v1, "其他");
}

// The registry holds exactly the eight built-in signals.
TEST(BuiltinSignals, RegistryHoldsTheEight) {
    std::vector<std::string> names = zj_signals::list_signal_names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"zj_dmi_state_V260714", "zj_ic_state_V260718", "zj_osc_state_V260720",
                                               "zj_osc_state_V260721", "zj_ttm_squeeze_V260711", "zj_vol_ratio_V260721",
                                               "zj_wavetrend_V260625", "zj_wavetrend_zone_V260724"}));
}
