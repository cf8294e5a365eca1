// Simple moving average with a carried window sum.
#include "indicators/detail.hpp"
#include "indicators/overlap.hpp"
#include "indicators/simd.hpp"

namespace indicators {
namespace kernel {

Check check_sma(std::size_t len, std::size_t n) {
    if (n == 0) return detail::bad_period(n, "must be >= 1");
    if (len < n) return TaError::insufficient(n, len);
    return std::nullopt;
}

void fill_sma(In in, std::size_t n, Out out) {
    detail::nan_prefix(out, n - 1);
    const double dn = static_cast<double>(n);
    double sum = seed_sum(in.first(n));
    // A window of n equal values averages to that value exactly, whatever
    // rounding residue the carried sum holds (a suspended stock repeats one
    // price for weeks). `run` is the length of the run of equal values ending
    // at the current one; a sum made NaN by an earlier NaN or infinity stays NaN.
    std::size_t run = 1;
    for (std::size_t j = 1; j < n; ++j) run = in[j] == in[j - 1] ? run + 1 : 1;
    const auto average = [&](std::size_t i) {
        const double mean = sum / dn;
        return run >= n && mean == mean ? in[i] : mean;
    };
    out[n - 1] = average(n - 1);
    // Dropping the oldest value before adding the newest keeps period 1 exact.
    for (std::size_t i = n; i < in.size(); ++i) {
        sum = (sum - in[i - n]) + in[i];
        run = in[i] == in[i - 1] ? run + 1 : 1;
        out[i] = average(i);
    }
}

}  // namespace kernel

Result<Series> sma(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_sma(in.size(), n); },
                       [&](double* out) { kernel::fill_sma(in, n, out); });
}

}  // namespace indicators
