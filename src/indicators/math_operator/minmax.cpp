// Sliding highest / lowest value.
//
// The defining rule: the extreme's position is remembered and the window is
// rescanned only when that position leaves it; ties go to the newest bar, a
// NaN never replaces a number, and a NaN that opens a scan stays the result
// until the next rescan. On NaN-free data that rule always yields the plain
// window extreme, which a block decomposition (van Herk / Gil-Werman) finds
// in a few branch-free steps per value whatever the series' shape; the
// remembered-position scan takes over from the first block holding a NaN.
#include <limits>
#include <vector>

#include "indicators/detail.hpp"
#include "indicators/math_operator.hpp"

namespace indicators {
namespace kernel {

namespace {

struct MaxOrder {
    // Whether candidate c takes the place of extreme e (ties: the newer c).
    static bool takes(double c, double e) { return c >= e; }
    // a if a wins strictly, else b; branch-free on NaN-free data.
    static double pick(double a, double b) { return a > b ? a : b; }
    static constexpr double kWorst = -std::numeric_limits<double>::infinity();
};
struct MinOrder {
    static bool takes(double c, double e) { return c <= e; }
    static double pick(double a, double b) { return a < b ? a : b; }
    static constexpr double kWorst = std::numeric_limits<double>::infinity();
};

// The remembered-position rule from index `from` on. The state it starts
// from is that of a NaN-free window ending at from - 1 (or none at all).
template <class Order>
void rescan_from(In in, std::size_t n, std::size_t from, Out out) {
    double extreme = 0.0;
    std::size_t pos = 0;
    bool have = false;
    if (from > n - 1) {
        // The newest position of the window's extreme, as the rule leaves it.
        pos = from - n;
        extreme = in[pos];
        for (std::size_t j = pos + 1; j < from; ++j)
            if (Order::takes(in[j], extreme)) extreme = in[j], pos = j;
        have = true;
    }
    for (std::size_t today = from; today < in.size(); ++today) {
        const std::size_t trailing = today + 1 - n;
        if (!have || pos < trailing) {
            have = true;
            pos = trailing;
            extreme = in[pos];
            for (std::size_t j = pos + 1; j <= today; ++j)
                if (Order::takes(in[j], extreme)) extreme = in[j], pos = j;
        } else if (Order::takes(in[today], extreme)) {
            extreme = in[today];
            pos = today;
        }
        out[today] = extreme;
    }
}

template <class Order>
void fill_extreme(In in, std::size_t n, Out out) {
    detail::nan_prefix(out, n - 1);
    const std::size_t len = in.size();
    // Blocks of n values. For a window ending at i inside block k (but not at
    // its last index) the extreme combines the suffix extreme of block k-1
    // from the window's start with the prefix extreme of block k up to i; a
    // window that is a whole block is its prefix extreme. The newer side wins
    // ties throughout. One loop runs both carried chains of a block: its own
    // suffix extremes (backward, for the next block) and its outputs
    // (forward); a NaN in the block sends it, and all after it, to the rule.
    std::vector<double> prev_suffix(n), suffix(n);
    for (std::size_t start = 0; start < len; start += n) {
        const double* x = in.data() + start;
        double* o = out + start;
        const std::size_t m = std::min(n, len - start);
        bool nan = false;
        double s = Order::kWorst, p = Order::kWorst;
        if (m == n) {
            for (std::size_t j = 0; j + 1 < n; ++j) {
                const double v = x[n - 1 - j];
                nan |= v != v;
                s = Order::pick(v, s);  // ties: s, the newer
                suffix[n - 1 - j] = s;
                p = Order::pick(p, x[j]);  // ties: x[j], the newer
                o[j] = Order::pick(prev_suffix[j + 1], p);  // ties: p, the newer
            }
            nan |= x[0] != x[0];
            suffix[0] = Order::pick(x[0], s);
            o[n - 1] = Order::pick(p, x[n - 1]);
        } else {
            for (std::size_t j = 0; j < m; ++j) {
                nan |= x[j] != x[j];
                p = Order::pick(p, x[j]);
                o[j] = Order::pick(prev_suffix[j + 1], p);
            }
        }
        if (start == 0) detail::nan_prefix(out, n - 1);  // block 0 has no predecessor
        if (nan) {
            rescan_from<Order>(in, n, std::max(start, n - 1), out);
            return;
        }
        prev_suffix.swap(suffix);
    }
}

}  // namespace

Check check_max(std::size_t len, std::size_t n) {
    if (n == 0) return detail::bad_period(n, "must be >= 1");
    if (len < n) return TaError::insufficient(n, len);
    return std::nullopt;
}

void fill_max(In in, std::size_t n, Out out) { fill_extreme<MaxOrder>(in, n, out); }
void fill_min(In in, std::size_t n, Out out) { fill_extreme<MinOrder>(in, n, out); }

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
