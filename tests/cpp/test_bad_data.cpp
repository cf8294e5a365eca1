// Corrupt market data: the first bad value of a tape or a minute chart.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "zj_core/bad_data.hpp"

using zj_core::BadValue;
using zj_core::first_bad_value;
using zj_core::tick::TickPoint;
using zj_core::transaction::ScreeningTxPoint;
using zj_core::transaction::TransactionPoint;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// "field=value@record", or "" when every value is sound.
template <class Point>
std::string found(const std::vector<Point>& points) {
    const auto bad = first_bad_value(std::span<const Point>(points));
    if (!bad) return "";
    std::string value;
    if (const auto* f = std::get_if<double>(&bad->value))
        value = std::to_string(*f);
    else
        value = std::to_string(std::get<std::int64_t>(bad->value));
    return std::string(bad->field) + "=" + value + "@" + std::to_string(bad->record);
}

TransactionPoint trade(double price, std::int64_t vol) {
    TransactionPoint p;
    p.price = price;
    p.vol = vol;
    return p;
}

TickPoint minute(double price, double avg, std::int64_t vol) {
    TickPoint p;
    p.price = price;
    p.avg = avg;
    p.vol = vol;
    return p;
}

}  // namespace

TEST(BadData, PriceRules) {
    EXPECT_TRUE(zj_core::valid_price(0.0));
    EXPECT_TRUE(zj_core::valid_price(-0.0));
    EXPECT_TRUE(zj_core::valid_price(std::numeric_limits<double>::max()));
    EXPECT_FALSE(zj_core::valid_price(-1e-300));
    EXPECT_FALSE(zj_core::valid_price(kInf));
    EXPECT_FALSE(zj_core::valid_price(kNaN));
    EXPECT_TRUE(zj_core::valid_reference_price(1e-300));
    EXPECT_FALSE(zj_core::valid_reference_price(0.0));
    EXPECT_FALSE(zj_core::valid_reference_price(-kInf));
    EXPECT_FALSE(zj_core::valid_reference_price(kNaN));
}

TEST(BadData, FirstBadTradeInKeyOrder) {
    const struct {
        std::vector<TransactionPoint> tape;
        const char* want;
    } cases[] = {
        {{}, ""},
        {{trade(10.0, 0), trade(0.0, 100)}, ""},
        {{trade(10.0, 100), trade(kNaN, 100)}, "price=nan@1"},
        {{trade(10.0, -1), trade(kNaN, 100)}, "vol=-1@0"},
        {{trade(-kInf, -1)}, "price=-inf@0"},
        {{trade(10.0, 1), trade(10.0, 1), trade(-0.5, 1)}, "price=-0.500000@2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(found(c.tape), c.want);
        std::vector<ScreeningTxPoint> screening;
        for (const auto& t : c.tape) screening.push_back({t.time, t.price, t.vol, 1});
        EXPECT_EQ(found(screening), c.want);
    }
}

TEST(BadData, FirstBadMinuteReadsAvgAfterPrice) {
    const struct {
        std::vector<TickPoint> chart;
        const char* want;
    } cases[] = {
        {{minute(10.0, 0.0, 0)}, ""},
        {{minute(10.0, kInf, -5)}, "avg=inf@0"},
        {{minute(kNaN, kNaN, 1)}, "price=nan@0"},
        {{minute(10.0, 10.0, 1), minute(10.0, 10.0, -7)}, "vol=-7@1"},
    };
    for (const auto& c : cases) EXPECT_EQ(found(c.chart), c.want);
}
