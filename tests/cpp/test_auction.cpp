// Opening call-auction analytics: scan score and features, morphology classes,
// false-sell detector, and the NaN-price error.
#include <gtest/gtest.h>

#include <cmath>
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

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TimeOfDay at(const char* hms) {
    TimeOfDay t;
    EXPECT_EQ(parse_hms(hms, t), TimeParseError::None) << hms;
    return t;
}

TimeOfDay plus(TimeOfDay t, std::uint32_t secs) { return TimeOfDay{t.secs + secs, t.nanos}; }

// n snapshots from `start`, `step` seconds apart, each field from its index.
std::vector<AuctionTick> series(const char* start, std::uint32_t step, std::size_t n,
                                const std::function<double(std::size_t)>& price,
                                const std::function<std::int32_t(std::size_t)>& matched,
                                const std::function<std::int32_t(std::size_t)>& unmatched) {
    std::vector<AuctionTick> v;
    for (std::size_t i = 0; i < n; ++i)
        v.push_back({plus(at(start), static_cast<std::uint32_t>(i) * step), price(i), matched(i), unmatched(i)});
    return v;
}

std::vector<AuctionTick> flat(std::size_t n, double price, std::int32_t matched, std::int32_t unmatched = 0) {
    return series("09:15:00", 30, n, [=](std::size_t) { return price; },
                  [=](std::size_t) { return matched; }, [=](std::size_t) { return unmatched; });
}

std::optional<ScanResult> scan(const std::vector<AuctionTick>& v, std::int32_t threshold = 50,
                               std::optional<double> open = {}, std::optional<double> pre_close = {},
                               std::optional<double> lu = {}, std::optional<double> ld = {}) {
    return AuctionScanner(threshold).analyze(v, open, pre_close, lu, ld);
}

// Twenty snapshots every 30 s from 09:15:00 with every buying feature at its
// best: a climb through ten levels after 09:20, sell/buy alternation in
// 09:20-09:22 ending on the buy side, the last three matched at 3x the late
// base, and heavy unmatched selling at the end with the price held.
std::vector<AuctionTick> best_auction() {
    const std::int32_t um[] = {-100, -100, 200, -100, 200, 300, 0, 0, 0, -600};
    return series(
        "09:15:00", 30, 20, [](std::size_t i) { return i < 10 ? 10.0 : 10.0 + 0.01 * double(i - 10); },
        [](std::size_t i) { return i >= 17 ? 3000 : 1000; },
        [&](std::size_t i) { return i < 10 ? 0 : um[i - 10]; });
}

}  // namespace

// ---------------------------------------------------------------- scan

TEST(AuctionScan, TooFewSnapshotsGiveNothing) {
    EXPECT_FALSE(scan(flat(14, 10.0, 1000)));
    // 30 snapshots, only 14 inside 09:15:00-09:25:59.
    auto v = flat(14, 10.0, 1000);
    for (std::size_t i = 0; i < 16; ++i) v.push_back({plus(at("09:26:00"), std::uint32_t(i)), 10.0, 1000, 0});
    EXPECT_FALSE(scan(v));
    EXPECT_TRUE(scan(flat(15, 10.0, 1000)));
    EXPECT_TRUE(AuctionScanner().analyze_filter(v, {}, {}, {}, {}, false));
}

TEST(AuctionScan, WindowBoundaries) {
    auto v = flat(15, 10.0, 1000);
    v.insert(v.begin(), {at("09:14:59"), 10.0, 1000, 0});
    v.push_back({at("09:25:59"), 10.0, 1000, 0});
    v.push_back({at("09:26:00"), 10.0, 1000, 0});
    v.push_back({at("10:20:00"), 10.0, 1000, 0});  // minute 20 of another hour
    EXPECT_EQ(scan(v)->n, 16u);
}

TEST(AuctionScan, StepsCountDistinctLevels) {
    struct Case {
        std::vector<double> head;
        std::uint32_t steps, eff;
    };
    const Case cases[] = {
        {{10.00, 10.01, 10.00, 10.02}, 2, 2},  // the return to 10.00 is not a new level
        {{10.00, 10.01}, 1, 0},
        {{10.004, 10.005}, 1, 0},  // floor(p*100+0.5): 1000 and 1001
        {{10.00}, 0, 0},
    };
    for (const Case& c : cases) {
        auto v = flat(16, c.head.back(), 1000);
        for (std::size_t i = 0; i < c.head.size(); ++i) v[i].price = c.head[i];
        auto r = scan(v);
        EXPECT_EQ(r->steps, c.steps) << c.head.size();
        EXPECT_EQ(r->eff_steps, c.eff) << c.head.size();
    }
}

TEST(AuctionScan, ScoreComponentsAndPenalties) {
    struct Case {
        const char* what;
        std::function<void(std::vector<AuctionTick>&)> edit;
        std::int32_t score;
    };
    const Case cases[] = {
        {"every feature at its best", [](auto&) {}, 100},
        {"last unmatched -500 is not heavy selling", [](auto& v) { v[19].unmatched = -500; }, 85},
        {"price below w(n-3) at the end", [](auto& v) { v[19].price = 10.06; }, 85},
        {"alternation ends on the sell side", [](auto& v) { v[14].unmatched = -50; v[15].unmatched = -50; }, 65},
        {"no sell side in 09:20-09:22", [](auto& v) { v[10].unmatched = v[11].unmatched = v[13].unmatched = 5; }, 55},
        {"flat after 09:20 adds no steps",
         [](auto& v) { for (std::size_t i = 10; i < 20; ++i) v[i].price = 10.0; }, 75},
        {"a climb ending at 09:19 adds nothing",
         [](auto& v) { for (std::size_t i = 0; i < 20; ++i) v[i].price = i < 10 ? 9.9 + 0.01 * double(i) : 10.0; }, 75},
        {"end ratio 1.5", [](auto& v) { v[17].matched = v[18].matched = v[19].matched = 1500; }, 96},
        {"last price more than a cent below P920", [](auto& v) { v[10].price = 10.20; }, 50},
        {"amount below 500000", [](auto& v) { for (auto& t : v) t.matched /= 10; }, 60},
        {"amount below 1000000", [](auto& v) { for (auto& t : v) t.matched = t.matched * 3 / 10; }, 80},
        {"19 snapshots", [](auto& v) { v.erase(v.begin()); }, 80},
        {"two snapshots in 09:20-09:22",
         [](auto& v) { for (std::size_t i = 12; i < 20; ++i) v[i].time = plus(at("09:23:00"), std::uint32_t(i - 12) * 10); },
         28},
    };
    for (const Case& c : cases) {
        auto v = best_auction();
        c.edit(v);
        auto r = scan(v);
        ASSERT_TRUE(r) << c.what;
        EXPECT_EQ(r->score, c.score) << c.what;
    }
}

TEST(AuctionScan, BestAuctionFeatures) {
    auto r = scan(best_auction(), 100);
    EXPECT_TRUE(r->match);
    EXPECT_EQ(r->steps, 9u);
    EXPECT_TRUE(r->neg_pos_alt && r->buy_rev && r->end_p);
    EXPECT_DOUBLE_EQ(r->vr, 3.0);
    EXPECT_EQ(r->max_matched, 3000);
    EXPECT_EQ(r->last_unmatched, -600);
    EXPECT_DOUBLE_EQ(r->first_price, 10.0);
    EXPECT_DOUBLE_EQ(r->last_price, 10.09);
    EXPECT_EQ(r->morphology, "阶梯攀升型");
    EXPECT_EQ(r->morphology_index, 1u);
    EXPECT_EQ(r->morphology_group, "A");
    EXPECT_EQ(r->morphology_tag, "A01");
    EXPECT_EQ(r->morphology_conf, r->morphology_scores[1]);
    EXPECT_FALSE(scan(best_auction(), 101)->match);
    auto weak = flat(15, 10.0, 0);
    EXPECT_TRUE(scan(weak, 0)->match);
    EXPECT_EQ(scan(weak, 0)->score, 4);  // 0.075 from vr 1.0, x0.8 (n < 20), x0.6 (amount)
}

TEST(AuctionScan, Alternation) {
    struct Case {
        std::vector<std::int32_t> um;  // unmatched at 09:20:00, 09:21:00, 09:22:00, ...
        bool alt, rev;
    };
    const Case cases[] = {
        {{-5, 3, -2}, true, false},
        {{-5, -2, 3}, true, true},
        {{-5, 3}, false, false},
        {{5, 3, 2}, false, false},
        {{-5, -3, -2}, false, false},
        {{0, -1, 0, 1}, true, true},
    };
    for (const Case& c : cases) {
        auto v = flat(15, 10.0, 1000);  // 09:15:00 .. 09:22:00
        v.resize(10);                   // up to 09:19:30
        for (std::size_t i = 0; i < c.um.size(); ++i)
            v.push_back({plus(at("09:20:00"), std::uint32_t(i) * 40), 10.0, 1000, c.um[i]});
        while (v.size() < 16) v.push_back({plus(at("09:23:00"), std::uint32_t(v.size()) * 5), 10.0, 1000, 0});
        auto r = scan(v);
        EXPECT_EQ(r->neg_pos_alt, c.alt) << c.um.size();
        EXPECT_EQ(r->buy_rev, c.rev) << c.um.size();
    }
}

TEST(AuctionScan, EndVolumeRatioAndEndPressure) {
    auto v = flat(20, 10.0, 0);
    auto r = scan(v);
    EXPECT_DOUBLE_EQ(r->vr, 1.0);  // no base volume
    // Only the last three at or after 09:20: the base is the middle three.
    v = flat(20, 10.0, 100);
    for (std::size_t i = 0; i < 20; ++i) v[i].time = plus(at("09:15:00"), std::uint32_t(i) * 10);
    v[17].time = at("09:20:00"), v[18].time = at("09:21:00"), v[19].time = at("09:22:00");
    v[9].matched = 400;
    v[17].matched = v[18].matched = v[19].matched = 300;
    EXPECT_DOUBLE_EQ(scan(v)->vr, 1.5);  // 300 / mean(100, 400, 100)
    v[19].unmatched = -501;
    v[19].price = v[17].price;
    EXPECT_TRUE(scan(v)->end_p);
    v[19].price = v[17].price - 0.001;
    EXPECT_FALSE(scan(v)->end_p);
}

TEST(AuctionScan, OpenedHigher) {
    auto v = flat(15, 10.0, 1000);
    EXPECT_FALSE(scan(v, 50, 10.5)->oh);
    EXPECT_FALSE(scan(v, 50, 10.5, 0.0)->oh);
    EXPECT_EQ(scan(v, 50, 10.0, 10.0)->oh, false);
    EXPECT_EQ(scan(v, 50, 10.1, 10.0)->oh, true);
    EXPECT_FALSE(scan(v, 50, {}, 10.0)->oh);
}

TEST(AuctionScan, LimitPricesHandedToMorphology) {
    // Flat at 11.00 with heavy volume: the suffix shows which limits were used.
    auto v = flat(16, 11.0, 300);
    EXPECT_EQ(scan(v)->morphology, "一字放量型");
    EXPECT_EQ(scan(v, 50, {}, 10.0)->morphology, "一字放量型(多头)");              // 11.00 / 9.00
    EXPECT_EQ(scan(v, 50, {}, 10.0, 20.0)->morphology, "一字放量型(多头)");        // one limit alone is ignored
    EXPECT_EQ(scan(v, 50, {}, 10.0, 20.0, 11.0)->morphology, "一字放量型(空头)");  // both replace
    EXPECT_EQ(scan(v, 50, {}, {}, 12.1, 9.9)->morphology, "一字放量型(中性)");
}

TEST(AuctionScan, NegativeVolumesKeepTheScoreInRange) {
    auto v = best_auction();
    for (std::size_t i = 17; i < 20; ++i) v[i].matched = -2'000'000'000;
    auto r = scan(v, 0);
    EXPECT_LT(r->vr, 0.0);
    EXPECT_GE(r->score, 0);
    EXPECT_TRUE(r->match);
}

// ---------------------------------------------------------------- morphology

TEST(AuctionMorphology, EmptySliceFallsBack) {
    auto m = classify_morphology({}, 0.0, 0.0);
    EXPECT_EQ(m.name, "震荡分歧型");
    EXPECT_EQ(m.index, 6u);
    EXPECT_EQ(m.confidence, 0);
    for (auto s : m.scores) EXPECT_EQ(s, 0);
}

TEST(AuctionMorphology, OnePriceClassesAndSuffixes) {
    struct Case {
        double price;
        std::int32_t matched;
        double lu, ld;
        const char* name;
    };
    const Case cases[] = {
        {10.00, 300, 10.00, 8.18, "一字放量型(多头)"},
        {10.00, 300, 0.0, 0.0, "一字放量型"},
        {10.00, 300, 11.00, 0.0, "一字放量型"},  // one limit unknown: no suffix
        {10.00, 300, 11.00, 9.00, "一字放量型(中性)"},
        {9.00, 300, 11.00, 9.00, "一字放量型(空头)"},
        {10.00, 10, 0.0, 0.0, "无量一字型"},
        {10.00, 100, 0.0, 0.0, "无量一字型"},  // m5 == m6: the higher index wins
        {10.00, 100, 11.00, 9.00, "无量一字型(中性)"},
        {10.00, 1'000'000'000, 0.0, 0.0, "一字放量型"},  // volume sums do not wrap
    };
    for (const Case& c : cases) {
        auto m = classify_morphology(flat(16, c.price, c.matched), c.lu, c.ld);
        EXPECT_EQ(m.name, c.name) << c.price << " " << c.matched << " " << c.lu << " " << c.ld;
    }
    auto m = classify_morphology(flat(16, 10.0, 300), 10.0, 8.18);
    EXPECT_EQ(m.scores[4], 100);
    EXPECT_EQ(m.confidence, 100);
    EXPECT_EQ(m.scores[0], 30);  // reaches the limit-up price but never lets go
    m = classify_morphology(flat(16, 10.0, 100), 0.0, 0.0);
    EXPECT_EQ(m.scores[4], 80);
    EXPECT_EQ(m.scores[5], 80);
    EXPECT_EQ(m.index, 5u);
}

TEST(AuctionMorphology, FishingLine) {
    struct Case {
        std::size_t after;  // snapshots at or after 09:20 priced 9.80
        std::int32_t m3;
    };
    for (Case c : {Case{3, 58}, Case{5, 58}, Case{1, 100}}) {
        auto v = flat(10, 10.0, 100);  // 09:15:00 .. 09:19:30
        for (std::size_t i = 0; i < c.after; ++i) v.push_back({plus(at("09:20:00"), std::uint32_t(i)), 9.8, 100, 0});
        auto m = classify_morphology(v, 0.0, 0.0);
        EXPECT_EQ(m.scores[2], c.m3) << c.after;
    }
    auto m = classify_morphology(flat(10, 10.0, 100), 0.0, 0.0);  // nothing after 09:20
    EXPECT_EQ(m.scores[2], 0);
}

TEST(AuctionMorphology, ProbeAndPry) {
    // Touches limit-up 11.00 in the first half, ends 4.5% lower (all before 09:20).
    auto up = series("09:15:00", 10, 16, [](std::size_t i) { return i < 8 ? 11.0 : 10.5; },
                     [](std::size_t) { return 100; }, [](std::size_t) { return 0; });
    auto m = classify_morphology(up, 11.0, 9.0);
    EXPECT_EQ(m.index, 0u);
    EXPECT_EQ(m.name, "涨停试盘型");
    EXPECT_EQ(m.scores[0], 66);  // 0.909 x 0.4 + no volume near the limit + 0.3
    for (std::size_t i = 8; i < 16; ++i) up[i].price = 10.67;  // 3% below, still near the limit
    EXPECT_EQ(classify_morphology(up, 11.0, 9.0).scores[0], 69);  // 0.24 + 0.5 x 0.3 + 0.3
    // Sits at limit-down 9.00 in the first half, pried up 3% with buyers left over.
    auto down = series("09:15:00", 30, 16, [](std::size_t i) { return i < 8 ? 9.0 : 9.27; },
                       [](std::size_t) { return 100; }, [](std::size_t i) { return i < 8 ? -10 : 50; });
    m = classify_morphology(down, 11.0, 9.0);
    EXPECT_EQ(m.index, 3u);
    EXPECT_EQ(m.scores[3], 80);  // 0.6 x 0.5 + 0.3 (buyers left over) + 0.2
}

TEST(AuctionMorphology, DivergenceAmplitudeBounds) {
    struct Case {
        double high;
        bool scored;
    };
    for (Case c : {Case{10.14, false}, Case{10.81, false}, Case{10.3, true}}) {
        auto v = series("09:15:00", 30, 16, [&](std::size_t i) { return i % 2 ? c.high : 10.0; },
                        [](std::size_t) { return 100; }, [](std::size_t i) { return i % 2 ? 5 : -5; });
        auto m = classify_morphology(v, 0.0, 0.0);
        EXPECT_EQ(m.scores[6] > 0, c.scored) << c.high;
    }
}

TEST(AuctionMorphology, NanPriceWhereClassesComparePrices) {
    struct Case {
        std::size_t nan_at;
        double lu, ld;
        bool throws;
    };
    // flat(16): 09:15:00 + 30 s; index 10 is 09:20:00, the first half is 0..7.
    const Case cases[] = {
        {3, 11.0, 0.0, true},   // first half, limit-up probe orders it
        {3, 0.0, 9.0, true},    // first half, limit-down pry orders it
        {3, 0.0, 0.0, true},    // before 09:20: the fishing-line high orders it
        {9, 0.0, 0.0, true},
        {12, 11.0, 9.0, false},  // second half after 09:20 is never ordered
        {15, 0.0, 0.0, false},
    };
    for (const Case& c : cases) {
        auto v = flat(16, 10.0, 100);
        v[c.nan_at].price = kNaN;
        if (c.throws) {
            try {
                classify_morphology(v, c.lu, c.ld);
                ADD_FAILURE() << "no error for NaN at " << c.nan_at;
            } catch (const NanPriceError& e) {
                EXPECT_EQ(e.time(), v[c.nan_at].time);
                EXPECT_EQ(std::string(e.what()), "NaN price at " + format_time(v[c.nan_at].time));
            }
        } else {
            EXPECT_NO_THROW(classify_morphology(v, c.lu, c.ld)) << c.nan_at;
        }
    }
}

// ---------------------------------------------------------------- false sell

namespace {
// Twenty flat snapshots with 500 lots matched and nothing left over: only the
// absorption floor (0.08) and the late peak (0.1) score.
std::vector<AuctionTick> quiet_auction() { return flat(20, 10.0, 500); }

std::int32_t false_sell_score(const std::vector<AuctionTick>& v) {
    return FalseSellDetector(50).analyze_inner(v)->score;
}
}  // namespace

TEST(AuctionFalseSell, ScoreParts) {
    struct Case {
        const char* what;
        std::function<void(std::vector<AuctionTick>&)> edit;
        std::int32_t score;
    };
    auto all = [](std::int32_t u) { return [u](auto& v) { for (auto& t : v) t.unmatched = u; }; };
    auto last = [](std::int32_t u) { return [u](auto& v) { v.back().unmatched = u; }; };
    auto end_price = [](double p) {
        return [p](auto& v) { for (auto& t : v) t.unmatched = -100; v.back().price = p; };
    };
    const Case cases[] = {
        {"quiet", [](auto&) {}, 18},
        {"all sell side", all(-100), 38},
        {"last -300", last(-300), 24},
        {"last -501", last(-501), 28},
        {"last -200", last(-200), 18},
        {"sell total 10000", last(-10000), 28},
        {"sell total 10001", last(-10001), 33},
        {"sell total 50000", last(-50000), 33},
        {"sell total 50001", last(-50001), 38},
        {"falling 0.4%", end_price(9.96), 30},
        {"falling 0.6%", end_price(9.94), 18},
        {"falling 1.2%", end_price(9.88), 9},
        {"small matched volumes", [](auto& v) { for (auto& t : v) t.matched = 299; }, 9},
        {"19 snapshots", [](auto& v) { v.pop_back(); }, 14},
        {"peak early", [](auto& v) { v[8].price = 10.1; }, 8},
        {"end ratio above 3",
         [](auto& v) { v[0].matched = v[1].matched = v[2].matched = 0; v[17].matched = v[18].matched = v[19].matched = 4; },
         33},
    };
    for (const Case& c : cases) {
        auto v = quiet_auction();
        c.edit(v);
        EXPECT_EQ(false_sell_score(v), c.score) << c.what;
    }
}

TEST(AuctionFalseSell, AbsorptionAndLateBuying) {
    struct Case {
        std::vector<std::int32_t> um;  // placed from the start; the rest 0
        double recovery;
        std::int32_t score;
    };
    const Case cases[] = {
        // two sells absorbed, a buyer in the second half, longest sell run 1
        {{-1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 1.0, 18 + 12 + 15},
        {{-1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 0.5, 32},  // run 4; 0.14 + 0.1 + 0.075
        {{-1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 1}, 0.2, 30},  // 0.06 + 0.114 + 0.1 + 0.03
        {{-1, 0, -1, 0, 0, 0, 0, 0, 0, 1}, 0.0, 30},  // last buyer at position 9 of 20 is not late
        {{-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 0.0, 30},  // a single sell snapshot
    };
    for (const Case& c : cases) {
        auto v = quiet_auction();
        for (std::size_t i = 0; i < c.um.size(); ++i) v[i].unmatched = c.um[i];
        auto r = FalseSellDetector(50).analyze_inner(v);
        EXPECT_DOUBLE_EQ(r->recovery_score, c.recovery) << c.um.size();
        EXPECT_EQ(r->score, c.score) << c.um.size();
    }
}

TEST(AuctionFalseSell, Outputs) {
    auto v = quiet_auction();
    v[0].matched = v[1].matched = v[2].matched = 0;
    v[17].matched = 600, v[18].matched = 600, v[19].matched = 1200;
    v[5].unmatched = -7, v[6].unmatched = -3, v[7].unmatched = 4;
    v.back().price = 10.05;
    auto r = FalseSellDetector(0).analyze_inner(v);
    EXPECT_DOUBLE_EQ(r->vr, 800.0);  // start mean 0 is replaced by 1.0
    EXPECT_DOUBLE_EQ(r->neg_ratio, 0.1);
    EXPECT_EQ(r->neg_total, 10);
    EXPECT_EQ(r->net_um, -6);
    EXPECT_EQ(r->last_um, 0);
    EXPECT_EQ(r->max_match, 1200);
    EXPECT_DOUBLE_EQ(r->big_order_ratio, 0.05);
    EXPECT_DOUBLE_EQ(r->price_change_pct, 0.5);
    EXPECT_TRUE(r->price_up && r->late_peak && r->match);
    EXPECT_EQ(r->n, 20u);
    double amt = 0.0;
    for (const auto& t : v) amt += static_cast<double>(t.matched) * t.price * 100.0;
    EXPECT_DOUBLE_EQ(r->total_amt, amt);
    EXPECT_FALSE(FalseSellDetector(101).analyze_inner(v)->match);
}

TEST(AuctionFalseSell, TooFewAndNan) {
    EXPECT_FALSE(FalseSellDetector(50).analyze_inner(flat(14, 10.0, 500)));
    auto v = flat(15, 10.0, 500);
    v.push_back({at("09:26:00"), 10.0, 500, 0});
    v.erase(v.begin());
    EXPECT_FALSE(FalseSellDetector(50).analyze_inner(v));
    v = quiet_auction();
    v[13].price = kNaN;
    v[13].time.nanos = 250'000'000;
    try {
        FalseSellDetector(50).analyze_inner(v);
        ADD_FAILURE() << "no error";
    } catch (const NanPriceError& e) {
        EXPECT_STREQ(e.what(), "NaN price at 09:21:30.250000");
    }
    v[13].time = at("09:30:00");  // outside the window: ignored
    EXPECT_NO_THROW(FalseSellDetector(50).analyze_inner(v));
}

// ---------------------------------------------------------------- robustness

TEST(AuctionRobustness, TimeText) {
    EXPECT_EQ(format_time(at("09:20:03")), "09:20:03");
    EXPECT_STREQ(NanPriceError(at("09:20:03")).what(), "NaN price at 09:20:03");
    EXPECT_EQ(format_time(TimeOfDay::hms(9, 25, 59, 1'000'000'000)), "09:25:60");
    EXPECT_EQ(format_time(TimeOfDay::hms(23, 59, 59, 1'000)), "23:59:59.000001");
}

TEST(AuctionRobustness, RandomSnapshotsNeverCrash) {
    std::mt19937_64 rng(20260101);
    const double specials[] = {kInf, -kInf, 0.0, -0.0, 1e308, -1e308, 5e-324, 1e18};
    const std::int32_t vols[] = {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(),
                                 0, -1, 1, 500, -501};
    for (int round = 0; round < 2000; ++round) {
        std::vector<AuctionTick> v(rng() % 60);
        std::uint32_t t = 9 * 3600 + 14 * 60 + static_cast<std::uint32_t>(rng() % 120);
        for (auto& x : v) {
            t += static_cast<std::uint32_t>(rng() % 40);
            x.time = TimeOfDay{t, rng() % 4 == 0 ? static_cast<std::uint32_t>(rng() % 1'000'000'000) : 0u};
            const auto pick = rng() % 10;
            x.price = pick == 0 ? specials[rng() % 8] : pick == 1 ? kNaN : 9.0 + double(rng() % 300) / 100.0;
            x.matched = rng() % 5 == 0 ? vols[rng() % 7] : static_cast<std::int32_t>(rng() % 5000);
            x.unmatched = rng() % 5 == 0 ? vols[rng() % 7] : static_cast<std::int32_t>(rng() % 2000) - 1000;
        }
        const double lim = rng() % 2 ? 11.0 : 0.0;
        try {
            auto r = scan(v, 50, 10.0, 10.0, lim, lim * 0.8);
            if (r) {
                EXPECT_GE(r->score, 0);
                EXPECT_LE(r->score, 100);
                EXPECT_LT(r->morphology_index, 7u);
            }
        } catch (const NanPriceError&) {
        }
        try {
            auto r = FalseSellDetector(50).analyze_inner(v);
            if (r) {
                EXPECT_GE(r->score, 0);
                EXPECT_LE(r->score, 100);
            }
        } catch (const NanPriceError&) {
        }
    }
}
