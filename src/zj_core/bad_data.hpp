#pragma once
// Market data no trading day can produce. The tape and minute-chart analyses
// refuse it instead of turning it into a verdict: a NaN price compares false
// with every threshold, a negative volume flips the sign of every share, and a
// previous close of 0 silently zeroes the day's change.
//
// Merely unusual values stay valid: a zero volume, a zero price, prices outside
// the day's range, one-sided tapes.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "zj_core/tick/types.hpp"
#include "zj_core/transaction/types.hpp"

namespace zj_core {

// A traded price (or a minute's average price): finite and not negative.
constexpr bool valid_price(double p) { return p >= 0.0 && p <= std::numeric_limits<double>::max(); }

// A reference price (previous close, the day's high or low, a breakout
// level): finite and positive. A new listing's previous close is its issue
// price, so it is positive too.
constexpr bool valid_reference_price(double p) { return p > 0.0 && p <= std::numeric_limits<double>::max(); }

// The first bad value of a record list: the record's position, the field's
// key and the value as read.
struct BadValue {
    std::size_t record = 0;
    const char* field = "";
    std::variant<double, std::int64_t> value;
};

// Fields are examined record by record in key order (price, avg, vol), so the
// result is the first bad value a reader of the list would meet.
std::optional<BadValue> first_bad_value(std::span<const transaction::TransactionPoint> points);
std::optional<BadValue> first_bad_value(std::span<const transaction::ScreeningTxPoint> points);
std::optional<BadValue> first_bad_value(std::span<const tick::TickPoint> points);

// The messages of bad data, every entry point alike; values are worded as
// Python's repr of them.
// "Invalid {name} {value!r}": a bad reference price.
std::string invalid_value_message(std::string_view name, double value);
// "high {high!r} < low {low!r}": the day's range upside down.
std::string unordered_range_message(double high, double low);
// "Invalid {field} {value!r} in record {i}".
std::string bad_value_message(const BadValue& bad);

}  // namespace zj_core
