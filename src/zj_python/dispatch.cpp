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
    const zj_signals::BarTable columns = zj_signals::BarTable::from_points(points);
    std::vector<zj_signals::SignalConfig> configs;
    configs.reserve(static_cast<std::size_t>(PyList_Size(signals_config)));
    ConfigReader().each(signals_config, &str_param_text,
                        [&](zj_signals::SignalConfig&& config, PyObject*) { configs.push_back(std::move(config)); });

    const KeySet keys{"name", "freq", "v1", "v2", "v3"};
    StrCache texts[5];  // one per field: each field's texts repeat on their own
    Ref out = Ref::check(PyList_New(0));
    // Each record dict starts as a copy of the one before it (a copy clones the
    // key table) and only the texts that differ are set. Records of one block
    // share name and freq, and neighbouring bars often share labels.
    Ref previous;
    const zj_signals::SignalOutput* prev = nullptr;
    zj_signals::dispatch_each(configs, columns.columns(), [&](const zj_signals::SignalConfig&,
                                                   std::vector<zj_signals::SignalOutput>& block) {
        for (const zj_signals::SignalOutput& r : block) {
            const std::string_view values[] = {r.name, r.freq, r.v1, r.v2, r.v3};
            Ref d = Ref::check(previous ? PyDict_Copy(previous.get()) : PyDict_New());
            for (std::size_t k = 0; k < 5; ++k) {
                if (prev != nullptr) {
                    const std::string_view before[] = {prev->name, prev->freq, prev->v1, prev->v2, prev->v3};
                    if (before[k].data() == values[k].data() && before[k].size() == values[k].size()) continue;
                }
                Ref v = texts[k].get(values[k]);
                if (PyDict_SetItem(d.get(), keys[k], v.get()) < 0) throw PyErrOccurred{};
            }
            if (PyList_Append(out.get(), d.get()) < 0) throw PyErrOccurred{};
            previous = std::move(d);
            prev = &r;
        }
        prev = nullptr;  // the block's records go away; compare texts again from the next block on
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
