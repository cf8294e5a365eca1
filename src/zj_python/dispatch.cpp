// generate_zj_signals and zj_signal_list: the built-in signals over plain bars.
#include <cstdio>

#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/str_cache.hpp"
#include "zj_python/module.hpp"
#include "zj_python/signal_inputs.hpp"
#include "zj_signals/signals.hpp"

namespace zj_python {
namespace {

Ref generate_zj_signals(PyObject* signals_config, PyObject* bars) {
    zj_signals::register_builtins();
    std::fprintf(stderr, "[zj_python] dispatch: registry has %zu signals\n", zj_signals::signal_count());

    // Bars first, so a bad bar item is reported even when a configuration is bad too.
    const std::vector<zj_signals::BarPoint> points = bars_from_dicts(bars);
    std::vector<zj_signals::SignalConfig> configs;
    configs.reserve(static_cast<std::size_t>(list_size(signals_config)));
    for_each_dict(signals_config, [&](PyObject* item) { configs.push_back(config_from_dict(item)); });

    const KeySet keys{"name", "freq", "v1", "v2", "v3"};
    // Each record starts as a copy of a template that already holds the five
    // keys in order (a copy clones the key table), then gets its values.
    Ref record_template = Ref::check(PyDict_New());
    for (std::size_t k = 0; k < 5; ++k)
        if (PyDict_SetItem(record_template.get(), keys[k], Py_None) < 0) throw PyErrOccurred{};
    StrCache texts;
    Ref out = Ref::check(PyList_New(0));
    // Blocks are converted as they are made, so only one is held at a time.
    zj_signals::dispatch_each(configs, points, [&](const zj_signals::SignalConfig&,
                                                   std::vector<zj_signals::SignalOutput>& block) {
        for (const zj_signals::SignalOutput& r : block) {
            Ref d = Ref::check(PyDict_Copy(record_template.get()));
            const std::string_view values[] = {r.name, r.freq, r.v1, r.v2, r.v3};
            for (std::size_t k = 0; k < 5; ++k) {
                Ref v = texts.get(values[k]);
                if (PyDict_SetItem(d.get(), keys[k], v.get()) < 0) throw PyErrOccurred{};
            }
            if (PyList_Append(out.get(), d.get()) < 0) throw PyErrOccurred{};
        }
    });
    return out;
}

Ref zj_signal_list() {
    zj_signals::register_builtins();
    const std::vector<std::string> names = zj_signals::list_signal_names();
    Ref out = Ref::check(PyList_New(static_cast<Py_ssize_t>(names.size())));
    for (std::size_t i = 0; i < names.size(); ++i)
        PyList_SetItem(out.get(), static_cast<Py_ssize_t>(i), py_str(names[i]).release());
    return out;
}

constexpr clinic::Function kGenerateZjSignals{"generate_zj_signals", clinic::List{"signals_config"},
                                              clinic::List{"bars"}};
constexpr clinic::NoArgs kZjSignalList{"zj_signal_list"};

}  // namespace

void register_dispatch(PyObject* module) {
    zj_signals::register_builtins();
    add_function(module, clinic::method<kGenerateZjSignals, generate_zj_signals>());
    add_function(module, clinic::noargs_method<kZjSignalList, zj_signal_list>());
}

}  // namespace zj_python
