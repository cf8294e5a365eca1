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

// Defined here so that the MAMA loop can inline them.
inline double CycleState::phase_step(double smoothed, bool even_bar) {
    const double adjusted = 0.075 * period + 0.54;
    double phase;
    if (even_bar) {
        const double det = detrender.step(detrender.even, smoothed, hilbert_idx, adjusted);
        const double q1v = q1.step(q1.even, det, hilbert_idx, adjusted);
        const double jiv = ji.step(ji.even, i1_even_prev3, hilbert_idx, adjusted);
        const double jqv = jq.step(jq.even, q1v, hilbert_idx, adjusted);
        if (++hilbert_idx == 3) hilbert_idx = 0;
        q2_ = 0.2 * (q1v + jiv) + 0.8 * prev_q2;
        i2_ = 0.2 * (i1_even_prev3 - jqv) + 0.8 * prev_i2;
        i1_odd_prev3 = i1_odd_prev2;
        i1_odd_prev2 = det;
        phase = i1_even_prev3 != 0.0 ? std::atan(q1v / i1_even_prev3) * kRad2Deg : 0.0;
    } else {
        const double det = detrender.step(detrender.odd, smoothed, hilbert_idx, adjusted);
        const double q1v = q1.step(q1.odd, det, hilbert_idx, adjusted);
        const double jiv = ji.step(ji.odd, i1_odd_prev3, hilbert_idx, adjusted);
        const double jqv = jq.step(jq.odd, q1v, hilbert_idx, adjusted);
        q2_ = 0.2 * (q1v + jiv) + 0.8 * prev_q2;
        i2_ = 0.2 * (i1_odd_prev3 - jqv) + 0.8 * prev_i2;
        i1_even_prev3 = i1_even_prev2;
        i1_even_prev2 = det;
        phase = i1_odd_prev3 != 0.0 ? std::atan(q1v / i1_odd_prev3) * kRad2Deg : 0.0;
    }
    const double delta = prev_phase - phase;
    prev_phase = phase;
    return delta;
}

inline void CycleState::period_step() {
    re = 0.2 * (i2_ * prev_i2 + q2_ * prev_q2) + 0.8 * re;
    im = 0.2 * (i2_ * prev_q2 - q2_ * prev_i2) + 0.8 * im;
    prev_q2 = q2_;
    prev_i2 = i2_;
    const double last = period;
    if (im != 0.0 && re != 0.0) period = 360.0 / (std::atan(im / re) * kRad2Deg);
    if (period > 1.5 * last) period = 1.5 * last;
    if (period < 0.67 * last) period = 0.67 * last;
    if (period < 6.0)
        period = 6.0;
    else if (period > 50.0)
        period = 50.0;
    period = 0.2 * period + 0.8 * last;
}

}  // namespace indicators::cycle
