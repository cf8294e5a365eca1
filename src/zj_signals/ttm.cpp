// zj_ttm_squeeze_V260711: momentum side, momentum shape and squeeze state.
#include "zj_signals/ttm.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "indicators/ma_type.hpp"
#include "indicators/math_operator.hpp"
#include "indicators/overlap.hpp"
#include "indicators/statistic.hpp"
#include "indicators/volatility.hpp"
#include "zj_core/common/failure.hpp"
#include "zj_signals/builtin.hpp"
#include "zj_signals/params.hpp"

namespace zj_signals::ttm {

namespace {
constexpr std::string_view kName = "zj_ttm_squeeze_V260711";
// The library rejects an n1 of 0 (MAX) or 1 (the regression) and an n3 of 0
// (the bands); the widths are multipliers of a range: finite, not negative.
constexpr ParamSpec kParams[] = {
    {"n1", ParamSpec::Kind::Unsigned, 20, 2},
    {"n2", ParamSpec::Kind::Float, 1.5, 0},
    {"n3", ParamSpec::Kind::Unsigned, 20, 1},
    {"n4", ParamSpec::Kind::Float, 2.0, 0},
    {"n5", ParamSpec::Kind::Unsigned, 20, 0, std::numeric_limits<double>::infinity(), "n1"},
};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Once the bar count reaches the warm-up, the only way these indicators fail
// is a period they reject; that is reported, never papered over.
template <class T>
T must(indicators::Result<T> r) {
    if (!r) throw zj_core::InternalFailure(r.error().debug());
    return r.take();
}
}  // namespace

std::string_view shape_label(double m0, double m1, double m2, double m3) {
    if (m0 > 0 && m1 <= 0) return "金叉";
    if (m0 < 0 && m1 >= 0) return "死叉";
    if (m0 > 0 && m0 > m1 && m1 > 0 && m2 <= 0) return "金叉次日";
    if (m0 < 0 && m1 > m0 && m1 < 0 && m2 >= 0) return "死叉次日";
    if (m0 > 0 && m1 < m0 && m1 < m2 && m0 > m2) return "二次上升强势";
    if (m0 > 0 && m1 < m0 && m1 < m2) return "二次上升";
    if (m0 > 0 && m2 >= m0 && m0 < m1 && m2 < m1) return "正值翻转强势";
    if (m0 > 0 && m0 < m1 && m2 < m1 && m0 >= m3) return "正值翻转";
    if (m0 < 0 && m1 > m0 && m1 > m2) return "二次下降";
    if (m0 < 0 && m0 >= m2 && m1 < m2 && m1 < m0) return "负值翻转强势";
    if (m0 < 0 && m1 < m2 && m1 < m0 && m3 >= m2) return "负值翻转";
    if (m1 > m0 && m1 > 0 && m2 > m1 && m2 > m3) return "正值翻转次日";
    if (m0 > m1 && m1 < 0 && m1 > m2 && m2 < m3) return "负值翻转次日";
    return builtin::kOther;
}

std::string_view squeeze_label(bool s0, bool s1) {
    if (s0) return s1 ? "挤压" : "转挤压";
    return s1 ? "转震动" : "震动";
}

std::vector<SignalOutput> compute_ttm_signal(const BarColumns& bars, const ParamMap& params) {
    using namespace builtin;
    const std::uint64_t n1 = param_unsigned(params, kParams[0]);
    // NaN would mean "no squeeze" on every bar
    const double n2 = param_number(params, kParams[1].key, kParams[1].fallback);
    const std::uint64_t n3 = param_unsigned(params, kParams[2]);
    const double n4 = param_number(params, kParams[3].key, kParams[3].fallback);
    const std::uint64_t n5 = param_unsigned(params, kParams[4].key, n1);
    const std::uint64_t m = saturating_add({std::max({n1, n3, n5}), 5});
    const std::size_t len = bars.size();
    if (fewer_than(len, m)) return short_input_records(len);

    const std::span<const double> high = bars.high, low = bars.low, close = bars.close;

    const indicators::Series hh = must(indicators::max(high, n1));
    const indicators::Series ll = must(indicators::min(low, n1));
    const indicators::Series basis = must(indicators::sma(close, n1));

    // Momentum: linear regression of the close's distance from the centre line.
    std::vector<double> delta(len);
    std::size_t f = len;
    for (std::size_t i = 0; i < len; ++i) {
        const double mid = (hh[i] + ll[i]) * 0.5;
        const double avg = (mid + basis[i]) * 0.5;
        delta[i] = close[i] - avg;
        if (f == len && !std::isnan(delta[i])) f = i;
    }
    std::vector<double> mom(len, kNaN);
    if (f < len && n1 <= len - f) {
        // A rejected regression period (1) only leaves the momentum undefined.
        auto reg = indicators::linearreg(std::span(delta).subspan(f), n1);
        if (reg) std::copy(reg.value().begin(), reg.value().end(), mom.begin() + static_cast<std::ptrdiff_t>(f));
    }

    const indicators::Bands bands = must(indicators::bbands(close, n3, indicators::MaType::Sma, n4, n4));
    const indicators::Series atr = must(indicators::atr(high, low, close, n1));

    std::vector<char> squeeze(len, 0);
    for (std::size_t i = 0; i < len; ++i) {
        const double bu = bands.upper[i], bl = bands.lower[i];
        if (std::isnan(bu) || std::isnan(bl) || std::isnan(basis[i]) || std::isnan(atr[i])) continue;
        const double ku = basis[i] + n2 * atr[i];
        const double kl = basis[i] - n2 * atr[i];
        squeeze[i] = bl > kl && ku > bu;
    }

    const std::string_view freq = bars.freq;
    std::vector<SignalOutput> out;
    out.reserve(len);
    for (std::size_t i = 0; i < len; ++i) {
        // m >= 5, so a read bar always has the three before it.
        if (i + 1 < m || std::isnan(mom[i])) {
            out.push_back(default_record(kName, freq, 0));
            continue;
        }
        const double m0 = mom[i], m1 = mom[i - 1], m2 = mom[i - 2], m3 = mom[i - 3];
        const std::string_view v2 =
            std::isnan(m1) || std::isnan(m2) || std::isnan(m3) ? kOther : shape_label(m0, m1, m2, m3);
        out.push_back(SignalOutput::make(kName, freq, m0 > 0 ? "多头" : "空头", v2,
                                         squeeze_label(squeeze[i], squeeze[i - 1])));
    }
    return out;
}

namespace {
std::vector<SignalOutput> zj_ttm_squeeze_v260711(const BarColumns& bars, const ParamMap& params) {
    return compute_ttm_signal(bars, params);
}
constexpr SignalDescriptor kTtm{"kline", kName, "{freq}_D{di}TTM#{n1}#{n2}#{n3}#{n4}#{n5}#{n6}_V260711",
                                "ZjTtmSqueeze", "ZjTtmSqueeze", &zj_ttm_squeeze_v260711, kParams};
ZJ_REGISTER_SIGNAL(kTtm);
}  // namespace

}  // namespace zj_signals::ttm
