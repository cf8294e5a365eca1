#include "zj_python/signal_inputs.hpp"

#include <string>

namespace zj_python {

KeySet bar_keys() { return KeySet{"dt", "freq", "open", "high", "low", "close", "vol", "amount"}; }

namespace {

// Reads the eight bar fields through `lookup(k)`, which returns the value of
// the k-th bar key (or an empty Ref) and never raises.
template <class Lookup>
zj_signals::BarPoint read_bar(Lookup&& lookup) {
    zj_signals::BarPoint bar;
    auto text = [&](std::size_t k) -> std::string {
        const Ref v = lookup(k);
        if (auto s = try_str(v.get())) return std::string(*s);
        return {};
    };
    auto number = [&](std::size_t k) -> double {
        const Ref v = lookup(k);
        return try_f64(v.get()).value_or(0.0);
    };
    bar.dt = text(0);
    bar.freq = text(1);
    bar.open = number(2);
    bar.high = number(3);
    bar.low = number(4);
    bar.close = number(5);
    bar.vol = number(6);
    bar.amount = number(7);
    return bar;
}

}  // namespace

zj_signals::BarPoint bar_from_dict(PyObject* dict, const KeySet& keys) {
    const auto f = fields<8>(dict, keys);
    return read_bar([&](std::size_t k) { return Ref::borrow(f[k].get()); });
}

zj_signals::BarPoint bar_from_attributes(PyObject* item, const KeySet& keys) {
    return read_bar([&](std::size_t k) {
        // A missing attribute, or a property that raises, is an absent field.
        Ref v(PyObject_GetAttr(item, keys[k]));
        if (!v) PyErr_Clear();
        return v;
    });
}

std::vector<zj_signals::BarPoint> bars_from_dicts(PyObject* bars) {
    const KeySet keys = bar_keys();
    std::vector<zj_signals::BarPoint> out;
    out.reserve(static_cast<std::size_t>(list_size(bars)));
    for_each_dict(bars, [&](PyObject* item) { out.push_back(bar_from_dict(item, keys)); });
    return out;
}

std::vector<zj_signals::BarPoint> bars_from_items(PyObject* bars) {
    const KeySet keys = bar_keys();
    std::vector<zj_signals::BarPoint> out;
    out.reserve(static_cast<std::size_t>(list_size(bars)));
    for (Py_ssize_t i = 0; i < PyList_Size(bars); ++i) {
        Ref item = Ref::borrow(PyList_GetItem(bars, i));
        if (!item) throw PyErrOccurred{};
        out.push_back(PyDict_Check(item.get()) ? bar_from_dict(item.get(), keys)
                                               : bar_from_attributes(item.get(), keys));
    }
    return out;
}

namespace {

// The "params" dict when it is a non-empty dict of str to str.
bool read_params_dict(PyObject* params, zj_signals::ParamMap& out) {
    if (params == nullptr || !PyDict_Check(params) || PyDict_Size(params) == 0) return false;
    zj_signals::ParamMap map;
    Py_ssize_t pos = 0;
    PyObject *key = nullptr, *value = nullptr;
    while (PyDict_Next(params, &pos, &key, &value)) {
        auto k = try_str(key);
        auto v = try_str(value);
        if (!k || !v) return false;
        map.insert_or_assign(std::string(*k), std::string(*v));
    }
    out = std::move(map);
    return true;
}

bool is_reserved(PyObject* key) {
    return PyUnicode_Check(key) && (PyUnicode_CompareWithASCIIString(key, "name") == 0 ||
                                    PyUnicode_CompareWithASCIIString(key, "freq") == 0 ||
                                    PyUnicode_CompareWithASCIIString(key, "params") == 0);
}

}  // namespace

std::optional<std::string> str_param_text(PyObject* value) {
    if (auto v = try_str(value)) return std::string(*v);
    return std::nullopt;
}

zj_signals::SignalConfig config_from_dict(PyObject* dict, ParamText text) {
    static constexpr const char* kName = "name";
    zj_signals::SignalConfig config;
    Ref name_key = py_str(kName);
    const Field name = field(dict, name_key.get());
    config.name = std::string(name.str(kName));
    Ref freq_key = py_str("freq");
    if (auto f = try_str(field(dict, freq_key.get()).get())) config.freq = std::string(*f);

    Ref params_key = py_str("params");
    const Field params = field(dict, params_key.get());
    if (read_params_dict(params.get(), config.params)) return config;
    // Fallback: the configuration's own entries whose values `text` accepts
    // are the parameters.
    Py_ssize_t pos = 0;
    PyObject *key = nullptr, *value = nullptr;
    while (PyDict_Next(dict, &pos, &key, &value)) {
        if (is_reserved(key)) continue;
        const Ref held_key = Ref::borrow(key), held_value = Ref::borrow(value);
        auto v = text(held_value.get());
        if (!v) continue;
        auto k = try_str(held_key.get());
        config.params.insert_or_assign(k ? std::string(*k) : std::string(), std::move(*v));
    }
    return config;
}

}  // namespace zj_python
