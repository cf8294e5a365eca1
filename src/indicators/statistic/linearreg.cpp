// Least-squares line over a sliding window, from carried sums of y and x·y.
#include "indicators/detail.hpp"
#include "indicators/statistic.hpp"

namespace indicators {
namespace kernel {

Check check_linearreg(std::size_t len, std::size_t n) {
    if (n < 2) return detail::bad_period(n, "must be >= 2");
    if (len < n) return TaError::insufficient(n, len);
    return std::nullopt;
}

namespace {

// Calls emit(i, slope, intercept) for every window end i from n-1 on.
template <class Emit>
void regress(In in, std::size_t n, Emit emit) {
    const double dn = static_cast<double>(n);
    const double sum_x = dn * (dn - 1.0) / 2.0;
    const double sum_xx = (dn - 1.0) * dn * (2.0 * dn - 1.0) / 6.0;
    const double divisor = dn * sum_xx - sum_x * sum_x;
    const double newest_x = dn - 1.0;
    double sum_y = 0.0, sum_xy = 0.0;
    // Length of the run of equal values ending at the current one. A window
    // of n equal values is a flat line: slope 0 and that value, exactly,
    // whatever rounding residue the carried sums hold. Sums made NaN by an
    // earlier NaN or infinity stay NaN.
    std::size_t run = 0;
    for (std::size_t j = 0; j < n; ++j) {
        sum_y += in[j];
        sum_xy += static_cast<double>(j) * in[j];
        run = j > 0 && in[j] == in[j - 1] ? run + 1 : 1;
    }
    for (std::size_t i = n - 1;;) {
        const double slope = (dn * sum_xy - sum_x * sum_y) / divisor;
        if (run >= n && slope == slope)
            emit(i, 0.0, in[i]);
        else
            emit(i, slope, (sum_y - sum_x * slope) / dn);
        if (++i == in.size()) break;
        // Slide by one: every x drops by one (the oldest value leaves with
        // x = 0), the newest enters at x = n - 1.
        const double rest = sum_y - in[i - n];
        sum_xy = (sum_xy - rest) + newest_x * in[i];
        sum_y = rest + in[i];
        run = in[i] == in[i - 1] ? run + 1 : 1;
    }
}

}  // namespace

void fill_linearreg_components(In in, std::size_t n, Out slope, Out intercept) {
    detail::nan_prefix(slope, n - 1);
    detail::nan_prefix(intercept, n - 1);
    regress(in, n, [&](std::size_t i, double m, double b) {
        slope[i] = m;
        intercept[i] = b;
    });
}

void fill_linearreg(In in, std::size_t n, Out out) {
    detail::nan_prefix(out, n - 1);
    const double newest_x = static_cast<double>(n) - 1.0;
    regress(in, n, [&](std::size_t i, double m, double b) { out[i] = b + m * newest_x; });
}

}  // namespace kernel

Result<RegressionLines> linearreg_components(std::span<const double> in, std::size_t n) {
    if (auto e = kernel::check_linearreg(in.size(), n)) return std::move(*e);
    RegressionLines r{Series(in.size()), Series(in.size())};
    kernel::fill_linearreg_components(in, n, r.slope.data(), r.intercept.data());
    return r;
}

Result<Series> linearreg(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_linearreg(in.size(), n); },
                       [&](double* out) { kernel::fill_linearreg(in, n, out); });
}

}  // namespace indicators
