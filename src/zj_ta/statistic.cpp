// Linear regression over a sliding window.
#include "indicators/kernels.hpp"
#include "zj_ta/series.hpp"

namespace zj_ta {
namespace {

namespace k = indicators::kernel;
namespace clinic = zj_python::clinic;

Ref linearreg(SeriesArg real, std::size_t n) {
    const auto in = real->values();
    return compute(*real, 1, [&] { return k::check_linearreg(in.size(), n); },
                   [&](Outputs& o) { k::fill_linearreg(in, n, o[0]); });
}

Ref linearreg_components(SeriesArg real, std::size_t n) {
    const auto in = real->values();
    return compute(*real, 2, [&] { return k::check_linearreg(in.size(), n); },
                   [&](Outputs& o) { k::fill_linearreg_components(in, n, o[0], o[1]); });
}

constexpr auto kLinearreg = clinic::Function{"linearreg", Real{"real"}, Period{"timeperiod", 14}}.with_doc(
    "The least-squares line of the last timeperiod values, evaluated at the newest bar.\n"
    "timeperiod >= 2; lookback timeperiod - 1.");
constexpr auto kComponents =
    clinic::Function{"linearreg_components", Real{"real"}, Period{"timeperiod", 14}}.with_doc(
        "Returns (slope, intercept) of the least-squares line of each window, x = 0 at its oldest\n"
        "bar. timeperiod >= 2; lookback timeperiod - 1.");

}  // namespace

void register_statistic(PyObject* module) {
    add_function(module, clinic::method<kLinearreg, linearreg>());
    add_function(module, clinic::method<kComponents, linearreg_components>());
}

}  // namespace zj_ta
