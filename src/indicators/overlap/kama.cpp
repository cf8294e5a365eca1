// Kaufman adaptive moving average (fastest period 2, slowest 30).
#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"

namespace indicators {
namespace kernel {

namespace {
constexpr double kScDiff = 0.6021505376344085;   // 2/3 - 2/31
constexpr double kScSlow = 0.06451612903225806;  // 2/31
constexpr double kScFlat = 0.004162330905306971;  // (2/31)^2: no movement, slowest

double smoothing(double direction, double volatility) {
    if (volatility <= 0.0) return kScFlat;
    const double sc = (direction / volatility) * kScDiff + kScSlow;
    return sc * sc;
}
}  // namespace

Check check_kama(std::size_t len, std::size_t n) {
    if (n < 2) return detail::bad_period(n, "must be >= 2");
    if (len <= n) return TaError::insufficient(detail::sat_inc(n), len);
    return std::nullopt;
}

ZJ_FMA_CLONES void fill_kama(In in, std::size_t n, Out out) {
    detail::nan_prefix(out, n);
    double volatility = 0.0;
    for (std::size_t i = 1; i <= n; ++i) volatility += std::fabs(in[i] - in[i - 1]);
    double prev = in[n - 1];
    prev = std::fma(smoothing(std::fabs(in[n] - in[0]), volatility), in[n] - prev, prev);
    out[n] = prev;
    for (std::size_t i = n + 1; i < in.size(); ++i) {
        volatility += std::fabs(in[i] - in[i - 1]);
        volatility -= std::fabs(in[i - n] - in[i - n - 1]);
        const double sc = smoothing(std::fabs(in[i] - in[i - n]), volatility);
        prev = std::fma(sc, in[i] - prev, prev);
        out[i] = prev;
    }
}

}  // namespace kernel

Result<Series> kama(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_kama(in.size(), n); },
                       [&](double* out) { kernel::fill_kama(in, n, out); });
}

}  // namespace indicators
