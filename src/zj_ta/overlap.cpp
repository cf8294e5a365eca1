// Moving averages, the MA dispatcher and Bollinger bands.
#include "indicators/kernels.hpp"
#include "zj_ta/series.hpp"

namespace zj_ta {
namespace {

namespace k = indicators::kernel;
namespace clinic = zj_python::clinic;
using indicators::MaType;

// A one-series, one-period average: check and fill from the kernel table.
template <auto Check, auto Fill>
Ref average(const SeriesArg& real, std::size_t n) {
    const auto in = real->values();
    return compute(*real, 1, [&] { return Check(in.size(), n); }, [&](Outputs& o) { Fill(in, n, o[0]); });
}

Ref sma(SeriesArg real, std::size_t n) { return average<k::check_sma, k::fill_sma>(real, n); }
Ref wma(SeriesArg real, std::size_t n) { return average<k::check_wma, k::fill_wma>(real, n); }
Ref dema(SeriesArg real, std::size_t n) { return average<k::check_dema, k::fill_dema>(real, n); }
Ref tema(SeriesArg real, std::size_t n) { return average<k::check_tema, k::fill_tema>(real, n); }
Ref trima(SeriesArg real, std::size_t n) { return average<k::check_trima, k::fill_trima>(real, n); }
Ref kama(SeriesArg real, std::size_t n) { return average<k::check_kama, k::fill_kama>(real, n); }

Ref ema(SeriesArg real, std::size_t n) {
    const auto in = real->values();
    return compute(*real, 1, [&] { return k::check_ema(in.size(), n); },
                   [&](Outputs& o) { k::fill_ema(in, n, 2.0 / (static_cast<double>(n) + 1.0), o[0]); });
}

Ref ema_core(SeriesArg real, std::size_t n, double factor) {
    const auto in = real->values();
    return compute(*real, 1, [&] { return k::check_ema(in.size(), n); },
                   [&](Outputs& o) { k::fill_ema(in, n, factor, o[0]); });
}

Ref t3(SeriesArg real, std::size_t n, double vfactor) {
    const auto in = real->values();
    return compute(*real, 1, [&] { return k::check_t3(in.size(), n); },
                   [&](Outputs& o) { k::fill_t3(in, n, vfactor, o[0]); });
}

Ref mama(SeriesArg real, double fastlimit, double slowlimit) {
    const auto in = real->values();
    return compute(*real, 2, [&] { return k::check_mama(in.size(), fastlimit, slowlimit); },
                   [&](Outputs& o) { k::fill_mama(in, fastlimit, slowlimit, o[0], o[1]); });
}

Ref compute_ma(SeriesArg real, std::size_t n, MaType type) {
    const auto in = real->values();
    return compute(*real, 1, [&] { return k::check_ma(in.size(), n, type); },
                   [&](Outputs& o) { k::fill_ma(in, n, type, o[0]); });
}

Ref bbands(SeriesArg real, std::size_t n, double nbdevup, double nbdevdn, MaType type) {
    const auto in = real->values();
    return compute(*real, 3, [&] { return k::check_bbands(in.size(), n, type); },
                   [&](Outputs& o) { k::fill_bbands(in, n, type, nbdevup, nbdevdn, o[0], o[1], o[2]); });
}

constexpr auto kSma = clinic::Function{"sma", Real{"real"}, Period{"timeperiod", 30}}.with_doc(
    "Simple moving average: the mean of the last timeperiod values (carried window sum).\n"
    "Lookback timeperiod - 1. TaError when timeperiod is 0 or the series is shorter than it.");
constexpr auto kEma = clinic::Function{"ema", Real{"real"}, Period{"timeperiod", 30}}.with_doc(
    "Exponential moving average with k = 2 / (timeperiod + 1), seeded with the mean of the first\n"
    "timeperiod values. Lookback timeperiod - 1.");
constexpr auto kEmaCore =
    clinic::Function{"ema_core", Real{"real"}, Period{"timeperiod"}, clinic::Float{"k"}}.with_doc(
        "Exponential moving average with the smoothing factor k given: seeded with the mean of the\n"
        "first timeperiod values, then e <- e + k(x - e). Lookback timeperiod - 1.");
constexpr auto kWma = clinic::Function{"wma", Real{"real"}, Period{"timeperiod", 30}}.with_doc(
    "Linearly weighted moving average (weights 1..timeperiod, newest heaviest). Lookback\n"
    "timeperiod - 1.");
constexpr auto kDema = clinic::Function{"dema", Real{"real"}, Period{"timeperiod", 30}}.with_doc(
    "Double exponential moving average 2*EMA - EMA(EMA). timeperiod >= 2; lookback\n"
    "2*(timeperiod - 1).");
constexpr auto kTema = clinic::Function{"tema", Real{"real"}, Period{"timeperiod", 30}}.with_doc(
    "Triple exponential moving average 3*EMA1 - 3*EMA2 + EMA3. timeperiod >= 2; lookback\n"
    "3*(timeperiod - 1).");
constexpr auto kTrima = clinic::Function{"trima", Real{"real"}, Period{"timeperiod", 30}}.with_doc(
    "Triangular moving average: a simple average of a simple average. Lookback timeperiod - 1;\n"
    "timeperiod 1 returns a copy of the input.");
constexpr auto kKama = clinic::Function{"kama", Real{"real"}, Period{"timeperiod", 30}}.with_doc(
    "Kaufman adaptive moving average (fastest 2, slowest 30). timeperiod >= 2; lookback timeperiod.\n"
    "A window without movement uses the slowest constant.");
constexpr auto kT3 =
    clinic::Function{"t3", Real{"real"}, Period{"timeperiod", 5}, clinic::Float{"vfactor", 0.7}}.with_doc(
        "Tillson T3: six cascaded EMAs weighted by the volume factor. timeperiod >= 2; lookback\n"
        "6*(timeperiod - 1).");
constexpr auto kMama = clinic::Function{"mama", Real{"real"}, clinic::Float{"fastlimit", 0.5},
                                        clinic::Float{"slowlimit", 0.05}}
                           .with_doc(
                               "MESA adaptive moving average: returns (mama, fama). Needs 33 values (lookback\n"
                               "32); 0 < fastlimit <= 1 and 0 < slowlimit < fastlimit.");
constexpr auto kComputeMa =
    clinic::Function{"compute_ma", Real{"real"}, Period{"timeperiod", 30}, MaTypeParam{"matype"}}.with_doc(
        "The moving average of type matype (MaType or its code 0..8) with its own checks and\n"
        "lookback. MAMA ignores timeperiod and returns its MAMA line; T3 uses vfactor 0.7.");
constexpr auto kBbands =
    clinic::Function{"bbands",           Real{"real"},           Period{"timeperiod", 5},
                     clinic::Float{"nbdevup", 2.0}, clinic::Float{"nbdevdn", 2.0}, MaTypeParam{"matype"}}
        .with_doc(
            "Bollinger bands: returns (upper, middle, lower). middle is the moving average of type\n"
            "matype; the bands are nbdevup / nbdevdn standard deviations of the last timeperiod values\n"
            "away from it (population deviation, measured from the average itself). Lookback: the\n"
            "average's (timeperiod - 1 for SMA).");

}  // namespace

void register_overlap(PyObject* module) {
    add_function(module, clinic::method<kSma, sma>());
    add_function(module, clinic::method<kEma, ema>());
    add_function(module, clinic::method<kEmaCore, ema_core>());
    add_function(module, clinic::method<kWma, wma>());
    add_function(module, clinic::method<kDema, dema>());
    add_function(module, clinic::method<kTema, tema>());
    add_function(module, clinic::method<kTrima, trima>());
    add_function(module, clinic::method<kKama, kama>());
    add_function(module, clinic::method<kT3, t3>());
    add_function(module, clinic::method<kMama, mama>());
    add_function(module, clinic::method<kComputeMa, compute_ma>());
    add_function(module, clinic::method<kBbands, bbands>());
}

}  // namespace zj_ta
