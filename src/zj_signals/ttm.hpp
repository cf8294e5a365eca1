#pragma once
// TTM squeeze: a momentum line (regression of close against the mean of the
// Donchian midpoint and the close's average), its shape over four bars, and
// whether the Bollinger bands sit inside the Keltner channel.
#include <span>
#include <string_view>
#include <vector>

#include "zj_signals/types.hpp"

namespace zj_signals::ttm {

// Shape of the momentum over the current value m0 and the three before it
// (none NaN): crosses, their day after, rebounds and turns.
std::string_view shape_label(double m0, double m1, double m2, double m3);
// Squeeze on this bar (s0) and the one before (s1).
std::string_view squeeze_label(bool s0, bool s1);

// One record per bar. A period the indicator library rejects ("n1" or "n3"
// of 0) throws zj_core::InternalFailure carrying the library's error text.
std::vector<SignalOutput> compute_ttm_signal(const BarColumns& bars, const ParamMap& params);

}  // namespace zj_signals::ttm
