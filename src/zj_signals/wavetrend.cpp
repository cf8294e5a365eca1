// zj_wavetrend_V260625 and zj_wavetrend_zone_V260724.
#include "zj_signals/wavetrend.hpp"

#include <cmath>
#include <limits>

#include "zj_signals/params.hpp"
#include "zj_signals/signal_util.hpp"

namespace zj_signals::wavetrend {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::string_view kWtName = "zj_wavetrend_V260625";
constexpr std::string_view kZoneName = "zj_wavetrend_zone_V260724";
// A zero length leaves the oscillator or its signal line undefined throughout.
// "_init_n" is set by generate_all_signals, never by a configuration.
constexpr ParamSpec kParams[] = {
    {"n1", ParamSpec::Kind::Unsigned, 10, 1},
    {"n2", ParamSpec::Kind::Unsigned, 21, 1},
    {"n3", ParamSpec::Kind::Unsigned, 4, 1},
};

// round() half away from zero, without a library call on the hot path.
double round_half_away(double x) {
    if (!(std::fabs(x) < 4.0e15)) return std::round(x);  // already whole, or NaN / inf
    const double whole = static_cast<double>(static_cast<long long>(x));  // toward zero
    const double frac = x - whole;                                          // exact here
    // Branch-free: which way a value rounds is as unpredictable as its digits.
    return whole + static_cast<double>(frac >= 0.5) - static_cast<double>(frac <= -0.5);
}

double round4(double x) { return round_half_away(x * 10000.0) / 10000.0; }

// One rounded step of calc_ema.
struct EmaStep {
    double keep, denom;
    explicit EmaStep(std::uint64_t n) : keep(static_cast<double>(n - 1)), denom(static_cast<double>(n) + 1.0) {}
    double operator()(double prev, double x) const { return round4((prev * keep + 2.0 * x) / denom); }
};

struct WtParams {
    std::uint64_t n1, n2, n3;
    std::uint64_t min_bars;  // n1 + n2 + n3 + 5, saturating
};

WtParams read_params(const ParamMap& params) {
    WtParams p{param_unsigned(params, kParams[0]), param_unsigned(params, kParams[1]),
               param_unsigned(params, kParams[2]), 0};
    p.min_bars = saturating_add({p.n1, p.n2, p.n3, 5});
    return p;
}

std::vector<WtPoint> oscillator(const BarColumns& bars, const WtParams& p) {
    return compute_wavetrend(bars.high, bars.low, bars.close, p.n1, p.n2, p.n3);
}
}  // namespace

std::vector<double> calc_ema(std::span<const double> values, std::uint64_t n) {
    std::vector<double> out(values.size(), kNaN);
    if (values.empty() || n == 0) return out;
    const EmaStep step(n);
    out[0] = values[0];
    for (std::size_t i = 1; i < values.size(); ++i) out[i] = step(out[i - 1], values[i]);
    return out;
}

std::vector<WtPoint> compute_wavetrend(std::span<const double> high, std::span<const double> low,
                                       std::span<const double> close, std::uint64_t n1, std::uint64_t n2,
                                       std::uint64_t n3) {
    // The chain ap -> esa -> |ap - esa| -> d -> ci -> wt1 of calc_ema averages
    // is computed in one pass with the same arithmetic, step for step: each
    // average at bar i needs only its own previous value and this bar's input.
    const std::size_t len = close.size();
    std::vector<WtPoint> out(len, WtPoint{kNaN, kNaN});
    if (len == 0) return out;
    if (n1 != 0 && n2 != 0) {
        const EmaStep channel(n1), line(n2);
        double esa = 0.0, d = 0.0, wt1 = 0.0;
        for (std::size_t i = 0; i < len; ++i) {
            const double ap = (high[i] + low[i] + close[i]) / 3.0;
            esa = i == 0 ? ap : channel(esa, ap);
            const double dev = std::fabs(ap - esa);
            d = i == 0 ? dev : channel(d, dev);
            const double scale = 0.015 * d;
            const double ci = std::fabs(scale) < 1e-10 ? 0.0 : (ap - esa) / scale;
            wt1 = i == 0 ? ci : line(wt1, ci);
            out[i].wt1 = wt1;
        }
    }
    double prefix = 0.0;  // sum of wt1[0..i] in index order: the window while it is still short
    for (std::size_t i = 0; i < len; ++i) {
        prefix += out[i].wt1;
        if (n3 == 0) {
            out[i].wt2 = kNaN;
        } else if (i + 1 <= n3) {
            out[i].wt2 = round4(prefix / static_cast<double>(i + 1));
        } else {
            double sum = 0.0;
            for (std::size_t j = i + 1 - n3; j <= i; ++j) sum += out[j].wt1;
            out[i].wt2 = round4(sum / static_cast<double>(n3));
        }
    }
    return out;
}

std::string_view zone_label(double w) {
    if (w > 60) return "极度超买";
    if (w > 53) return "超买";
    if (w > 30) return "偏多";
    if (w >= 0) return "弱多";
    if (w >= -30) return "弱空";
    if (w >= -53) return "偏空";
    if (w >= -60) return "超卖";
    return "极度超卖";
}

std::optional<WtLabels> get_wt_signal(std::span<const WtPoint> points, std::size_t k) {
    if (points.size() < k + 2) return std::nullopt;
    const WtPoint& cur = points[points.size() - k];
    const WtPoint& prev = points[points.size() - k - 1];
    if (std::isnan(cur.wt1) || std::isnan(cur.wt2) || std::isnan(prev.wt1) || std::isnan(prev.wt2))
        return std::nullopt;
    const double c = cur.wt1 - cur.wt2;
    const double p = prev.wt1 - prev.wt2;
    std::string_view cross;
    if (p <= 0 && c > 0) cross = "金叉";
    else if (p >= 0 && c < 0) cross = "死叉";
    else if (c > 0) cross = "多头";
    else cross = "空头";
    const std::string_view gap = c > p ? "增大" : (c < p ? "缩小" : "平稳");
    return WtLabels{zone_label(cur.wt1), cross, gap};
}

namespace {
// Scores by zone and regime, for the "多头" and the "空头" side.
struct ScoreRow {
    std::string_view zone, regime;
    std::uint32_t bull, bear;
};
constexpr ScoreRow kScores[] = {
    {"超买", "其他", 20, 40},     {"超买", "长期看多", 65, 5},     {"超买", "长期看空", 35, 85},
    {"超卖", "其他", 45, 30},     {"超卖", "长期看多", 90, 45},    {"超卖", "长期看空", 5, 60},
    {"极度超买", "其他", 25, 45}, {"极度超买", "长期看多", 5, 5},  {"极度超买", "长期看空", 45, 92},
    {"极度超卖", "其他", 50, 35}, {"极度超卖", "长期看多", 95, 50}, {"极度超卖", "长期看空", 5, 5},
};

int next_state(int state, double w, double q) {
    const bool up_exit = q < -53 && w >= -53;
    const bool down_exit = q > 53 && w <= 53;
    switch (state) {
        case -1: return w > 53 ? 0 : (up_exit ? 1 : -1);
        case 1: return w < -53 ? 0 : (down_exit ? -1 : 1);
        default: return up_exit ? 1 : (down_exit ? -1 : 0);
    }
}
}  // namespace

ZoneReading compute_wt_zone_signal(int state, double wt1, double wt2, double prev_wt1) {
    ZoneReading r{};
    r.state = next_state(state, wt1, prev_wt1);
    r.zone = zone_label(wt1);
    r.regime = r.state == 1 ? "长期看多" : (r.state == -1 ? "长期看空" : "其他");
    r.side = wt1 > wt2 ? "多头" : "空头";
    r.score = 5;
    for (const ScoreRow& row : kScores)
        if (row.zone == r.zone && row.regime == r.regime) r.score = r.side == "多头" ? row.bull : row.bear;
    return r;
}

std::vector<SignalOutput> compute_wt_signal(const BarColumns& bars, const ParamMap& params) {
    const WtParams p = read_params(params);
    if (bars.size() < p.min_bars) return short_input_records(bars.size());
    const std::vector<WtPoint> points = oscillator(bars, p);
    const std::string_view freq = bars.freq;
    std::vector<SignalOutput> out;
    out.reserve(bars.size());
    for (std::size_t i = 0; i < bars.size(); ++i) {
        std::optional<WtLabels> labels;
        if (i + 1 >= p.min_bars) labels = get_wt_signal(std::span(points).first(i + 1), 1);
        if (labels)
            out.push_back(SignalOutput::make(kWtName, freq, labels->zone, labels->cross, labels->gap, 0));
        else
            out.push_back(default_record(kWtName, freq, 1));
    }
    return out;
}

std::vector<SignalOutput> compute_wt_zone_signal_full(const BarColumns& bars, const ParamMap& params) {
    const WtParams p = read_params(params);
    if (bars.size() < p.min_bars) return short_input_records(bars.size());
    const std::vector<WtPoint> points = oscillator(bars, p);
    const std::string_view freq = bars.freq;
    const std::uint64_t warmup = std::max<std::uint64_t>(param_unsigned(params, "_init_n", 0), 1);
    std::vector<SignalOutput> out;
    out.reserve(bars.size());
    int state = 0;
    for (std::size_t i = 0; i < bars.size(); ++i) {
        if (i < warmup || std::isnan(points[i].wt1) || std::isnan(points[i].wt2) || std::isnan(points[i - 1].wt1)) {
            out.push_back(default_record(kZoneName, freq, 1));
            continue;
        }
        const ZoneReading r = compute_wt_zone_signal(state, points[i].wt1, points[i].wt2, points[i - 1].wt1);
        state = r.state;
        out.push_back(SignalOutput::make(kZoneName, freq, r.zone, r.regime, r.side, r.score));
    }
    return out;
}

namespace {
constexpr SignalDescriptor kWavetrend{"kline", kWtName, "{freq}_D{di}WT#{n1}#{n2}#{n3}_V260625", "ZjWavetrend",
                                      "ZjWavetrend", &compute_wt_signal, kParams};
constexpr SignalDescriptor kWavetrendZone{"kline", kZoneName, "{freq}_D{di}WT#{n1}#{n2}#{n3}_V260724",
                                          "ZjWavetrendZone", "ZjWavetrendZone", &compute_wt_zone_signal_full, kParams};
ZJ_REGISTER_SIGNAL(kWavetrend);
ZJ_REGISTER_SIGNAL(kWavetrendZone);
}  // namespace

}  // namespace zj_signals::wavetrend
