#include "zj_python/signal_inputs.hpp"

#include <string>

namespace zj_python {

KeySet bar_keys() { return KeySet{"dt", "freq", "open", "high", "low", "close", "vol", "amount"}; }

zj_signals::BarPoint bar_from_dict(PyObject* dict, const KeySet& keys) {
    zj_signals::BarPoint bar;
    auto text = [&](std::size_t k) -> std::string {
        const Field f = field(dict, keys[k]);
        if (auto s = try_str(f.get())) return std::string(*s);
        return {};
    };
    auto number = [&](std::size_t k) -> double {
        const Field f = field(dict, keys[k]);
        return try_f64(f.get()).value_or(0.0);
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

std::vector<zj_signals::BarPoint> bars_from_dicts(PyObject* bars) {
    const KeySet keys = bar_keys();
    std::vector<zj_signals::BarPoint> out;
    out.reserve(static_cast<std::size_t>(list_size(bars)));
    for_each_dict(bars, [&](PyObject* item) { out.push_back(bar_from_dict(item, keys)); });
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

zj_signals::SignalConfig config_from_dict(PyObject* dict) {
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
    // Fallback: the configuration's own str-valued entries are the parameters.
    Py_ssize_t pos = 0;
    PyObject *key = nullptr, *value = nullptr;
    while (PyDict_Next(dict, &pos, &key, &value)) {
        if (is_reserved(key)) continue;
        auto v = try_str(value);
        if (!v) continue;
        auto k = try_str(key);
        config.params.insert_or_assign(k ? std::string(*k) : std::string(), std::string(*v));
    }
    return config;
}

}  // namespace zj_python
