// Volume-ratio signal: warm-up, the two thresholds, zero and missing volume.
#include <gtest/gtest.h>

#include <cmath>

#include "signal_test_util.hpp"

using namespace zj_test;

static constexpr const char* kVol = "zj_vol_ratio_V260721";

TEST(VolRatioSignal, WarmUpCounts) {
    struct Case { std::size_t bars; ParamMap params; std::size_t placeholders, named; };
    const Case cases[] = {{0, {}, 0, 0}, {24, {}, 24, 0}, {25, {}, 0, 19}, {6, {{"n", "1"}}, 0, 0},
                          {5, {{"n", "1"}}, 5, 0}, {30, {{"n", "0"}}, 0, 30}};  // n 0: no window, nothing to read
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bars);
        const auto out = run(kVol, closes(std::vector<double>(c.bars, 100), true), c.params);
        ASSERT_EQ(out.size(), c.bars);
        expect_layout(out, kVol, c.placeholders, c.named);
    }
}

TEST(VolRatioSignal, Thresholds) {
    // n = 2: the window is the previous bar and this one, ratio = 2b / (a + b).
    struct Case { double a, b; const char* label; };
    // exactly 1.2, just above; exactly 0.8, just below
    const Case cases[] = {
        {100, 150, "平量"}, {100, 151, "放量"}, {150, 100, "平量"}, {150, 99, "缩量"}, {100, NAN, "平量"}};
    for (const Case& c : cases) {
        std::vector<double> v(7, c.a); v.back() = c.b;
        EXPECT_EQ(run(kVol, closes(v, true), {{"n", "2"}}).back().v1, c.label) << c.a << " " << c.b;
    }
    // The window holds the bar itself: avg (19 x 100 + 150) / 20 = 102.5, ratio 1.46.
    std::vector<double> v(24, 100); v.push_back(150);
    EXPECT_EQ(run(kVol, closes(v, true)).back().v1, "放量");
}

TEST(VolRatioSignal, ZeroAverageIsUnread) {
    for (const auto& r : run(kVol, closes(std::vector<double>(25, 0), true))) EXPECT_TRUE(is_default(r, kVol));
    // n = 1 compares each bar with itself; a zero bar has nothing to compare.
    const auto ones = run(kVol, closes({5, 0, 7, 8, 9, 3}, true), {{"n", "1"}});
    EXPECT_TRUE(is_default(ones[1], kVol));
    for (std::size_t i : {0u, 2u, 3u, 4u, 5u}) EXPECT_EQ(ones[i].v1, "平量");
}
