// generate_all_signals: built-in signals and czsc's own signals in one table.
//
// Configurations whose name the registry knows are computed here; the others
// go, unchanged, to czsc.generate_czsc_signals. The built-in results become
// CZSC-style columns appended to czsc's table (or to a dt/close table of the
// bars), each laid against the table's newest rows.
#include <optional>
#include <string>
#include <vector>

#include "zj_python/boundary/clinic.hpp"
#include "zj_python/module.hpp"
#include "zj_python/signal_inputs.hpp"
#include "zj_python/signal_table.hpp"
#include "zj_signals/signals.hpp"

namespace zj_python {
namespace {

namespace ga = generate_all;

// A parameter kind whose converted value travels with the argument object
// itself: sdt, init_n and df reach czsc exactly as the caller passed them.
template <class K>
struct Kept {
    using value_type = std::pair<typename K::value_type, PyObject*>;  // object borrowed; NULL when defaulted
    K kind;
    const char* name;
    constexpr Kept(K k) : kind(k), name(k.name) {}
    static value_type convert(PyObject* o) { return {K::convert(o), o}; }
};
template <class K>
clinic::ParamInfo info(const Kept<K>& p) {
    return clinic::info(p.kind);
}
template <class K>
typename Kept<K>::value_type default_value(const Kept<K>& p) {
    return {clinic::default_value(p.kind), nullptr};
}

// The argument object, or a new one for a defaulted parameter.
Ref argument_object(PyObject* given, Ref (*make)()) { return given ? Ref::borrow(given) : make(); }

// Parameter texts of generate_all_signals: str as is, int (bool too) in
// decimal, float as its shortest plain decimal; anything else is skipped.
std::optional<std::string> number_param_text(PyObject* value) {
    if (PyUnicode_Check(value)) return str_param_text(value);
    if (PyLong_Check(value)) {
        Ref digits(PyNumber_ToBase(value, 10));
        auto text = try_str(digits.get());
        if (!text) {
            PyErr_Clear();
            return std::nullopt;
        }
        return std::string(*text);
    }
    if (PyFloat_Check(value)) return ga::float_param_text(PyFloat_AsDouble(value));
    return std::nullopt;
}

// A failed import of czsc reads as czsc missing; the import's own error is
// dropped. An error of any other kind raised while czsc loads is czsc's own
// and propagates.
Ref import_czsc() {
    PyObject* module = PyImport_ImportModule("czsc");
    if (module != nullptr) return Ref(module);
    if (!PyErr_ExceptionMatches(PyExc_ImportError)) throw PyErrOccurred{};
    PyErr_Clear();
    raise(PyExc_ImportError, "signals_config 包含非 zj 信号，但未安装 czsc；请安装: pip install zjkit[czsc]");
}

Ref call_method(PyObject* target, const char* name, PyObject* arg1 = nullptr, PyObject* arg2 = nullptr,
                PyObject* arg3 = nullptr) {
    Ref method = Ref::check(PyObject_GetAttrString(target, name));
    return Ref::check(PyObject_CallFunctionObjArgs(method.get(), arg1, arg2, arg3, nullptr));
}

// pandas.DataFrame with a "dt" and a "close" column, one row per bar. Given as
// a dict of two columns: the same table as from one {"dt", "close"} dict per
// bar, built in a fraction of the time.
Ref bar_table(PyObject* pandas, const std::vector<zj_signals::BarPoint>& bars) {
    const Py_ssize_t n = static_cast<Py_ssize_t>(bars.size());
    Ref dts = Ref::check(PyList_New(n));
    Ref closes = Ref::check(PyList_New(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        const zj_signals::BarPoint& bar = bars[static_cast<std::size_t>(i)];
        PyList_SetItem(dts.get(), i, py_str(bar.dt).release());  // steals
        PyList_SetItem(closes.get(), i, py_float(bar.close).release());
    }
    Ref data = Ref::check(PyDict_New());
    if (PyDict_SetItemString(data.get(), "dt", dts.get()) < 0 ||
        PyDict_SetItemString(data.get(), "close", closes.get()) < 0)
        throw PyErrOccurred{};
    return call_method(pandas, "DataFrame", data.get());
}

// A list of str objects holding the column's cells, one str per distinct text.
Ref column_list(const ga::Column& col) {
    std::vector<Ref> texts;
    texts.reserve(col.texts.size());
    for (const std::string& t : col.texts) texts.push_back(py_str(t));
    Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(col.cells.size())));
    for (std::size_t i = 0; i < col.cells.size(); ++i)
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), Ref::borrow(texts[col.cells[i]].get()).release());
    return list;
}

Ref make_default_sdt() { return py_str("20170101"); }
Ref make_default_init_n() { return py_uint(500); }
Ref make_default_df() { return py_bool(false); }

Ref generate_all_signals(PyObject* bars, PyObject* signals_config, std::pair<std::string_view, PyObject*> sdt,
                         std::pair<std::uint64_t, PyObject*> init_n, std::pair<bool, PyObject*> df) {
    if (PyList_Size(bars) == 0) raise_value_error("bars 不能为空");
    zj_signals::register_builtins();

    // Every configuration is checked before anything runs.
    std::vector<zj_signals::SignalConfig> builtin;
    Ref foreign = Ref::check(PyList_New(0));
    ConfigReader().each(signals_config, &number_param_text, [&](zj_signals::SignalConfig&& config, PyObject* item) {
        if (zj_signals::has_signal(config.name))
            builtin.push_back(std::move(config));
        else if (PyList_Append(foreign.get(), item) < 0)
            throw PyErrOccurred{};
    });
    const bool any_foreign = PyList_Size(foreign.get()) > 0;
    if (builtin.empty() && !any_foreign) raise_value_error("signals_config 不能为空");

    Ref czsc_result;
    if (any_foreign) {
        Ref czsc = import_czsc();
        Ref sdt_obj = argument_object(sdt.second, &make_default_sdt);
        Ref init_n_obj = argument_object(init_n.second, &make_default_init_n);
        Ref df_obj = argument_object(df.second, &make_default_df);
        Ref fn = Ref::check(PyObject_GetAttrString(czsc.get(), "generate_czsc_signals"));
        czsc_result = Ref::check(PyObject_CallFunctionObjArgs(fn.get(), bars, foreign.get(), sdt_obj.get(),
                                                              init_n_obj.get(), df_obj.get(), nullptr));
        if (builtin.empty()) return czsc_result;
    }

    const std::vector<zj_signals::BarPoint> points = bars_from_items(bars);
    const zj_signals::BarTable bar_columns = zj_signals::BarTable::from_points(points);
    const std::string init_n_text = std::to_string(init_n.first);
    std::vector<std::vector<zj_signals::SignalOutput>> blocks;
    blocks.reserve(builtin.size());
    for (zj_signals::SignalConfig& config : builtin) {
        config.params.insert_or_assign("_init_n", init_n_text);
        blocks.push_back(zj_signals::dispatch_one(config.name, bar_columns.columns(), config.params));
    }

    Ref pandas = Ref::check(PyImport_ImportModule("pandas"));
    Ref table;
    if (!czsc_result)
        table = bar_table(pandas.get(), points);
    else if (df.first)
        table = std::move(czsc_result);
    else
        table = call_method(pandas.get(), "DataFrame", czsc_result.get());

    const Py_ssize_t rows = PyObject_Size(table.get());
    if (rows < 0) throw PyErrOccurred{};
    Ref columns = Ref::check(PyObject_GetAttrString(table.get(), "columns"));
    Py_ssize_t position = PyObject_Size(columns.get());
    if (position < 0) throw PyErrOccurred{};

    Ref series_type = Ref::check(PyObject_GetAttrString(pandas.get(), "Series"));
    for (std::size_t j = 0; j < builtin.size(); ++j) {
        const ga::Column col = ga::aligned_column(blocks[j], static_cast<std::size_t>(rows));
        Ref values = column_list(col);
        Ref series = Ref::check(PyObject_CallFunctionObjArgs(series_type.get(), values.get(), nullptr));
        Ref pos = py_int(position);
        Ref name = py_str(ga::zj_col_name(builtin[j].name, builtin[j].freq, builtin[j].params));
        call_method(table.get(), "insert", pos.get(), name.get(), series.get());
        ++position;
    }

    if (df.first) return table;
    Ref orient = py_str("records");
    return call_method(table.get(), "to_dict", orient.get());
}

constexpr clinic::Function kGenerateAllSignals{
    "generate_all_signals", clinic::List{"bars"},
    clinic::List{"signals_config"},
    Kept<clinic::Str>{clinic::Str{"sdt", "20170101"}},
    Kept<clinic::USize>{clinic::USize{"init_n", 500}},
    Kept<clinic::Bool>{clinic::Bool{"df", false}}};

}  // namespace

void register_generate_all(PyObject* module) {
    add_function(module, clinic::method<kGenerateAllSignals, generate_all_signals>());
}

}  // namespace zj_python
