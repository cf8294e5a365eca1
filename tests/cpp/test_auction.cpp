// Opening call-auction analytics: scan score and features, morphology classes,
// false-sell detector, and the NaN-price error.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "zj_core/auction/false_sell.hpp"
#include "zj_core/auction/morphology.hpp"
#include "zj_core/auction/scan.hpp"

using namespace zj_core;
using namespace zj_core::auction;
using namespace std::literals;

namespace {

using Ticks = std::vector<AuctionTick>;
using Edit = std::function<void(Ticks&)>;
using Opt = std::optional<double>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint32_t k0915 = 9 * 3600 + 15 * 60;

TimeOfDay hms(std::uint32_t h, std::uint32_t m, std::uint32_t s) { return TimeOfDay::hms(h, m, s); }

// n snapshots every `step` seconds from 09:15:00 (index 10 is 09:20:00 at 30 s).
Ticks flat(std::size_t n, double price, std::int32_t matched, std::int32_t unmatched = 0, std::uint32_t step = 30) {
    Ticks v;
    for (std::size_t i = 0; i < n; ++i) v.push_back({{k0915 + std::uint32_t(i) * step, 0}, price, matched, unmatched});
    return v;
}

auto scan(const Ticks& v, std::int32_t threshold = 50, Opt open = {}, Opt pre = {}, Opt lu = {}, Opt ld = {}) {
    return AuctionScanner(threshold).analyze(v, open, pre, lu, ld);
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

Ticks edited(Ticks v, const Edit& edit) { return edit(v), v; }

// The NanPriceError message of the call, or "" when it throws none.
std::string nan_error(auto&& f) try { return f(), ""; } catch (const NanPriceError& e) { return e.what(); }

}  // namespace

TEST(Auction, WindowAndTooFewSnapshots) {
    auto v = flat(14, 10.0, 1000);
    for (auto t : {hms(9, 14, 59), hms(9, 26, 0), hms(10, 20, 0)}) v.push_back({t, 10.0, 1000, 0});
    EXPECT_FALSE(scan(v) || FalseSellDetector().analyze_inner(v));           // 14 of 17 inside 09:15:00-09:25:59
    EXPECT_TRUE(AuctionScanner().analyze_filter(v, {}, {}, {}, {}, false));  // the whole slice as the window
    v.push_back({hms(9, 25, 59), 10.0, 1000, 0});
    EXPECT_EQ(std::pair(scan(v)->n, FalseSellDetector().analyze_inner(v)->n), std::pair(15u, 15u));
}

TEST(AuctionScan, ScoreAndFeatures) {
    // Cent levels round half up; far-apart levels take the sorting path.
    const std::tuple<std::vector<double>, std::uint32_t, std::uint32_t> levels[] = {
        {{10.00, 10.01, 10.00, 10.02}, 2, 2}, {{10.004, 10.005}, 1, 0}, {{1e300, -1e300, 10.0}, 2, 2}};
    for (const auto& [head, steps, eff] : levels) {
        auto v = flat(16, head.back(), 1000);
        for (std::size_t i = 0; i < head.size(); ++i) v[i].price = head[i];
        EXPECT_EQ(std::pair(scan(v)->steps, scan(v)->eff_steps), std::pair(steps, eff)) << head[0] << " " << head[1];
    }

    // Moves snapshots k.. out of the 09:20-09:22 alternation window.
    auto past_0922_from = [](std::uint32_t k, Ticks& v) { for (; k < 20; ++k) v[k].time = {k0915 + 360 + k * 10, 0}; };
    const std::tuple<const char*, Edit, std::int32_t> cases[] = {
        {"last unmatched -500 is not heavy selling", [](Ticks& v) { v[19].unmatched = -500; }, 85},
        {"alternation ends on the sell side", [](Ticks& v) { v[14].unmatched = v[15].unmatched = -50; }, 65},
        {"no sell side in 09:20-09:22", [](Ticks& v) { v[10].unmatched = v[11].unmatched = v[13].unmatched = 5; }, 55},
        {"climb ending at 09:19 (effective steps only from 09:20)",
         [](Ticks& v) { for (std::size_t i = 0; i < 20; ++i) v[i].price = std::fmin(9.9 + 0.01 * i, 10); }, 75},
        {"end ratio 1.5", [](Ticks& v) { v[17].matched = v[18].matched = v[19].matched = 1500; }, 96},
        {"last price more than a cent below P920", [](Ticks& v) { v[10].price = 10.20; }, 50},
        {"amount below 500000", [](Ticks& v) { for (auto& t : v) t.matched /= 10; }, 60},
        {"amount below 1000000", [](Ticks& v) { for (auto& t : v) t.matched = t.matched * 3 / 10; }, 80},
        {"19 snapshots", [](Ticks& v) { v.erase(v.begin()); }, 80},
        {"two in 09:20-09:22, both sides", [&](Ticks& v) { past_0922_from(12, v), v[11].unmatched = 200; }, 28},
        {"three in 09:20-09:22, a zero counts", [&](Ticks& v) { past_0922_from(13, v), v[10].unmatched = 0; }, 100},
        // A negative end ratio adds nothing rather than pulling the score below zero.
        {"negative end volumes", [](Ticks& v) { v[17].matched = v[18].matched = v[19].matched = -2'000'000'000; }, 85},
    };
    for (const auto& [what, edit, score] : cases) EXPECT_EQ(scan(edited(best_auction(), edit))->score, score) << what;
    auto r = scan(best_auction(), 100);
    EXPECT_EQ(std::tuple(r->match, r->morphology_group, r->morphology_tag), std::tuple(true, "A"sv, "A01"sv));

    EXPECT_DOUBLE_EQ(scan(flat(20, 10.0, 0))->vr, 1.0);  // no base volume
    // Only the last three at or after 09:20: the base is the middle three.
    auto v = flat(20, 10.0, 100, 0, 10);
    v[17].time = hms(9, 20, 0), v[18].time = hms(9, 21, 0), v[19].time = hms(9, 22, 0);
    v[9].matched = 400, v[17].matched = v[18].matched = v[19].matched = 300, v[19].unmatched = -501;
    EXPECT_EQ(std::pair(scan(v)->vr, scan(v)->end_p), std::pair(1.5, true));  // vr 300 / mean(100, 400, 100)
    v[19].price = 9.999;
    EXPECT_FALSE(scan(v)->end_p);
    for (auto [open, pre, oh] : {std::tuple{10.5, Opt{}, std::optional<bool>{}}, {10.5, Opt{0.0}, std::nullopt},
                                 {10.0, Opt{10.0}, false}, {10.1, Opt{10.0}, true}})
        EXPECT_EQ(scan(v, 50, open, pre)->oh, oh) << open;
}

TEST(AuctionMorphology, OnePriceClassesSuffixesAndFallback) {
    for (auto [price, matched, lu, ld, name] : {
             std::tuple{10.00, 300, 10.00, 8.18, "一字放量型(多头)"}, {10.00, 300, 0.0, 9.00, "一字放量型"},
             {10.00, 300, 11.00, 0.0, "一字放量型"}, {10.00, 300, 11.00, 9.00, "一字放量型(中性)"},
             {9.00, 300, 11.00, 9.00, "一字放量型(空头)"}, {10.00, 10, 0.0, 0.0, "无量一字型"},
             {10.00, 100, 0.0, 0.0, "无量一字型"},  // m5 == m6: the higher index wins
             // 16 x 1e9 lots wraps a 32-bit sum negative (no volume): sums are 64-bit.
             {10.00, 1'000'000'000, 0.0, 0.0, "一字放量型"}})
        EXPECT_EQ(classify_morphology(flat(16, price, matched), lu, ld).name, name) << price << " " << matched;
    // The scan hands over pre_close limits, or both given limits (one alone is ignored).
    const auto v = flat(16, 11.0, 300);
    for (auto [pre, lu, ld, name] : {std::tuple{Opt{10.0}, Opt{20.0}, Opt{}, "一字放量型(多头)"},
                                     {Opt{10.0}, Opt{20.0}, Opt{11.0}, "一字放量型(空头)"},
                                     {Opt{}, Opt{12.1}, Opt{9.9}, "一字放量型(中性)"}})
        EXPECT_EQ(scan(v, 50, {}, pre, lu, ld)->morphology, name);
    EXPECT_EQ(classify_morphology(flat(16, 10.0, 300), 10.0, 8.18).scores[0], 30);  // at limit-up, never lets go
    auto m = classify_morphology({}, 0.0, 0.0);
    EXPECT_EQ(std::tuple(m.name, m.index, m.confidence, m.scores),
              std::tuple("震荡分歧型"s, std::size_t{6}, 0, std::array<std::int32_t, 7>{}));
}

TEST(AuctionMorphology, RawScoresAndNanPrices) {
    auto prices = [](std::size_t a, std::size_t b, double p) {
        return [=](Ticks& v) { for (auto i = a; i < b; ++i) v[i].price = p; };
    };
    const std::tuple<const char*, Ticks, Edit, double, double, std::size_t, std::int32_t> cases[] = {
        {"fishing line, three after 09:20", flat(13, 10.0, 100), prices(10, 13, 9.8), 0, 0, 2, 58},
        {"fishing line, one after 09:20 (divisor stays 3)", flat(11, 10.0, 100), prices(10, 11, 9.8), 0, 0, 2, 100},
        {"fishing line, nothing after 09:20", flat(10, 10.0, 100), prices(5, 10, 9.8), 0, 0, 2, 0},
        {"limit-up probe, no volume near the limit", flat(16, 11.0, 100, 0, 10), prices(8, 16, 10.5), 11, 9, 0, 66},
        {"limit-up probe, second half near the limit", flat(16, 11.0, 100, 0, 10), prices(8, 16, 10.67), 11, 9, 0, 69},
        {"limit-down pry with buyers left over", flat(16, 9.0, 100, -10, 10),
         [](Ticks& v) { for (std::size_t i = 8; i < 16; ++i) v[i].price = 9.27, v[i].unmatched = 50; }, 11, 9, 3, 80},
    };
    for (const auto& [what, ticks, edit, lu, ld, cls, score] : cases)
        EXPECT_EQ(classify_morphology(edited(ticks, edit), lu, ld).scores[cls], score) << what;
    for (auto [high, scored] : {std::pair{10.14, false}, {10.81, false}, {10.3, true}}) {  // amplitude 1.4%, 8.1%, 3%
        auto v = flat(16, 10.0, 100, 0, 10);
        for (std::size_t i = 1; i < 16; i += 2) v[i].price = high, v[i].unmatched = 5, v[i - 1].unmatched = -5;
        EXPECT_EQ(classify_morphology(v, 0, 0).scores[6] > 0, scored) << high;
    }
    // A NaN price raises where classes compare prices. Of 16 snapshots 30 s apart: 0..7 first half, 10.. from 09:20.
    for (auto [nan_at, lu, ld, throws] : {std::tuple{3u, 11.0, 0.0, true}, {3u, 0.0, 9.0, true}, {9u, 0.0, 0.0, true},
                                          {12u, 11.0, 9.0, false}, {15u, 0.0, 0.0, false}}) {
        auto v = flat(16, 10.0, 100);
        v[nan_at].price = kNaN;
        const auto expected = throws ? "NaN price at " + format_time(v[nan_at].time) : "";
        EXPECT_EQ(nan_error([&] { classify_morphology(v, lu, ld); }), expected) << nan_at;
    }
}

TEST(AuctionFalseSell, ScoreParts) {
    // Twenty flat snapshots with 500 lots matched and nothing left over score
    // only the absorption floor (0.08) and the late peak (0.1).
    auto last = [](std::int32_t u) { return [u](Ticks& v) { v.back().unmatched = u; }; };
    auto sells_to = [](double p) { return [p](Ticks& v) { for (auto& t : v) t.unmatched = -100; v[19].price = p; }; };
    auto lead = [](std::vector<std::int32_t> um) {
        return [um](Ticks& v) { for (std::size_t i = 0; i < um.size(); ++i) v[i].unmatched = um[i]; };
    };
    const std::pair<Edit, std::int32_t> cases[] = {
        {last(-200), 18}, {last(-300), 24}, {last(-501), 28},
        {last(-10000), 28}, {last(-10001), 33}, {last(-50000), 33}, {last(-50001), 38},
        {sells_to(10.0), 38}, {sells_to(9.96), 30}, {sells_to(9.94), 18}, {sells_to(9.88), 9},
        {[](Ticks& v) { for (auto& t : v) t.matched = 299; }, 9}, {[](Ticks& v) { v.pop_back(); }, 14},
        {[](Ticks& v) { v[8].price = 10.1; }, 8},  // peak at 8 of 20 is not late
        {[](Ticks& v) { v[0].matched = v[1].matched = v[2].matched = 0; v[19].matched = 4; }, 33},  // vr 168
        // Late buying: 0.15 x 1.0 / 0.5 / 0.2 by the longest sell run.
        {lead({-1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), 45}, {lead({-1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 1}), 32},
        {lead({-1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 1}), 30},
        {lead({-1, 0, -1, 0, 0, 0, 0, 0, 0, 1}), 30},  // last buyer at 9 of 20 is not late
    };
    const auto base = flat(20, 10.0, 500);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(FalseSellDetector().analyze_inner(edited(base, cases[i].first))->score, cases[i].second) << i;
}

TEST(AuctionFalseSell, OutputsAndNan) {
    auto v = flat(20, 10.0, 500);
    v[0].matched = v[1].matched = v[2].matched = 0, v[17].matched = v[18].matched = 600, v[19].matched = 1200;
    v[5].unmatched = -7, v[6].unmatched = -3, v[7].unmatched = 4, v[19].price = 10.05;
    auto r = FalseSellDetector(0).analyze_inner(v);
    // Start mean 0 is replaced by 1.0 (vr 800); ratios are rounded at output.
    EXPECT_EQ(std::tuple(r->vr, r->neg_ratio, r->recovery_score, r->big_order_ratio, r->price_change_pct, r->neg_total,
                         r->net_um, r->max_match, r->price_up, r->late_peak, r->match),
              std::tuple(800.0, 0.1, 0.0, 0.05, 0.5, 10, -6, 1200, true, true, true));
    EXPECT_DOUBLE_EQ(r->total_amt, (500.0 * 10.0 * 100.0) * 14 + 600.0 * 10.0 * 100.0 * 2 + 1200.0 * 10.05 * 100.0);

    v = flat(20, 10.0, 500);
    v[13].price = kNaN, v[13].time = hms(9, 30, 0);  // outside the window: ignored
    EXPECT_EQ(nan_error([&] { FalseSellDetector().analyze_inner(v); }), "");
    EXPECT_EQ(format_time(TimeOfDay::hms(9, 25, 59, 1'000'000'000)), "09:25:60");  // a leap second
}
