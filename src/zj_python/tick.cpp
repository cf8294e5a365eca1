// tick_analysis: grades one day's minute chart and says whether a planned buy
// should be cancelled.
#include <vector>

#include "zj_core/tick/core.hpp"
#include "zj_python/boundary/bad_data.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/results.hpp"
#include "zj_python/module.hpp"
#include "zj_python/tick_records.hpp"

namespace zj_python {
namespace {

Ref analyze_tick_chart(PyObject* data, double pre_close, std::optional<double> low_price,
                       double close_pos_threshold) {
    require_reference_price("pre_close", pre_close);
    const std::vector<zj_core::tick::TickPoint> points = tick::tick_points(data);
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
