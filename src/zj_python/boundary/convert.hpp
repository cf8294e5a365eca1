#pragma once
// Conversions of single Python values into C++ values, shared by argument
// binding and record reading. Each one raises the Python exception the
// interpreter itself would (TypeError for a wrong type, OverflowError for an
// integer out of range) and throws PyErrOccurred.
#include <cstdint>
#include <optional>
#include <string_view>

#include "zj_python/boundary/ref.hpp"

namespace zj_python {

// `o` must be a list (subclasses accepted); the text names `what` ("list").
void require_list(PyObject* o);
// `o` must be a dict (subclasses accepted).
void require_dict(PyObject* o);
// TypeError "'{type}' object is not an instance of '{expected}'"; with
// `name_none`, None reads "'None' is not an instance of '{expected}'" (the
// wording of list arguments).
[[noreturn]] void raise_not_instance(PyObject* o, std::string_view expected, bool name_none = false);

// float, int or anything with __float__ / __index__.
double to_f64(PyObject* o);
// int or anything with __index__; floats are rejected.
std::int64_t to_i64(PyObject* o);
std::int32_t to_i32(PyObject* o);
std::uint64_t to_u64(PyObject* o);
// A str's UTF-8 text; valid while `o` is alive.
std::string_view to_str(PyObject* o);
// bool, or numpy's bool scalar read through its truth value.
bool to_bool(PyObject* o);

// Lenient forms for fields that never raise: nullopt when absent or
// unconvertible, with any exception cleared.
std::optional<double> try_f64(PyObject* o) noexcept;
std::optional<std::string_view> try_str(PyObject* o) noexcept;

// New Python values.
Ref py_str(std::string_view s);
Ref py_float(double v);
Ref py_int(std::int64_t v);
Ref py_uint(std::uint64_t v);
Ref py_bool(bool v);
inline Ref py_none() { return Ref::borrow(Py_None); }

}  // namespace zj_python
