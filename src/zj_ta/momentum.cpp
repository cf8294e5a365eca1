// Directional movement: +DI, -DI, ADX, ADXR.
#include "indicators/kernels.hpp"
#include "zj_ta/series.hpp"

namespace zj_ta {
namespace {

namespace k = indicators::kernel;
namespace clinic = zj_python::clinic;

template <auto Check, auto Fill>
Ref directional(SeriesArg high, SeriesArg low, SeriesArg close, std::size_t n) {
    const auto h = high->values(), l = low->values(), c = close->values();
    return compute(*high, 1, [&] { return Check(h.size(), l.size(), c.size(), n); },
                   [&](Outputs& o) { Fill(h, l, c, n, o[0]); });
}

#define ZJ_HLC(fn) Real{"high"}, Real{"low"}, Real{"close"}, Period{"timeperiod", 14}
constexpr auto kPlusDi = clinic::Function{"plus_di", ZJ_HLC()}.with_doc(
    "Plus directional indicator 100 * smoothed +DM / smoothed TR (0 without true range).\n"
    "Lookback timeperiod; needs timeperiod + 1 bars.");
constexpr auto kMinusDi = clinic::Function{"minus_di", ZJ_HLC()}.with_doc(
    "Minus directional indicator 100 * smoothed -DM / smoothed TR (0 without true range).\n"
    "Lookback timeperiod; needs timeperiod + 1 bars.");
constexpr auto kAdx = clinic::Function{"adx", ZJ_HLC()}.with_doc(
    "Average directional index. timeperiod >= 2; lookback 2*timeperiod - 1. A bar without true\n"
    "range has no DX: it leaves ADX unchanged and reads 0.");
constexpr auto kAdxr = clinic::Function{"adxr", ZJ_HLC()}.with_doc(
    "Average directional index rating (ADX + ADX timeperiod - 1 bars ago) / 2. timeperiod >= 2;\n"
    "needs 2*timeperiod bars; lookback 3*timeperiod - 2.");
#undef ZJ_HLC

}  // namespace

void register_momentum(PyObject* module) {
    add_function(module, clinic::method<kPlusDi, directional<k::check_atr, k::fill_plus_di>>());
    add_function(module, clinic::method<kMinusDi, directional<k::check_atr, k::fill_minus_di>>());
    add_function(module, clinic::method<kAdx, directional<k::check_adx, k::fill_adx>>());
    add_function(module, clinic::method<kAdxr, directional<k::check_adx, k::fill_adxr>>());
}

}  // namespace zj_ta
