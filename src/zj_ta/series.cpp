#include "zj_ta/series.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "zj_python/boundary/convert.hpp"

namespace zj_ta {

using zj_python::raise_type_error;
using zj_python::raise_value_error;
using zj_python::type_name;

namespace {

// Set up once by the module's execution step; live for the process.
PyObject* g_ta_error = nullptr;
PyObject* g_array_type = nullptr;

}  // namespace

const Numpy* numpy_if_loaded() {
    static Numpy np;
    if (np.ndarray) return &np;
    Ref name = Ref::check(PyUnicode_FromString("numpy"));
    Ref mod(PyImport_GetModule(name.get()));
    if (!mod) {
        if (PyErr_Occurred()) throw PyErrOccurred{};
        return nullptr;
    }
    Ref nd = Ref::check(PyObject_GetAttrString(mod.get(), "ndarray"));
    Ref empty = Ref::check(PyObject_GetAttrString(mod.get(), "empty"));
    Ref asarray = Ref::check(PyObject_GetAttrString(mod.get(), "asarray"));
    np.empty = empty.release();
    np.asarray = asarray.release();
    np.ndarray = nd.release();
    return &np;
}

namespace {

bool is_ndarray(PyObject* o) {
    const Numpy* np = numpy_if_loaded();
    if (!np) return false;
    const int r = PyObject_IsInstance(o, np->ndarray);
    if (r < 0) throw PyErrOccurred{};
    return r == 1;
}

bool native_float64_format(const char* f) {
    if (f == nullptr) return false;  // unsigned bytes
    f = zj_python::columns::native_item_code(f);
    return f != nullptr && f[0] == 'd' && f[1] == '\0';
}

// Reserved ahead for an iterable's values at most; more grow as they come.
constexpr std::size_t kMaxReserve = std::size_t{1} << 20;

// A set, a frozenset, a dict or any other mapping.
bool unordered(PyObject* o) {
    if (PyAnySet_Check(o) || PyDict_Check(o)) return true;
    static PyObject* mapping = nullptr;  // collections.abc.Mapping, for the process
    if (!mapping) {
        Ref abc = Ref::check(PyImport_ImportModule("collections.abc"));
        mapping = Ref::check(PyObject_GetAttrString(abc.get(), "Mapping")).release();
    }
    const int is = PyObject_IsInstance(o, mapping);
    if (is < 0) throw PyErrOccurred{};
    return is == 1;
}

// An int for a count or a code; a bool is a truth value, not a number here.
std::int64_t to_int_not_bool(PyObject* o) {
    if (PyBool_Check(o)) raise_type_error("expected an int, not bool");
    return zj_python::to_i64(o);
}

}  // namespace

SeriesIn::SeriesIn(PyObject* o) {
    PyObject* source = o;
    if (!PyObject_CheckBuffer(o)) {
        source = columnar(o);
        if (source == nullptr) return;
    }
    if (PyObject_CheckBuffer(source)) {
        buffer_.acquire(source, PyBUF_RECORDS_RO);
        const Py_buffer& v = buffer_.view;
        if (v.ndim != 1) {
            std::string shape;
            for (int d = 0; d < v.ndim; ++d) {
                if (d > 0) shape += 'x';
                shape += std::to_string(v.shape ? v.shape[d] : 0);
            }
            raise_value_error("expected a 1-D series, got a buffer of " + std::to_string(v.ndim) +
                              " dimensions" + (v.ndim ? " (shape " + shape + ")" : std::string()));
        }
        if (v.itemsize != 8 || !native_float64_format(v.format))
            raise_type_error("expected float64 values, got a buffer of format '" +
                             std::string(v.format ? v.format : "B") + "' (item size " +
                             std::to_string(v.itemsize) +
                             "); convert it first, e.g. numpy.asarray(x, dtype='float64')");
        const auto n = static_cast<std::size_t>(v.shape[0]);
        const char* base = static_cast<const char*>(v.buf);
        const Py_ssize_t stride = v.strides ? v.strides[0] : 8;
        if (stride == 8 && reinterpret_cast<std::uintptr_t>(base) % alignof(double) == 0) {
            values_ = {reinterpret_cast<const double*>(base), n};
        } else {
            copy_.resize(n);
            for (std::size_t i = 0; i < n; ++i)
                std::memcpy(&copy_[i], base + static_cast<Py_ssize_t>(i) * stride, sizeof(double));
            values_ = copy_;
        }
        numpy_ = keep_ ? true : is_ndarray(o);
        if (numpy_ && flavour_ == Flavour::Plain) flavour_ = Flavour::Numpy;
        return;
    }

    const std::string not_series = "expected a 1-D float64 buffer or a sequence of numbers, not " + type_name(o);
    // Sets and mappings iterate in an order of their own, not as a series.
    if (!PyList_Check(o) && !PyTuple_Check(o) && unordered(o)) raise_type_error(not_series);
    Ref iter(PyObject_GetIter(o));
    if (!iter) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw PyErrOccurred{};
        PyErr_Clear();
        raise_type_error(not_series);
    }
    // A length hint only: a __len__ may say anything.
    const Py_ssize_t hint = PyObject_Size(o);
    if (hint < 0) {
        if (!PyErr_ExceptionMatches(PyExc_Exception)) throw PyErrOccurred{};
        PyErr_Clear();
    } else {
        copy_.reserve(std::min(static_cast<std::size_t>(hint), kMaxReserve));
    }
    while (Ref item{PyIter_Next(iter.get())}) {
        try {
            copy_.push_back(zj_python::to_f64(item.get()));
        } catch (const PyErrOccurred&) {
            if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw;
            PyErr_Clear();
            raise_type_error("item " + std::to_string(copy_.size()) + " is not a number (" +
                             type_name(item.get()) + ")");
        }
    }
    zj_python::throw_if_error();
    values_ = copy_;
}

void BufferView::acquire(PyObject* o, int flags) {
    release();
    if (PyObject_GetBuffer(o, &view, flags) < 0) throw PyErrOccurred{};
    held = true;
}

std::size_t to_period(PyObject* o) {
    const std::int64_t v = to_int_not_bool(o);
    if (v < 0) raise_value_error("a period must be a non-negative integer, not " + std::to_string(v));
    return static_cast<std::size_t>(v);
}

indicators::MaType MaTypeParam::convert(PyObject* o) {
    const std::int64_t v = to_int_not_bool(o);
    if (auto t = indicators::ma_type_from_code(v)) return *t;
    raise_ta_error(indicators::TaError::invalid("matype", std::to_string(v), "must be 0..8"));
}

void raise_ta_error(const indicators::TaError& e) {
    using Kind = indicators::TaError::Kind;
    Ref message = zj_python::py_str(e.debug());
    Ref exc = Ref::check(PyObject_CallFunctionObjArgs(g_ta_error, message.get(), nullptr));
    auto set = [&](const char* attr, Ref value) {
        if (PyObject_SetAttrString(exc.get(), attr, value.get()) < 0) throw PyErrOccurred{};
    };
    static constexpr const char* kKinds[] = {"InsufficientData", "InvalidParameter", "MissingInput",
                                             "LengthMismatch"};
    set("kind", zj_python::py_str(kKinds[static_cast<int>(e.kind)]));
    switch (e.kind) {
        case Kind::InsufficientData:
            set("need", zj_python::py_uint(e.need));
            set("got", zj_python::py_uint(e.got));
            break;
        case Kind::InvalidParameter:
            set("name", zj_python::py_str(e.name));
            set("value", zj_python::py_str(e.value));
            set("reason", zj_python::py_str(e.reason));
            break;
        case Kind::MissingInput: set("reason", zj_python::py_str(e.reason)); break;
        case Kind::LengthMismatch:
            set("expected", zj_python::py_uint(e.expected));
            set("got", zj_python::py_uint(e.got));
            break;
    }
    PyErr_SetObject(g_ta_error, exc.get());
    throw PyErrOccurred{};
}

Outputs::Outputs(std::size_t len, bool numpy, std::size_t count) : len_(len), count_(count), numpy_(numpy) {
    const Numpy* np = numpy ? numpy_if_loaded() : nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if (np) {
            objs_[i] = Ref::check(PyObject_CallFunction(np->empty, "n", static_cast<Py_ssize_t>(len)));
            views_[i].acquire(objs_[i].get(), PyBUF_CONTIG);
            if (static_cast<std::size_t>(views_[i].view.len) != len * sizeof(double))
                throw std::logic_error("numpy.empty gave an array of the wrong size");
            data_[i] = static_cast<double*>(views_[i].view.buf);
        } else {
            // The values are written into a new bytes object, from which
            // array.array('d', ...) is made at the end.
            objs_[i] = Ref::check(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(len * sizeof(double))));
            char* p = PyBytes_AsString(objs_[i].get());
            if (p == nullptr) throw PyErrOccurred{};
            if (reinterpret_cast<std::uintptr_t>(p) % alignof(double) != 0)
                throw std::logic_error("bytes storage is not aligned for doubles");
            data_[i] = reinterpret_cast<double*>(p);
        }
    }
}

Ref Outputs::finish() {
    Ref arrays[3];
    for (std::size_t i = 0; i < count_; ++i) {
        views_[i].release();
        if (numpy_)
            arrays[i] = std::move(objs_[i]);
        else
            arrays[i] = Ref::check(PyObject_CallFunction(g_array_type, "sO", "d", objs_[i].get()));
    }
    if (count_ == 1) return std::move(arrays[0]);
    Ref tuple = Ref::check(PyTuple_New(static_cast<Py_ssize_t>(count_)));
    for (std::size_t i = 0; i < count_; ++i)
        PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), arrays[i].release());
    (void)len_;
    return tuple;
}

void init_types(PyObject* module) {
    if (!g_array_type) {
        Ref array_mod = Ref::check(PyImport_ImportModule("array"));
        g_array_type = Ref::check(PyObject_GetAttrString(array_mod.get(), "array")).release();
    }
    if (!g_ta_error) {
        g_ta_error = Ref::check(PyErr_NewExceptionWithDoc(
                                    "zjkit.ta.TaError",
                                    "An indicator rejected its input: a bad parameter, too short a series or "
                                    "series of different lengths.\n\nThe message is the error's debug text, e.g. "
                                    "'InsufficientData { need: 15, got: 14 }'; the attribute 'kind' names the "
                                    "variant and the variant's fields (need, got, name, value, reason, expected) "
                                    "are attributes too.",
                                    PyExc_ValueError, nullptr))
                         .release();
    }
    if (PyModule_AddObjectRef(module, "TaError", g_ta_error) < 0) throw PyErrOccurred{};

    // MaType as an IntEnum: MaType.EMA == 1, usable wherever a code is.
    Ref enum_mod = Ref::check(PyImport_ImportModule("enum"));
    Ref int_enum = Ref::check(PyObject_GetAttrString(enum_mod.get(), "IntEnum"));
    static constexpr const char* kNames[] = {"SMA", "EMA", "WMA", "DEMA", "TEMA", "TRIMA", "KAMA", "MAMA", "T3"};
    Ref members = Ref::check(PyList_New(0));
    for (int i = 0; i < 9; ++i) {
        Ref pair = Ref::check(Py_BuildValue("(si)", kNames[i], i));
        if (PyList_Append(members.get(), pair.get()) < 0) throw PyErrOccurred{};
    }
    Ref kwargs = Ref::check(Py_BuildValue("{s:s}", "module", "zjkit.ta"));
    Ref args = Ref::check(Py_BuildValue("(sO)", "MaType", members.get()));
    Ref ma_type = Ref::check(PyObject_Call(int_enum.get(), args.get(), kwargs.get()));
    if (PyModule_AddObjectRef(module, "MaType", ma_type.get()) < 0) throw PyErrOccurred{};
}

void add_function(PyObject* module, PyMethodDef* def) {
    Ref module_name = Ref::check(PyModule_GetNameObject(module));
    Ref fn = Ref::check(PyCFunction_NewEx(def, module, module_name.get()));
    if (PyModule_AddObjectRef(module, def->ml_name, fn.get()) < 0) throw PyErrOccurred{};
    Ref all = Ref::check(PyObject_GetAttrString(module, "__all__"));
    Ref name = zj_python::py_str(def->ml_name);
    if (PyList_Append(all.get(), name.get()) < 0) throw PyErrOccurred{};
}

}  // namespace zj_ta
