#pragma once
// Bars and signal configurations read from Python, shared by the signal entry
// points. Bar fields are lenient: an absent or unconvertible value takes its
// default and never raises.
#include <vector>

#include "zj_python/boundary/records.hpp"
#include "zj_signals/types.hpp"

namespace zj_python {

// Keys of a bar, in BarPoint order.
KeySet bar_keys();
// One bar from a dict.
zj_signals::BarPoint bar_from_dict(PyObject* dict, const KeySet& keys);
// Every item of `bars` must be a dict.
std::vector<zj_signals::BarPoint> bars_from_dicts(PyObject* bars);

// One configuration dict (parameter values must be str; see
// generate_zj_signals). Raises "Missing 'name'" and the name's conversion
// error.
zj_signals::SignalConfig config_from_dict(PyObject* dict);

}  // namespace zj_python
