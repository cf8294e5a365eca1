#include "zj_python/boundary/convert.hpp"

#include <limits>
#include <string>

namespace zj_python {

void raise_not_instance(PyObject* o, std::string_view expected, bool name_none) {
    std::string msg;
    if (name_none && o == Py_None)
        msg = "'None' is not an instance of '";
    else
    {
        msg = "'";
        msg += type_name(o);
        msg += "' object is not an instance of '";
    }
    msg.append(expected);
    msg += "'";
    raise_type_error(msg);
}

void require_list(PyObject* o) {
    if (!PyList_Check(o)) raise_not_instance(o, "list", true);
}

void require_dict(PyObject* o) {
    if (!PyDict_Check(o)) raise_not_instance(o, "dict");
}

double to_f64(PyObject* o) {
    const double v = PyFloat_AsDouble(o);
    if (v == -1.0 && PyErr_Occurred()) throw PyErrOccurred{};
    return v;
}

std::int64_t to_i64(PyObject* o) {
    const long long v = PyLong_AsLongLong(o);
    if (v == -1 && PyErr_Occurred()) throw PyErrOccurred{};
    return static_cast<std::int64_t>(v);
}

std::int32_t to_i32(PyObject* o) {
    const std::int64_t v = to_i64(o);
    if (v > std::numeric_limits<std::int32_t>::max())
        raise(PyExc_OverflowError, "signed integer is greater than maximum");
    if (v < std::numeric_limits<std::int32_t>::min())
        raise(PyExc_OverflowError, "signed integer is less than minimum");
    return static_cast<std::int32_t>(v);
}

std::uint64_t to_u64(PyObject* o) {
    Ref index = Ref::check(PyNumber_Index(o));
    const unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw PyErrOccurred{};
    return static_cast<std::uint64_t>(v);
}

std::string_view to_str(PyObject* o) {
    if (!PyUnicode_Check(o)) raise_not_instance(o, "str");
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(o, &size);
    if (data == nullptr) throw PyErrOccurred{};
    return std::string_view(data, static_cast<std::size_t>(size));
}

namespace {
bool is_numpy_bool(PyObject* o) {
    PyTypeObject* t = Py_TYPE(o);
    Ref module(PyObject_GetAttrString(reinterpret_cast<PyObject*>(t), "__module__"));
    if (!module) {
        PyErr_Clear();
        return false;
    }
    if (!PyUnicode_Check(module.get()) || PyUnicode_CompareWithASCIIString(module.get(), "numpy") != 0) return false;
    Ref name(PyType_GetName(t));
    if (!name) {
        PyErr_Clear();
        return false;
    }
    return PyUnicode_CompareWithASCIIString(name.get(), "bool_") == 0 ||
           PyUnicode_CompareWithASCIIString(name.get(), "bool") == 0;
}
}  // namespace

bool to_bool(PyObject* o) {
    if (PyBool_Check(o)) return o == Py_True;
    if (is_numpy_bool(o)) {
        const int truth = PyObject_IsTrue(o);
        if (truth < 0) throw PyErrOccurred{};
        return truth != 0;
    }
    raise_not_instance(o, "bool");
}

std::optional<double> try_f64(PyObject* o) noexcept {
    if (o == nullptr) return std::nullopt;
    if (PyFloat_Check(o)) return PyFloat_AsDouble(o);
    const double v = PyFloat_AsDouble(o);
    if (v == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        return std::nullopt;
    }
    return v;
}

std::optional<std::string_view> try_str(PyObject* o) noexcept {
    if (o == nullptr || !PyUnicode_Check(o)) return std::nullopt;
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(o, &size);
    if (data == nullptr) {
        PyErr_Clear();
        return std::nullopt;
    }
    return std::string_view(data, static_cast<std::size_t>(size));
}

Ref py_str(std::string_view s) {
    return Ref::check(PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size())));
}
Ref py_float(double v) { return Ref::check(PyFloat_FromDouble(v)); }
Ref py_int(std::int64_t v) { return Ref::check(PyLong_FromLongLong(v)); }
Ref py_uint(std::uint64_t v) { return Ref::check(PyLong_FromUnsignedLongLong(v)); }
Ref py_bool(bool v) { return Ref::borrow(v ? Py_True : Py_False); }

}  // namespace zj_python
