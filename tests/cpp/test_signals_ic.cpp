// Ichimoku state signal: one record, bar selection, label and score tables,
// and the whole reading against lines computed by brute force.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "signal_test_util.hpp"
#include "zj_signals/ic.hpp"

using namespace zj_test;
namespace ic = zj_signals::ic;

namespace {
constexpr const char* kIc = "zj_ic_state_V260718";
std::string reading(const SignalOutput& r) { return labels(r) + "/" + std::to_string(r.score); }

// The reading of bar len - di with the lines computed naively from their definition.
std::string naive(const std::vector<BarPoint>& bars, std::size_t n1, std::size_t n2, std::size_t n3, std::size_t di) {
    auto mid = [&](std::size_t i, std::size_t n) {
        if (i + 1 < n) return double(NAN);
        double hi = -INFINITY, lo = INFINITY;
        for (std::size_t j = i + 1 - n; j <= i; ++j) hi = std::max(hi, bars[j].high), lo = std::min(lo, bars[j].low);
        return (hi + lo) * 0.5;
    };
    const std::size_t c = bars.size() - di;
    if (bars.size() < n2 + n3 + 5 || c < n2) return "其他/任意/任意/0";
    const double sa = (mid(c - n2, n1) + mid(c - n2, n2)) * 0.5, sb = mid(c - n2, n3), t = mid(c, n1), k = mid(c, n2);
    if (std::isnan(sa + sb + t + k)) return "其他/任意/任意/0";
    const auto& b = bars[c];
    const std::string_view cloud = sa > sb ? "上升云" : "下降云";
    const auto pos = ic::position_label(b.high, b.low, b.close, std::max(sa, sb), std::min(sa, sb));
    const auto line = ic::line_label(b.high, b.low, b.close, t, k, mid(c - 1, n1), mid(c - 1, n2));
    return std::string(pos) + "/" + std::string(cloud) + "/" + std::string(line) + "/" +
           std::to_string(ic::ic_score(pos, cloud, line));
}
}  // namespace

TEST(IcSignal, AlwaysExactlyOneRecord) {
    struct Case { std::size_t bars; ParamMap params; bool computed; };
    // di 0 is the bar after the last; bar 77 is the first with both spans; 150 + 52 + 5 > 200.
    const Case cases[] = {{0, {}, false}, {82, {}, false}, {83, {}, true}, {83, {{"di", "0"}}, false},
                          {83, {{"di", "83"}}, false}, {83, {{"di", "18446744073709551615"}}, false},
                          {83, {{"di", "6"}}, true}, {83, {{"di", "7"}}, false}, {200, {{"n1", "0"}}, false},
                          {200, {{"n3", "0"}}, false}, {200, {{"n2", "150"}}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bars);
        const auto out = run(kIc, walk(c.bars), c.params);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_TRUE(out[0].name == kIc && out[0].freq == (c.bars ? "60分钟" : ""));  // the first bar's freq
        EXPECT_EQ(reading(out[0]) != "其他/任意/任意/0", c.computed) << reading(out[0]);
    }
}

TEST(IcSignal, MatchesBruteForceLines) {
    struct Params { std::size_t n1, n2, n3; };
    for (const Params p : {Params{9, 26, 52}, Params{3, 5, 8}, Params{1, 1, 1}, Params{20, 10, 30}})
        for (unsigned seed : {1u, 2u, 3u, 4u, 5u})
            for (std::size_t di : {1u, 2u, 3u, 10u, 60u, 149u}) {
                const auto bars = walk(150, seed);
                const ParamMap params{{"n1", std::to_string(p.n1)}, {"n2", std::to_string(p.n2)},
                                      {"n3", std::to_string(p.n3)}, {"di", std::to_string(di)}};
                EXPECT_EQ(reading(run(kIc, bars, params)[0]), naive(bars, p.n1, p.n2, p.n3, di))
                    << p.n1 << "," << p.n2 << "," << p.n3 << " di " << di << " seed " << seed;
            }
}

TEST(IcSignal, PositionTable) {
    // Cloud from 8 (bottom) to 10 (top).
    struct Case { double h, l, cl; const char* label; };
    // A low at the top is not above it (测云顶), nor a high at the bottom below it (跌破下).
    const Case cases[] = {
        {12, 10.5, 9, "云上"}, {12, 10, 10, "测云顶"}, {7.9, 7, 7.5, "云下"},
        {8, 7, 7.5, "跌破下"}, {12, 9, 10.5, "突破上"}, {11, 8, 9, "测云顶"},
        {10, 8, 9, "云内"}, {10, 8, 10, "云内"}, {11, 7, 9, "贯穿云"},
        {9, 7, 9, "测云底"}, {10, 7.5, 8, "测云底"}};
    for (const Case& c : cases)
        EXPECT_EQ(ic::position_label(c.h, c.l, c.cl, 10, 8), c.label) << c.h << c.l << c.cl;
}

TEST(IcSignal, LineTable) {
    // Conversion line 10, base line 9; the bar before had the same order.
    struct Case { double h, l, cl, t, k, tp, kp; const char* label; };
    const Case cases[] = {
        {12, 10, 11, 10, 9, 10, 9, "双强"},
        {12, 8, 10, 10, 9, 10, 9, "双高"},
        {10, 8, 9.5, 10, 9, 10, 9, "高影"},
        {9.9, 8, 9.5, 10, 9, 10, 9, "线内"},
        {9.9, 8, 9, 10, 9, 10, 9, "线内"},
        {9.5, 8, 8.5, 10, 9, 10, 9, "双低"},
        {9.5, 8, NAN, 10, 9, 10, 9, "低影"},
        {8.5, NAN, NAN, 10, 9, 10, 9, "双弱"},
        {NAN, NAN, NAN, 10, 9, 10, 9, "其他"},
        {12, 10, 11, 10, 9, 9, 9, "CL金叉"}, {12, 10, 11, 9, 10, 9, 9, "CL死叉"},
        {12, 10, 11, 10, 10, 9, 10, "双强"},  // equal lines are no cross
        {12, 10, 11, 10, 9, NAN, 10, "双强"}, {12, 10, 11, 10, 9, 9, NAN, "双强"}};  // no previous line
    for (const Case& c : cases)
        EXPECT_EQ(ic::line_label(c.h, c.l, c.cl, c.t, c.k, c.tp, c.kp), c.label) << c.h << " " << c.cl;
}

TEST(IcSignal, ScoreTable) {
    struct Case { const char *pos, *cloud, *line; std::uint32_t score; };
    const Case cases[] = {
        {"突破上", "上升云", "双强", 76},
        {"突破上", "上升云", "高影", 60},
        {"突破上", "下降云", "高影", 5},
        {"突破上", "上升云", "CL金叉", 5},
        {"云下", "上升云", "CL死叉", 5},
        {"测云顶", "上升云", "双强", 5},
        {"云下", "上升云", "双弱", 42},
        {"云内", "下降云", "双弱", 10},
        {"云内", "下降云", "双强", 5}};
    for (const Case& c : cases)
        EXPECT_EQ(ic::ic_score(c.pos, c.cloud, c.line), c.score) << c.pos << c.cloud << c.line;
}
