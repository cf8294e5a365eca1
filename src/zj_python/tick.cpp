// tick_analysis: grades one day's minute chart and says whether a planned buy
// should be cancelled.
#include <vector>

#include "zj_core/tick/core.hpp"
#include "zj_python/boundary/bad_data.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/results.hpp"
#include "zj_python/boundary/records.hpp"
#include "zj_python/module.hpp"

namespace zj_python {
namespace {

// The minute chart words its time errors its own way.
constexpr TimeMessages kTickTimeMessages{"Missing 'time' field", "Invalid time string '"};

std::vector<zj_core::tick::TickPoint> points_from_dicts(PyObject* data) {
    const KeySet keys{"time", "price", "avg", "vol", "momentum"};
    std::vector<zj_core::tick::TickPoint> points;
    points.reserve(static_cast<std::size_t>(list_size(data)));
    for_each_dict(data, [&](PyObject* item) {
        zj_core::tick::TickPoint p;
        p.time = read_time(field(item, keys[0]), kTickTimeMessages);
        p.price = field(item, keys[1]).f64("price");
        const Field avg = field(item, keys[2]);
        p.avg = avg.present() ? to_f64(avg.get()) : p.price;
        p.vol = field(item, keys[3]).i64("vol");
        const Field momentum = field(item, keys[4]);
        p.momentum = momentum.present() ? to_f64(momentum.get()) : 0.0;
        points.push_back(p);
    });
    return points;
}

Ref analyze_tick_chart(PyObject* data, double pre_close, std::optional<double> low_price,
                       double close_pos_threshold) {
    require_reference_price("pre_close", pre_close);
    const std::vector<zj_core::tick::TickPoint> points = points_from_dicts(data);
    require_sound_records(points);
    const auto r = zj_core::tick::analyze_tick_chart(points, low_price.has_value(), pre_close,
                                                     low_price.value_or(0.0), close_pos_threshold);
    if (!r) return py_none();

    return result_dict<zj_core::results::R4>(zj_core::results::kTick, *r);
}

constexpr clinic::Function kTickAnalysis{"tick_analysis", clinic::List{"data"}, clinic::Float{"pre_close"},
                                         clinic::OptFloat{"low_price"},
                                         clinic::Float{"close_pos_threshold", 0.3}};

}  // namespace

void register_tick(PyObject* module) {
    add_function(module, clinic::method<kTickAnalysis, analyze_tick_chart>());
}

}  // namespace zj_python
