#include "zj_core/bad_data.hpp"

namespace zj_core {
namespace {

// One pass with a single test per record on the clean path; the offending
// field is picked out only once a record fails.
template <class Point>
std::optional<BadValue> first_bad_trade(std::span<const Point> points) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& p = points[i];
        if (valid_price(p.price) && p.vol >= 0) continue;
        if (!valid_price(p.price)) return BadValue{i, "price", p.price};
        return BadValue{i, "vol", p.vol};
    }
    return std::nullopt;
}

}  // namespace

std::optional<BadValue> first_bad_value(std::span<const transaction::TransactionPoint> points) {
    return first_bad_trade(points);
}

std::optional<BadValue> first_bad_value(std::span<const transaction::ScreeningTxPoint> points) {
    return first_bad_trade(points);
}

std::optional<BadValue> first_bad_value(std::span<const tick::TickPoint> points) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        const tick::TickPoint& p = points[i];
        if (valid_price(p.price) && valid_price(p.avg) && p.vol >= 0) continue;
        if (!valid_price(p.price)) return BadValue{i, "price", p.price};
        if (!valid_price(p.avg)) return BadValue{i, "avg", p.avg};
        return BadValue{i, "vol", p.vol};
    }
    return std::nullopt;
}

}  // namespace zj_core
