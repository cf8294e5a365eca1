// DMI state signal: warm-up on both ADX paths, rejected periods, thresholds
// (labels against zjkit.ta: tests/python).
#include <gtest/gtest.h>

#include <cmath>

#include "signal_test_util.hpp"
#include "zj_signals/dmi.hpp"

using namespace zj_test;
namespace dmi = zj_signals::dmi;

static constexpr const char* kDmi = "zj_dmi_state_V260714";
static std::size_t first_labelled(const Run& out) {
    std::size_t i = 0;
    while (i < out.size() && out[i].v1 == "其他") ++i;
    return i;
}

TEST(DmiSignal, WarmUp) {
    struct Case { std::size_t bars; ParamMap params; std::size_t first; };
    // n2 14: library ADX / ADXR. 10/20: pdi 10, A 29, B 49, B[i - 1] 50. Then both fall back; then no averaging
    // window, ADX of period 1, +DI of period 0, a warm-up that saturates instead of wrapping: nothing to read.
    const Case cases[] = {{0, {}, 0}, {46, {}, 46}, {47, {}, 26}, {47, {{"n2", "14"}}, 41},
                          {200, {{"n1", "10"}, {"n2", "20"}}, 50}, {200, {{"n1", "abc"}, {"n2", "-3"}}, 26},
                          {200, {{"n2", "0"}}, 200}, {200, {{"n1", "1"}, {"n2", "1"}}, 200}, {200, {{"n1", "0"}}, 200},
                          {200, {{"n1", "9223372036854775807"}}, 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bars);
        const auto out = run(kDmi, walk(c.bars), c.params);
        ASSERT_EQ(out.size(), c.bars);
        EXPECT_EQ(first_labelled(out), c.first);
        for (std::size_t i = 0; i < out.size(); ++i) {
            // Short input too carries the name and the first bar's freq.
            // the slope has its value three bars back: never 其他
            EXPECT_TRUE(out[i].name == kDmi && out[i].freq == "60分钟" && out[i].score == 0 &&
                        out[i].v3 != "其他")
                << i;
            EXPECT_EQ(labels(out[i]) == "其他/任意/任意", i < c.first) << i;
        }
    }
}

TEST(DmiSignal, FlatSeries) {
    // No movement at all: DX is undefined, the moving-average ADX never starts; the library's ADX is 0.
    const auto flat = closes(std::vector<double>(80, 12.5));
    EXPECT_EQ(first_labelled(run(kDmi, flat)), 80u);
    const auto lib = run(kDmi, flat, {{"n1", "14"}, {"n2", "14"}});
    EXPECT_EQ(first_labelled(lib), 41u);
    for (std::size_t i = 41; i < lib.size(); ++i) EXPECT_EQ(labels(lib[i]), "盘整/缠绕/平稳");
}

TEST(DmiSignal, Thresholds) {
    const std::pair<double, const char*> strength[] = {{40, "强趋势"}, {39.999, "趋势"}, {25, "趋势"},
                                                        {24.999, "酝酿"}, {20, "酝酿"}, {19.999, "盘整"}};
    for (auto [a, label] : strength) EXPECT_EQ(dmi::strength_label(a), label) << a;
    const std::pair<double, const char*> direction[] = {{10.001, "多头强势"}, {10, "多头"}, {5.001, "多头"},
        {5, "缠绕"}, {-5, "缠绕"}, {-5.001, "空头"}, {-10, "空头"}, {-10.001, "空头强势"}};
    for (auto [d, label] : direction) EXPECT_EQ(dmi::direction_label(d), label) << d;
    const std::tuple<double, double, const char*> slope[] = {
        {30.5, 30, "平稳"}, {30.51, 30, "上升"}, {29.5, 30, "平稳"}, {29.49, 30, "下降"}, {30, NAN, "其他"}};
    for (auto [a, before, label] : slope) EXPECT_EQ(dmi::slope_label(a, before), label) << a;
}
