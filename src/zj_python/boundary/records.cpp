#include "zj_python/boundary/records.hpp"

#include <string>

namespace zj_python {

KeySet::KeySet(std::initializer_list<const char*> names) : names_(names) {
    keys_.reserve(names.size());
    for (const char* n : names) keys_.push_back(Ref::check(PyUnicode_InternFromString(n)));
}

Field field(PyObject* dict, PyObject* key) {
    PyObject* v = PyDict_GetItemWithError(dict, key);
    if (v == nullptr && PyErr_Occurred()) throw PyErrOccurred{};
    return Field(Ref::borrow(v));
}

PyObject* Field::require(const char* name) const {
    if (!value_) raise_value_error(std::string("Missing '") + name + "'");
    return value_.get();
}

namespace {

bool is_time_instance(PyObject* o) {
    Ref datetime = Ref::check(PyImport_ImportModule("datetime"));
    Ref time_type = Ref::check(PyObject_GetAttrString(datetime.get(), "time"));
    const int is = PyObject_IsInstance(o, time_type.get());
    if (is < 0) throw PyErrOccurred{};
    return is != 0;
}

std::uint32_t int_attr(PyObject* o, const char* name) {
    Ref v = Ref::check(PyObject_GetAttrString(o, name));
    const long long x = PyLong_AsLongLong(v.get());
    if (x == -1 && PyErr_Occurred()) throw PyErrOccurred{};
    return static_cast<std::uint32_t>(x);
}

}  // namespace

zj_core::TimeOfDay read_time(const Field& value, const TimeMessages& messages) {
    PyObject* o = value.get();
    if (o == nullptr) raise_value_error(messages.missing);
    if (PyUnicode_Check(o)) {
        const std::string_view text = to_str(o);
        zj_core::TimeOfDay t;
        if (auto e = zj_core::parse_hms(text, t); e != zj_core::TimeParseError::None) {
            std::string msg(messages.invalid_prefix);
            msg.append(text);
            msg += "': ";
            msg.append(zj_core::describe(e));
            raise_value_error(msg);
        }
        return t;
    }
    if (!is_time_instance(o)) raise_type_error("'time' must be str or datetime.time");
    // datetime.time keeps its fields in range, so these fit.
    const std::uint32_t h = int_attr(o, "hour"), m = int_attr(o, "minute"), s = int_attr(o, "second");
    const std::uint32_t us = int_attr(o, "microsecond");
    // Only a subclass overriding the fields could break their ranges.
    if (h > 23 || m > 59 || s > 59 || us > 999'999) raise_type_error("'time' must be str or datetime.time");
    return zj_core::TimeOfDay::hms(h, m, s, us * 1000u);
}

}  // namespace zj_python
