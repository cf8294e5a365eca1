// Series arguments from DataFrame libraries and Arrow, and outputs in the
// caller's flavour. pandas and polars are recognised by their types' modules
// and never imported here: a pandas or polars output is made by the package's
// Python helper (zjkit._ta_flavour), with the library the caller already uses.
#include <string_view>

#include "zj_ta/series.hpp"

namespace zj_ta {
namespace {

namespace cols = zj_python::columns;

// "pandas" for pandas.core.series.Series, "polars" for polars.series.series.Series.
Flavour library_of(PyObject* o) {
    Ref type = Ref::check(PyObject_Type(o));
    Ref module(PyObject_GetAttrString(type.get(), "__module__"));
    Ref name(PyObject_GetAttrString(type.get(), "__name__"));
    if (!module || !name || !PyUnicode_Check(module.get()) || !PyUnicode_Check(name.get())) {
        PyErr_Clear();
        return Flavour::Plain;
    }
    const std::string_view mod = zj_python::to_str(module.get());
    if (zj_python::to_str(name.get()) != "Series") return Flavour::Plain;
    const auto top = mod.substr(0, mod.find('.'));
    if (top == "pandas") return Flavour::Pandas;
    if (top == "polars") return Flavour::Polars;
    return Flavour::Plain;
}

bool has_attr(PyObject* o, const char* name) {
    const int r = PyObject_HasAttrString(o, name);
    return r == 1;
}

bool exports_arrow(PyObject* o) { return has_attr(o, "__arrow_c_stream__") || has_attr(o, "__arrow_c_array__"); }

// numpy's dtype character of an array ('d' for float64), or 0.
char dtype_char(PyObject* array) {
    Ref dtype(PyObject_GetAttrString(array, "dtype"));
    Ref ch(dtype ? PyObject_GetAttrString(dtype.get(), "char") : nullptr);
    if (!ch || !PyUnicode_Check(ch.get())) {
        PyErr_Clear();
        return 0;
    }
    const std::string_view s = zj_python::to_str(ch.get());
    return s.size() == 1 ? s[0] : 0;
}

}  // namespace

PyObject* SeriesIn::columnar(PyObject* o) {
    flavour_ = library_of(o);
    if (flavour_ != Flavour::Plain) series_ = Ref::borrow(o);
    const Numpy* np = numpy_if_loaded();
    if (flavour_ == Flavour::Pandas && np) {
        // A numpy-backed float64 Series is read in place through numpy; other
        // dtypes (ints, nullable or Arrow-backed) through Arrow when pandas
        // can export them.
        keep_ = Ref::check(PyObject_CallFunctionObjArgs(np->asarray, o, nullptr));
        if (dtype_char(keep_.get()) == 'd' || !exports_arrow(o)) return keep_.get();
        keep_ = Ref();
    }
    if (exports_arrow(o)) {
        table_ = std::make_unique<cols::Table>(cols::read_table(o));
        if (table_->columns.size() != 1)
            zj_python::raise_type_error("expected one series, got a table of " +
                                        std::to_string(table_->columns.size()) + " columns");
        const cols::Column& col = table_->columns[0];
        column_ = cols::without_gil([&] { return cols::read_values(col, zj_core::schema::Kind::Float); });
        values_ = column_.f64;
        numpy_ = np != nullptr;
        if (flavour_ == Flavour::Plain && numpy_) flavour_ = Flavour::Numpy;
        return nullptr;
    }
    if (np && has_attr(o, "__array__")) {
        // Other array-likes are read through numpy when the caller has it
        // loaded; their dtype is checked like any buffer's.
        keep_ = Ref::check(PyObject_CallFunctionObjArgs(np->asarray, o, nullptr));
        return keep_.get();
    }
    return o;
}

Ref SeriesIn::wrap(Ref result) const {
    if (flavour_ != Flavour::Pandas && flavour_ != Flavour::Polars) return result;
    static PyObject* helper = nullptr;
    if (helper == nullptr) helper = Ref::check(PyImport_ImportModule("zjkit._ta_flavour")).release();
    const char* fn = flavour_ == Flavour::Pandas ? "pandas_series" : "polars_series";
    return Ref::check(PyObject_CallMethod(helper, fn, "OO", series_.get(), result.get()));
}

}  // namespace zj_ta
