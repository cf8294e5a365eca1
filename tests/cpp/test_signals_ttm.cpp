// TTM squeeze signal: warm-up, the momentum-shape table, squeeze transitions,
// the rejected-period failure, and its inputs against the indicator library.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "indicators/math_operator.hpp"
#include "indicators/overlap.hpp"
#include "indicators/statistic.hpp"
#include "signal_test_util.hpp"
#include "zj_core/common/failure.hpp"
#include "zj_signals/ttm.hpp"

using namespace zj_test;
namespace ttm = zj_signals::ttm;

namespace {
constexpr const char* kTtm = "zj_ttm_squeeze_V260711";

// Quiet stretches alternate with wide-ranging ones so the bands move in and
// out of the channel; the drift flips sign so the momentum crosses zero.
std::vector<BarPoint> regime_bars(std::size_t n) {
    std::vector<BarPoint> bars;
    double close = 50;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i);
        const bool quiet = (i / 30) % 2 == 0;
        close += std::sin(t / 9.0) * (quiet ? 0.05 : 1.5) + (quiet ? 0.0 : std::cos(t * 1.7) * 2.0);
        const double range = quiet ? 1.2 : 0.3;
        bars.push_back(bar(close + range, close - range, close));
    }
    return bars;
}
}  // namespace

TEST(TtmSignal, WarmUp) {
    struct Case { std::size_t bars; ParamMap params; std::size_t placeholders, named_before_first_read; };
    const Case cases[] = {
        {0, {}, 0, 0},
        {24, {}, 24, 0},
        {25, {}, 0, 25},                 // m = 25, but momentum starts at index 38
        {60, {}, 0, 38},
        {34, {{"n5", "30"}}, 34, 0},     // n5 only raises the warm-up
        {60, {{"n5", "+44"}}, 0, 48},
        {60, {{"n1", "10"}, {"n3", "40"}}, 0, 44},  // m = 45, momentum from 18
        {60, {{"n1", "1"}}, 0, 60},      // regression of period 1 is rejected: no momentum
        {60, {{"n1", "x"}, {"n2", "y"}, {"n4", ""}}, 0, 38},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bars);
        const auto out = run(kTtm, regime_bars(c.bars), c.params);
        ASSERT_EQ(out.size(), c.bars);
        expect_layout(out, kTtm, c.placeholders, c.named_before_first_read);
    }
}

TEST(TtmSignal, WidthParameters) {
    const auto bars = regime_bars(200);
    const auto reference = run(kTtm, bars);
    auto same = [&](const ParamMap& p) {
        const auto out = run(kTtm, bars, p);
        for (std::size_t i = 0; i < out.size(); ++i)
            if (labels(out[i]) != labels(reference[i])) return false;
        return true;
    };
    // Unparsable or NaN widths are the defaults; other numbers change the squeeze.
    EXPECT_TRUE(same({{"n2", "nan"}, {"n4", "NaN"}}));
    EXPECT_TRUE(same({{"n2", "1.5x"}, {"n4", ""}}));
    EXPECT_TRUE(same({{"n2", "+1.5"}, {"n4", "2e0"}}));
    EXPECT_FALSE(same({{"n2", "3"}}));
    // An infinitely wide channel holds any bands: squeezed throughout.
    const auto wide = run(kTtm, bars, {{"n2", "inf"}});
    for (std::size_t i = 38; i < wide.size(); ++i) EXPECT_EQ(wide[i].v3, "挤压") << i;
}

TEST(TtmSignal, ShapeTable) {
    struct Case { double m0, m1, m2, m3; const char* label; };
    const Case cases[] = {
        {0.3, -0.5, -1, -1, "金叉"},        {0.3, 0.0, -1, -1, "金叉"},
        {0.6, 0.3, -0.5, -1, "金叉次日"},   {0.6, 0.3, 0.0, -1, "金叉次日"},
        {0.6, 0.3, 0.1, 0.4, "其他"},       // m2 > 0: not the day after a cross, no other row fits
        {-0.3, 0.5, 1, 1, "死叉"},          {-0.3, 0.0, 1, 1, "死叉"},
        {0.0, 0.2, 1, 0.5, "正值翻转次日"},  // zero is not below zero: no death cross
        {-0.6, -0.3, 0.5, 1, "死叉次日"},   {-0.6, -0.3, 0.0, 1, "死叉次日"},
        {1.0, 0.5, 0.8, 0, "二次上升强势"}, {1.0, 0.5, 1.0, 0, "二次上升"},
        {1.0, 0.5, 1.2, 0, "二次上升"},
        {0.5, 1.0, 0.5, 2, "正值翻转强势"}, {0.5, 1.0, 0.6, 2, "正值翻转强势"},
        {0.5, 1.0, 0.4, 0.5, "正值翻转"},   {0.5, 1.0, 0.4, 0.6, "其他"},
        {-1.0, -0.5, -0.8, 0, "二次下降"},  {-1.0, -0.5, -0.5, 0, "其他"},
        {-0.5, -1.0, -0.5, 0, "负值翻转强势"}, {-0.5, -1.0, -0.6, 0, "负值翻转强势"},
        {-0.5, -1.0, -0.4, -0.4, "负值翻转"},  {-0.5, -1.0, -0.4, -0.5, "其他"},
        {0.5, 1.0, 2.0, 1.5, "正值翻转次日"}, {0.5, 1.0, 2.0, 2.0, "其他"},
        {-0.5, -1.0, -2.0, -1.5, "负值翻转次日"}, {-0.5, -1.0, -2.0, -2.0, "其他"},
        {0.5, 0.5, 0.5, 0.5, "其他"},       {-0.5, -0.5, -0.5, -0.5, "其他"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ttm::shape_label(c.m0, c.m1, c.m2, c.m3), c.label)
            << c.m0 << " " << c.m1 << " " << c.m2 << " " << c.m3;
}

TEST(TtmSignal, RejectedPeriodIsAnInternalFailure) {
    const auto bars = regime_bars(60);
    const struct { const char* key; const char* text; } cases[] = {
        {"n1", "InvalidParameter { name: \"timeperiod\", value: \"0\", reason: \"must be >= 1\" }"},
        {"n3", "InvalidParameter { name: \"timeperiod\", value: \"0\", reason: \"must be >= 1\" }"},
    };
    for (const auto& c : cases) {
        try {
            run(kTtm, bars, {{c.key, "0"}});
            ADD_FAILURE() << c.key << " 0 did not fail";
        } catch (const zj_core::InternalFailure& e) {
            EXPECT_EQ(std::string(e.what()), c.text);
        }
    }
    // Too few bars: the placeholders come before any indicator is asked.
    EXPECT_EQ(run(kTtm, regime_bars(4), {{"n1", "0"}, {"n3", "0"}}).size(), 4u);
}

// The momentum shape reads the current value and the three before it.
TEST(TtmSignal, ShapeOfLibraryMomentum) {
    const auto bars = regime_bars(400);
    std::vector<double> h, l, c;
    for (const auto& b : bars) h.push_back(b.high), l.push_back(b.low), c.push_back(b.close);
    const std::size_t n = 20;
    const auto hh = indicators::max(h, n).take(), ll = indicators::min(l, n).take();
    const auto basis = indicators::sma(c, n).take();
    std::vector<double> delta;
    for (std::size_t i = n - 1; i < c.size(); ++i) delta.push_back(c[i] - ((hh[i] + ll[i]) * 0.5 + basis[i]) * 0.5);
    const auto reg = indicators::linearreg(delta, n).take();

    const auto out = run(kTtm, bars);
    std::map<std::string_view, int> seen;
    for (std::size_t i = 38; i < bars.size(); ++i) {
        if (i >= 41)
            EXPECT_EQ(out[i].v2, ttm::shape_label(reg[i - 19], reg[i - 20], reg[i - 21], reg[i - 22])) << i;
        else
            EXPECT_EQ(out[i].v2, "其他") << i;  // the three values before are not all defined yet
        ++seen[out[i].v3];
    }
    EXPECT_EQ(seen.size(), 4u);  // the series passes through every squeeze state
}
