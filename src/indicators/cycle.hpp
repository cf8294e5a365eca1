#pragma once
// Hilbert-transform building blocks of the MESA adaptive moving average.
#include <cmath>

namespace indicators::cycle {

inline constexpr double kHilbertA = 0.0962;
inline constexpr double kHilbertB = 0.5769;
inline const double kRad2Deg = 180.0 / (4.0 * std::atan(1.0));

// One Hilbert-transform filter with its even-bar and odd-bar state sets of
// three. Each bar feeds the set of its parity; the ring index advances after
// every even bar.
struct HilbertFilter {
    struct Set {
        double ring[3] = {0.0, 0.0, 0.0};
        double prev = 0.0;
        double prev_input = 0.0;
    };
    Set even, odd;
    double value = 0.0;

    // Advances the set for this bar's parity; returns the filtered value.
    double step(Set& s, double input, int idx, double adjusted_period) {
        const double t = kHilbertA * input;
        double v = -s.ring[idx];
        s.ring[idx] = t;
        v += t;
        v -= s.prev;
        s.prev = kHilbertB * s.prev_input;
        v += s.prev;
        s.prev_input = input;
        v *= adjusted_period;
        value = v;
        return v;
    }
};

// The state of the cycle measurement that drives MAMA's adaptive factor.
struct CycleState {
    HilbertFilter detrender, q1, ji, jq;
    int hilbert_idx = 0;
    double period = 0.0;
    double prev_i2 = 0.0, prev_q2 = 0.0;
    double re = 0.0, im = 0.0;
    double i1_odd_prev3 = 0.0, i1_even_prev3 = 0.0;
    double i1_odd_prev2 = 0.0, i1_even_prev2 = 0.0;
    double prev_phase = 0.0;

    // Runs one bar of smoothed price; returns the phase change (degrees,
    // before any lower limit) since the previous bar.
    double phase_step(double smoothed, bool even_bar);
    // Updates the dominant-period estimate after the bar's output.
    void period_step();

private:
    double i2_ = 0.0, q2_ = 0.0;
};

}  // namespace indicators::cycle
