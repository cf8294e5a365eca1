// DMI state signal: warm-up and thresholds (labels against zjkit.ta: tests/python).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "signal_test_util.hpp"
#include "zj_signals/dmi.hpp"

using namespace zj_test;
namespace dmi = zj_signals::dmi;

namespace {
constexpr const char* kDmi = "zj_dmi_state_V260714";
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<BarPoint> trend(std::size_t n, unsigned seed = 11) {
    std::vector<BarPoint> bars;
    double close = 30;
    unsigned s = seed;
    for (std::size_t i = 0; i < n; ++i) {
        s = s * 1103515245u + 12345u;
        const double drift = (i / 40) % 2 ? -0.4 : 0.5;
        close += drift + (static_cast<double>((s >> 16) % 1001) - 500.0) / 500.0;
        const double range = 0.3 + static_cast<double>((s >> 6) % 100) / 80.0;
        bars.push_back(bar(close + range, close - range * 0.7, close));
    }
    return bars;
}

std::size_t first_labelled(const Run& out) {
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i].v1 != "其他") return i;
    return out.size();
}
}  // namespace

TEST(DmiSignal, WarmUp) {
    struct Case { std::size_t bars; ParamMap params; std::size_t first; };
    const Case cases[] = {
        {0, {}, 0},    {46, {}, 46},  {47, {}, 26},  {200, {}, 26},
        {47, {{"n2", "14"}}, 41},                    // library ADX / ADXR
        {200, {{"n1", "+14"}, {"n2", "14"}}, 41},
        {200, {{"n1", "10"}, {"n2", "20"}}, 50},     // pdi 10, A 29, B 49, B[i - 1] 50
        {200, {{"n2", "0"}}, 200},                   // no averaging window: nothing to read
        {200, {{"n1", "1"}, {"n2", "1"}}, 200},      // ADX of period 1 is rejected
        {200, {{"n1", "0"}}, 200},                   // +DI of period 0 is rejected
        {200, {{"n1", "abc"}, {"n2", "-3"}}, 26},    // both fall back
        {200, {{"n1", ""}, {"n2", "6.0"}}, 26},
        {200, {{"n1", "99999999999999999999"}}, 26},
        {200, {{"n1", "9223372036854775807"}}, 200}, // warm-up saturates instead of wrapping
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bars);
        const auto out = run(kDmi, trend(c.bars), c.params);
        ASSERT_EQ(out.size(), c.bars);
        EXPECT_EQ(first_labelled(out), c.first);
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].name, kDmi);  // short input too carries the name
            EXPECT_EQ(out[i].freq, "日线");
            EXPECT_EQ(out[i].score, 0u);
            if (i < c.first) {
                EXPECT_EQ(labels(out[i]), "其他/任意/任意") << i;
            } else {
                EXPECT_NE(out[i].v3, "其他") << i;
            }
        }
    }
}

TEST(DmiSignal, FlatSeries) {
    const auto flat = closes(std::vector<double>(80, 12.5));
    // No movement at all: DX is undefined, the moving-average ADX never starts.
    for (const auto& r : run(kDmi, flat)) EXPECT_EQ(labels(r), "其他/任意/任意");
    // The library's ADX is 0 for it.
    const auto lib = run(kDmi, flat, {{"n1", "14"}, {"n2", "14"}});
    EXPECT_EQ(first_labelled(lib), 41u);
    for (std::size_t i = 41; i < lib.size(); ++i) EXPECT_EQ(labels(lib[i]), "盘整/缠绕/平稳");
}

TEST(DmiSignal, Thresholds) {
    const std::pair<double, const char*> strength[] = {
        {100, "强趋势"}, {40, "强趋势"}, {39.999, "趋势"}, {25, "趋势"}, {24.999, "酝酿"},
        {20, "酝酿"},   {19.999, "盘整"}, {0, "盘整"},
    };
    for (auto [a, label] : strength) EXPECT_EQ(dmi::strength_label(a), label) << a;
    const std::pair<double, const char*> direction[] = {
        {10.001, "多头强势"}, {10, "多头"}, {5.001, "多头"}, {5, "缠绕"}, {0, "缠绕"}, {-5, "缠绕"},
        {-5.001, "空头"},     {-10, "空头"}, {-10.001, "空头强势"},
    };
    for (auto [d, label] : direction) EXPECT_EQ(dmi::direction_label(d), label) << d;
    const std::tuple<double, double, const char*> slope[] = {
        {30.5, 30, "平稳"}, {30.51, 30, "上升"}, {29.5, 30, "平稳"}, {29.49, 30, "下降"}, {30, kNaN, "其他"},
    };
    for (auto [a, before, label] : slope) EXPECT_EQ(dmi::slope_label(a, before), label) << a;
}
