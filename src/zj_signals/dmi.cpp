// zj_dmi_state_V260714: directional-movement state of every bar.
#include "zj_signals/dmi.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "indicators/momentum.hpp"
#include "zj_signals/builtin.hpp"
#include "zj_signals/params.hpp"

namespace zj_signals::dmi {

namespace {
constexpr std::string_view kName = "zj_dmi_state_V260714";
// n1 = n2 = 1 would be rejected by the library's ADX; a one-bar DI is no
// reading either, so n1 starts at 2.
constexpr ParamSpec kParams[] = {
    {"n1", ParamSpec::Kind::Unsigned, 14, 2},
    {"n2", ParamSpec::Kind::Unsigned, 6, 1},
};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Smoothed {
    std::vector<double> a, b;  // ADX and ADXR
};

// n1 != n2: the ADX is a plain n2-bar moving average of DX (carried as a
// running sum from the first defined DX) and the ADXR pairs it with the value
// n2 bars back.
std::optional<Smoothed> moving_average_adx(std::span<const double> pdi, std::span<const double> mdi,
                                           std::size_t n2) {
    if (n2 == 0) return std::nullopt;  // no averaging window: nothing to read
    const std::size_t len = pdi.size();
    std::vector<double> dx(len, kNaN);
    std::size_t f = len;
    for (std::size_t i = 0; i < len; ++i) {
        const double sum = pdi[i] + mdi[i];
        if (!std::isnan(pdi[i]) && !std::isnan(mdi[i]) && sum > 0) {
            dx[i] = std::fabs(mdi[i] - pdi[i]) / sum * 100.0;
            if (f == len) f = i;
        }
    }
    Smoothed s{std::vector<double>(len, kNaN), std::vector<double>(len, kNaN)};
    const double div = static_cast<double>(n2);
    if (f < len && n2 <= len - f) {
        double sum = 0.0;
        for (std::size_t j = f; j < f + n2; ++j) sum += dx[j];
        s.a[f + n2 - 1] = sum / div;
        for (std::size_t j = f; j + n2 < len; ++j) {
            sum += dx[j + n2];
            sum -= dx[j];
            s.a[j + n2] = sum / div;
        }
    }
    for (std::size_t i = n2; i < len; ++i)
        if (!std::isnan(s.a[i]) && !std::isnan(s.a[i - n2])) s.b[i] = (s.a[i] + s.a[i - n2]) * 0.5;
    return s;
}
}  // namespace

std::string_view strength_label(double a) {
    if (a >= 40) return "强趋势";
    if (a >= 25) return "趋势";
    if (a >= 20) return "酝酿";
    return "盘整";
}

std::string_view direction_label(double d) {
    if (d > 10) return "多头强势";
    if (d > 5) return "多头";
    if (d >= -5) return "缠绕";
    if (d >= -10) return "空头";
    return "空头强势";
}

std::string_view slope_label(double a, double before) {
    if (std::isnan(before)) return builtin::kOther;
    if (a - before > 0.5) return "上升";
    if (a - before < -0.5) return "下降";
    return "平稳";
}

std::vector<std::optional<DmiLabels>> compute_dmi_state(std::span<const double> high, std::span<const double> low,
                                                        std::span<const double> close, std::uint64_t n1,
                                                        std::uint64_t n2) {
    const std::size_t len = high.size();
    std::vector<std::optional<DmiLabels>> out(len);
    if (builtin::fewer_than(len, saturating_add({builtin::sat_mul(std::max(n1, n2), 3), 5}))) return out;

    auto pdi = indicators::plus_di(high, low, close, n1);
    auto mdi = indicators::minus_di(high, low, close, n1);
    if (!pdi || !mdi) return out;

    Smoothed s;
    if (n1 == n2) {
        auto a = indicators::adx(high, low, close, n1);
        auto b = indicators::adxr(high, low, close, n1);
        if (!a || !b) return out;
        s = Smoothed{a.take(), b.take()};
    } else {
        auto ma = moving_average_adx(pdi.value(), mdi.value(), n2);
        if (!ma) return out;
        s = std::move(*ma);
    }

    const auto& p = pdi.value();
    const auto& m = mdi.value();
    for (std::size_t i = 1; i < len; ++i) {
        if (std::isnan(s.a[i]) || std::isnan(s.b[i]) || std::isnan(p[i]) || std::isnan(m[i]) ||
            std::isnan(s.a[i - 1]) || std::isnan(s.b[i - 1]))
            continue;
        const double a = s.a[i];
        out[i] = DmiLabels{strength_label(a), direction_label(p[i] - m[i]),
                           slope_label(a, s.a[i - std::min<std::size_t>(i, 3)])};
    }
    return out;
}

std::vector<SignalOutput> zj_dmi_state_v260714(const BarColumns& bars, const ParamMap& params) {
    using namespace builtin;
    const std::uint64_t n1 = param_unsigned(params, kParams[0]);
    const std::uint64_t n2 = param_unsigned(params, kParams[1]);
    const auto states = compute_dmi_state(bars.high, bars.low, bars.close, n1, n2);
    // Every record, short input included, carries the name and the freq.
    const std::string_view freq = bars.freq;
    std::vector<SignalOutput> out;
    out.reserve(states.size());
    for (const auto& st : states)
        out.push_back(st ? SignalOutput::make(kName, freq, st->v1, st->v2, st->v3) : default_record(kName, freq, 0));
    return out;
}

namespace {
constexpr SignalDescriptor kDmi{"kline", kName, "{freq}_D{di}DMI#{n1}#{n2}_V260714", "ZjDmiState", "ZjDmiState",
                                &zj_dmi_state_v260714, kParams};
ZJ_REGISTER_SIGNAL(kDmi);
}  // namespace

}  // namespace zj_signals::dmi
