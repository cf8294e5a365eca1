#include "indicators/cycle.hpp"

namespace indicators::cycle {

double CycleState::phase_step(double smoothed, bool even_bar) {
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

void CycleState::period_step() {
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
