// Linearly weighted moving average (weights 1..n, newest heaviest).
#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"

namespace indicators {
namespace kernel {

Check check_wma(std::size_t len, std::size_t n) { return check_sma(len, n); }

void fill_wma(In in, std::size_t n, Out out) {
    detail::nan_prefix(out, n - 1);
    const double dn = static_cast<double>(n);
    const double divisor = dn * (dn + 1.0) / 2.0;
    double weighted = 0.0, simple = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        weighted += static_cast<double>(j + 1) * in[j];
        simple += in[j];
    }
    out[n - 1] = weighted / divisor;
    for (std::size_t i = n; i < in.size(); ++i) {
        // Every old weight drops by one (minus the previous window's sum), the
        // newest value enters with weight n.
        weighted = (weighted - simple) + dn * in[i];
        simple = (simple - in[i - n]) + in[i];
        out[i] = weighted / divisor;
    }
}

}  // namespace kernel

Result<Series> wma(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_wma(in.size(), n); },
                       [&](double* out) { kernel::fill_wma(in, n, out); });
}

}  // namespace indicators
