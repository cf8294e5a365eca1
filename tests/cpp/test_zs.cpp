#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "zj_core/zs.hpp"

using zj_core::DateTime;
using zj_core::zs::Bi;
using zj_core::zs::Direction;
using zj_core::zs::get_zs_seq;
using zj_core::zs::Zs;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Stroke {
    char dir;  // 'U' or 'D'
    double high, low;
};

// Stroke i runs from minute 10*i to minute 10*i + 10, so a zone's times tell
// which strokes it holds.
std::vector<Bi> strokes(const std::vector<Stroke>& rows) {
    std::vector<Bi> out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto t0 = static_cast<std::int64_t>(i) * 600;
        out.push_back(Bi{rows[i].high, rows[i].low, *DateTime::from_unix(t0), *DateTime::from_unix(t0 + 600),
                         rows[i].dir == 'U' ? Direction::Up : Direction::Down});
    }
    return out;
}

struct ZoneExpect {
    std::size_t first, last;  // stroke indices held
    double zg, zd, zz, gg, dd;
};

void expect_same(double got, double want) {
    if (std::isnan(want)) EXPECT_TRUE(std::isnan(got)) << got;
    else EXPECT_EQ(got, want);
}

}  // namespace

TEST(ZsSeq, ZoneBuildingTable) {
    const struct {
        const char* name;
        std::vector<Stroke> bis;
        std::vector<ZoneExpect> zones;
    } cases[] = {
        {"empty", {}, {}},
        {"one stroke", {{'D', 12, 10}}, {{0, 0, 12, 10, 11, 12, 10}}},
        {"three strokes form one core",
         {{'U', 12, 10}, {'D', 12, 9}, {'U', 11, 9.5}},
         {{0, 2, 11, 10, 10.5, 12, 9}}},
        {"up stroke below zd leaves the zone",
         {{'U', 12, 10}, {'D', 12, 9}, {'U', 11, 9.5}, {'U', 9.8, 8}},
         {{0, 2, 11, 10, 10.5, 12, 9}, {3, 3, 9.8, 8, 8.9, 9.8, 8}}},
        {"down stroke above zg leaves the zone",
         {{'U', 12, 10}, {'D', 12, 9}, {'U', 11, 9.5}, {'D', 13, 11.5}},
         {{0, 2, 11, 10, 10.5, 12, 9}, {3, 3, 13, 11.5, 12.25, 13, 11.5}}},
        {"up stroke with high exactly zd joins",
         {{'U', 12, 10}, {'D', 12, 9}, {'U', 11, 9.5}, {'U', 10, 7}},
         {{0, 3, 11, 10, 10.5, 12, 7}}},
        {"down stroke with low exactly zg joins",
         {{'U', 12, 10}, {'D', 12, 9}, {'U', 11, 9.5}, {'D', 14, 11}},
         {{0, 3, 11, 10, 10.5, 14, 9}}},
        {"up stroke above the zone stays (only its own direction breaks)",
         {{'D', 12, 10}, {'U', 20, 15}},
         {{0, 1, 12, 15, 13.5, 20, 10}}},
        {"core fixed after three strokes, fourth only widens gg/dd",
         {{'U', 12, 10}, {'D', 11.5, 9}, {'U', 11, 9.5}, {'D', 15, 5}},
         {{0, 3, 11, 10, 10.5, 15, 5}}},
        {"second stroke breaks a one-stroke zone",
         {{'U', 12, 10}, {'U', 9, 8}, {'D', 9.5, 8.5}},
         {{0, 0, 12, 10, 11, 12, 10}, {1, 2, 9, 8.5, 8.75, 9.5, 8}}},
        {"NaN high never wins and never breaks",
         {{'U', kNaN, 10}, {'D', 12, 9}, {'U', kNaN, 9.5}},
         {{0, 2, 12, 10, 11, 12, 9}}},
        {"NaN prices throughout keep the neutral extremes",
         {{'U', kNaN, kNaN}, {'D', kNaN, kNaN}},
         {{0, 1, kInf, -kInf, kNaN, -kInf, kInf}}},
        {"NaN stroke joins, comparisons with NaN are false",
         {{'U', 12, 10}, {'U', kNaN, kNaN}, {'D', kNaN, kNaN}},
         {{0, 2, 12, 10, 11, 12, 10}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bis = strokes(c.bis);
        const auto zones = get_zs_seq(bis);
        ASSERT_EQ(zones.size(), c.zones.size());
        for (std::size_t z = 0; z < zones.size(); ++z) {
            SCOPED_TRACE(z);
            const Zs& got = zones[z];
            const ZoneExpect& e = c.zones[z];
            expect_same(got.zg, e.zg);
            expect_same(got.zd, e.zd);
            expect_same(got.zz, e.zz);
            expect_same(got.gg, e.gg);
            expect_same(got.dd, e.dd);
            EXPECT_EQ(got.sdt, bis[e.first].sdt);
            EXPECT_EQ(got.edt, bis[e.last].edt);
            EXPECT_EQ(got.sdir, bis[e.first].direction);
            EXPECT_EQ(got.edir, bis[e.last].direction);
        }
    }
}

TEST(ZsSeq, RandomStrokesArePartitionedInOrder) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> price(5, 15);
    std::uniform_int_distribution<int> coin(0, 9);
    for (int round = 0; round < 300; ++round) {
        std::vector<Stroke> rows;
        const int n = 1 + coin(rng) * 5;
        for (int i = 0; i < n; ++i) {
            double a = price(rng), b = price(rng);
            if (coin(rng) == 0) a = kNaN;
            rows.push_back({coin(rng) < 5 ? 'U' : 'D', std::max(a, b), std::min(a, b)});
        }
        const auto bis = strokes(rows);
        const auto zones = get_zs_seq(bis);
        ASSERT_FALSE(zones.empty());
        // Zones tile the strokes: each starts where the previous one ended.
        EXPECT_EQ(zones.front().sdt, bis.front().sdt);
        EXPECT_EQ(zones.back().edt, bis.back().edt);
        for (std::size_t z = 1; z < zones.size(); ++z) EXPECT_EQ(zones[z].sdt, zones[z - 1].edt);
        for (const Zs& zone : zones) {
            EXPECT_LT(zone.sdt, zone.edt);
            if (std::isfinite(zone.zg)) {
                EXPECT_GE(zone.gg, zone.zg);
            }
            if (std::isfinite(zone.zd)) {
                EXPECT_LE(zone.dd, zone.zd);
            }
        }
    }
}
