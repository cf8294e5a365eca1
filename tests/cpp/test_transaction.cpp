// Trade-by-trade tape analytics: the breakout verdict, the breakout
// confirmation above a price and the screener figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "zj_core/transaction/core.hpp"
#include "zj_core/transaction/screening.hpp"

using namespace zj_core;
using namespace zj_core::transaction;

namespace {

constexpr std::uint32_t hms(std::uint32_t h, std::uint32_t m, std::uint32_t s) { return h * 3600 + m * 60 + s; }
constexpr auto kBig = std::numeric_limits<std::int64_t>::max();

TransactionPoint trade(std::uint32_t sec, double price, std::int64_t vol, std::int32_t flag, std::int32_t orders = 1) {
    return {TimeOfDay{sec, 0}, price, vol, orders, flag}; }

// `count` equal trades `step` seconds apart; the first comes at `at` when given,
// else 10 seconds after the previous trade (the tape opens at 09:30:00). With
// 10-second steps no split-order run or matched pair forms.
struct Block {
    int count, flag;
    std::int64_t vol;
    double price = 9.5;
    int orders = 1;
    std::uint32_t step = 10, at = 0;
};
using Blocks = std::vector<Block>;
constexpr Block kCluster{5, 0, 100, 9.5, 1, 1};

// The tape of `blocks`, its last trade priced at `last` when given.
std::vector<TransactionPoint> tape(const Blocks& blocks, double last = 0) {
    std::vector<TransactionPoint> out;
    std::uint32_t t = hms(9, 30, 0) - 10;
    for (const auto& b : blocks) for (int k = 0; k < b.count; ++k)
            out.push_back(trade(t = k > 0 ? t + b.step : b.at ? b.at : t + 10, b.price, b.vol, b.flag, b.orders));
    if (last) out.back().price = last;
    return out;
}

// The worked example: 200 trades, buy/sell volume 9:5, 5 large trades, three split-order runs.
const Blocks kQuoted = {{40, 0, 100}, kCluster, {40, 1, 100}, {1, 0, 1000}, kCluster, {30, 0, 100}, {2, 1, 1000},
                        {1, 0, 50}, {26, 1, 100}, kCluster, {2, 0, 1000}, {42, 0, 100}, {1, 1, 150}};
// Buying (selling) throughout, three institutional trades opening the closing window.
constexpr Block kInstBuys{3, 0, 10000, 9.5, 2, 10, hms(14, 0, 0)}, kInstSells{3, 1, 10000, 9.5, 2, 10, hms(14, 0, 0)};
const Blocks kBuying = {{30, 0, 100}, {10, 1, 100}, kInstBuys, {20, 0, 100}, {5, 1, 100}};
const Blocks kSelling = {{10, 0, 100}, {30, 1, 100}, kInstSells, {10, 0, 100}, {10, 1, 100}};
const Blocks kQuiet = {{40, 0, 100}, {40, 1, 100}, {2, 0, 1000}, {1, 1, 1000}};

TEST(TransactionAnalysis, VerdictsAndExplanations) {
    const std::string strong = "主动买/卖比=23.33; 大单买入积极(100%大单为买,买/卖=3/1); "
                               "主力买入积极(买比100%,净流82.2%); ";
    const std::string late = "尾盘主动买入(+9692bp); 尾盘放量买入(占比89%)";
    const struct { const char* name; Blocks day; std::string details; const char* conclusion; double confidence;
                   double pre_close = 9.5, high = 10, low = 9, last = 9.5; } cases[] = {
        {"quoted example", kQuoted,
         "主动买/卖比=1.80; 高位收盘(85%分位)｜风险: 存在拆单(3集群,占比1.5%)", "疑似突破",
         52.25, 9.5, 10, 9, 9.85},
        {"every positive", kBuying, strong + "高位收盘(90%分位); " + late, "真突破", 100, 9.5, 10, 9, 9.9},
        {"limit-up keeps component notes, skips day-change penalty", kBuying,
         strong + "高位收盘(100%分位); " + late +
             "; 涨停保护(跳过买卖力量/尾盘); 涨停加分(+0.05)",
         "真突破", 100, 10, 11, 10, 11},
        {"every risk", kSelling,
         "无明显信号特征｜风险: 卖压偏大(买/卖=0.06); 大单以卖出为主(买/卖=0/3); "
         "主力卖出为主(买比0%); 收盘位置偏低(20%分位); 尾盘主动卖出(-9375bp); "
         "尾盘放量但买卖均衡; 涨幅过大(+15.0%)",
         "假突破", 6.4647, 8, 10, 9, 9.2},
        {"high gain below limit-up", kQuiet, "无明显信号特征｜风险: 涨幅偏高(+10.5%)",
         "疑似假突破", 32.725, 8.6},
        {"no sells: ratio 3", {{60, 0, 100}, {10, 2, 100}}, "主动买/卖比=3.00｜风险: 大单不活跃",
         "疑似假突破", 44.5},
        {"ratio 0.625 prints 0.62", {{5, 0, 100}, {8, 1, 100}, {40, 2, 100}},
         "无明显信号特征｜风险: 卖压偏大(买/卖=0.62); 大单不活跃", "假突破", 27.3125},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = analyze_transactions(tape(c.day, c.last), c.pre_close, c.high, c.low).value();
        EXPECT_EQ(std::tuple(r.details, r.conclusion, r.is_breakout),
                  std::tuple(c.details, c.conclusion, c.confidence >= 45));
        EXPECT_NEAR(r.confidence, c.confidence, 6e-4);
    }
}

TEST(TransactionAnalysis, FallbacksAndClosingWindow) {
    // want: price_position, day_chg_pct, buy_vol_ratio, large_buy_vol_ratio, inst_buy_vol_ratio,
    //       last_30min_vol_ratio, last_30min_buy_sell_ratio, last_30min_momentum
    const auto buys_from = [](std::uint32_t at) { return Blocks{{20, 1, 100}, {5, 0, 100, 9.5, 1, 10, at}}; };
    const struct { const char* name; Blocks day; std::vector<double> want; double pre_close = 9.5, high = 10, low = 9; }
        cases[] = {
        {"flat range, no previous close", {{10, 0, 100}, {10, 1, 100}}, {0.5, 0, 0.5, 0.5, 0.5, 0, 1, 0}, 0, 10, 10},
        {"inverted range, pre_close < 0", {{10, 0, 100}, {10, 1, 300}}, {0.5, 0, 0.25, 0.5, 0.5, 0, 1, 0}, -1, 9, 10},
        {"neutral only", {{10, 2, 100}, {10, 7, 100}}, {0.5, 5.56, 0.5, 0.5, 0.5, 0, 1, 0}, 9, 10, 9},
        {"closing buys from 14:00:00", buys_from(hms(14, 0, 0)), {0.5, 0, 0.2, 0.5, 0.5, 0.2, 10, 1}},
        {"the first of them at 13:59:59", buys_from(hms(13, 59, 59)), {0.5, 0, 0.2, 0.5, 0.5, 0.16, 10, 1}},
    };
    for (const auto& c : cases) { SCOPED_TRACE(c.name);
        const auto r = analyze_transactions(tape(c.day), c.pre_close, c.high, c.low).value();
        EXPECT_EQ((std::vector<double>{r.price_position, r.day_chg_pct, r.buy_vol_ratio, r.large_buy_vol_ratio,
                                       r.inst_buy_vol_ratio, r.last_30min_vol_ratio, r.last_30min_buy_sell_ratio,
                                       r.last_30min_momentum}),
                  c.want);
    }
}

TEST(TransactionAnalysis, FiguresGuardsAndOrder) {
    // 20 records are enough (19 are not: checked from Python) and take the n < 50 factor:
    // 0.25*1 + 0.04 + 0.03 + 0.06 + 0.045 + 0.02 = 0.445, times 0.9.
    EXPECT_NEAR(analyze_transactions(tape({{19, 0, 100}, {1, 1, 100}}), 9.5, 10, 9).value().confidence, 40.05, 1e-9);
    EXPECT_FALSE(analyze_transactions(tape({{29, 0, 100}, {1, 0, -2900}}), 10, 11, 9)) << "volumes summing to 0";
    EXPECT_FALSE(analyze_transactions(tape({{10, 0, kBig}, {10, 1, -kBig}}), 9.5, 10, 9)) << "extremes cancelling";
    // Huge volumes sum exactly: total = 30 (2^63 - 1) - 10 * 2^63, neutral = -10 * 2^63.
    const auto huge_tape = tape({{15, 0, kBig}, {15, 1, kBig}, {10, 2, -kBig - 1}});
    const auto huge = analyze_transactions(huge_tape, 9.5, 10, 9).value();
    EXPECT_EQ(std::tie(huge.buy_vol_ratio, huge.sell_vol_ratio, huge.neutral_vol_ratio), std::tuple(0.5, 0.5, -0.5));

    // The strong day: 68 trades, 36500 volume, buys 35000, sells 1500; the closing window holds 32500.
    const auto r = analyze_transactions(tape(kBuying, 9.9), 9.5, 10, 9).value();
    EXPECT_EQ((std::vector<double>{r.buy_vol_ratio, r.sell_vol_ratio, r.neutral_vol_ratio,
                                   r.large_trade_vol_ratio, r.large_buy_vol_ratio,
                                   r.inst_buy_vol_ratio, r.inst_net_flow_ratio, r.price_position,
                                   r.day_chg_pct, r.last_30min_vol_ratio,
                                   r.last_30min_buy_sell_ratio, r.last_30min_momentum}),
              (std::vector<double>{0.959, 0.041, 0, 0.822, 1, 1, 0.8219, 0.9, 4.21, 0.89, 64, 0.969}));
    EXPECT_EQ((std::vector<int>{r.large_trade_count, r.large_buy_count, r.large_sell_count,
                                r.inst_buy_count, r.inst_sell_count, r.split_clusters,
                                r.matched_pairs}),
              (std::vector<int>{3, 3, 0, 3, 0, 0, 0}));
}

TEST(TransactionAnalysis, SplitOrderClusters) {
    // Trades 1 s apart, of 1000, buys, unless gaps (seconds after the previous trade), vols or flags say otherwise.
    const struct { const char* name; std::size_t n; std::vector<std::uint32_t> gaps; std::vector<std::int64_t> vols;
                   std::vector<int> flags; int clusters; } cases[] = {
        {"five within 30% of the previous", 5, {}, {1000, 1300, 1000, 910, 1000}, {}, 1},
        {"four are not enough", 4, {}, {}, {}, 0}, {"a 4-second gap breaks the run", 5, {1, 1, 4, 1, 1}, {}, {}, 0},
        {"3-second gaps keep it", 5, {3, 3, 3, 3, 3}, {}, {}, 1},
        {"an equal second breaks", 5, {1, 1, 0, 1, 1}, {}, {}, 0},
        {"a neutral trade breaks the run", 6, {}, {}, {0, 0, 2, 0, 0, 0}, 0},
        {"more than 30% apart breaks the run", 5, {}, {1000, 1000, 1301, 1000, 1000}, {}, 0},
        {"a change of side ends one run and starts another", 10, {}, {}, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1}, 2},
    };
    for (const auto& c : cases) { SCOPED_TRACE(c.name);
        auto t = tape({{20, 2, 300}}); std::uint32_t sec = hms(13, 0, 0);
        for (std::size_t k = 0; k < c.n; ++k)
            t.push_back(trade(sec += c.gaps.empty() ? 1 : c.gaps[k], 9.5, c.vols.empty() ? 1000 : c.vols[k],
                              c.flags.empty() ? 0 : c.flags[k]));
        EXPECT_EQ(analyze_transactions(t, 9.5, 10, 9).value().split_clusters, c.clusters);
    }
}

TEST(TransactionAnalysis, PenaltyThresholdsRoundUp) {
    // risks: what follows "大单不活跃", which every tape here carries.
    const struct { std::size_t n; int clusters, pairs; std::string risks; } cases[] = {
        {100, 1, 0, ""},
        {100, 2, 0, "; 存在拆单(2集群,占比2.0%)"},
        {100, 3, 0, "; 拆单痕迹重(3集群,占比3.0%)"},
        {100, 0, 4, ""}, {100, 0, 5, "; 存在对倒(5对,占比5.0%)"}, {100, 0, 9, "; 存在对倒(9对,占比9.0%)"},
        {100, 0, 10, "; 对倒嫌疑(10对,占比10.0%)"}, {200, 4, 0, "; 拆单痕迹重(4集群,占比2.0%)"},
        {201, 2, 0, ""}, {20, 0, 2, ""},  // lo = ceil(2.01) = 3 clusters; at least 3 pairs
        {201, 3, 0, "; 存在拆单(3集群,占比1.5%)"},
        {20, 2, 3, "; 存在拆单(2集群,占比10.0%); 存在对倒(3对,占比15.0%)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.n << " trades, " << c.clusters << " clusters, "
                                          << c.pairs << " pairs");
        std::vector<TransactionPoint> t;
        std::uint32_t sec = hms(10, 0, 0);
        // Runs of five buys 1 s apart, then buy-sell pairs 1 s apart; 10 s between runs and pairs.
        for (int k = 0; k < 5 * c.clusters; ++k) t.push_back(trade(sec += k % 5 ? 1 : 10, 9.5, 1000, 0));
        for (int k = 0; k < 2 * c.pairs; ++k) t.push_back(trade(sec += k % 2 ? 1 : 10, 9.5, 1000, k % 2));
        while (t.size() < c.n) t.push_back(trade(sec += 10, 9.5, 1000, 2));
        const auto r = analyze_transactions(t, 9.5, 10, 9).value();
        EXPECT_EQ(std::tie(r.split_clusters, r.matched_pairs), std::tie(c.clusters, c.pairs));
        EXPECT_TRUE(r.details.ends_with("｜风险: 大单不活跃" + c.risks)) << r.details;
    }

    auto t = tape(kBuying);
    t.push_back(trade(hms(14, 57, 0), 11, 8000, 2));  // over 10x the average
    const auto r = analyze_transactions(t, 10, 11, 10).value();
    EXPECT_TRUE(r.details.ends_with("涨停保护(跳过买卖力量/尾盘); 涨停加分(+0.05); "
                                    "尾盘竞价巨量抢筹(+0.10)"));
    EXPECT_EQ(r.confidence, 100.0);
    t.back().time.secs -= 1;  // 14:56:59 is too early
    EXPECT_EQ(analyze_transactions(t, 10, 11, 10).value().details.find("尾盘竞价巨量抢筹"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Matched pairs: the fast search against the greedy scan written out directly.

using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;

Pairs greedy_pairs(const std::vector<TransactionPoint>& t) {
    std::vector<bool> used(t.size(), false); Pairs out;
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        if (used[i] || t[i].bs_flag > 1) continue;
        for (std::size_t j = i + 1; j < t.size(); ++j) {
            if (used[j] || t[j].bs_flag > 1 || t[j].bs_flag == t[i].bs_flag) continue;
            if (std::llabs(t[j].time.sec() - t[i].time.sec()) > 5) break;
            const std::int64_t m = std::max(t[i].vol, t[j].vol);
            __extension__ const __int128 diff = static_cast<__int128>(t[i].vol) - t[j].vol;
            if (std::fabs(t[i].price - t[j].price) <= std::max(t[i].price * 0.002, 0.01) && m > 0 &&
                static_cast<double>(diff < 0 ? -diff : diff) / static_cast<double>(m) <= 0.15) {
                used[i] = used[j] = true, out.emplace_back(i, j);
                break;
            }
        }
    }
    return out;
}

void expect_every_search_finds(const std::vector<TransactionPoint>& t, const Pairs& want) {
    for (const PairSearch how : {PairSearch::Automatic, PairSearch::Direct, PairSearch::VolumeBins, PairSearch::Tree}) {
        Pairs got; EXPECT_EQ(find_matched_pairs(t, &got, how), want.size()) << "search " << static_cast<int>(how);
        EXPECT_EQ(got, want) << "search " << static_cast<int>(how);
    }
}

TEST(MatchedPairs, Examples) {
    const auto p = [](std::uint32_t dt, double price, std::int64_t vol, int flag) {
        return trade(hms(10, 0, 0) + dt, price, vol, flag);
    };
    const struct { const char* name; std::vector<TransactionPoint> tape; Pairs pairs; } cases[] = {
        {"5 seconds, 0.02 apart, 13% volume gap", {p(0, 10, 1000, 0), p(5, 10.02, 870, 1)}, {{0, 1}}},
        {"6 seconds apart", {p(0, 10, 1000, 0), p(6, 10.02, 870, 1)}, {}},
        {"same side", {p(0, 10, 1000, 0), p(1, 10, 1000, 0)}, {}},
        {"neutral", {p(0, 10, 1000, 2), p(1, 10, 1000, 0)}, {}},
        {"two different negative flags pair", {p(0, 10, 1000, -1), p(1, 10, 1000, -2)}, {{0, 1}}},
        {"16% volume gap", {p(0, 10, 1000, 0), p(1, 10, 840, 1)}, {}},
        {"0.03 apart", {p(0, 10, 1000, 0), p(1, 10.03, 1000, 1)}, {}},
        {"one-tick floor at low prices", {p(0, 2, 1000, 0), p(1, 2.01, 1000, 1)}, {{0, 1}}},
        {"the first match wins, not the best", {p(0, 10, 1000, 0), p(1, 10, 900, 1), p(2, 10, 1000, 1)}, {{0, 1}}},
        {"a used trade is skipped", {p(0, 10, 1000, 1), p(1, 10, 500, 1), p(2, 10, 1000, 0), p(3, 10, 500, 0)},
         {{0, 2}, {1, 3}}},
        {"an unmatched opposite trade beyond 5 s ends the scan",
         {p(0, 10, 1000, 0), p(1, 10, 1000, 0), p(6, 10, 1000, 1), p(6, 10, 1000, 1)}, {{1, 2}}},
    };
    for (const auto& c : cases) { SCOPED_TRACE(c.name);
        EXPECT_EQ(greedy_pairs(c.tape), c.pairs);
        expect_every_search_finds(c.tape, c.pairs);
    }
}

TEST(MatchedPairs, SameAsGreedyScan) {
    std::mt19937_64 rng(20260311);
    const std::int32_t flags[] = {0, 1, 0, 1, 0, 1, 2, 3, -1, -2, 1, 0, std::numeric_limits<std::int32_t>::min()};
    const double prices[] = {10.00, 10.01, 10.02, 10.03, 10.05, 9.99, 2.00, 2.01, -3.0, NAN, INFINITY, -INFINITY};
    const std::int64_t vols[] = {100, 110, 120, 90, 200, 0, -100, 1000, 870, 850, 1177, 1176, kBig, -kBig - 1};
    const auto pick = [&](const auto& arr) { return arr[rng() % std::size(arr)]; };
    std::size_t formed = 0;
    for (int iter = 0; iter < 3000 && !HasFailure(); ++iter) {
        SCOPED_TRACE("iteration " + std::to_string(iter));
        const std::size_t n = rng() % 200;
        const unsigned max_step = static_cast<unsigned>(rng() % 4);  // 0: the whole tape in one second
        std::vector<TransactionPoint> t;
        for (std::uint32_t k = 0, sec = hms(9, 30, 0); k < n; ++k) {
            sec += static_cast<std::uint32_t>(rng() % (max_step + 1)) + (rng() % 40 == 0 ? 7 : 0);
            t.push_back(trade(sec, pick(prices), pick(vols), pick(flags)));
        }
        const Pairs slow = greedy_pairs(t);
        formed += slow.size();
        expect_every_search_finds(t, slow);
    }
    EXPECT_GT(formed, 10000u);  // the tapes are dense enough to exercise pairing

    // Long one-sided stretches: 3000 buys, then 3000 sells, three trades a second.
    std::vector<TransactionPoint> t;
    for (std::uint32_t k = 0; k < 6000; ++k) t.push_back(trade(hms(9, 30, 0) + k / 3, 10, 100, k >= 3000));
    expect_every_search_finds(t, greedy_pairs(t));
}

// ---------------------------------------------------------------------------
// Breakout confirmation.

TEST(Breakout, ScoresAndExplanations) {
    const std::string ordinary = "部分因素支持，突破信号中等。";
    // Blocks priced 9 lie below the zone, those priced 10 and up in it.
    const struct { const char* name; Blocks blocks; const char* classification; double confidence; bool is_strong;
                   std::string details; } cases[] = {
        {"0.6 is ordinary but strong", {{6, 1, 100, 9}, {5, 0, 100, 10}, {1, 1, 100, 10}}, "普通突破", 60, true,
         ordinary + "突破放量(50%); 突破买方主导(83%)"},
        {"highest score 0.85",
         {{6, 1, 100, 9}, {5, 0, 100, 10}, {1, 1, 100, 10}, {1, 0, 1000, 10.2}}, "强势突破", 85,
         true,
         "多方面因素共振，突破信号强烈，真突破概率高。"
         "突破放量(73%); 突破买方主导(94%); 突破大单买入(1/0)"},
        {"equal large buys and sells add 0.1 without a note",
         {{6, 1, 100, 9}, {3, 0, 100, 10}, {1, 0, 1000, 10}, {1, 1, 1000, 10}}, "普通突破", 50, false,
         ordinary + "突破放量(79%)"},
        {"weak and silent", {{15, 0, 100, 9}, {5, 1, 100, 10}}, "弱势突破", 15, false,
         "缺乏量能和大单配合，假突破风险较高。无明显信号特征"},
        {"zone of buys only", {{10, 0, 100, 10}}, "普通突破", 60, true,
         ordinary + "突破放量(100%); 突破买方主导(100%)"},
    };
    for (const auto& c : cases) { SCOPED_TRACE(c.name);
        auto t = tape(c.blocks);
        const auto r = analyze_breakout(t, 10.0).value();
        EXPECT_EQ(std::tie(r.classification, r.is_strong, r.details, r.total_n, r.price_sustain_ratio),
                  std::tuple(c.classification, c.is_strong, c.details, t.size(), 1.0));
        EXPECT_NEAR(r.confidence, c.confidence, 1e-9);
        std::reverse(t.begin(), t.end());
        EXPECT_EQ(analyze_breakout(t, 10.0).value().details, r.details) << "reversed";
    }

    const double zone_min = 10.0 * 0.995;
    auto at_edge = tape({{5, 0, 100, 9}, {5, 0, 100, zone_min}});
    const auto r = analyze_breakout(at_edge, 10.0).value();  // a price of exactly 10 × 0.995 is in the zone
    EXPECT_EQ(std::tie(r.breakout_n, r.breakout_vol_ratio, r.breakout_buy_ratio), std::tuple(5u, 0.5, 1.0));
    at_edge.back().price = std::nextafter(zone_min, 0.0);
    EXPECT_FALSE(analyze_breakout(at_edge, 10.0)) << "4 zone records";
    EXPECT_FALSE(analyze_breakout(tape({{10, 0, kBig, 10}, {10, 1, -kBig, 10}}), 10.0)) << "extremes cancelling";
    const auto large_tape =
        tape({{30, 0, 100, 9}, {2, 0, 100, 10}, {2, 0, 2000, 10}, {3, 1, 2000, 10}});
    const auto n = analyze_breakout(large_tape, 10).value();
    EXPECT_EQ(std::tie(n.breakout_n, n.breakout_large_buy, n.breakout_large_sell), std::tuple(7u, 2u, 3u));
}

// ---------------------------------------------------------------------------
// Screening metrics.

ScreeningTxPoint stx(std::uint32_t sec, double price, std::int64_t vol, std::int32_t orders = 1) {
    return {TimeOfDay{sec, 0}, price, vol, orders};
}

TEST(Screening, TimeWindows) {
    // windows: first30, midday, afternoon, last30, last5 holding the trade.
    const struct { std::uint32_t sec; const char* windows; } cases[] = {
        {hms(9, 29, 59), "00000"},  {hms(9, 30, 0), "10000"},   {hms(9, 59, 59), "10000"},  {hms(10, 0, 0), "00000"},
        {hms(10, 30, 0), "01000"},  {hms(12, 0, 0), "00000"},   {hms(13, 59, 59), "00100"}, {hms(14, 0, 0), "00000"},
        {hms(14, 30, 0), "00010"},  {hms(14, 54, 59), "00010"}, {hms(14, 55, 0), "00011"},  {hms(15, 0, 0), "00011"},
        {hms(16, 0, 0), "00000"},
    };
    for (const auto& c : cases) { SCOPED_TRACE(c.sec);
        // One trade of 100 at the time under test among four of 100 at 10:15, which is in no window.
        std::vector<ScreeningTxPoint> pts(4, stx(hms(10, 15, 0), 10, 100));
        pts.push_back(stx(c.sec, 10, 100));
        const auto m = compute_screening_metrics(pts).value(); std::string got;
        for (double pct : {m.first30_vol_pct, m.midday_vol_pct, m.afternoon_vol_pct, m.last30_vol_pct, m.last5_vol_pct})
            got += pct == 20 ? '1' : pct == 0 ? '0' : '?';
        EXPECT_EQ(got, c.windows);
    }

    // Average volume 100.5: the large threshold truncates to 301, inclusive.
    std::vector<ScreeningTxPoint> pts = {stx(0, 10, 301), stx(1, 10, 300), stx(2, 10, 54)};
    pts.insert(pts.end(), 7, stx(3, 10, 50));
    auto m = compute_screening_metrics(pts);
    EXPECT_EQ(std::tie(m.value().large_pct, m->xl_pct, m->avg_trade_vol, m->single_trade_vol_pct,
                       m->avg_shares_per_trade),
              std::tuple(29.95, 0.0, 100.5, 100.0, 100.5));
    // Amount thresholds count volume: average amount 2000, large from 6000.
    pts = {stx(0, 10, 100), stx(0, 10, 100), stx(0, 10, 100), stx(0, 10, 100), stx(0, 60, 100)};
    m = compute_screening_metrics(pts);
    EXPECT_EQ(std::tie(m.value().large_amount_pct, m->large_pct, m->vwap), std::tuple(20.0, 0.0, 20.0));
    // Order counts: single-order share, shares per order, and a non-positive sum.
    pts = {stx(0, 10, 100, 1), stx(0, 11, 300, 2), stx(0, 10, 100, 3), stx(0, 10, 100, 1), stx(0, 10, 100, 1)};
    m = compute_screening_metrics(pts);
    EXPECT_EQ(std::tie(m.value().single_trade_vol_pct, m->avg_shares_per_trade, m->vwap),
              std::tuple(42.86, 87.5, 10.43));
    pts[1].trade_count = -6;
    EXPECT_EQ(compute_screening_metrics(pts)->avg_shares_per_trade, 0.0);
    // Too few points and zero volume are checked from Python; this sum only fits in 128 bits.
    pts = {stx(0, 10, kBig), stx(0, 10, kBig), stx(0, 10, -kBig), stx(0, 10, -kBig), stx(0, 10, 0)};
    EXPECT_FALSE(compute_screening_metrics(pts)) << "extremes cancelling to zero";
}

}  // namespace
