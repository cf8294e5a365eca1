#include "zj_core/bad_data.hpp"

#include "zj_core/common/numeric.hpp"

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

std::string invalid_value_message(std::string_view name, double value) {
    return "Invalid " + std::string(name) + " " + float_repr(value);
}

std::string unordered_range_message(double high, double low) {
    return "high " + float_repr(high) + " < low " + float_repr(low);
}

std::string bad_value_message(const BadValue& bad) {
    const std::string value = std::holds_alternative<double>(bad.value) ? float_repr(std::get<double>(bad.value))
                                                                        : int_repr(std::get<std::int64_t>(bad.value));
    return "Invalid " + std::string(bad.field) + " " + value + " in record " + std::to_string(bad.record);
}

}  // namespace zj_core
