// Trade-by-trade tape analytics: the breakout verdict, the breakout
// confirmation above a price and the screener figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
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

TransactionPoint trade(std::uint32_t sec, double price, std::int64_t vol, std::int32_t flag, std::int32_t orders = 1) {
    return TransactionPoint{TimeOfDay{sec, 0}, price, vol, orders, flag};
}

// A day's tape built block by block. Blocks are 10 seconds apart (as are the
// trades inside a block unless `step` says otherwise), so no split-order run
// or matched pair forms unless a block asks for one.
struct Day {
    std::vector<TransactionPoint> tape;
    std::uint32_t morning = hms(9, 30, 0) - 10;
    std::uint32_t closing = hms(14, 0, 0) - 10;

    Day& add(int count, std::int32_t flag, std::int64_t vol, std::int32_t orders = 1, std::uint32_t step = 10,
             double price = 9.5, std::uint32_t lead = 10) {
        return place(morning, count, flag, vol, orders, step, price, lead);
    }
    Day& late(int count, std::int32_t flag, std::int64_t vol, std::int32_t orders = 1, std::uint32_t step = 10,
              double price = 9.5) {
        return place(closing, count, flag, vol, orders, step, price, 10);
    }
    Day& cluster(std::int32_t flag = 0, std::int64_t vol = 100) { return add(5, flag, vol, 1, 1); }
    Day& pair(std::int64_t vol = 100) {
        add(1, 0, vol);
        return add(1, 1, vol, 1, 10, 9.5, 1);
    }
    // The tape in time order with the last trade priced at `last`.
    std::vector<TransactionPoint> close_at(double last) const {
        auto out = tape;
        std::stable_sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.time < b.time; });
        out.back().price = last;
        return out;
    }

private:
    Day& place(std::uint32_t& clock, int count, std::int32_t flag, std::int64_t vol, std::int32_t orders,
               std::uint32_t step, double price, std::uint32_t lead) {
        for (int k = 0; k < count; ++k) {
            clock += k == 0 ? lead : step;
            tape.push_back(trade(clock, price, vol, flag, orders));
        }
        return *this;
    }
};

// The day of the worked explanation example: 200 trades, buy/sell volume 9:5,
// 5 large trades (20% of the directional volume), three split-order runs.
Day quoted_day() {
    Day d;
    d.add(40, 0, 100).cluster().add(40, 1, 100).add(1, 0, 1000).cluster().add(30, 0, 100);
    d.add(2, 1, 1000).add(1, 0, 50).add(26, 1, 100).cluster().add(2, 0, 1000).add(42, 0, 100).add(1, 1, 150);
    return d;
}

// Strong day: buying throughout, three institutional buys opening the closing window.
Day buying_day() {
    Day d;
    d.add(30, 0, 100).add(10, 1, 100).late(3, 0, 10000, 2).late(20, 0, 100).late(5, 1, 100);
    return d;
}

// Weak day: selling throughout, three institutional sells in the closing window.
Day selling_day() {
    Day d;
    d.add(10, 0, 100).add(30, 1, 100).late(3, 1, 10000, 2).late(10, 0, 100).late(10, 1, 100);
    return d;
}

// Balanced day with a moderate share of large trades and nothing to remark on.
Day quiet_day() {
    Day d;
    d.add(40, 0, 100).add(40, 1, 100).add(2, 0, 1000).add(1, 1, 1000);
    return d;
}

struct VerdictCase {
    const char* name;
    std::function<Day()> day;
    double pre_close, high, low, last;
    const char* details;
    const char* conclusion;
    double confidence;
};

const VerdictCase kVerdicts[] = {
    {"quoted example", quoted_day, 9.5, 10, 9, 9.85,
     "主动买/卖比=1.80; 高位收盘(85%分位)｜风险: 存在拆单(3集群,占比1.5%)", "疑似突破", 52.25},
    {"every positive", buying_day, 9.5, 10, 9, 9.9,
     "主动买/卖比=23.33; 大单买入积极(100%大单为买,买/卖=3/1); 主力买入积极(买比100%,净流82.2%); "
     "高位收盘(90%分位); 尾盘主动买入(+9692bp); 尾盘放量买入(占比89%)",
     "真突破", 100},
    {"limit-up keeps component notes, skips day-change penalty", buying_day, 10, 11, 10, 11,
     "主动买/卖比=23.33; 大单买入积极(100%大单为买,买/卖=3/1); 主力买入积极(买比100%,净流82.2%); "
     "高位收盘(100%分位); 尾盘主动买入(+9692bp); 尾盘放量买入(占比89%); 涨停保护(跳过买卖力量/尾盘); "
     "涨停加分(+0.05)",
     "真突破", 100},
    {"every risk", selling_day, 8, 10, 9, 9.2,
     "无明显信号特征｜风险: 卖压偏大(买/卖=0.06); 大单以卖出为主(买/卖=0/3); 主力卖出为主(买比0%); "
     "收盘位置偏低(20%分位); 尾盘主动卖出(-9375bp); 尾盘放量但买卖均衡; 涨幅过大(+15.0%)",
     "假突破", 6.4647},
    {"nothing to remark", quiet_day, 9.5, 10, 9, 9.5, "无明显信号特征", "疑似假突破", 38.5},
    {"high gain below limit-up", quiet_day, 8.6, 10, 9, 9.5, "无明显信号特征｜风险: 涨幅偏高(+10.5%)", "疑似假突破",
     32.725},
    {"no sells: ratio shown as 3.00",
     [] {
         Day d;
         d.add(60, 0, 100).add(10, 2, 100);
         return d;
     },
     9.5, 10, 9, 9.5, "主动买/卖比=3.00｜风险: 大单不活跃", "疑似假突破", 44.5},
    {"neither buys nor sells: ratio 1, no note",
     [] {
         Day d;
         d.add(60, 2, 100).add(10, -1, 100);
         return d;
     },
     9.5, 10, 9, 9.5, "无明显信号特征｜风险: 大单不活跃", "疑似假突破", 32},
    {"sell pressure at an exact tie prints the even digit",
     [] {
         Day d;
         d.add(5, 0, 100).add(8, 1, 100).add(40, 2, 100);
         return d;
     },
     9.5, 10, 9, 9.5, "无明显信号特征｜风险: 卖压偏大(买/卖=0.62); 大单不活跃", "假突破", 27.3125},
};

TEST(TransactionAnalysis, VerdictsAndExplanations) {
    for (const auto& c : kVerdicts) {
        SCOPED_TRACE(c.name);
        const auto tape = c.day().close_at(c.last);
        const auto r = analyze_transactions(tape, c.pre_close, c.high, c.low);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->details, c.details);
        EXPECT_EQ(r->conclusion, c.conclusion);
        EXPECT_NEAR(r->confidence, c.confidence, 6e-4);
        EXPECT_EQ(r->is_breakout, c.confidence >= 45);
    }
}

TEST(TransactionAnalysis, FiguresOfTheStrongDay) {
    const auto r = analyze_transactions(buying_day().close_at(9.9), 9.5, 10, 9);
    ASSERT_TRUE(r);
    // 68 trades, 36500 volume: buys 35000, sells 1500; the closing window holds 32500.
    EXPECT_EQ((std::vector<double>{r->buy_vol_ratio, r->sell_vol_ratio, r->neutral_vol_ratio, r->large_trade_vol_ratio,
                                   r->large_buy_vol_ratio, r->inst_buy_vol_ratio, r->inst_net_flow_ratio,
                                   r->price_position, r->day_chg_pct, r->last_30min_vol_ratio,
                                   r->last_30min_buy_sell_ratio, r->last_30min_momentum}),
              (std::vector<double>{0.959, 0.041, 0, 0.822, 1, 1, 0.8219, 0.9, 4.21, 0.89, 64, 0.969}));
    EXPECT_EQ((std::vector<int>{r->large_trade_count, r->large_buy_count, r->large_sell_count, r->inst_buy_count,
                                r->inst_sell_count, r->split_clusters, r->matched_pairs}),
              (std::vector<int>{3, 3, 0, 3, 0, 0, 0}));
}

TEST(TransactionAnalysis, FallbacksOfDegenerateDays) {
    struct Case {
        const char* name;
        double pre_close, high, low;
        std::vector<std::pair<std::int32_t, std::int64_t>> blocks;  // (flag, vol) of 10 trades each
        double price_position, day_chg_pct, buy_vol_ratio, large_buy_vol_ratio, inst_buy_vol_ratio;
    };
    const Case cases[] = {
        {"flat range, no previous close", 0, 10, 10, {{0, 100}, {1, 100}}, 0.5, 0, 0.5, 0.5, 0.5},
        {"inverted range, negative previous close", -1, 9, 10, {{0, 100}, {1, 300}}, 0.5, 0, 0.25, 0.5, 0.5},
        {"neutral only", 9, 10, 9, {{2, 100}, {7, 100}}, 0.5, 5.56, 0.5, 0.5, 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Day d;
        for (auto [flag, vol] : c.blocks) d.add(10, flag, vol);
        const auto r = analyze_transactions(d.close_at(9.5), c.pre_close, c.high, c.low);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->price_position, c.price_position);
        EXPECT_EQ(r->day_chg_pct, c.day_chg_pct);
        EXPECT_EQ(r->buy_vol_ratio, c.buy_vol_ratio);
        EXPECT_EQ(r->large_buy_vol_ratio, c.large_buy_vol_ratio);
        EXPECT_EQ(r->inst_buy_vol_ratio, c.inst_buy_vol_ratio);
        // Nothing at or after 14:00:00.
        EXPECT_EQ(r->last_30min_vol_ratio, 0.0);
        EXPECT_EQ(r->last_30min_buy_sell_ratio, 1.0);
        EXPECT_EQ(r->last_30min_momentum, 0.0);
    }
}

TEST(TransactionAnalysis, ClosingWindowStartsAtTwoPm) {
    Day d;  // buys only from 14:00:00
    d.add(20, 1, 100).late(5, 0, 100);
    auto tape = d.close_at(9.5);
    auto r = analyze_transactions(tape, 9.5, 10, 9);
    ASSERT_TRUE(r);
    EXPECT_EQ(std::make_tuple(r->last_30min_vol_ratio, r->last_30min_buy_sell_ratio, r->last_30min_momentum),
              std::make_tuple(0.2, 10.0, 1.0));
    for (auto& p : tape) p.time.secs -= p.time.secs >= hms(14, 0, 0) ? 1 : 0;  // the first one now at 13:59:59
    EXPECT_EQ(analyze_transactions(tape, 9.5, 10, 9)->last_30min_vol_ratio, 0.16);
}

TEST(TransactionAnalysis, GuardsAndOrder) {
    Day d;
    d.add(19, 0, 100);
    EXPECT_FALSE(analyze_transactions(d.close_at(9.5), 9.5, 10, 9)) << "19 records";
    d.add(1, 1, 100);
    const auto twenty = analyze_transactions(d.close_at(9.5), 9.5, 10, 9);
    ASSERT_TRUE(twenty) << "20 records";
    // The n < 50 factor: 0.25*1 + 0.04 + 0.03 + 0.06 + 0.045 + 0.02 = 0.445, times 0.9.
    EXPECT_NEAR(twenty->confidence, 40.05, 1e-9);

    std::vector<TransactionPoint> zero(30, trade(hms(10, 0, 0), 10, 0, 0));
    EXPECT_FALSE(analyze_transactions(zero, 10, 11, 9)) << "all volumes 0";
    std::vector<TransactionPoint> cancelling(30, trade(hms(10, 0, 0), 10, 100, 0));
    cancelling[0].vol = -2900;
    EXPECT_FALSE(analyze_transactions(cancelling, 10, 11, 9)) << "volumes summing to 0";

    // Shuffled input gives the same answer as the sorted tape.
    auto tape = buying_day().close_at(9.9);
    auto shuffled = tape;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    const auto a = analyze_transactions(tape, 9.5, 10, 9), b = analyze_transactions(shuffled, 9.5, 10, 9);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->details, b->details);
    EXPECT_EQ(a->confidence, b->confidence);
    EXPECT_EQ(a->price_position, b->price_position);

    // Within one second input order decides which trade is last; nanoseconds do not.
    auto same_second = tape;
    same_second.push_back(trade(same_second.back().time.secs, 9.1, 100, 2));
    same_second.back().time.nanos = 0;
    same_second[same_second.size() - 2].time.nanos = 999'000'000;
    const auto c = analyze_transactions(same_second, 9.5, 10, 9);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->price_position, 0.1);
    std::swap(same_second[same_second.size() - 1], same_second[same_second.size() - 2]);
    const auto e = analyze_transactions(same_second, 9.5, 10, 9);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->price_position, 0.9);
}

TEST(TransactionAnalysis, SplitOrderClusters) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> gaps;  // seconds after the previous trade
        std::vector<std::int64_t> vols;
        std::vector<std::int32_t> flags;
        int clusters;
    };
    const Case cases[] = {
        {"five trades a second apart", {1, 1, 1, 1, 1}, {1000, 1100, 1000, 1200, 1000}, {0, 0, 0, 0, 0}, 1},
        {"four are not enough", {1, 1, 1, 1}, {1000, 1000, 1000, 1000}, {0, 0, 0, 0}, 0},
        {"a 4-second gap breaks the run", {1, 1, 4, 1, 1}, {1000, 1000, 1000, 1000, 1000}, {1, 1, 1, 1, 1}, 0},
        {"3-second gaps keep it", {3, 3, 3, 3, 3}, {1000, 1000, 1000, 1000, 1000}, {1, 1, 1, 1, 1}, 1},
        {"an equal second breaks the run", {1, 1, 0, 1, 1}, {1000, 1000, 1000, 1000, 1000}, {0, 0, 0, 0, 0}, 0},
        {"a neutral trade breaks the run", {1, 1, 1, 1, 1, 1}, {1000, 1000, 1000, 1000, 1000, 1000},
         {0, 0, 2, 0, 0, 0}, 0},
        {"more than 30% apart breaks the run", {1, 1, 1, 1, 1}, {1000, 1000, 1301, 1000, 1000}, {0, 0, 0, 0, 0}, 0},
        {"30% of the previous volume is close", {1, 1, 1, 1, 1}, {1000, 1300, 1000, 910, 1000}, {0, 0, 0, 0, 0},
         1},
        {"negative flags are directional", {1, 1, 1, 1, 1}, {500, 500, 500, 500, 500}, {-1, -1, -1, -1, -1}, 1},
        {"a change of side ends one run and starts another", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
         {500, 500, 500, 500, 500, 500, 500, 500, 500, 500}, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1}, 2},
        {"a long run is one cluster", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
         {500, 500, 500, 500, 500, 500, 500, 500, 500, 500}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Day d;
        d.add(20, 2, 300);
        std::uint32_t t = hms(13, 0, 0);
        for (std::size_t k = 0; k < c.gaps.size(); ++k) {
            t += c.gaps[k];
            d.tape.push_back(trade(t, 9.5, c.vols[k], c.flags[k]));
        }
        const auto r = analyze_transactions(d.close_at(9.5), 9.5, 10, 9);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->split_clusters, c.clusters);
    }
}

TEST(TransactionAnalysis, PenaltyThresholdsRoundUp) {
    struct Case {
        int n, clusters, pairs;
        const char* risks;  // the explanation's risk part
    };
    const Case cases[] = {
        {100, 1, 0, ""},
        {100, 2, 0, "存在拆单(2集群,占比2.0%)"},
        {100, 3, 0, "拆单痕迹重(3集群,占比3.0%)"},
        {100, 0, 4, ""},
        {100, 0, 5, "存在对倒(5对,占比5.0%)"},
        {100, 0, 9, "存在对倒(9对,占比9.0%)"},
        {100, 0, 10, "对倒嫌疑(10对,占比10.0%)"},
        {200, 3, 0, "存在拆单(3集群,占比1.5%)"},
        {200, 4, 0, "拆单痕迹重(4集群,占比2.0%)"},
        {201, 2, 0, ""},  // lo = ceil(2.01) = 3
        {201, 3, 0, "存在拆单(3集群,占比1.5%)"},
        {20, 2, 3, "存在拆单(2集群,占比10.0%); 存在对倒(3对,占比15.0%)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + " trades, " + std::to_string(c.clusters) + " clusters, " +
                     std::to_string(c.pairs) + " pairs");
        Day d;
        for (int k = 0; k < c.clusters; ++k) d.cluster(0, 1000);
        for (int k = 0; k < c.pairs; ++k) d.pair(1000);
        d.add(c.n - static_cast<int>(d.tape.size()), 2, 1000);
        const auto r = analyze_transactions(d.close_at(9.5), 9.5, 10, 9);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->split_clusters, c.clusters);
        EXPECT_EQ(r->matched_pairs, c.pairs);
        const auto bar = r->details.find("｜风险: ");
        const std::string risks = bar == std::string::npos ? "" : r->details.substr(bar + std::string("｜风险: ").size());
        // Every tape here also has too few large trades.
        EXPECT_EQ(risks, std::string("大单不活跃") + (*c.risks ? "; " : "") + c.risks);
    }
}

TEST(TransactionAnalysis, ClosingAuctionSurgeAndClamp) {
    Day d = buying_day();
    d.tape.push_back(trade(hms(14, 57, 0), 9.5, 8000, 2));  // over 10x the average
    const auto r = analyze_transactions(d.close_at(11), 10, 11, 10);
    ASSERT_TRUE(r);
    const std::string tail = "涨停保护(跳过买卖力量/尾盘); 涨停加分(+0.05); 尾盘竞价巨量抢筹(+0.10)";
    ASSERT_GE(r->details.size(), tail.size());
    EXPECT_EQ(r->details.substr(r->details.size() - tail.size()), tail);
    EXPECT_EQ(r->confidence, 100.0);

    // The same print at 14:56:59 is no surge.
    d.tape.back().time.secs -= 1;
    const auto before = analyze_transactions(d.close_at(11), 10, 11, 10);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->details.find("尾盘竞价巨量抢筹"), std::string::npos);
}

TEST(TransactionAnalysis, HugeVolumesSumExactly) {
    constexpr auto big = std::numeric_limits<std::int64_t>::max();
    Day d;
    d.add(15, 0, big).add(15, 1, big).add(10, 2, std::numeric_limits<std::int64_t>::min());
    const auto r = analyze_transactions(d.close_at(9.5), 9.5, 10, 9);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->buy_vol_ratio, 0.5);
    EXPECT_EQ(r->sell_vol_ratio, 0.5);
    // total = 30 (2^63 - 1) - 10 * 2^63 = 20 * 2^63 - 30, neutral = -10 * 2^63.
    EXPECT_EQ(r->neutral_vol_ratio, -0.5);

    // Opposite extremes cancel to zero volume.
    Day z;
    z.add(10, 0, big).add(10, 1, -big);
    EXPECT_FALSE(analyze_transactions(z.close_at(9.5), 9.5, 10, 9));
    EXPECT_FALSE(analyze_breakout(z.close_at(9.5), 9.5));
}

// ---------------------------------------------------------------------------
// Matched pairs: the fast search against the greedy scan written out directly.

using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;

Pairs greedy_pairs(const std::vector<TransactionPoint>& t) {
    const std::size_t n = t.size();
    std::vector<bool> used(n, false);
    Pairs out;
    for (std::size_t i = 0; i < n; ++i) {
        if (i + 1 == n) break;
        if (used[i] || t[i].bs_flag > 1) continue;
        for (std::size_t j = i + 1; j < n; ++j) {
            if (used[j] || t[j].bs_flag > 1 || t[j].bs_flag == t[i].bs_flag) continue;
            if (std::llabs(t[j].time.sec() - t[i].time.sec()) <= 5) {
                const bool price_ok =
                    std::fabs(t[i].price - t[j].price) <= std::max(t[i].price * 0.002, 0.01);
                const std::int64_t m = std::max(t[i].vol, t[j].vol);
                __extension__ const __int128 diff = static_cast<__int128>(t[i].vol) - t[j].vol;
                const bool vol_ok =
                    m > 0 && static_cast<double>(diff < 0 ? -diff : diff) / static_cast<double>(m) <= 0.15;
                if (price_ok && vol_ok) {
                    used[i] = used[j] = true;
                    out.emplace_back(i, j);
                    break;
                }
            } else {
                break;
            }
        }
    }
    return out;
}

const PairSearch kSearches[] = {PairSearch::Automatic, PairSearch::Direct, PairSearch::VolumeBins,
                                PairSearch::Tree};

TEST(MatchedPairs, Examples) {
    struct Case {
        const char* name;
        std::vector<TransactionPoint> tape;
        Pairs pairs;
    };
    const std::uint32_t t = hms(10, 0, 0);
    const Case cases[] = {
        {"5 seconds, 0.02 apart, 13% volume gap", {trade(t, 10.00, 1000, 0), trade(t + 5, 10.02, 870, 1)}, {{0, 1}}},
        {"6 seconds apart", {trade(t, 10.00, 1000, 0), trade(t + 6, 10.02, 870, 1)}, {}},
        {"sell first", {trade(t, 10.00, 1000, 1), trade(t + 1, 10.00, 1000, 0)}, {{0, 1}}},
        {"same side", {trade(t, 10.00, 1000, 0), trade(t + 1, 10.00, 1000, 0)}, {}},
        {"neutral never pairs", {trade(t, 10.00, 1000, 2), trade(t + 1, 10.00, 1000, 0)}, {}},
        {"two different negative flags pair", {trade(t, 10.00, 1000, -1), trade(t + 1, 10.00, 1000, -2)}, {{0, 1}}},
        {"16% volume gap", {trade(t, 10.00, 1000, 0), trade(t + 1, 10.00, 840, 1)}, {}},
        {"price 0.03 apart at 10", {trade(t, 10.00, 1000, 0), trade(t + 1, 10.03, 1000, 1)}, {}},
        {"one-tick floor at low prices", {trade(t, 2.00, 1000, 0), trade(t + 1, 2.01, 1000, 1)}, {{0, 1}}},
        {"zero volumes never pair", {trade(t, 10.00, 0, 0), trade(t + 1, 10.00, 0, 1)}, {}},
        {"the first match wins, not the best",
         {trade(t, 10.00, 1000, 0), trade(t + 1, 10.00, 900, 1), trade(t + 2, 10.00, 1000, 1)},
         {{0, 1}}},
        {"a used trade is skipped",
         {trade(t, 10.00, 1000, 1), trade(t + 1, 10.00, 500, 1), trade(t + 2, 10.00, 1000, 0),
          trade(t + 3, 10.00, 500, 0)},
         {{0, 2}, {1, 3}}},
        {"an unmatched opposite trade beyond 5 s ends the scan",
         {trade(t, 10.00, 1000, 0), trade(t + 1, 10.00, 1000, 0), trade(t + 6, 10.00, 1000, 1),
          trade(t + 6, 10.00, 1000, 1)},
         {{1, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(greedy_pairs(c.tape), c.pairs);
        for (const PairSearch search : kSearches) {
            Pairs got;
            EXPECT_EQ(find_matched_pairs(c.tape, &got, search), c.pairs.size());
            EXPECT_EQ(got, c.pairs) << "search " << static_cast<int>(search);
        }
    }
}

TEST(MatchedPairs, SameAsGreedyScanOnRandomTapes) {
    std::mt19937_64 rng(20260311);
    const std::int32_t flags[] = {0, 1, 0, 1, 0, 1, 2, 3, -1, -2, 1, 0, std::numeric_limits<std::int32_t>::min()};
    const double prices[] = {10.00, 10.01, 10.02, 10.03, 10.05, 9.99, 2.00, 2.01, -3.0, NAN, INFINITY, -INFINITY};
    const std::int64_t vols[] = {100, 110, 120, 90, 200, 0, -100, 1000, 870, 850, 1177, 1176,
                                 std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()};
    const auto pick = [&](const auto& arr) { return arr[rng() % std::size(arr)]; };
    std::size_t formed = 0;
    for (int iter = 0; iter < 3000; ++iter) {
        const std::size_t n = rng() % 200;
        const unsigned max_step = static_cast<unsigned>(rng() % 4);  // 0: the whole tape in one second
        std::vector<TransactionPoint> tape;
        std::uint32_t t = hms(9, 30, 0);
        for (std::size_t k = 0; k < n; ++k) {
            t += static_cast<std::uint32_t>(rng() % (max_step + 1)) + (rng() % 40 == 0 ? 7 : 0);
            tape.push_back(trade(t, pick(prices), pick(vols), pick(flags)));
        }
        const Pairs slow = greedy_pairs(tape);
        for (const PairSearch search : kSearches) {
            Pairs fast;
            const std::size_t count = find_matched_pairs(tape, &fast, search);
            ASSERT_EQ(fast, slow) << "iteration " << iter << ", search " << static_cast<int>(search);
            ASSERT_EQ(count, slow.size());
        }
        formed += slow.size();
    }
    EXPECT_GT(formed, 10000u);  // the tapes are dense enough to exercise pairing
}

TEST(MatchedPairs, SameAsGreedyScanOnOneSidedBlocks) {
    // Long one-sided stretches: all buys, then all sells, a few trades a second.
    for (const std::size_t side : {1u, 7u, 3000u}) {
        std::vector<TransactionPoint> tape;
        for (std::size_t k = 0; k < 2 * side; ++k)
            tape.push_back(trade(hms(9, 30, 0) + static_cast<std::uint32_t>(k / 3), 10.0, 100, k < side ? 0 : 1));
        const Pairs slow = greedy_pairs(tape);
        EXPECT_FALSE(slow.empty());
        for (const PairSearch search : kSearches) {
            Pairs fast;
            find_matched_pairs(tape, &fast, search);
            EXPECT_EQ(fast, slow) << side << " per side, search " << static_cast<int>(search);
        }
    }
}

// ---------------------------------------------------------------------------
// Breakout confirmation.

struct BreakoutCase {
    const char* name;
    std::vector<TransactionPoint> tape;
    const char* classification;
    double confidence;
    bool is_strong;
    const char* details;
};

std::vector<TransactionPoint> block(std::size_t count, double price, std::int64_t vol, std::int32_t flag) {
    return std::vector<TransactionPoint>(count, trade(hms(10, 0, 0), price, vol, flag));
}

std::vector<TransactionPoint> concat(std::initializer_list<std::vector<TransactionPoint>> parts) {
    std::vector<TransactionPoint> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(Breakout, ScoresAndExplanations) {
    const BreakoutCase cases[] = {
        {"0.6 is ordinary but strong", concat({block(6, 9.0, 100, 1), block(5, 10.0, 100, 0), block(1, 10.0, 100, 1)}),
         "普通突破", 60, true, "部分因素支持，突破信号中等。突破放量(50%); 突破买方主导(83%)"},
        {"highest score 0.85",
         concat({block(6, 9.0, 100, 1), block(5, 10.0, 100, 0), block(1, 10.0, 100, 1), block(1, 10.2, 1000, 0)}),
         "强势突破", 85, true,
         "多方面因素共振，突破信号强烈，真突破概率高。突破放量(73%); 突破买方主导(94%); 突破大单买入(1/0)"},
        {"equal large buys and sells add 0.1 without a note",
         concat({block(6, 9.0, 100, 1), block(3, 10.0, 100, 0), block(1, 10.0, 1000, 0), block(1, 10.0, 1000, 1)}),
         "普通突破", 50, false, "部分因素支持，突破信号中等。突破放量(79%)"},
        {"weak and silent", concat({block(15, 9.0, 100, 0), block(5, 10.0, 100, 1)}), "弱势突破", 15, false,
         "缺乏量能和大单配合，假突破风险较高。无明显信号特征"},
        {"zone of buys only", concat({block(10, 10.0, 100, 0)}), "普通突破", 60, true,
         "部分因素支持，突破信号中等。突破放量(100%); 突破买方主导(100%)"},
        {"neutral zone volume", concat({block(5, 9.0, 100, 0), block(5, 10.0, 100, 2)}), "弱势突破", 30, false,
         "缺乏量能和大单配合，假突破风险较高。突破放量(50%)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = analyze_breakout(c.tape, 10.0);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->classification, c.classification);
        EXPECT_NEAR(r->confidence, c.confidence, 1e-9);
        EXPECT_EQ(r->is_strong, c.is_strong);
        EXPECT_EQ(r->details, c.details);
        EXPECT_EQ(r->total_n, c.tape.size());
        EXPECT_EQ(r->price_sustain_ratio, 1.0);

        auto reversed = c.tape;
        std::reverse(reversed.begin(), reversed.end());
        const auto again = analyze_breakout(reversed, 10.0);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->details, r->details);
        EXPECT_EQ(again->confidence, r->confidence);
    }
}

TEST(Breakout, ZoneAndGuards) {
    const double zone_min = 10.0 * 0.995;
    auto at_edge = concat({block(5, 9.0, 100, 0), block(5, zone_min, 100, 0)});
    auto r = analyze_breakout(at_edge, 10.0);
    ASSERT_TRUE(r) << "a price of exactly breakout_price × 0.995 is in the zone";
    EXPECT_EQ(r->breakout_n, 5u);
    EXPECT_EQ(r->breakout_vol_ratio, 0.5);
    EXPECT_EQ(r->breakout_buy_ratio, 1.0);

    at_edge.back().price = std::nextafter(zone_min, 0.0);
    EXPECT_FALSE(analyze_breakout(at_edge, 10.0)) << "4 zone records";
    EXPECT_FALSE(analyze_breakout(block(9, 10.0, 100, 0), 10.0)) << "9 records";
    EXPECT_FALSE(analyze_breakout(block(12, 10.0, 0, 0), 10.0)) << "zero volume";

    const auto counts = analyze_breakout(
        concat({block(30, 9.0, 100, 0), block(2, 10.0, 100, 0), block(2, 10.0, 2000, 0), block(3, 10.0, 2000, 1)}),
        10.0);
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->breakout_n, 7u);
    EXPECT_EQ(counts->breakout_large_buy, 2u);
    EXPECT_EQ(counts->breakout_large_sell, 3u);
}

// ---------------------------------------------------------------------------
// Screening metrics.

ScreeningTxPoint stx(std::uint32_t sec, double price, std::int64_t vol, std::int32_t orders = 1) {
    return ScreeningTxPoint{TimeOfDay{sec, 0}, price, vol, orders};
}

TEST(Screening, TimeWindows) {
    struct Case {
        std::uint32_t sec;
        bool first30, midday, afternoon, last30, last5;
    };
    const Case cases[] = {
        {hms(9, 29, 59), 0, 0, 0, 0, 0}, {hms(9, 30, 0), 1, 0, 0, 0, 0},   {hms(9, 59, 59), 1, 0, 0, 0, 0},
        {hms(10, 0, 0), 0, 0, 0, 0, 0},  {hms(10, 15, 0), 0, 0, 0, 0, 0},  {hms(10, 30, 0), 0, 1, 0, 0, 0},
        {hms(12, 0, 0), 0, 0, 0, 0, 0},  {hms(13, 59, 59), 0, 0, 1, 0, 0}, {hms(14, 0, 0), 0, 0, 0, 0, 0},
        {hms(14, 30, 0), 0, 0, 0, 1, 0}, {hms(14, 54, 59), 0, 0, 0, 1, 0}, {hms(14, 55, 0), 0, 0, 0, 1, 1},
        {hms(15, 0, 0), 0, 0, 0, 1, 1},  {hms(16, 0, 0), 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sec);
        // One trade of 100 at the time under test among four of 100 at 10:15.
        std::vector<ScreeningTxPoint> pts(4, stx(hms(10, 15, 0), 10, 100));
        pts.push_back(stx(c.sec, 10, 100));
        const auto m = compute_screening_metrics(pts);
        ASSERT_TRUE(m);
        EXPECT_EQ((std::vector<double>{m->first30_vol_pct, m->midday_vol_pct, m->afternoon_vol_pct,
                                       m->last30_vol_pct, m->last5_vol_pct}),
                  (std::vector<double>{20.0 * c.first30, 20.0 * c.midday, 20.0 * c.afternoon, 20.0 * c.last30,
                                       20.0 * c.last5}));
    }
}

TEST(Screening, SizesAndPrices) {
    // Average volume 100.5: the large threshold truncates to 301, inclusive.
    std::vector<ScreeningTxPoint> pts = {stx(hms(10, 0, 0), 10, 301), stx(hms(10, 0, 1), 10, 300)};
    pts.push_back(stx(hms(10, 0, 2), 10, 54));
    for (int k = 0; k < 7; ++k) pts.push_back(stx(hms(10, 0, 3), 10, 50));
    auto m = compute_screening_metrics(pts);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->large_pct, 29.95);
    EXPECT_EQ(m->xl_pct, 0.0);
    EXPECT_EQ(m->avg_trade_vol, 100.5);
    EXPECT_EQ(m->single_trade_vol_pct, 100.0);
    EXPECT_EQ(m->avg_shares_per_trade, 100.5);

    // Amount thresholds count volume: average amount 2000, large from 6000.
    pts = {stx(0, 10, 100), stx(0, 10, 100), stx(0, 10, 100), stx(0, 10, 100), stx(0, 60, 100)};
    m = compute_screening_metrics(pts);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->large_amount_pct, 20.0);
    EXPECT_EQ(m->large_pct, 0.0);
    EXPECT_EQ(m->vwap, 20.0);

    // Order counts: single-order share, shares per order, and a non-positive sum.
    pts = {stx(0, 10, 100, 1), stx(0, 11, 300, 2), stx(0, 10, 100, 3), stx(0, 10, 100, 1), stx(0, 10, 100, 1)};
    m = compute_screening_metrics(pts);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->single_trade_vol_pct, 42.86);
    EXPECT_EQ(m->avg_shares_per_trade, 87.5);
    EXPECT_EQ(m->vwap, 10.43);
    pts[1].trade_count = -6;
    m = compute_screening_metrics(pts);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->avg_shares_per_trade, 0.0);
}

TEST(Screening, Guards) {
    std::vector<ScreeningTxPoint> pts(4, stx(hms(10, 0, 0), 10, 100));
    EXPECT_FALSE(compute_screening_metrics(pts)) << "4 points";
    pts.push_back(stx(hms(10, 0, 0), 10, 100));
    EXPECT_TRUE(compute_screening_metrics(pts)) << "5 points";
    for (auto& p : pts) p.vol = 0;
    EXPECT_FALSE(compute_screening_metrics(pts)) << "zero volume";
    constexpr auto big = std::numeric_limits<std::int64_t>::max();
    pts = {stx(0, 10, big), stx(0, 10, big), stx(0, 10, -big), stx(0, 10, -big), stx(0, 10, 0)};
    EXPECT_FALSE(compute_screening_metrics(pts)) << "extremes cancelling to zero";
}

}  // namespace
