#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "zj_core/zs.hpp"

using zj_core::DateTime;
using zj_core::zs::Bi;
using zj_core::zs::Direction;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Stroke { char dir; double high, low; };  // dir 'U' or 'D'
struct ZoneExpect { std::size_t first, last; double zg, zd, zz, gg, dd; };  // first, last: stroke indices held

}  // namespace

TEST(ZsSeq, ZoneBuildingTable) {
    const struct {
        const char* name;
        std::vector<Stroke> bis;
        std::vector<ZoneExpect> zones;
    } cases[] = {
        {"empty", {}, {}},
        {"one stroke", {{'D', 12, 10}}, {{0, 0, 12, 10, 11, 12, 10}}},
        {"up stroke below zd leaves the zone",
         {{'U', 12, 10}, {'D', 12, 9}, {'U', 11, 9.5}, {'U', 9.8, 8}},
         {{0, 2, 11, 10, 10.5, 12, 9}, {3, 3, 9.8, 8, 8.9, 9.8, 8}}},
        {"down stroke above zg leaves the zone",
         {{'U', 12, 10}, {'D', 12, 9}, {'U', 11, 9.5}, {'D', 13, 11.5}},
         {{0, 2, 11, 10, 10.5, 12, 9}, {3, 3, 13, 11.5, 12.25, 13, 11.5}}},
        {"up stroke, high exactly zd, joins",
         {{'U', 12, 10}, {'D', 12, 9}, {'U', 11, 9.5}, {'U', 10, 7}},
         {{0, 3, 11, 10, 10.5, 12, 7}}},
        {"down stroke, low exactly zg, joins",
         {{'U', 12, 10}, {'D', 12, 9}, {'U', 11, 9.5}, {'D', 14, 11}},
         {{0, 3, 11, 10, 10.5, 14, 9}}},
        {"up stroke above the zone stays", {{'D', 12, 10}, {'U', 20, 15}}, {{0, 1, 12, 15, 13.5, 20, 10}}},
        {"core fixed after three strokes, fourth widens gg/dd",
         {{'U', 12, 10}, {'D', 11.5, 9}, {'U', 11, 9.5}, {'D', 15, 5}},
         {{0, 3, 11, 10, 10.5, 15, 5}}},
        {"NaN high never wins or breaks",
         {{'U', kNaN, 10}, {'D', 12, 9}, {'U', kNaN, 9.5}},
         {{0, 2, 12, 10, 11, 12, 9}}},
        {"NaN prices keep the neutral extremes",
         {{'U', kNaN, kNaN}, {'D', kNaN, kNaN}},
         {{0, 1, kInf, -kInf, kNaN, -kInf, kInf}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Stroke i runs from minute 10*i to 10*i + 10, so a zone's times tell which strokes it holds.
        std::vector<Bi> bis;
        for (std::size_t i = 0; i < c.bis.size(); ++i) {
            const auto t0 = static_cast<std::int64_t>(i) * 600;
            bis.push_back(Bi{c.bis[i].high, c.bis[i].low, *DateTime::from_unix(t0), *DateTime::from_unix(t0 + 600),
                             c.bis[i].dir == 'U' ? Direction::Up : Direction::Down});
        }
        const auto zones = zj_core::zs::get_zs_seq(bis);
        ASSERT_EQ(zones.size(), c.zones.size());
        for (std::size_t z = 0; z < zones.size(); ++z) {
            SCOPED_TRACE(z);
            const auto& got = zones[z];
            const ZoneExpect& e = c.zones[z];
            const double pairs[][2] = {{got.zg, e.zg}, {got.zd, e.zd}, {got.zz, e.zz}, {got.gg, e.gg}, {got.dd, e.dd}};
            for (const auto& p : pairs) {
                if (std::isnan(p[1])) EXPECT_TRUE(std::isnan(p[0])) << p[0];
                else EXPECT_EQ(p[0], p[1]);
            }
            EXPECT_EQ(std::tuple(got.sdt, got.sdir), std::tuple(bis[e.first].sdt, bis[e.first].direction));
            EXPECT_EQ(std::tuple(got.edt, got.edir), std::tuple(bis[e.last].edt, bis[e.last].direction));
        }
    }
}
