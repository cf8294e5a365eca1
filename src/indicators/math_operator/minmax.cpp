// Sliding highest / lowest value with the extreme's position remembered; the
// window is rescanned only when that position leaves it.
#include "indicators/detail.hpp"
#include "indicators/math_operator.hpp"

namespace indicators {
namespace kernel {

namespace {

// Better(a, b): a takes b's place as the extreme (ties go to the newer a).
template <class Better>
void fill_extreme(In in, std::size_t n, Out out, Better better) {
    detail::nan_prefix(out, n - 1);
    double extreme = 0.0;
    std::size_t pos = 0;
    bool have = false;
    for (std::size_t today = n - 1, trailing = 0; today < in.size(); ++today, ++trailing) {
        const double v = in[today];
        if (!have || pos < trailing) {
            have = true;
            pos = trailing;
            extreme = in[pos];
            for (std::size_t j = pos + 1; j <= today; ++j) {
                if (better(in[j], extreme)) {
                    extreme = in[j];
                    pos = j;
                }
            }
        } else if (better(v, extreme)) {
            extreme = v;
            pos = today;
        }
        out[today] = extreme;
    }
}

}  // namespace

Check check_max(std::size_t len, std::size_t n) {
    if (n == 0) return detail::bad_period(n, "must be >= 1");
    if (len < n) return TaError::insufficient(n, len);
    return std::nullopt;
}

void fill_max(In in, std::size_t n, Out out) {
    fill_extreme(in, n, out, [](double c, double e) { return c >= e; });
}

void fill_min(In in, std::size_t n, Out out) {
    fill_extreme(in, n, out, [](double c, double e) { return c <= e; });
}

}  // namespace kernel

Result<Series> max(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_max(in.size(), n); },
                       [&](double* out) { kernel::fill_max(in, n, out); });
}

Result<Series> min(std::span<const double> in, std::size_t n) {
    return detail::run(in.size(), [&] { return kernel::check_max(in.size(), n); },
                       [&](double* out) { kernel::fill_min(in, n, out); });
}

}  // namespace indicators
