// Per-record marks for charts: which trades of a tape were large,
// institutional, in a split-order cluster or in a matched pair; which minutes
// of a chart were large; which auction snapshots lie in the auction window.
// The analysis cores fill the marks in the same passes that count them, so a
// chart shows exactly what a verdict of zjkit._native counted.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "zj_core/auction/types.hpp"
#include "zj_core/tick/core.hpp"
#include "zj_core/transaction/core.hpp"
#include "zj_engine/binding.hpp"
#include "zj_python/auction/ticks.hpp"
#include "zj_python/boundary/bad_data.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/tick_records.hpp"
#include "zj_python/transaction/records.hpp"

namespace zj_engine {
namespace {

using zj_python::py_bool;
using zj_python::py_float;
using zj_python::py_int;

// A list of n items made by item(k).
template <class F>
Ref py_list(std::size_t n, F&& item) {
    Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(n)));
    for (std::size_t k = 0; k < n; ++k)
        if (PyList_SetItem(list.get(), static_cast<Py_ssize_t>(k), item(k).release()) < 0) throw PyErrOccurred{};
    return list;
}

Ref flags(const std::vector<std::uint8_t>& v) {
    return py_list(v.size(), [&](std::size_t k) { return py_bool(v[k] != 0); });
}

Ref indices(const std::vector<std::int64_t>& v) {
    return py_list(v.size(), [&](std::size_t k) { return py_int(v[k]); });
}

// Seconds of the day with the sub-second part, as the readers parsed each time.
template <class Record>
Ref seconds(std::span<const Record> records) {
    return py_list(records.size(), [&](std::size_t k) {
        const zj_core::TimeOfDay t = records[k].time;
        return py_float(static_cast<double>(t.secs) + static_cast<double>(t.nanos) * 1e-9);
    });
}

class Dict {
public:
    Dict() : dict_(Ref::check(PyDict_New())) {}
    Dict& put(const char* key, Ref value) {
        if (PyDict_SetItemString(dict_.get(), key, value.get()) < 0) throw PyErrOccurred{};
        return *this;
    }
    Ref take() { return std::move(dict_); }

private:
    Ref dict_;
};

Ref tape_marks(PyObject* data, double pre_close, double high, double low) {
    // The checks of trans_analysis, so that marks exist exactly where a verdict does.
    zj_python::require_reference_price("pre_close", pre_close);
    zj_python::require_reference_price("high", high);
    zj_python::require_reference_price("low", low);
    zj_python::require_ordered_range(high, low);
    const auto points = zj_python::transaction::transaction_points(data);
    zj_python::require_sound_records(points);
    zj_core::transaction::TradeMarks marks;
    if (!zj_core::transaction::analyze_transactions(points, pre_close, high, low, &marks))
        return zj_python::py_none();
    return Dict()
        .put("time", seconds<zj_core::transaction::TransactionPoint>(points))
        .put("large", flags(marks.large))
        .put("institutional", flags(marks.institutional))
        .put("split_cluster", indices(marks.split_cluster))
        .put("matched_with", indices(marks.matched_with))
        .take();
}

Ref minute_marks(PyObject* data, double pre_close, std::optional<double> low_price, double close_pos_threshold) {
    zj_python::require_reference_price("pre_close", pre_close);
    const auto points = zj_python::tick::tick_points(data);
    zj_python::require_sound_records(points);
    zj_core::tick::MinuteMarks marks;
    if (!zj_core::tick::analyze_tick_chart(points, low_price.has_value(), pre_close, low_price.value_or(0.0),
                                           close_pos_threshold, &marks))
        return zj_python::py_none();
    return Dict()
        .put("time", seconds<zj_core::tick::TickPoint>(points))
        .put("large", flags(marks.large))
        .take();
}

Ref auction_marks(PyObject* data) {
    const auto ticks = zj_python::auction::read_auction_ticks(data);
    std::vector<std::uint8_t> in_window(ticks.size());
    for (std::size_t k = 0; k < ticks.size(); ++k) in_window[k] = zj_core::auction::in_auction_window(ticks[k].time);
    return Dict()
        .put("time", seconds<zj_core::auction::AuctionTick>(ticks))
        .put("in_window", flags(in_window))
        .take();
}

namespace clinic = zj_python::clinic;

constexpr auto kTapeMarks =
    clinic::Function{"tape_marks", clinic::List{"data"}, clinic::Float{"pre_close"}, clinic::Float{"high"},
                     clinic::Float{"low"}}
        .with_doc("Per-trade marks of trans_analysis: time (seconds of the day), large, institutional,\n"
                  "split_cluster (cluster number or -1) and matched_with (index of the other trade of\n"
                  "its matched pair or -1), each a list in the order of `data`; None when\n"
                  "trans_analysis returns None.");
constexpr auto kMinuteMarks =
    clinic::Function{"minute_marks", clinic::List{"data"}, clinic::Float{"pre_close"},
                     clinic::OptFloat{"low_price"}, clinic::Float{"close_pos_threshold", 0.3}}
        .with_doc("Per-minute marks of tick_analysis: time (seconds of the day) and large, each a list\n"
                  "in the order of `data`; None when tick_analysis returns None.");
constexpr auto kAuctionMarks =
    clinic::Function{"auction_marks", clinic::List{"data"}}.with_doc(
        "Per-snapshot marks of the auction analyses: time (seconds of the day) and in_window\n"
        "(09:15:00 to 09:25:59, the snapshots the analyses read), each a list in the order of `data`.");

}  // namespace

void register_marks(PyObject* module) {
    add_engine_function(module, clinic::method<kTapeMarks, tape_marks>());
    add_engine_function(module, clinic::method<kMinuteMarks, minute_marks>());
    add_engine_function(module, clinic::method<kAuctionMarks, auction_marks>());
}

}  // namespace zj_engine
