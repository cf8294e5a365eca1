#pragma once
// Reading minute-chart points from lists of dicts, shared by tick_analysis and
// the per-minute marks of zjkit._engine.
#include <vector>

#include "zj_core/tick/types.hpp"
#include "zj_python/boundary/ref.hpp"

namespace zj_python::tick {

// Each dict becomes a TickPoint; keys are read in the order time, price, avg,
// vol, momentum. avg defaults to the price and momentum to 0; the chart words
// its time errors its own way ("Missing 'time' field", "Invalid time string").
std::vector<zj_core::tick::TickPoint> tick_points(PyObject* data);

}  // namespace zj_python::tick
