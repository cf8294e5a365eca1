// Plus and minus directional indicators (+DI, -DI).
#include "indicators/momentum.hpp"
#include "indicators/momentum/directional.hpp"

namespace indicators {
namespace kernel {

namespace {

// Only the one movement sum this line needs is carried (each smoothing step
// costs a division).
template <bool Plus>
void fill_di(In high, In low, In close, std::size_t n, Out out) {
    detail::nan_prefix(out, n);
    const double dn = static_cast<double>(n);
    const detail::DirectionalSums seed = detail::directional_seed(high, low, close, n);
    double dm = Plus ? seed.plus_dm : seed.minus_dm, tr = seed.tr;
    for (std::size_t i = n; i < high.size(); ++i) {
        const detail::DirectionalMove m = detail::directional_move(high, low, close, i);
        dm = dm - dm / dn + (Plus ? m.plus_dm : m.minus_dm);
        tr = tr - tr / dn + m.tr;
        out[i] = detail::directional_index(dm, tr);
    }
}

}  // namespace

void fill_plus_di(In high, In low, In close, std::size_t n, Out out) { fill_di<true>(high, low, close, n, out); }
void fill_minus_di(In high, In low, In close, std::size_t n, Out out) {
    fill_di<false>(high, low, close, n, out);
}

}  // namespace kernel

Result<Series> plus_di(Hlc high, Hlc low, Hlc close, std::size_t n) {
    return detail::run(high.size(), [&] { return kernel::check_atr(high.size(), low.size(), close.size(), n); },
                       [&](double* out) { kernel::fill_plus_di(high, low, close, n, out); });
}

Result<Series> minus_di(Hlc high, Hlc low, Hlc close, std::size_t n) {
    return detail::run(high.size(), [&] { return kernel::check_atr(high.size(), low.size(), close.size(), n); },
                       [&](double* out) { kernel::fill_minus_di(high, low, close, n, out); });
}

}  // namespace indicators
