// Average true range.
#include "indicators/kernels.hpp"
#include "zj_ta/series.hpp"

namespace zj_ta {
namespace {

namespace k = indicators::kernel;
namespace clinic = zj_python::clinic;

Ref atr(SeriesArg high, SeriesArg low, SeriesArg close, std::size_t n) {
    const auto h = high->values(), l = low->values(), c = close->values();
    return compute(*high, 1, [&] { return k::check_atr(h.size(), l.size(), c.size(), n); },
                   [&](Outputs& o) { k::fill_atr(h, l, c, n, o[0]); });
}

constexpr auto kAtr = clinic::Function{"atr", Real{"high"}, Real{"low"}, Real{"close"}, Period{"timeperiod", 14}}
                          .with_doc(
                              "Average true range (Wilder): the mean of the first timeperiod true ranges, then\n"
                              "atr <- (atr*(timeperiod - 1) + TR) / timeperiod. Lookback timeperiod; needs\n"
                              "timeperiod + 1 bars. A NaN price is left out of the true range.");

}  // namespace

void register_volatility(PyObject* module) { add_function(module, clinic::method<kAtr, atr>()); }

}  // namespace zj_ta
