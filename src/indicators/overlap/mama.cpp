// MESA adaptive moving average (MAMA) and its following line (FAMA).
#include "indicators/cycle.hpp"
#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"

namespace indicators {
namespace kernel {

namespace {
constexpr std::size_t kMamaLookback = 32;
}

Check check_mama(std::size_t len, double fastlimit, double slowlimit) {
    if (len < kMamaLookback + 1) return TaError::insufficient(kMamaLookback + 1, len);
    // Written so that a NaN limit passes, as it breaks no comparison.
    if (fastlimit <= 0.0 || fastlimit > 1.0)
        return TaError::invalid("fastlimit", float_text(fastlimit), "must be in (0, 1]");
    if (slowlimit <= 0.0 || slowlimit >= fastlimit)
        return TaError::invalid("slowlimit", float_text(slowlimit), "must be in (0, fastlimit)");
    return std::nullopt;
}

void fill_mama(In in, double fastlimit, double slowlimit, Out out_mama, Out out_fama) {
    detail::nan_prefix(out_mama, kMamaLookback);
    if (out_fama) detail::nan_prefix(out_fama, kMamaLookback);

    // 4-3-2-1 weighted price, carried as a weighted and a simple sum.
    double wsum = in[0] + in[1] * 2.0 + in[2] * 3.0;
    double ssum = in[0] + in[1] + in[2];
    double trailing_value = 0.0;
    std::size_t trailing = 0;
    auto smooth = [&](double price) {
        ssum += price;
        ssum -= trailing_value;
        wsum += price * 4.0;
        trailing_value = in[trailing++];
        const double smoothed = wsum * 0.1;
        wsum -= ssum;
        return smoothed;
    };
    std::size_t today = 3;
    for (; today < 12; ++today) smooth(in[today]);

    cycle::CycleState cyc;
    double mama = 0.0, fama = 0.0;
    for (; today < in.size(); ++today) {
        const double price = in[today];
        const double smoothed = smooth(price);
        double delta = cyc.phase_step(smoothed, today % 2 == 0);
        if (delta < 1.0) delta = 1.0;
        double alpha;
        if (delta > 1.0) {
            alpha = fastlimit / delta;
            if (alpha < slowlimit) alpha = slowlimit;
        } else {
            alpha = fastlimit;
        }
        mama = alpha * price + (1.0 - alpha) * mama;
        alpha *= 0.5;
        fama = alpha * mama + (1.0 - alpha) * fama;
        if (today >= kMamaLookback) {
            out_mama[today] = mama;
            if (out_fama) out_fama[today] = fama;
        }
        cyc.period_step();
    }
}

}  // namespace kernel

Result<MamaLines> mama(std::span<const double> in, double fastlimit, double slowlimit) {
    if (auto e = kernel::check_mama(in.size(), fastlimit, slowlimit)) return std::move(*e);
    MamaLines lines{Series(in.size()), Series(in.size())};
    kernel::fill_mama(in, fastlimit, slowlimit, lines.mama.data(), lines.fama.data());
    return lines;
}

}  // namespace indicators
