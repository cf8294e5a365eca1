// Average true range: mean of the first n true ranges, then Wilder smoothing.
#include "indicators/detail.hpp"
#include "indicators/volatility.hpp"

namespace indicators {
namespace kernel {

Check check_atr(std::size_t lh, std::size_t ll, std::size_t lc, std::size_t n) {
    if (auto e = detail::check_hlc_lengths(lh, ll, lc)) return e;
    // A zero period is reported as too little data (need 1), not as a bad
    // parameter, for ATR and the directional indicators alike.
    if (n == 0 || lh <= n) return TaError::insufficient(detail::sat_inc(n), lh);
    return std::nullopt;
}

ZJ_FMA_CLONES void fill_atr(In high, In low, In close, std::size_t n, Out out) {
    detail::nan_prefix(out, n);
    double sum = 0.0;
    for (std::size_t i = 1; i <= n; ++i) sum += detail::true_range(high[i], low[i], close[i - 1]);
    double atr = sum / static_cast<double>(n);
    out[n] = atr;
    const detail::WilderStep step(n);
    for (std::size_t i = n + 1; i < high.size(); ++i) {
        atr = step(atr, detail::true_range(high[i], low[i], close[i - 1]));
        out[i] = atr;
    }
}

}  // namespace kernel

Result<Series> atr(std::span<const double> high, std::span<const double> low, std::span<const double> close,
                   std::size_t n) {
    return detail::run(high.size(), [&] { return kernel::check_atr(high.size(), low.size(), close.size(), n); },
                       [&](double* out) { kernel::fill_atr(high, low, close, n, out); });
}

}  // namespace indicators
