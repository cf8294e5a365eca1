// zj_vol_ratio_V260721: each bar's volume against the mean volume of the last n
// bars (the bar itself included): heavy "放量", light "缩量" or normal "平量".
#include <cmath>

#include "zj_signals/builtin.hpp"
#include "zj_signals/params.hpp"

namespace zj_signals::vol {

namespace {
constexpr std::string_view kName = "zj_vol_ratio_V260721";
constexpr ParamSpec kParams[] = {{"n", ParamSpec::Kind::Unsigned, 20, 1}};

std::string_view ratio_label(double ratio) {
    if (ratio > 1.2) return "放量";
    if (ratio < 0.8) return "缩量";
    return "平量";  // also a NaN ratio
}
}  // namespace

std::vector<SignalOutput> compute_vol_ratio(const BarColumns& bars, const ParamMap& params) {
    using namespace builtin;
    const std::uint64_t n = param_unsigned(params, kParams[0]);
    const std::size_t len = bars.size();
    if (fewer_than(len, saturating_add({n, 5}))) return short_input_records(len);

    const std::string_view freq = bars.freq;
    const std::span<const double> vol = bars.vol;
    std::vector<SignalOutput> out;
    out.reserve(len);
    for (std::size_t i = 0; i < len; ++i) {
        // n = 0 has no window to average over: every bar stays unread.
        if (n == 0 || i + 1 < n) {
            out.push_back(default_record(kName, freq, 0));
            continue;
        }
        const double avg = window_mean(vol, i, n);
        if (avg == 0.0) {
            out.push_back(default_record(kName, freq, 0));
            continue;
        }
        out.push_back(SignalOutput::make(kName, freq, ratio_label(vol[i] / avg), kAny, kAny));
    }
    return out;
}

namespace {
std::vector<SignalOutput> zj_vol_ratio_v260721(const BarColumns& bars, const ParamMap& params) {
    return compute_vol_ratio(bars, params);
}
constexpr SignalDescriptor kVolRatio{"kline", kName, "{freq}_D{di}VOL#{n}_V260721", "ZjVolRatio", "ZjVolRatio",
                                     &zj_vol_ratio_v260721, kParams};
ZJ_REGISTER_SIGNAL(kVolRatio);
}  // namespace

}  // namespace zj_signals::vol
