// Average directional index (ADX) and its rating (ADXR).
#include <cmath>

#include "indicators/momentum.hpp"
#include "indicators/momentum/directional.hpp"

namespace indicators {
namespace kernel {

Check check_adx(std::size_t lh, std::size_t ll, std::size_t lc, std::size_t n) {
    if (auto e = detail::check_hlc_lengths(lh, ll, lc)) return e;
    if (n < 2) return detail::bad_period(n, "must be >= 2");
    const std::size_t need = detail::sat_mul(2, n);
    if (lh < need) return TaError::insufficient(need, lh);
    return std::nullopt;
}

namespace {

// DX of one bar, or nothing when the true-range sum is not positive.
struct Dx {
    bool defined;
    double value;
};

Dx directional_dx(const detail::DirectionalSums& s) {
    if (s.tr <= 0.0) return {false, 0.0};
    const double scale = 100.0 / s.tr;
    const double plus = s.plus_dm * scale;
    const double minus = s.minus_dm * scale;
    const double total = plus + minus;
    if (total <= 0.0) return {true, 0.0};
    return {true, 100.0 * (std::fabs(plus - minus) / total)};
}

}  // namespace

ZJ_FMA_CLONES void fill_adx(In high, In low, In close, std::size_t n, Out out) {
    const std::size_t first = 2 * n - 1;
    detail::nan_prefix(out, first);
    const double dn = static_cast<double>(n);
    detail::DirectionalSums s = detail::directional_seed(high, low, close, n);

    // The first ADX is the mean of the defined DX values of bars n .. 2n-1;
    // with none defined it starts from 0.
    double sum = 0.0;
    std::size_t count = 0;
    Dx dx{false, 0.0};
    for (std::size_t i = n; i <= first; ++i) {
        detail::directional_smooth(s, detail::directional_move(high, low, close, i), dn);
        dx = directional_dx(s);
        if (dx.defined) {
            sum += dx.value;
            ++count;
        }
    }
    double adx = count ? sum / static_cast<double>(count) : 0.0;
    out[first] = dx.defined ? adx : 0.0;
    const detail::WilderStep step(n);
    for (std::size_t i = first + 1; i < high.size(); ++i) {
        detail::directional_smooth(s, detail::directional_move(high, low, close, i), dn);
        dx = directional_dx(s);
        if (dx.defined) {
            adx = step(adx, dx.value);
            out[i] = adx;
        } else {
            out[i] = 0.0;  // ADX carries on unchanged behind this bar
        }
    }
}

void fill_adxr(In high, In low, In close, std::size_t n, Out out) {
    fill_adx(high, low, close, n, out);
    const std::size_t len = high.size();
    const std::size_t first = std::min(len, 3 * n - 2);
    // Newest first, so that the older ADX each entry needs is still in place.
    for (std::size_t i = len; i-- > first;) {
        const double r = (out[i] + out[i - (n - 1)]) * 0.5;
        out[i] = r == r ? r : 0.0;  // 0 unless both are defined
    }
    detail::nan_prefix(out, first);
}

}  // namespace kernel

Result<Series> adx(Hlc high, Hlc low, Hlc close, std::size_t n) {
    return detail::run(high.size(), [&] { return kernel::check_adx(high.size(), low.size(), close.size(), n); },
                       [&](double* out) { kernel::fill_adx(high, low, close, n, out); });
}

Result<Series> adxr(Hlc high, Hlc low, Hlc close, std::size_t n) {
    return detail::run(high.size(), [&] { return kernel::check_adx(high.size(), low.size(), close.size(), n); },
                       [&](double* out) { kernel::fill_adxr(high, low, close, n, out); });
}

}  // namespace indicators
