#pragma once
// Bars and signal configurations read from Python, shared by the signal entry
// points. Bar fields are lenient: an absent or unconvertible value takes its
// default and never raises.
#include <optional>
#include <string>
#include <vector>

#include "zj_python/boundary/records.hpp"
#include "zj_signals/types.hpp"

namespace zj_python {

// Keys of a bar, in BarPoint order.
KeySet bar_keys();
// One bar from a dict.
zj_signals::BarPoint bar_from_dict(PyObject* dict, const KeySet& keys);
// One bar from any object carrying the same names as attributes.
zj_signals::BarPoint bar_from_attributes(PyObject* item, const KeySet& keys);
// Every item of `bars` must be a dict.
std::vector<zj_signals::BarPoint> bars_from_dicts(PyObject* bars);
// Dict items are read by key, any other item by attribute.
std::vector<zj_signals::BarPoint> bars_from_items(PyObject* bars);

// How a top-level entry of a configuration becomes a parameter text when its
// "params" dict is not used; nullopt skips the entry. Never raises.
using ParamText = std::optional<std::string> (*)(PyObject* value);
// str values only (generate_zj_signals).
std::optional<std::string> str_param_text(PyObject* value);

// One configuration dict: "params" when it is a non-empty dict of str to str,
// else the other entries through `text`. Raises "Missing 'name'" and the
// name's conversion error.
zj_signals::SignalConfig config_from_dict(PyObject* dict, ParamText text = &str_param_text);

}  // namespace zj_python
