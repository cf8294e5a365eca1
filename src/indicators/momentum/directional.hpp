#pragma once
// Wilder's smoothed directional movement and true range, shared by +DI, -DI
// and ADX (internal to the library).
#include "indicators/detail.hpp"

namespace indicators::detail {

struct DirectionalSums {
    double plus_dm = 0.0, minus_dm = 0.0, tr = 0.0;
};

struct DirectionalMove {
    double plus_dm, minus_dm, tr;
};

// Movement of bar i (i >= 1) against bar i - 1.
inline DirectionalMove directional_move(kernel::In high, kernel::In low, kernel::In close, std::size_t i) {
    const double up = high[i] - high[i - 1];
    const double down = low[i - 1] - low[i];
    // up when up > 0 and up > down, else 0 (a NaN compares false): two
    // selects that compile without branches.
    const double plus = up > down ? up : 0.0, minus = down > up ? down : 0.0;
    return {plus > 0.0 ? plus : 0.0, minus > 0.0 ? minus : 0.0, true_range(high[i], low[i], close[i - 1])};
}

// Sums of bars 1 .. n-1: the seeds of the smoothing.
inline DirectionalSums directional_seed(kernel::In high, kernel::In low, kernel::In close, std::size_t n) {
    DirectionalSums s;
    for (std::size_t i = 1; i < n; ++i) {
        const DirectionalMove m = directional_move(high, low, close, i);
        s.plus_dm += m.plus_dm;
        s.minus_dm += m.minus_dm;
        s.tr += m.tr;
    }
    return s;
}

// s <- s - s/n + today, for bar i >= n.
inline void directional_smooth(DirectionalSums& s, const DirectionalMove& m, double dn) {
    s.plus_dm = s.plus_dm - s.plus_dm / dn + m.plus_dm;
    s.minus_dm = s.minus_dm - s.minus_dm / dn + m.minus_dm;
    s.tr = s.tr - s.tr / dn + m.tr;
}

// 100 · dm / tr, or 0 when the true-range sum is not positive (a NaN sum
// passes through as NaN).
inline double directional_index(double dm, double tr) { return tr <= 0.0 ? 0.0 : 100.0 * (dm / tr); }

}  // namespace indicators::detail
