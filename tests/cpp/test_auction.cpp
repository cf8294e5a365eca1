// Opening call-auction analytics: scan score and features, morphology classes,
// false-sell detector, and the NaN-price error.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "zj_core/auction/false_sell.hpp"
#include "zj_core/auction/morphology.hpp"
#include "zj_core/auction/scan.hpp"

using namespace zj_core;
using namespace zj_core::auction;

namespace {

using Ticks = std::vector<AuctionTick>;
using Edit = std::function<void(Ticks&)>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::uint32_t k0915 = 9 * 3600 + 15 * 60;

TimeOfDay at(std::uint32_t secs) { return TimeOfDay{secs, 0}; }
TimeOfDay hms(std::uint32_t h, std::uint32_t m, std::uint32_t s) { return TimeOfDay::hms(h, m, s); }

// n snapshots every `step` seconds from 09:15:00 (index 10 is 09:20:00 at 30 s).
Ticks flat(std::size_t n, double price, std::int32_t matched, std::int32_t unmatched = 0, std::uint32_t step = 30) {
    Ticks v;
    for (std::size_t i = 0; i < n; ++i) v.push_back({at(k0915 + std::uint32_t(i) * step), price, matched, unmatched});
    return v;
}

std::optional<ScanResult> scan(const Ticks& v, std::int32_t threshold = 50, std::optional<double> open = {},
                               std::optional<double> pre_close = {}, std::optional<double> lu = {},
                               std::optional<double> ld = {}) {
    return AuctionScanner(threshold).analyze(v, open, pre_close, lu, ld);
}

// Twenty snapshots every 30 s with every buying feature at its best: a climb
// through ten levels after 09:20, sell/buy alternation in 09:20-09:22 ending on
// the buy side, the last three matched at 3x the late base, and heavy unmatched
// selling at the end with the price held.
Ticks best_auction() {
    const std::int32_t um[] = {-100, -100, 200, -100, 200, 300, 0, 0, 0, -600};
    Ticks v = flat(20, 10.0, 1000);
    for (std::size_t i = 10; i < 20; ++i) v[i].price = 10.0 + 0.01 * double(i - 10), v[i].unmatched = um[i - 10];
    v[17].matched = v[18].matched = v[19].matched = 3000;
    return v;
}

template <class F>
std::string nan_error(F&& f) {
    try {
        f();
    } catch (const NanPriceError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(AuctionScan, WindowAndTooFewSnapshots) {
    EXPECT_FALSE(scan(flat(14, 10.0, 1000)));
    EXPECT_TRUE(scan(flat(15, 10.0, 1000)));
    auto v = flat(14, 10.0, 1000);
    for (auto t : {hms(9, 14, 59), hms(9, 26, 0), hms(10, 20, 0)}) v.push_back({t, 10.0, 1000, 0});
    EXPECT_FALSE(scan(v));                                                // 14 of 17 inside 09:15:00-09:25:59
    EXPECT_TRUE(AuctionScanner().analyze_filter(v, {}, {}, {}, {}, false));  // the whole slice as the window
    v.push_back({hms(9, 25, 59), 10.0, 1000, 0});
    EXPECT_EQ(scan(v)->n, 15u);
}

TEST(AuctionScan, StepsCountDistinctLevels) {
    struct Case {
        std::vector<double> head;
        std::uint32_t steps, eff;
    };
    for (const Case& c : {Case{{10.00, 10.01, 10.00, 10.02}, 2, 2}, Case{{10.00, 10.01}, 1, 0},
                          Case{{10.004, 10.005}, 1, 0}, Case{{10.00}, 0, 0}, Case{{1e300, -1e300, 10.0}, 2, 2}}) {
        auto v = flat(16, c.head.back(), 1000);
        for (std::size_t i = 0; i < c.head.size(); ++i) v[i].price = c.head[i];
        EXPECT_EQ(scan(v)->steps, c.steps) << c.head.size();
        EXPECT_EQ(scan(v)->eff_steps, c.eff) << c.head.size();
    }
}

TEST(AuctionScan, ScoreComponentsAndPenalties) {
    struct Case {
        const char* what;
        Edit edit;
        std::int32_t score;
    };
    auto times_from_12 = [](Ticks& v) {
        for (std::size_t i = 12; i < 20; ++i) v[i].time = at(k0915 + 8 * 60 + std::uint32_t(i - 12) * 10);
    };
    const Case cases[] = {
        {"every feature at its best", [](Ticks&) {}, 100},
        {"last unmatched -500 is not heavy selling", [](Ticks& v) { v[19].unmatched = -500; }, 85},
        {"price below w(n-3) at the end", [](Ticks& v) { v[19].price = 10.06; }, 85},
        {"alternation ends on the sell side", [](Ticks& v) { v[14].unmatched = v[15].unmatched = -50; }, 65},
        {"no sell side in 09:20-09:22", [](Ticks& v) { v[10].unmatched = v[11].unmatched = v[13].unmatched = 5; }, 55},
        {"flat after 09:20", [](Ticks& v) { for (std::size_t i = 10; i < 20; ++i) v[i].price = 10.0; }, 75},
        {"a climb ending at 09:19 shows in steps only",
         [](Ticks& v) { for (std::size_t i = 0; i < 20; ++i) v[i].price = i < 10 ? 9.9 + 0.01 * double(i) : 10.0; }, 75},
        {"end ratio 1.5", [](Ticks& v) { v[17].matched = v[18].matched = v[19].matched = 1500; }, 96},
        {"last price more than a cent below P920", [](Ticks& v) { v[10].price = 10.20; }, 50},
        {"amount below 500000", [](Ticks& v) { for (auto& t : v) t.matched /= 10; }, 60},
        {"amount below 1000000", [](Ticks& v) { for (auto& t : v) t.matched = t.matched * 3 / 10; }, 80},
        {"19 snapshots", [](Ticks& v) { v.erase(v.begin()); }, 80},
        {"two snapshots in 09:20-09:22", times_from_12, 28},
        // Negative volumes give a negative end ratio; it adds nothing rather
        // than pulling the score below zero.
        {"negative end volumes", [](Ticks& v) { v[17].matched = v[18].matched = v[19].matched = -2'000'000'000; }, 85},
    };
    for (const Case& c : cases) {
        auto v = best_auction();
        c.edit(v);
        EXPECT_EQ(scan(v)->score, c.score) << c.what;
    }
    auto r = scan(best_auction(), 100);
    EXPECT_TRUE(r->match && r->neg_pos_alt && r->buy_rev && r->end_p);
    EXPECT_EQ(r->steps, 9u);
    EXPECT_DOUBLE_EQ(r->vr, 3.0);
    EXPECT_EQ(r->max_matched, 3000);
    EXPECT_EQ(r->last_unmatched, -600);
    EXPECT_EQ(r->morphology_index, 1u);
    EXPECT_EQ(r->morphology_group, "A");
    EXPECT_EQ(r->morphology_tag, "A01");
    EXPECT_FALSE(scan(best_auction(), 101)->match);
    EXPECT_TRUE(scan(flat(15, 10.0, 0), 0)->match);
}

TEST(AuctionScan, Alternation) {
    struct Case {
        std::vector<std::int32_t> um;  // unmatched from 09:20:00, 40 s apart
        bool alt, rev;
    };
    for (const Case& c : {Case{{-5, 3, -2}, true, false}, Case{{-5, -2, 3}, true, true}, Case{{-5, 3}, false, false},
                          Case{{5, 3, 2}, false, false}, Case{{0, -1, 0, 1}, true, true}}) {
        auto v = flat(10, 10.0, 1000);
        for (std::size_t i = 0; i < c.um.size(); ++i) v.push_back({at(k0915 + 300 + std::uint32_t(i) * 40), 10.0, 1000, c.um[i]});
        while (v.size() < 16) v.push_back({at(k0915 + 480 + std::uint32_t(v.size())), 10.0, 1000, 0});
        EXPECT_EQ(scan(v)->neg_pos_alt, c.alt) << c.um.size();
        EXPECT_EQ(scan(v)->buy_rev, c.rev) << c.um.size();
    }
}

TEST(AuctionScan, EndRatioEndPressureOpenedHigher) {
    EXPECT_DOUBLE_EQ(scan(flat(20, 10.0, 0))->vr, 1.0);  // no base volume
    // Only the last three at or after 09:20: the base is the middle three.
    auto v = flat(20, 10.0, 100, 0, 10);
    v[17].time = hms(9, 20, 0), v[18].time = hms(9, 21, 0), v[19].time = hms(9, 22, 0);
    v[9].matched = 400;
    v[17].matched = v[18].matched = v[19].matched = 300;
    EXPECT_DOUBLE_EQ(scan(v)->vr, 1.5);  // 300 / mean(100, 400, 100)
    v[19].unmatched = -501;
    EXPECT_TRUE(scan(v)->end_p);
    v[19].price = 9.999;
    EXPECT_FALSE(scan(v)->end_p);
    EXPECT_FALSE(scan(v, 50, 10.5)->oh);
    EXPECT_FALSE(scan(v, 50, 10.5, 0.0)->oh);
    EXPECT_EQ(scan(v, 50, 10.0, 10.0)->oh, false);
    EXPECT_EQ(scan(v, 50, 10.1, 10.0)->oh, true);
}

TEST(AuctionScan, LimitPricesHandedToMorphology) {
    auto v = flat(16, 11.0, 300);  // flat at 11.00 with heavy volume: the suffix shows the limits used
    EXPECT_EQ(scan(v)->morphology, "一字放量型");
    EXPECT_EQ(scan(v, 50, {}, 10.0)->morphology, "一字放量型(多头)");              // 11.00 / 9.00
    EXPECT_EQ(scan(v, 50, {}, 10.0, 20.0)->morphology, "一字放量型(多头)");        // one limit alone is ignored
    EXPECT_EQ(scan(v, 50, {}, 10.0, 20.0, 11.0)->morphology, "一字放量型(空头)");  // both replace
    EXPECT_EQ(scan(v, 50, {}, {}, 12.1, 9.9)->morphology, "一字放量型(中性)");
}

TEST(AuctionMorphology, OnePriceClassesSuffixesAndFallback) {
    struct Case {
        double price;
        std::int32_t matched;
        double lu, ld;
        const char* name;
    };
    const Case cases[] = {
        {10.00, 300, 10.00, 8.18, "一字放量型(多头)"}, {10.00, 300, 0.0, 0.0, "一字放量型"},
        {10.00, 300, 11.00, 0.0, "一字放量型"},        {10.00, 300, 11.00, 9.00, "一字放量型(中性)"},
        {9.00, 300, 11.00, 9.00, "一字放量型(空头)"},  {10.00, 10, 0.0, 0.0, "无量一字型"},
        {10.00, 100, 0.0, 0.0, "无量一字型"},  // m5 == m6: the higher index wins
        // 16 x 1e9 lots wraps a 32-bit sum negative (no volume): sums are 64-bit.
        {10.00, 1'000'000'000, 0.0, 0.0, "一字放量型"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classify_morphology(flat(16, c.price, c.matched), c.lu, c.ld).name, c.name) << c.price << " " << c.matched;
    auto m = classify_morphology(flat(16, 10.0, 300), 10.0, 8.18);
    EXPECT_EQ(m.scores[4], 100);
    EXPECT_EQ(m.scores[0], 30);  // reaches the limit-up price but never lets go
    m = classify_morphology({}, 0.0, 0.0);
    EXPECT_EQ(m.name, "震荡分歧型");
    EXPECT_EQ(m.index, 6u);
    EXPECT_EQ(m.confidence, 0);
    EXPECT_EQ(m.scores, (std::array<std::int32_t, 7>{}));
}

TEST(AuctionMorphology, RawScores) {
    struct Case {
        const char* what;
        Ticks ticks;
        Edit edit;
        double lu, ld;
        std::size_t cls;
        std::int32_t score;
    };
    auto prices = [](std::size_t from, std::size_t to, double p) {
        return [=](Ticks& v) { for (std::size_t i = from; i < to; ++i) v[i].price = p; };
    };
    const Case cases[] = {
        {"fishing line, three after 09:20", flat(13, 10.0, 100), prices(10, 13, 9.8), 0, 0, 2, 58},
        {"fishing line, one after 09:20 (divisor stays 3)", flat(11, 10.0, 100), prices(10, 11, 9.8), 0, 0, 2, 100},
        {"fishing line, nothing after 09:20", flat(10, 10.0, 100), prices(5, 10, 9.8), 0, 0, 2, 0},
        {"limit-up probe, no volume near the limit", flat(16, 11.0, 100, 0, 10), prices(8, 16, 10.5), 11, 9, 0, 66},
        {"limit-up probe, second half near the limit", flat(16, 11.0, 100, 0, 10), prices(8, 16, 10.67), 11, 9, 0, 69},
        {"limit-down pry with buyers left over", flat(16, 9.0, 100, -10, 10),
         [](Ticks& v) { for (std::size_t i = 8; i < 16; ++i) v[i].price = 9.27, v[i].unmatched = 50; }, 11, 9, 3, 80},
    };
    for (const Case& c : cases) {
        Ticks v = c.ticks;
        c.edit(v);
        EXPECT_EQ(classify_morphology(v, c.lu, c.ld).scores[c.cls], c.score) << c.what;
    }
    for (auto [high, scored] : {std::pair{10.14, false}, std::pair{10.81, false}, std::pair{10.3, true}}) {
        auto v = flat(16, 10.0, 100, 0, 10);
        for (std::size_t i = 1; i < 16; i += 2) v[i].price = high, v[i].unmatched = 5, v[i - 1].unmatched = -5;
        EXPECT_EQ(classify_morphology(v, 0, 0).scores[6] > 0, scored) << high;  // amplitude 1.4%, 8.1%, 3%
    }
}

TEST(AuctionMorphology, NanPriceWhereClassesComparePrices) {
    struct Case {
        std::size_t nan_at;  // of 16 snapshots 30 s apart: 0..7 first half, 10.. from 09:20
        double lu, ld;
        bool throws;
    };
    for (const Case& c : {Case{3, 11, 0, true}, Case{3, 0, 9, true}, Case{9, 0, 0, true}, Case{12, 11, 9, false},
                          Case{15, 0, 0, false}}) {
        auto v = flat(16, 10.0, 100);
        v[c.nan_at].price = kNaN;
        const std::string expected = c.throws ? "NaN price at " + format_time(v[c.nan_at].time) : "";
        EXPECT_EQ(nan_error([&] { classify_morphology(v, c.lu, c.ld); }), expected) << c.nan_at;
    }
    auto v = flat(16, 10.0, 100);
    v[3].price = kNaN;
    EXPECT_EQ(nan_error([&] { scan(v); }), "NaN price at 09:16:30");
}

namespace {
// Twenty flat snapshots with 500 lots matched and nothing left over: only the
// absorption floor (0.08) and the late peak (0.1) score.
std::int32_t false_sell_score(const Edit& edit) {
    Ticks v = flat(20, 10.0, 500);
    edit(v);
    return FalseSellDetector(50).analyze_inner(v)->score;
}
}  // namespace

TEST(AuctionFalseSell, ScoreParts) {
    auto last = [](std::int32_t u) { return [u](Ticks& v) { v.back().unmatched = u; }; };
    auto all_sell_ending_at = [](double p) {
        return [p](Ticks& v) { for (auto& t : v) t.unmatched = -100; v.back().price = p; };
    };
    auto lead = [](std::vector<std::int32_t> um) {
        return [um](Ticks& v) { for (std::size_t i = 0; i < um.size(); ++i) v[i].unmatched = um[i]; };
    };
    const std::pair<Edit, std::int32_t> cases[] = {
        {[](Ticks&) {}, 18},
        {all_sell_ending_at(10.0), 38},
        {last(-300), 24}, {last(-501), 28}, {last(-200), 18},
        {last(-10000), 28}, {last(-10001), 33}, {last(-50000), 33}, {last(-50001), 38},
        {all_sell_ending_at(9.96), 30}, {all_sell_ending_at(9.94), 18}, {all_sell_ending_at(9.88), 9},
        {[](Ticks& v) { for (auto& t : v) t.matched = 299; }, 9},
        {[](Ticks& v) { v.pop_back(); }, 14},
        {[](Ticks& v) { v[8].price = 10.1; }, 8},  // peak at 8 of 20 is not late
        {[](Ticks& v) { v[0].matched = v[1].matched = v[2].matched = 0; v[19].matched = 4; }, 33},  // vr 168
        // Late buying: 0.15 x 1.0 / 0.5 / 0.2 by the longest sell run.
        {lead({-1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), 45},
        {lead({-1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 1}), 32},
        {lead({-1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 1}), 30},
        {lead({-1, 0, -1, 0, 0, 0, 0, 0, 0, 1}), 30},  // last buyer at 9 of 20 is not late
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(false_sell_score(cases[i].first), cases[i].second) << i;
}

TEST(AuctionFalseSell, Outputs) {
    auto v = flat(20, 10.0, 500);
    v[0].matched = v[1].matched = v[2].matched = 0;
    v[17].matched = 600, v[18].matched = 600, v[19].matched = 1200;
    v[5].unmatched = -7, v[6].unmatched = -3, v[7].unmatched = 4;
    v.back().price = 10.05;
    auto r = FalseSellDetector(0).analyze_inner(v);
    EXPECT_DOUBLE_EQ(r->vr, 800.0);  // start mean 0 is replaced by 1.0
    EXPECT_DOUBLE_EQ(r->neg_ratio, 0.1);
    EXPECT_DOUBLE_EQ(r->recovery_score, 0.0);
    EXPECT_EQ(r->neg_total, 10);
    EXPECT_EQ(r->net_um, -6);
    EXPECT_EQ(r->max_match, 1200);
    EXPECT_DOUBLE_EQ(r->big_order_ratio, 0.05);
    EXPECT_DOUBLE_EQ(r->price_change_pct, 0.5);
    EXPECT_TRUE(r->price_up && r->late_peak && r->match);
    EXPECT_DOUBLE_EQ(r->total_amt, (500.0 * 10.0 * 100.0) * 14 + 600.0 * 10.0 * 100.0 * 2 + 1200.0 * 10.05 * 100.0);
    EXPECT_FALSE(FalseSellDetector(101).analyze_inner(v)->match);
}

TEST(AuctionFalseSell, TooFewAndNan) {
    EXPECT_FALSE(FalseSellDetector().analyze_inner(flat(14, 10.0, 500)));
    auto v = flat(15, 10.0, 500);
    v[0].time = hms(9, 26, 0);
    EXPECT_FALSE(FalseSellDetector().analyze_inner(v));
    v = flat(20, 10.0, 500);
    v[13].price = kNaN;
    v[13].time.nanos = 250'000'000;
    EXPECT_EQ(nan_error([&] { FalseSellDetector().analyze_inner(v); }), "NaN price at 09:21:30.250000");
    v[13].time = hms(9, 30, 0);  // outside the window: ignored
    EXPECT_EQ(nan_error([&] { FalseSellDetector().analyze_inner(v); }), "");
    EXPECT_EQ(format_time(TimeOfDay::hms(9, 25, 59, 1'000'000'000)), "09:25:60");  // a leap second
}

TEST(AuctionRobustness, RandomSnapshotsNeverCrash) {
    std::mt19937_64 rng(20260101);
    const double specials[] = {kInf, -kInf, 0.0, -0.0, 1e308, -1e308, 5e-324, kNaN};
    const std::int32_t vols[] = {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(), 0, -501};
    for (int round = 0; round < 2000; ++round) {
        Ticks v(rng() % 60);
        std::uint32_t t = k0915 - 60 + static_cast<std::uint32_t>(rng() % 120);
        for (auto& x : v) {
            t += static_cast<std::uint32_t>(rng() % 40);
            x = {TimeOfDay{t, static_cast<std::uint32_t>(rng() % 2'000'000'000)},
                 rng() % 8 == 0 ? specials[rng() % 8] : 9.0 + double(rng() % 300) / 100.0,
                 rng() % 5 == 0 ? vols[rng() % 4] : static_cast<std::int32_t>(rng() % 5000),
                 rng() % 5 == 0 ? vols[rng() % 4] : static_cast<std::int32_t>(rng() % 2000) - 1000};
        }
        const double lim = rng() % 2 ? 11.0 : 0.0;
        try {
            if (auto r = scan(v, 50, 10.0, 10.0, lim, lim * 0.8)) {
                EXPECT_TRUE(r->score >= 0 && r->score <= 100);
            }
        } catch (const NanPriceError&) {
        }
        try {
            if (auto r = FalseSellDetector().analyze_inner(v)) {
                EXPECT_TRUE(r->score >= 0 && r->score <= 100);
            }
        } catch (const NanPriceError&) {
        }
    }
}
