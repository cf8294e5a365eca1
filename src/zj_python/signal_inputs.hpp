#pragma once
// Bars and signal configurations read from Python, shared by the signal entry
// points. Bar fields are lenient: an absent or unconvertible value takes its
// default ("" or 0.0); only an error that is not a failed conversion raises.
#include <optional>
#include <string>
#include <vector>

#include "zj_python/boundary/records.hpp"
#include "zj_signals/types.hpp"

namespace zj_python {

// Every item of `bars` must be a dict.
std::vector<zj_signals::BarPoint> bars_from_dicts(PyObject* bars);
// Dict items are read by key, any other item (czsc's RawBar, say) by attribute.
std::vector<zj_signals::BarPoint> bars_from_items(PyObject* bars);

// How a top-level entry of a configuration becomes a parameter text when its
// "params" dict is not used; nullopt skips the entry. Never raises.
using ParamText = std::optional<std::string> (*)(PyObject* value);
// str values only (generate_zj_signals).
std::optional<std::string> str_param_text(PyObject* value);

// Reads the configurations of `list` (dicts). For each one, `fn(config,
// item)` gets "params" when it is a non-empty dict of str to str, else the
// other entries through `text`; `item` is the configuration's dict. Raises
// "Missing 'name'" and the name's conversion error.
class ConfigReader {
public:
    ConfigReader();
    template <class Fn>
    void each(PyObject* list, ParamText text, Fn&& fn) const {
        reader_.each(list, [&](Record& r) { fn(read(r, text), r.item()); });
    }

private:
    zj_signals::SignalConfig read(Record& r, ParamText text) const;
    RecordReader reader_;
};

}  // namespace zj_python
