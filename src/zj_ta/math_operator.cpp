// Sliding highest and lowest values.
#include "indicators/kernels.hpp"
#include "zj_ta/series.hpp"

namespace zj_ta {
namespace {

namespace k = indicators::kernel;
namespace clinic = zj_python::clinic;

template <auto Fill>
Ref extreme(SeriesArg real, std::size_t n) {
    const auto in = real->values();
    return compute(*real, 1, [&] { return k::check_max(in.size(), n); }, [&](Outputs& o) { Fill(in, n, o[0]); });
}

constexpr auto kMax = clinic::Function{"max", Real{"real"}, Period{"timeperiod", 30}}.with_doc(
    "Highest value of the last timeperiod values. Lookback timeperiod - 1. A NaN never replaces a\n"
    "number; a NaN at the start of a window scan stays until the next scan.");
constexpr auto kMin = clinic::Function{"min", Real{"real"}, Period{"timeperiod", 30}}.with_doc(
    "Lowest value of the last timeperiod values. Lookback timeperiod - 1; NaN as for max.");

}  // namespace

void register_math_operator(PyObject* module) {
    add_function(module, clinic::method<kMax, extreme<k::fill_max>>());
    add_function(module, clinic::method<kMin, extreme<k::fill_min>>());
}

}  // namespace zj_ta
