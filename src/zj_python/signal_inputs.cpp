#include "zj_python/signal_inputs.hpp"

#include <string>

namespace zj_python {

namespace {

namespace schema = zj_core::schema;

// Field indices of the bar record kind.
enum Bar : std::size_t { kDt, kFreq, kOpen, kHigh, kLow, kClose, kVol, kAmount };

zj_signals::BarPoint read_bar(Record& r) {
    zj_signals::BarPoint bar;
    bar.dt = r.text_or_empty(kDt);
    bar.freq = r.text_or_empty(kFreq);
    bar.open = r.f64_or(kOpen, 0.0);
    bar.high = r.f64_or(kHigh, 0.0);
    bar.low = r.f64_or(kLow, 0.0);
    bar.close = r.f64_or(kClose, 0.0);
    bar.vol = r.f64_or(kVol, 0.0);
    bar.amount = r.f64_or(kAmount, 0.0);
    return bar;
}

std::vector<zj_signals::BarPoint> read_bars(PyObject* bars, bool attributes) {
    const RecordReader reader(schema::kBar, {.attributes = attributes});
    std::vector<zj_signals::BarPoint> out;
    out.reserve(static_cast<std::size_t>(PyList_Size(bars)));
    reader.each(bars, [&](Record& r) { out.push_back(read_bar(r)); });
    return out;
}

// A configuration: its signal's name, frequency and parameters ("params", a
// dict of str to str, when given).
constexpr schema::Field kConfigFields[] = {
    {"name", schema::Kind::Text, true, {}},
    {"freq", schema::Kind::Text, false, {}},
    {"params", schema::Kind::Text, false, {}},
};
constexpr schema::RecordSchema kConfig{"configuration", kConfigFields};
enum Config : std::size_t { kName, kConfigFreq, kParams };

// The entries of a dict as a list of (key, value) pairs of our own, so that
// reading them cannot be disturbed by changes to the dict.
Ref items_of(PyObject* dict) { return Ref::check(PyDict_Items(dict)); }

template <class Fn>
void for_each_pair(PyObject* items, Fn&& fn) {
    const Py_ssize_t n = PyList_Size(items);
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* pair = PyList_GetItem(items, i);  // our list: its items stay
        fn(PyTuple_GetItem(pair, 0), PyTuple_GetItem(pair, 1));
    }
}

// The "params" dict when it is a non-empty dict of str to str.
bool read_params_dict(PyObject* params, zj_signals::ParamMap& out) {
    if (params == nullptr || !PyDict_Check(params) || PyDict_Size(params) == 0) return false;
    zj_signals::ParamMap map;
    const Ref items = items_of(params);
    bool all_text = true;
    for_each_pair(items.get(), [&](PyObject* key, PyObject* value) {
        if (!all_text) return;
        auto k = try_str(key);
        auto v = try_str(value);
        if (!k || !v) {
            all_text = false;
            return;
        }
        map.insert_or_assign(std::string(*k), std::string(*v));
    });
    if (!all_text) return false;
    out = std::move(map);
    return true;
}

bool is_reserved(PyObject* key) {
    return PyUnicode_Check(key) && (PyUnicode_CompareWithASCIIString(key, "name") == 0 ||
                                    PyUnicode_CompareWithASCIIString(key, "freq") == 0 ||
                                    PyUnicode_CompareWithASCIIString(key, "params") == 0);
}

}  // namespace

std::vector<zj_signals::BarPoint> bars_from_dicts(PyObject* bars) { return read_bars(bars, false); }
std::vector<zj_signals::BarPoint> bars_from_items(PyObject* bars) { return read_bars(bars, true); }

std::optional<std::string> str_param_text(PyObject* value) {
    if (auto v = try_str(value)) return std::string(*v);
    return std::nullopt;
}

ConfigReader::ConfigReader() : reader_(kConfig) {}

zj_signals::SignalConfig ConfigReader::read(Record& r, ParamText text) const {
    zj_signals::SignalConfig config;
    config.name = std::string(r.str(kName));
    if (auto f = try_str(r.get(kConfigFreq))) config.freq = std::string(*f);
    r.at(kParams);
    if (read_params_dict(r.get(kParams), config.params)) return config;
    // Fallback: the configuration's own entries whose values `text` accepts
    // are the parameters.
    const Ref items = items_of(r.item());
    for_each_pair(items.get(), [&](PyObject* key, PyObject* value) {
        if (is_reserved(key)) return;
        auto v = text(value);
        if (!v) return;
        auto k = try_str(key);
        config.params.insert_or_assign(k ? std::string(*k) : std::string(), std::move(*v));
    });
    return config;
}

}  // namespace zj_python
