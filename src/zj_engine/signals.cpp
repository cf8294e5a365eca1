// signals: built-in signals over a table of bars (zjkit.frame.signals).
//
// The table is read through the column reader, configurations are checked
// strictly against each signal's declared parameters, and everything after
// reading runs with the GIL released on a pool of threads. Results come back
// as buffers of codes with their tables of texts; zjkit.frame builds the
// caller's flavour of table from them.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "zj_engine/binding.hpp"
#include "zj_engine/signal_frame.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/columns.hpp"
#include "zj_python/signal_table.hpp"
#include "zj_signals/params.hpp"
#include "zj_signals/signals.hpp"

namespace zj_engine {
namespace {

namespace clinic = zj_python::clinic;
namespace col = zj_python::columns;
namespace ga = zj_python::generate_all;
using zj_python::raise_type_error;
using zj_python::raise_value_error;

// ---- configurations ---------------------------------------------------------------

std::string type_name(PyObject* o) {
    Ref name = Ref::check(PyType_GetName(Py_TYPE(o)));
    return std::string(zj_python::to_str(name.get()));
}

std::string describe(std::size_t index, std::string_view name) {
    std::string out = "signals[" + std::to_string(index) + "]";
    if (!name.empty()) out.append(" (").append(name).append(")");
    return out;
}

// A parameter value as the text the signal reads: str as is, int (bool too)
// in decimal, float in its shortest plain decimal form.
std::string value_text(PyObject* value, const std::string& where) {
    if (PyUnicode_Check(value)) return std::string(zj_python::to_str(value));
    if (PyLong_Check(value)) {
        Ref digits = Ref::check(PyNumber_ToBase(value, 10));
        return std::string(zj_python::to_str(digits.get()));
    }
    if (PyFloat_Check(value)) return ga::float_param_text(PyFloat_AsDouble(value));
    raise_type_error(where + " must be a str, int, float or bool, not " + type_name(value));
}

std::string known_keys(const zj_signals::SignalDescriptor& d) {
    std::string out;
    for (const zj_signals::ParamSpec& p : d.params) out.append(out.empty() ? "" : ", ").append(p.key);
    return out.empty() ? "none" : out;
}

// An entry of a dict, owned, or empty when absent.
Ref entry(PyObject* dict, const char* key) {
    PyObject* v = PyDict_GetItemString(dict, key);  // borrowed; exact str keys run no Python code
    return Ref::borrow(v);
}

frame::Config read_config(PyObject* item, std::size_t index) {
    frame::Config c{};
    Ref held = Ref::borrow(item);
    Ref name_obj, freq_obj, params_obj;
    if (PyUnicode_Check(item)) {
        name_obj = Ref::borrow(item);
    } else if (PyDict_Check(item)) {
        Ref keys = Ref::check(PyDict_Keys(item));
        for (Py_ssize_t i = 0; i < PyList_Size(keys.get()); ++i) {
            PyObject* k = PyList_GetItem(keys.get(), i);
            if (!PyUnicode_CheckExact(k) || (PyUnicode_CompareWithASCIIString(k, "name") != 0 &&
                                        PyUnicode_CompareWithASCIIString(k, "freq") != 0 &&
                                        PyUnicode_CompareWithASCIIString(k, "params") != 0)) {
                Ref text = Ref::check(PyObject_Repr(k));
                raise_value_error(describe(index, "") + ": unknown key " + std::string(zj_python::to_str(text.get())) +
                                  "; a signal is a name or a dict of 'name', 'freq' and 'params'");
            }
        }
        name_obj = entry(item, "name");
        freq_obj = entry(item, "freq");
        params_obj = entry(item, "params");
        if (!name_obj) raise_value_error(describe(index, "") + ": missing 'name'");
    } else {
        raise_type_error(describe(index, "") + " must be a str or a dict, not " + type_name(item));
    }

    if (!PyUnicode_Check(name_obj.get()))
        raise_type_error(describe(index, "") + "['name'] must be a str, not " +
                         type_name(name_obj.get()));
    c.name = std::string(zj_python::to_str(name_obj.get()));
    c.signal = zj_signals::find_signal(c.name);
    if (c.signal == nullptr) {
        std::string known;
        std::vector<std::string> names = zj_signals::list_signal_names();
        std::sort(names.begin(), names.end());
        for (const std::string& n : names) known.append(known.empty() ? "" : ", ").append(n);
        raise_value_error(describe(index, "") + ": unknown signal '" + c.name + "'; known: " + known);
    }
    const std::string where = describe(index, c.name);
    if (freq_obj && freq_obj.get() != Py_None) {
        if (!PyUnicode_Check(freq_obj.get()))
            raise_type_error(where + ": 'freq' must be a str, not " + type_name(freq_obj.get()));
        c.freq = std::string(zj_python::to_str(freq_obj.get()));
    }
    if (!params_obj || params_obj.get() == Py_None) return c;
    if (!PyDict_Check(params_obj.get()))
        raise_type_error(where + ": 'params' must be a dict, not " + type_name(params_obj.get()));
    // Items copied first: converting a value may run Python code (an int
    // subclass's __index__), which must not meet a dict being walked.
    Ref items = Ref::check(PyDict_Items(params_obj.get()));
    for (Py_ssize_t i = 0; i < PyList_Size(items.get()); ++i) {
        Ref pair = Ref::borrow(PyList_GetItem(items.get(), i));
        PyObject* key = PyTuple_GetItem(pair.get(), 0);
        PyObject* value = PyTuple_GetItem(pair.get(), 1);
        if (key == nullptr || value == nullptr) throw PyErrOccurred{};
        if (!PyUnicode_Check(key))
            raise_type_error(where + ": parameter names must be str, not " + type_name(key));
        const std::string k(zj_python::to_str(key));
        const zj_signals::ParamSpec* spec = c.signal->param(k);
        if (spec == nullptr)
            raise_value_error(where + ": unknown parameter '" + k + "'; known: " + known_keys(*c.signal));
        std::string text = value_text(value, where + ": parameter '" + k + "'");
        if (const auto problem = zj_signals::param_problem(*spec, text))
            raise_value_error(where + ": parameter '" + k + "' = '" + text + "' " + *problem);
        c.params.insert_or_assign(k, std::move(text));
    }
    return c;
}

// ---- output buffers ---------------------------------------------------------------

// A bytearray of `count` values of T, filled later without the GIL.
template <class T>
T* new_buffer(std::size_t count, Ref& holder) {
    holder = Ref::check(PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(count * sizeof(T))));
    return reinterpret_cast<T*>(PyByteArray_AsString(holder.get()));
}

void put(PyObject* dict, const char* key, const Ref& value) {
    if (PyDict_SetItemString(dict, key, value.get()) < 0) throw PyErrOccurred{};
}

// ---- the function -------------------------------------------------------------------

Ref signals(PyObject* bars, PyObject* configs_obj, PyObject* symbol, PyObject* columns, std::string_view layout,
            bool sort, std::uint64_t workers, bool collect) {
    const bool wide = layout == "wide";
    if (!wide && layout != "long") raise_value_error("layout must be 'wide' or 'long', not '" + std::string(layout) + "'");
    if (workers < 1) raise_value_error("workers must be at least 1");
    zj_signals::register_builtins();

    std::vector<frame::Config> configs;
    {
        Ref held = Ref::borrow(configs_obj);
        for (Py_ssize_t i = 0; i < PyList_Size(configs_obj); ++i) {
            Ref item = Ref::borrow(PyList_GetItem(configs_obj, i));
            if (!item) throw PyErrOccurred{};
            configs.push_back(read_config(item.get(), static_cast<std::size_t>(i)));
        }
    }
    if (configs.empty()) raise_value_error("signals must name at least one signal");

    col::Table table = col::read_table(bars);
    col::BindOptions options = col::bind_options(columns, symbol);
    options.want_symbol = true;
    for (const char* name : {"dt", "high", "low", "close", "vol"}) options.required.emplace_back(name);

    const Pool pool(static_cast<std::size_t>(std::min<std::uint64_t>(workers, 1024)));
    frame::BarInput in;
    const col::Bound bound = released([&] { return col::bind(table, zj_core::schema::kBar, options); });
    auto field = [&](const char* name) -> const col::Values& { return bound.fields[*zj_core::schema::kBar.find(name)]; };
    in.rows = bound.rows;
    in.time = field("dt").i64;
    in.open = field("open").f64;
    in.high = field("high").f64;
    in.low = field("low").f64;
    in.close = field("close").f64;
    in.vol = field("vol").f64;
    in.amount = field("amount").f64;
    if (bound.symbol.present()) {
        in.symbol = bound.symbol.codes;
        in.symbol_texts.assign(bound.symbol.dictionary.begin(), bound.symbol.dictionary.end());
    }
    std::vector<frame::SymbolError> errors;
    const frame::Groups groups = released([&] { return frame::group_rows(in, sort, pool, collect ? &errors : nullptr); });
    const std::size_t bars_out = groups.rows();

    Ref result = Ref::check(PyDict_New());
    Ref symbol_codes, times;
    if (wide) {
        frame::WideOut out{new_buffer<std::int32_t>(bars_out, symbol_codes), new_buffer<std::int64_t>(bars_out, times),
                           {}};
        Ref cells = Ref::check(PyList_New(0));
        Ref names = Ref::check(PyList_New(0));
        std::vector<std::string> headers;
        for (std::size_t i = 0; i < configs.size(); ++i) {
            const frame::Config& c = configs[i];
            headers.push_back(ga::zj_col_name(c.name, c.freq, c.params));
            const auto same = std::find(headers.begin(), headers.end() - 1, headers.back());
            if (same != headers.end() - 1)
                raise_value_error("signals[" + std::to_string(same - headers.begin()) + "] and signals[" +
                                  std::to_string(i) + "] give the same column '" + headers.back() +
                                  "'; give each configuration once");
            Ref buffer;
            out.cells.push_back(new_buffer<std::int32_t>(bars_out, buffer));
            if (PyList_Append(cells.get(), buffer.get()) < 0) throw PyErrOccurred{};
            Ref name = zj_python::py_str(headers.back());
            if (PyList_Append(names.get(), name.get()) < 0) throw PyErrOccurred{};
        }
        const frame::WideCategories cats = released([&] { return frame::compute_wide(in, groups, configs, out, pool); });
        Ref categories = Ref::check(PyList_New(0));
        for (const frame::Categories& c : cats.cells)
            if (PyList_Append(categories.get(), str_list(c).get()) < 0) throw PyErrOccurred{};
        put(result.get(), "columns", names);
        put(result.get(), "cells", cells);
        put(result.get(), "categories", categories);
    } else {
        const std::size_t rows = frame::long_rows(groups, configs);
        Ref signal, freq, v[3], score;
        frame::LongOut out{new_buffer<std::int32_t>(rows, symbol_codes),
                           new_buffer<std::int64_t>(rows, times),
                           new_buffer<std::int32_t>(rows, signal),
                           new_buffer<std::int32_t>(rows, freq),
                           {new_buffer<std::int32_t>(rows, v[0]), new_buffer<std::int32_t>(rows, v[1]),
                            new_buffer<std::int32_t>(rows, v[2])},
                           new_buffer<std::int32_t>(rows, score)};
        const frame::LongCategories cats = released([&] { return frame::compute_long(in, groups, configs, out, pool); });
        put(result.get(), "signal", signal);
        put(result.get(), "signal_categories", str_list(cats.signal));
        put(result.get(), "freq", freq);
        put(result.get(), "freq_categories", str_list(cats.freq));
        const char* keys[3][2] = {{"v1", "v1_categories"}, {"v2", "v2_categories"}, {"v3", "v3_categories"}};
        for (int f = 0; f < 3; ++f) {
            put(result.get(), keys[f][0], v[f]);
            put(result.get(), keys[f][1], str_list(cats.v[f]));
        }
        put(result.get(), "score", score);
    }
    put(result.get(), "dt", times);
    if (collect) {
        Ref list = Ref::check(PyList_New(0));
        for (const frame::SymbolError& e : errors) {
            Ref pair = Ref::check(Py_BuildValue("(s#s#)", e.symbol.data(), static_cast<Py_ssize_t>(e.symbol.size()),
                                                e.message.data(), static_cast<Py_ssize_t>(e.message.size())));
            if (PyList_Append(list.get(), pair.get()) < 0) throw PyErrOccurred{};
        }
        put(result.get(), "errors", list);
    }
    if (!in.symbol.empty()) {
        put(result.get(), "symbol", symbol_codes);
        put(result.get(), "symbol_categories", str_list(frame::group_symbols(in, groups)));
    }
    return result;
}

constexpr auto kSignals =
    clinic::Function{"signals",      Object{"bars"},          clinic::List{"signals"},
                     Object{"symbol", true}, Object{"columns", true}, clinic::Str{"layout", "wide"},
                     clinic::Bool{"sort", true}, clinic::USize{"workers", 1}, clinic::Bool{"collect", false}}
        .with_doc("Built-in signals over a table of bars; the engine of zjkit.frame.signals.");

}  // namespace

void register_signals(PyObject* module) {
    add_engine_function(module, clinic::method<kSignals, signals>());
}

}  // namespace zj_engine
