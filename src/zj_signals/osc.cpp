// zj_osc_state_V260720 and zj_osc_state_V260721: the oscillator's sign, a heat
// level and its direction against its own exponential average, per bar.
#include "zj_signals/osc.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "zj_core/common/numeric.hpp"
#include "zj_signals/builtin.hpp"
#include "zj_signals/params.hpp"

namespace zj_signals::osc {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::string_view kName720 = "zj_osc_state_V260720";
constexpr std::string_view kName721 = "zj_osc_state_V260721";
// A zero length leaves the oscillator or its average undefined throughout.
constexpr ParamSpec kParams720[] = {
    {"n", ParamSpec::Kind::Unsigned, 20, 1},
    {"m", ParamSpec::Kind::Unsigned, 6, 1},
};
constexpr ParamSpec kParams721[] = {
    kParams720[0],
    kParams720[1],
    {"scale", ParamSpec::Kind::Float, 1.0, 0, std::numeric_limits<double>::infinity(), {}, true},  // a multiplier
};
}  // namespace

std::vector<double> calc_ema(std::span<const double> values, std::uint64_t span) {
    std::vector<double> out(values.size(), kNaN);
    if (values.empty() || span == 0) return out;
    const double keep = static_cast<double>(span - 1);
    const double div = static_cast<double>(span) + 1.0;
    double e = values[0];
    out[0] = zj_core::round_to(e, 4);
    for (std::size_t i = 1; i < values.size(); ++i) {
        e = (e * keep + 2.0 * values[i]) / div;
        out[i] = zj_core::round_to(e, 4);
    }
    return out;
}

std::string_view sign_label(double osc) {
    if (osc > 0) return "上";
    if (osc < 0) return "下";
    return "零";
}

std::string_view trend_label(double osc, double maosc) {
    if (osc > maosc) return "上升";
    if (osc < maosc) return "下降";
    return "平稳";
}

std::string_view heat_label_720(double x) {
    if (x < 0) return "极冷";
    if (x < 50) return "偏低";
    if (x < 200) return "温和";
    if (x < 350) return "偏高";
    return "过热";
}

std::string_view heat_label_721(double close, double ma, double s) {
    const double dev = std::fabs(ma) > std::numeric_limits<double>::epsilon() ? (close - ma) / ma * 100.0 : 0.0;
    if (dev < -10.0 * s) return "极度冷";
    if (dev < -3.0 * s) return "偏冷";
    if (dev <= 3.0 * s) return "适中";
    if (dev > 10.0 * s) return "极度热";
    return "偏热";
}

namespace {

enum class Heat { FromOsc, FromDeviation };

std::vector<SignalOutput> compute_osc(const BarColumns& bars, const ParamMap& params, Heat heat,
                                      std::string_view name) {
    using namespace builtin;
    const std::uint64_t n = param_unsigned(params, kParams721[0]);
    const std::uint64_t m = param_unsigned(params, kParams721[1]);
    double scale = 1.0;
    if (heat == Heat::FromDeviation) {
        const ParamSpec& s = kParams721[2];
        scale = builtin::param_number(params, s.key, s.fallback);  // NaN would call every bar "偏热"
    }
    const std::size_t len = bars.size();
    if (fewer_than(len, saturating_add({std::max(n, m), 5}))) return short_input_records(len);

    const std::string_view freq = bars.freq;
    std::vector<SignalOutput> out;
    out.reserve(len);
    if (n == 0) {  // no average, no oscillator
        for (std::size_t i = 0; i < len; ++i) out.push_back(default_record(name, freq, 0));
        return out;
    }

    const std::span<const double> close = bars.close;
    std::vector<double> ma(len, kNaN), osc(len, kNaN), maosc(len, kNaN);
    std::size_t first = len;
    for (std::size_t i = n - 1; i < len; ++i) {
        ma[i] = window_mean(close, i, n);
        osc[i] = (close[i] - ma[i]) * 100.0;
        if (first == len && !std::isnan(osc[i])) first = i;
    }
    if (first < len && saturating_add({first, m}) <= len) {
        const std::vector<double> tail = calc_ema(std::span(osc).subspan(first), m);
        std::copy(tail.begin(), tail.end(), maosc.begin() + static_cast<std::ptrdiff_t>(first));
    }

    for (std::size_t i = 0; i < len; ++i) {
        if (i + 1 < n || std::isnan(osc[i]) || std::isnan(maosc[i]) || std::isnan(ma[i])) {
            out.push_back(default_record(name, freq, 0));
            continue;
        }
        const std::string_view v2 =
            heat == Heat::FromOsc ? heat_label_720(osc[i]) : heat_label_721(close[i], ma[i], scale);
        out.push_back(SignalOutput::make(name, freq, sign_label(osc[i]), v2, trend_label(osc[i], maosc[i])));
    }
    return out;
}

}  // namespace

std::vector<SignalOutput> compute_osc_720(const BarColumns& bars, const ParamMap& params) {
    return compute_osc(bars, params, Heat::FromOsc, kName720);
}

std::vector<SignalOutput> compute_osc_721(const BarColumns& bars, const ParamMap& params) {
    return compute_osc(bars, params, Heat::FromDeviation, kName721);
}

namespace {
std::vector<SignalOutput> zj_osc_state_v260720(const BarColumns& bars, const ParamMap& params) {
    return compute_osc_720(bars, params);
}
std::vector<SignalOutput> zj_osc_state_v260721(const BarColumns& bars, const ParamMap& params) {
    return compute_osc_721(bars, params);
}

constexpr SignalDescriptor kOsc720{"kline", kName720, "{freq}_D{di}OSC#{n}#{m}_V260720", "ZjOscStateV260720",
                                   "ZjOscState", &zj_osc_state_v260720, kParams720};
constexpr SignalDescriptor kOsc721{"kline", kName721, "{freq}_D{di}OSC#{n}#{m}_V260721", "ZjOscStateV260721",
                                   "ZjOscStateV260721", &zj_osc_state_v260721, kParams721};
ZJ_REGISTER_SIGNAL(kOsc720);
ZJ_REGISTER_SIGNAL(kOsc721);
}  // namespace

}  // namespace zj_signals::osc
