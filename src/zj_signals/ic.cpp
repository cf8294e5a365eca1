// zj_ic_state_V260718: where one bar stands in the Ichimoku chart.
#include "zj_signals/ic.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "indicators/math_operator.hpp"
#include "zj_signals/builtin.hpp"
#include "zj_signals/params.hpp"

namespace zj_signals::ic {

namespace {
constexpr std::string_view kName = "zj_ic_state_V260718";
// A zero length is rejected by the library's MAX and MIN; "di" 0 would read
// past the last bar.
constexpr ParamSpec kParams[] = {
    {"n1", ParamSpec::Kind::Unsigned, 9, 1},
    {"n2", ParamSpec::Kind::Unsigned, 26, 1},
    {"n3", ParamSpec::Kind::Unsigned, 52, 1},
    {"di", ParamSpec::Kind::Unsigned, 1, 1},
};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Midpoint of the n-bar extremes; nothing when the library rejects n.
std::optional<std::vector<double>> midpoint(std::span<const double> high, std::span<const double> low,
                                            std::uint64_t n) {
    auto hi = indicators::max(high, n);
    auto lo = indicators::min(low, n);
    if (!hi || !lo) return std::nullopt;
    std::vector<double> out(high.size());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = (hi.value()[i] + lo.value()[i]) * 0.5;
    return out;
}

struct ScoreRow {
    std::string_view position, cloud, line;
    std::uint32_t score;
};

// Combinations that carry weight; every other one scores 5.
constexpr ScoreRow kScores[] = {
    {"突破上", "上升云", "双强", 76}, {"突破上", "上升云", "双高", 76}, {"突破上", "上升云", "高影", 60},
    {"突破上", "下降云", "双强", 70}, {"突破上", "下降云", "双高", 70},
    {"跌破下", "上升云", "双强", 76}, {"跌破下", "上升云", "双高", 76},
    {"测云底", "上升云", "双强", 38}, {"测云底", "上升云", "双高", 38},
    {"贯穿云", "上升云", "双强", 40}, {"贯穿云", "上升云", "双高", 40},
    {"云下", "上升云", "双强", 78},   {"云下", "上升云", "双高", 75},   {"云下", "上升云", "其他", 75},
    {"云下", "上升云", "高影", 65},   {"云下", "上升云", "低影", 60},   {"云下", "上升云", "双弱", 42},
    {"云下", "下降云", "双强", 50},   {"云下", "下降云", "双高", 50},   {"云下", "下降云", "其他", 60},
    {"云下", "下降云", "双低", 35},
    {"云上", "上升云", "双强", 65},   {"云上", "上升云", "双高", 65},   {"云上", "上升云", "高影", 55},
    {"云上", "上升云", "线内", 53},   {"云上", "上升云", "其他", 52},
    {"云上", "下降云", "双强", 52},   {"云上", "下降云", "双高", 52},   {"云上", "下降云", "其他", 50},
    {"云上", "下降云", "高影", 48},   {"云上", "下降云", "线内", 48},
    {"云内", "上升云", "双强", 46},   {"云内", "上升云", "双高", 46},   {"云内", "上升云", "其他", 38},
    {"云内", "下降云", "双弱", 10},   {"云内", "下降云", "双低", 10},
};
}  // namespace

std::optional<IcLines> compute_ic_lines(std::span<const double> high, std::span<const double> low,
                                        std::uint64_t n1, std::uint64_t n2, std::uint64_t n3) {
    const std::size_t len = high.size();
    if (builtin::fewer_than(len, saturating_add({n2, n3, 5}))) return std::nullopt;
    auto tenkan = midpoint(high, low, n1);
    auto kijun = midpoint(high, low, n2);
    auto span_b_src = midpoint(high, low, n3);
    if (!tenkan || !kijun || !span_b_src) return std::nullopt;

    IcLines lines{std::move(*tenkan), std::move(*kijun), std::vector<double>(len, kNaN),
                  std::vector<double>(len, kNaN)};
    // Both spans are plotted n2 bars ahead of the bar they are computed on.
    for (std::size_t t = 0; t + n2 < len; ++t) {
        lines.span_a[t + n2] = (lines.tenkan[t] + lines.kijun[t]) * 0.5;
        lines.span_b[t + n2] = (*span_b_src)[t];
    }
    return lines;
}

std::string_view position_label(double h, double l, double cl, double top, double bottom) {
    if (l > top) return "云上";
    if (h < bottom) return "云下";
    if (cl > top) return "突破上";
    if (cl < bottom) return "跌破下";
    if (l >= bottom && h > top) return "测云顶";
    if (l >= bottom) return "云内";
    if (h > top) return "贯穿云";
    return "测云底";
}

std::string_view line_label(double h, double l, double cl, double t, double k, double tp, double kp) {
    if (!std::isnan(tp)) {
        if (t > k && kp >= tp) return "CL金叉";
        if (k > t && tp >= kp) return "CL死叉";
    }
    if (l >= t && l >= k) return "双强";
    if (cl >= t && cl >= k) return "双高";
    if (h >= t && h >= k) return "高影";
    if (std::min(t, k) <= cl && cl <= std::max(t, k)) return "线内";
    if (t >= cl && k >= cl) return "双低";
    if (l <= t && l <= k) return "低影";
    if (h <= t && h <= k) return "双弱";
    return builtin::kOther;
}

std::uint32_t ic_score(std::string_view position, std::string_view cloud, std::string_view line) {
    for (const ScoreRow& row : kScores)
        if (row.position == position && row.cloud == cloud && row.line == line) return row.score;
    return 5;  // crosses, "测云顶" and every combination not listed
}

std::optional<IcState> compute_ic_state(std::span<const double> high, std::span<const double> low,
                                        std::span<const double> close, std::uint64_t n1, std::uint64_t n2,
                                        std::uint64_t n3, std::uint64_t di) {
    const std::size_t len = high.size();
    // "di" 0 would address the bar after the last; di >= count has no bar
    // before the one read.
    if (di == 0 || di >= len) return std::nullopt;
    const auto lines = compute_ic_lines(high, low, n1, n2, n3);
    if (!lines) return std::nullopt;
    const std::size_t c = len - di;
    const double sa = lines->span_a[c], sb = lines->span_b[c];
    const double t = lines->tenkan[c], k = lines->kijun[c];
    if (std::isnan(sa) || std::isnan(sb) || std::isnan(t) || std::isnan(k)) return std::nullopt;

    const double top = std::max(sa, sb), bottom = std::min(sa, sb);
    IcState state;
    state.cloud = sa > sb ? "上升云" : "下降云";
    state.position = position_label(high[c], low[c], close[c], top, bottom);
    state.line = line_label(high[c], low[c], close[c], t, k, lines->tenkan[c - 1], lines->kijun[c - 1]);
    state.score = ic_score(state.position, state.cloud, state.line);
    return state;
}

std::vector<SignalOutput> zj_ic_state_v260718(const BarColumns& bars, const ParamMap& params) {
    using namespace builtin;
    const std::uint64_t n1 = param_unsigned(params, kParams[0]);
    const std::uint64_t n2 = param_unsigned(params, kParams[1]);
    const std::uint64_t n3 = param_unsigned(params, kParams[2]);
    const std::uint64_t di = param_unsigned(params, kParams[3]);
    const std::string_view freq = bars.freq;
    const auto state = compute_ic_state(bars.high, bars.low, bars.close, n1, n2, n3, di);
    std::vector<SignalOutput> out;
    if (state)
        out.push_back(SignalOutput::make(kName, freq, state->position, state->cloud, state->line, state->score));
    else
        out.push_back(default_record(kName, freq, 0));
    return out;
}

namespace {
constexpr SignalDescriptor kIc{"kline", kName, "{freq}_D{di}IC#{n1}#{n2}#{n3}_V260718", "ZjIcState", "ZjIcState",
                               &zj_ic_state_v260718, kParams, RecordCount::One};
ZJ_REGISTER_SIGNAL(kIc);
}  // namespace

}  // namespace zj_signals::ic
