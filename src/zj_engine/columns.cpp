// _read_columns: the column reader and field binding as Python sees them, for
// checking every input flavour against one reader.
#include <array>
#include <string_view>

#include "zj_engine/binding.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/columns.hpp"

namespace zj_engine {
namespace {

namespace clinic = zj_python::clinic;
namespace cols = zj_python::columns;
namespace schema = zj_core::schema;
using zj_python::py_float;
using zj_python::py_int;
using zj_python::py_str;

// Any object with None as default (null when None).
struct OptObject {
    using value_type = PyObject*;
    const char* name;
    std::optional<PyObject*> fallback = nullptr;
    static value_type convert(PyObject* o) { return o == Py_None ? nullptr : o; }
};
[[maybe_unused]] clinic::ParamInfo info(const OptObject& p) { return {p.name, true, "None"}; }

const schema::RecordSchema* find_schema(std::string_view kind) {
    static constexpr std::array<const schema::RecordSchema*, 6> kSchemas{&schema::kBar,      &schema::kTrade,
                                                                         &schema::kMinute,   &schema::kSnapshot,
                                                                         &schema::kStroke,   &schema::kDay};
    for (const auto* s : kSchemas)
        if (s->kind == kind) return s;
    return nullptr;
}

// One field's values as a list: floats, ints (None for null), str (None for
// null); times as int nanoseconds.
Ref to_list(const cols::Values& v) {
    const std::size_t n = v.kind == schema::Kind::Float  ? v.f64.size()
                          : v.kind == schema::Kind::Text ? v.codes.size()
                                                         : v.i64.size();
    Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(n)));
    for (std::size_t i = 0; i < n; ++i) {
        Ref item;
        switch (v.kind) {
            case schema::Kind::Float: item = py_float(v.f64[i]); break;
            case schema::Kind::Text:
                item = v.codes[i] < 0 ? zj_python::py_none() : py_str(v.dictionary[static_cast<std::size_t>(v.codes[i])]);
                break;
            default:
                item = !v.valid.empty() && v.valid[i] == 0 ? zj_python::py_none() : py_int(v.i64[i]);
                break;
        }
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item.release());
    }
    return list;
}

bool views_source(const cols::Values& v) {
    return v.own_f64.empty() && v.own_i64.empty() && v.own_codes.empty();
}

Ref read_columns(PyObject* source, std::string_view kind, PyObject* columns, PyObject* symbol) {
    const schema::RecordSchema* s = find_schema(kind);
    if (!s) zj_python::raise_value_error("unknown record kind '" + std::string(kind) + "'");
    cols::Table table = cols::read_table(source);
    cols::BindOptions options = cols::bind_options(columns, symbol);
    options.want_symbol = true;
    cols::Bound bound = cols::without_gil([&] { return cols::bind(table, *s, options); });
    Ref out = Ref::check(PyDict_New());
    Ref views = Ref::check(PyDict_New());
    auto put = [&](std::string_view name, const cols::Values& v) {
        if (!v.present()) return;
        Ref key = py_str(name);
        if (PyDict_SetItem(out.get(), key.get(), to_list(v).get()) < 0) throw PyErrOccurred{};
        if (PyDict_SetItem(views.get(), key.get(), views_source(v) ? Py_True : Py_False) < 0) throw PyErrOccurred{};
    };
    for (std::size_t i = 0; i < s->fields.size(); ++i) put(s->fields[i].name, bound.fields[i]);
    put("symbol", bound.symbol);
    if (PyDict_SetItemString(out.get(), "_views", views.get()) < 0) throw PyErrOccurred{};
    return out;
}

constexpr auto kReadColumns =
    clinic::Function{"_read_columns", Object{"source"}, clinic::Str{"kind"}, OptObject{"columns"}, OptObject{"symbol"}}
        .with_doc("Reads `source` as records of `kind` (bar, trade, minute, snapshot, stroke, day) and\n"
                  "returns {field: list of values} for the fields found, plus '_views': {field: bool}, true\n"
                  "where the values were read in place. Times are int nanoseconds. For tests, and for the\n"
                  "report, which reads a days table under the names the frame functions read it by.");

}  // namespace

void register_columns(PyObject* module) {
    add_engine_function(module, clinic::method<kReadColumns, read_columns>());
}

}  // namespace zj_engine
