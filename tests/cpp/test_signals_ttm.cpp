// TTM squeeze signal: warm-up, the widths, the momentum-shape table and the
// rejected-period failure (inputs against zjkit.ta: tests/python).
#include <gtest/gtest.h>

#include "signal_test_util.hpp"
#include "zj_core/common/failure.hpp"
#include "zj_signals/ttm.hpp"

using namespace zj_test;
namespace ttm = zj_signals::ttm;

static constexpr const char* kTtm = "zj_ttm_squeeze_V260711";

TEST(TtmSignal, WarmUp) {
    struct Case { std::size_t bars; ParamMap params; std::size_t placeholders, named_before_first_read; };
    // m = 25, but momentum starts at index 38; n5 only raises the warm-up; 10/40: m = 45, momentum from 18;
    // a regression of period 1 is rejected: no momentum.
    const Case cases[] = {{0, {}, 0, 0}, {24, {}, 24, 0}, {25, {}, 0, 25}, {60, {}, 0, 38},
                          {60, {{"n5", "+44"}}, 0, 48}, {60, {{"n1", "10"}, {"n3", "40"}}, 0, 44},
                          {60, {{"n1", "1"}}, 0, 60}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bars);
        const auto out = run(kTtm, walk(c.bars), c.params);
        ASSERT_EQ(out.size(), c.bars);
        expect_layout(out, kTtm, c.placeholders, c.named_before_first_read);
    }
}

TEST(TtmSignal, WidthParameters) {
    auto squeezes = [](const ParamMap& p) {
        std::string s;
        for (const auto& r : run(kTtm, walk(200), p)) s += std::string(r.v3) + " ";
        return s;
    };
    // NaN widths are the defaults; other numbers change the squeeze.
    EXPECT_EQ(squeezes({{"n2", "nan"}, {"n4", "NaN"}}), squeezes({}));
    EXPECT_TRUE(squeezes({{"n2", "3"}}) != squeezes({}) && squeezes({{"n4", "1"}}) != squeezes({}));
    // An infinitely wide channel holds any bands: squeezed throughout.
    const auto wide = run(kTtm, walk(200), {{"n2", "inf"}});
    for (std::size_t i = 38; i < wide.size(); ++i) EXPECT_EQ(wide[i].v3, "挤压") << i;
}

TEST(TtmSignal, ShapeTable) {
    struct Case { double m0, m1, m2, m3; const char* label; };
    // {0.6, 0.3, 0.1, 0.4}: m2 > 0, not the day after a cross; {0, 0.2, ..}: zero is not below zero, no death cross.
    const Case cases[] = {
        {0.3, -0.5, -1, -1, "金叉"},
        {0.3, 0.0, -1, -1, "金叉"},
        {0.6, 0.3, 0.0, -1, "金叉次日"},
        {0.6, 0.3, 0.1, 0.4, "其他"},
        {-0.3, 0.0, 1, 1, "死叉"},
        {-0.6, -0.3, 0.0, 1, "死叉次日"},
        {0.0, 0.2, 1, 0.5, "正值翻转次日"},
        {1.0, 0.5, 0.8, 0, "二次上升强势"},
        {1.0, 0.5, 1.0, 0, "二次上升"},
        {0.5, 1.0, 0.5, 2, "正值翻转强势"},
        {0.5, 1.0, 0.4, 0.5, "正值翻转"},
        {0.5, 1.0, 0.4, 0.6, "其他"},
        {-1.0, -0.5, -0.8, 0, "二次下降"},
        {-1.0, -0.5, -0.5, 0, "其他"},
        {-0.5, -1.0, -0.5, 0, "负值翻转强势"},
        {-0.5, -1.0, -0.4, -0.4, "负值翻转"},
        {-0.5, -1.0, -0.4, -0.5, "其他"},
        {0.5, 1.0, 2.0, 1.5, "正值翻转次日"},
        {0.5, 1.0, 2.0, 2.0, "其他"},
        {-0.5, -1.0, -2.0, -1.5, "负值翻转次日"},
        {-0.5, -1.0, -2.0, -2.0, "其他"}};
    for (auto [a, b, c, d, label] : cases)
        EXPECT_EQ(ttm::shape_label(a, b, c, d), label) << a << b << c << d;
}

TEST(TtmSignal, RejectedPeriodIsAnInternalFailure) {
    for (const char* key : {"n1", "n3"}) {
        try { run(kTtm, walk(60), {{key, "0"}}); ADD_FAILURE() << key << " 0 did not fail"; }
        catch (const zj_core::InternalFailure& e) {
            EXPECT_STREQ(e.what(), "InvalidParameter { name: \"timeperiod\", value: \"0\", reason: \"must be >= 1\" }");
        }
    }
    // Too few bars: the placeholders come before any indicator is asked.
    EXPECT_EQ(run(kTtm, walk(4), {{"n1", "0"}, {"n3", "0"}}).size(), 4u);
}
